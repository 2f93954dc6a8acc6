// The chat log at 100,000 and 1,000,000 lines (200 contacts, so a chat holds
// 500 or 5,000 lines): the plain table as older files have it, beside the
// same file with the contact index and both search indexes.
//
//   bench_history_scale            both sizes, files in $TMPDIR (or /tmp)
//   bench_history_scale 100000     one size
//
// For each size: opening a chat (ChatLogStore::rows, what the chat window
// reads), a search while the index is not yet built (a scan, what the viewer
// does meanwhile), building the indexes apart (buildIndex, in slices), the
// first search on a cold file (its pages dropped from the system's cache)
// and the later searches through the index, an append (open, insert,
// close), and the file size. Then the build again on a fresh copy while a
// search runs every 200 ms (as a person typing in the viewer makes them)
// and a line is saved and a chat opened every 100 ms: the longest and the
// median wait of each, beside the same operations with no build running.
// Medians of a few runs; the load average is printed beside them, and the
// plain and indexed figures come from the same run.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "storage/ChatLogSearch.h"
#include "storage/ChatLogStore.h"
#include "storage/CppSQLite3Database.h"
#include "storage/HistoryDatabase.h"
#include "storage/Text16.h"
#include "support/scratch_folder.h"

using namespace tavrin::storage;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::int32_t kUser = 123456789;
constexpr int kContacts = 200;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median_ms(int runs, const std::function<void()>& op) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    op();
    t.push_back(ms_since(t0));
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

double mib(const std::filesystem::path& file) {
  return double(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
}

std::u16string line_of(int i) {
  // Mixed Chinese and ASCII, about 30 characters, each line a little different.
  return u"机主：明天下午三点在老地方见 line " + decimal16(i) + u" 别忘了带书";
}

// The plain table as an older client left it, filled in one transaction.
void fill(const std::filesystem::path& db_path, int lines) {
  CppSQLite3Database db;
  openHistoryDatabase(db, db_path);
  const std::u16string table = ChatLogStore::tableName(kUser);
  db.execute(u"create table " + table +
             u" (FriendCode char(64), FriendLog char(512), Time char(32));");
  db.execute(u"begin;");
  for (int i = 0; i < lines; ++i)
    db.execute(u"insert into " + table + u" values (?,?,?);",
               {ChatLogStore::contactKey(i % kContacts), line_of(i), u"10:00:00"});
  db.execute(u"commit;");
  db.close();
}

// Drops the file's pages from the system's cache (clean pages go at once).
void drop_cache(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

struct Waits {
  std::vector<double> ms;
  void add(double v) { ms.push_back(v); }
  double median() {
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
  }
  double most() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// Saves (every 100 ms), chat openings (every 100 ms) and searches (every
// 200 ms, on a thread of their own) for as long as `busy` runs, or for
// `alone_ms` when it is null; the waits of each.
struct Traffic {
  Waits save, open, search;
};
Traffic traffic_during(const std::filesystem::path& path, const std::function<void()>& busy,
                       int alone_ms) {
  Traffic t;
  std::atomic<bool> done{false};
  std::thread searcher([&] {
    ChatLogSearch search(path, kUser);
    int n = 0;
    while (!done) {
      const auto t0 = Clock::now();
      (void)search.find(n++ % 2 ? u"line 4242 别" : u"明天");
      t.search.add(ms_since(t0));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  std::thread worker([&] {
    if (busy)
      busy();
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(alone_ms));
    done = true;
  });
  ChatLogStore log(path, kUser);
  int i = 0;
  while (!done) {
    auto t0 = Clock::now();
    log.append(7, line_of(i++), u"10:00:02");
    t.save.add(ms_since(t0));
    t0 = Clock::now();
    (void)log.rows(7 + i % 5);
    t.open.add(ms_since(t0));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  worker.join();
  searcher.join();
  return t;
}

// Median of a few runs of each of two operations, taking turns.
std::pair<double, double> turns_ms(int runs, const std::function<void()>& a,
                                   const std::function<void()>& b) {
  std::vector<double> ta, tb;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    a();
    ta.push_back(ms_since(t0));
    t0 = Clock::now();
    b();
    tb.push_back(ms_since(t0));
  }
  std::sort(ta.begin(), ta.end());
  std::sort(tb.begin(), tb.end());
  return {ta[ta.size() / 2], tb[tb.size() / 2]};
}

void run(int lines) {
  tavrin::bench::ScratchFolder scratch;
  const std::filesystem::path plain_path = scratch.folder / "plain" / "TavrinLog.db";
  const std::filesystem::path path = scratch.folder / "DB" / "TavrinLog.db";
  std::filesystem::create_directories(plain_path.parent_path());
  std::filesystem::create_directories(path.parent_path());
  const auto t_fill = Clock::now();
  fill(plain_path, lines);
  std::filesystem::copy_file(plain_path, path);
  std::printf("\n%d lines (filled in %.0f ms), a chat of %d lines\n", lines, ms_since(t_fill),
              lines / kContacts);

  ChatLogStore plain(plain_path, kUser), log(path, kUser);
  // ChatLogSearch with its usual limits: a log this size is indexed apart,
  // and searched by a scan until then.
  ChatLogSearch plain_search(plain_path, kUser), search(path, kUser);
  size_t got = 0;
  const double scan = median_ms(3, [&] { got = plain_search.find(u"line 4242 别").size(); });

  const auto t_build = Clock::now();
  const bool built = search.buildIndex();
  const double build = ms_since(t_build);
  drop_cache(path);
  const auto t_first = Clock::now();
  got = search.find(u"line 4242 别").size();
  const double first = ms_since(t_first);
  const double later = median_ms(5, [&] { got = search.find(u"下午三点在老").size(); });
  const double later_short = median_ms(5, [&] { got = search.find(u"明天").size(); });
  const auto open = turns_ms(
      5, [&] { got = plain.rows(7).size(); }, [&] { got = log.rows(7).size(); });
  const auto append = turns_ms(
      20, [&] { plain.append(7, line_of(1), u"10:00:01"); },
      [&] { log.append(7, line_of(1), u"10:00:01"); });
  const double plain_size = mib(plain_path), size = mib(path);

  std::printf("  %-34s %12s %12s %8s\n", "", "plain table", "indexed", "ratio");
  std::printf("  %-34s %9.1f ms %9.1f ms %7.2fx\n", "open a chat (rows)", open.first,
              open.second, open.second / open.first);
  std::printf("  %-34s %9.1f ms %9.1f ms %7.2fx\n", "search (scan / first, cold file)", scan,
              first, first / scan);
  std::printf("  %-34s %12s %9.1f ms\n", "later search, 6 characters", "", later);
  std::printf("  %-34s %12s %9.1f ms\n", "later search, 2 characters", "", later_short);
  std::printf("  %-34s %9.2f ms %9.2f ms %7.2fx\n", "append one line (turns)", append.first,
              append.second, append.second / append.first);
  std::printf("  %-34s %8.1f MiB %8.1f MiB %7.2fx\n", "file size", plain_size, size,
              size / plain_size);
  std::printf("  building the indexes apart: %.0f ms (%s), in slices of %lld lines\n", build,
              built ? "whole" : "NOT whole", static_cast<long long>(ChatLogSearch::kSlice));

  // The build again, on a fresh copy of the table as the client makes it
  // (with its contact index), with a person's traffic going on; beside the
  // same traffic on the same file before the build.
  const std::filesystem::path busy_path = scratch.folder / "busy" / "TavrinLog.db";
  std::filesystem::create_directories(busy_path.parent_path());
  std::filesystem::copy_file(plain_path, busy_path);
  {
    const auto t0 = Clock::now();
    CppSQLite3Database db;
    openHistoryDatabase(db, busy_path);
    ChatLogSearch::createContactIndex(db, ChatLogStore::tableName(kUser));
    db.close();
    std::printf("  contact index alone (what an older file lacks): %.0f ms\n", ms_since(t0));
  }
  Traffic alone = traffic_during(busy_path, nullptr, 3000);
  double busy_build = 0;
  bool busy_built = false;
  Traffic during = traffic_during(
      busy_path,
      [&] {
        const auto t0 = Clock::now();
        busy_built = ChatLogSearch(busy_path, kUser).buildIndex();
        busy_build = ms_since(t0);
      },
      0);
  std::printf("  build with searches every 200 ms, saves and chat openings every 100 ms: %.0f ms "
              "(%s), file %.1f MiB (%.2fx)\n",
              busy_build, busy_built ? "whole" : "NOT whole", mib(busy_path),
              mib(busy_path) / plain_size);
  std::printf("  %-22s %16s %16s\n", "waits (median / most)", "during the build", "no build");
  auto row = [](const char* what, Waits& a, Waits& b) {
    const double am = a.median(), bm = b.median();
    std::printf("  %-22s %7.1f /%6.1f ms %7.1f /%6.1f ms  (%zu, %zu)\n", what, am, a.most(), bm,
                b.most(), a.ms.size(), b.ms.size());
  };
  row("save a line", during.save, alone.save);
  row("open a chat (rows)", during.open, alone.open);
  row("search", during.search, alone.search);
  if (got == size_t(-1)) std::printf("unreachable\n");
}

}  // namespace

int main(int argc, char** argv) {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) != 3) load[0] = load[1] = load[2] = -1;
  std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  if (argc > 1) {
    run(std::atoi(argv[1]));
  } else {
    run(100000);
    run(1000000);
  }
  if (getloadavg(load, 3) == 3)
    std::printf("\nload average after: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  return 0;
}
