// Chat window and chat log speed.
//
//   bench_chat                                  everything (files in $TMPDIR or /tmp)
//   bench_chat --benchmark_filter=Search        one group
//
// OpenChat: a chat whose contact has 10,000 stored lines, from making the
//   window to its first frame on the (headless) display: history read, rows
//   laid out, frame and list painted. Goal: under 50 ms.
// Search: queries over 100,000 stored lines of 200 contacts, through
//   ChatLogSearch (a trigram index for three characters or more, a
//   single-character index below that), beside a plain LIKE '%q%' scan of
//   the same table in the same run. Each iteration is one whole storage
//   operation (open, query, close). Goal: under 20 ms.
//   BuildIndex: the one-time cost of the first searches (both indexes).
//   SearchAfterNewLines: a one-character query after 10 lines were logged,
//   which first adds them to the single-character index (one transaction).
// SendLine: one line typed and sent in an open chat: the engine call, the
//   log append with its fsyncs, the line put at the head of the list and the
//   list repainted, all on the UI thread. Goal: under 16 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "libtavrin.h"
#include "platform/display.h"
#include "platform/input_panel.h"
#include "platform/window_system.h"
#include "screens/chat/CBriskLibTavrinMsg.h"
#include "shell/app_paths.h"
#include "shell/theme_colors.h"
#include "storage/ChatLogSearch.h"
#include "storage/ChatLogStore.h"
#include "storage/CppSQLite3Database.h"
#include "storage/HistoryDatabase.h"

using namespace tavrin;
using storage::ChatLogSearch;
using storage::CppSQLite3Database;

namespace {

struct Scratch {
  std::filesystem::path folder;
  Scratch() {
    std::string templ =
        (std::filesystem::temp_directory_path() / "tavrin-chat-bench-XXXXXX").string();
    folder = ::mkdtemp(templ.data());
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  std::filesystem::path db(const std::string& name) const { return folder / "DB" / name; }
};

// A deterministic mix of Chinese and English chat lines.
class Lines {
 public:
  std::u16string next() {
    static const char16_t* const words[] = {
        u"明天",  u"下午",   u"开会", u"吃饭",   u"好的",    u"没问题", u"路上",
        u"堵车",  u"马上到", u"the",  u"report", u"meeting", u"ok",     u"see you",
        u"later", u"电话",   u"周末", u"电影",   u"天气",    u"下雨",   u"带伞",
        u"谢谢",  u"哈哈",   u"晚安", u"coffee", u"lunch",   u"😀"};
    std::u16string line = (seed_ % 2) ? u"机主：" : u"Bob：";
    const int n = 3 + int(step() % 9);
    for (int i = 0; i < n; ++i) line += words[step() % std::size(words)], line += u' ';
    return line;
  }

 private:
  uint32_t step() { return seed_ = seed_ * 1664525u + 1013904223u, seed_ >> 8; }
  uint32_t seed_ = 12345;
};

// Fills a log table in one transaction (the screens log one line at a time;
// this only makes the data).
void fill(const std::filesystem::path& path, std::int32_t user, int lines, int contacts,
          const std::u16string& rare = u"", int rare_every = 0) {
  storage::ChatLogStore(path, user).append(1, u"x", u"00:00:00");  // the table
  CppSQLite3Database db;
  storage::openHistoryDatabase(db, path);
  db.execute(u"begin;");
  const std::u16string insert =
      u"insert into " + storage::ChatLogStore::tableName(user) + u" values (?,?,?);";
  Lines text;
  for (int i = 0; i < lines; ++i) {
    std::u16string line = text.next();
    if (rare_every && i % rare_every == 0) line += rare;
    db.execute(insert, {storage::ChatLogStore::contactKey(1 + i % contacts), line, u"12:00:00"});
  }
  db.execute(u"commit;");
  db.close();
}

// The client's UI without a display, once for the whole run.
struct Ui {
  platform::WindowSystem ws;
  platform::Display display{ws};
  platform::InputPanel panel{ws, display};
  Ui() {
    shell::app_paths() = shell::AppPaths::form(TAVRIN_INSTALL_DIR);
    shell::theme_colors() = {};
    fx_init();
  }
  ~Ui() { fx_terminate(); }
  void settle() {
    for (int i = 0; i < 100000 && ws.pump(0); ++i) {
    }
  }
};
Ui& ui() {
  static Ui instance;
  return instance;
}

struct NoMainWindow : screens::MainWindowLink {
  bool logged_in() const override { return false; }
  std::vector<screens::ChatListEntry> recent_contacts() const override { return {}; }
  std::vector<screens::ChatListEntry> conversations() const override { return {}; }
  std::vector<std::u16string> take_pending(long) override { return {}; }
  void mark_read(long) override {}
  std::uint64_t line_sending(long, const std::u16string&, std::int64_t) override { return 0; }
};

// Signed out, the engine's uid is empty: the window logs to "tab0".
constexpr std::int32_t kNoUser = 0;

void OpenChat(benchmark::State& state) {
  Ui& u = ui();
  Scratch scratch;
  shell::app_paths().database_path = shell::from_path(scratch.db("TavrinLog.db"));
  fill(scratch.db("TavrinLog.db"), kNoUser, int(state.range(0)), 1);
  NoMainWindow main;
  for (auto _ : state) {
    screens::CBriskLibTavrinMsg chat(1, 0, main, true);
    chat.create();
    u.ws.show(chat.window(), true);
    chat.repaint();
    chat.line_list().paint();
    state.PauseTiming();
    if (chat.lines().size() != size_t(state.range(0)) + 1)
      state.SkipWithError("history not loaded");
    chat.destroy();
    u.settle();
    state.ResumeTiming();
  }
}
BENCHMARK(OpenChat)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- search ---

constexpr int kSearchLines = 100000;
const std::u16string kRare = u"藏宝图 treasure";

struct SearchData {
  Scratch scratch;
  std::filesystem::path path = scratch.db("TavrinLog.db");
  SearchData() { fill(path, 7, kSearchLines, 200, kRare, 997); }
};
SearchData& search_data() {
  static SearchData data;
  return data;
}

void BuildIndex(benchmark::State& state) {
  SearchData& d = search_data();
  for (auto _ : state) {
    state.PauseTiming();
    {
      CppSQLite3Database db;
      storage::openHistoryDatabase(db, d.path);
      ChatLogSearch::dropIndex(db, storage::ChatLogStore::tableName(7));
      db.close();
    }
    state.ResumeTiming();
    if (!ChatLogSearch(d.path, 7).buildIndex()) state.SkipWithError("no FTS5");
  }
}
BENCHMARK(BuildIndex)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

const char16_t* const kQueries[] = {u"藏宝图", u"treasure", u"明天 下午",     u"藏",
                                    u"😀",      u"宝图",     u"nowhere at all"};

void Search(benchmark::State& state) {
  SearchData& d = search_data();
  ChatLogSearch search(d.path, 7);
  (void)search.buildIndex();
  const std::u16string query = kQueries[state.range(0)];
  size_t found = 0;
  for (auto _ : state) found = search.find(query).size();
  state.SetLabel(std::to_string(found) + " found");
}

// The same queries as a plain scan: LIKE '%q%' over the table, newest first,
// the same limit.
void LikeScan(benchmark::State& state) {
  SearchData& d = search_data();
  const std::u16string query = kQueries[state.range(0)];
  size_t found = 0;
  for (auto _ : state) {
    CppSQLite3Database db;
    storage::openHistoryDatabase(db, d.path);
    auto cursor = db.query(
        u"select rowid, FriendCode, FriendLog, Time from tab7 where FriendLog "
        u"like ? order by rowid desc limit 500;",
        {u"%" + query + u"%"});
    found = 0;
    for (; !cursor.eof(); cursor.nextRow()) ++found;
    cursor.finalize();
    db.close();
  }
  state.SetLabel(std::to_string(found) + " found");
}
BENCHMARK(Search)
    ->DenseRange(0, std::size(kQueries) - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(LikeScan)
    ->DenseRange(0, std::size(kQueries) - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Last of the search group: it grows the shared table.
void SearchAfterNewLines(benchmark::State& state) {
  SearchData& d = search_data();
  storage::ChatLogStore log(d.path, 7);
  ChatLogSearch search(d.path, 7);
  (void)search.buildIndex();
  Lines text;
  size_t found = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < 10; ++i) log.append(1 + i, text.next(), u"12:00:00");
    state.ResumeTiming();
    found = search.find(u"藏").size();
  }
  state.SetLabel(std::to_string(found) + " found");
}
BENCHMARK(SearchAfterNewLines)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- sending ---

void SendLine(benchmark::State& state) {
  Ui& u = ui();
  Scratch scratch;
  shell::app_paths().database_path = shell::from_path(scratch.db("TavrinLog.db"));
  fill(scratch.db("TavrinLog.db"), kNoUser, 1000, 1);
  NoMainWindow main;
  screens::CBriskLibTavrinMsg chat(1, 0, main, true);
  chat.create();
  u.ws.show(chat.window(), true);
  chat.repaint();
  for (auto _ : state) {
    chat.input().set_text(u"好的，六点半门口见 :)");
    chat.send();
  }
  chat.destroy();
  u.settle();
}
BENCHMARK(SendLine)->Iterations(200)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
