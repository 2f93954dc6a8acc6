// Chat-log storage as the chat window and the log viewer use it.
//
//   bench_storage                          all cases, files in $TMPDIR (or /tmp)
//   bench_storage --benchmark_filter=Read  one group
//
// Append: each iteration is one whole storage operation (open, table check,
// insert, close), 10,000 of them into one file (1,000 for the variants). The variants run the same
// operation with one connection setting more, to see what each would buy;
// "as shipped" is ChatLogStore::append itself. WAL marks the file as WAL
// (header bytes 18-19) and leaves -wal/-shm files beside it while open, so it
// is measured, not used.
// Read: a contact's 10,000 lines out of 20,000 in the table, oldest first.
//
// What the variants showed (system calls per append, counted with strace):
// as shipped 4 fdatasync + 1 unlink; truncate and persist journals 5; WAL 5
// (every close checkpoints and removes the log); synchronous = normal 3, at
// the price of the power-loss guarantee. The cost of a line is the disk's
// sync time; no setting that keeps the file as others read it wins enough to
// give up safety, so the defaults (rollback journal, full sync) stay.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/ChatLogStore.h"
#include "storage/CppSQLite3Database.h"
#include "storage/HistoryDatabase.h"
#include "support/scratch_folder.h"

using namespace tavrin::storage;

namespace {

constexpr int kLines = 10000;
// Each append waits for the disk (fsync), so the variants are compared on
// fewer lines to keep a run within minutes.
constexpr int kVariantLines = 1000;

struct Scratch : tavrin::bench::ScratchFolder {
  std::filesystem::path db() const { return folder / "DB" / "TavrinLog.db"; }
};

const std::u16string kLine = u"机主：明天下午三点在老地方见，别忘了带上那本书。";

void AppendAsShipped(benchmark::State& state) {
  Scratch scratch;
  ChatLogStore log(scratch.db(), 123456789);
  for (auto _ : state) log.append(5, kLine, u"10:00:00");
  state.SetItemsProcessed(state.iterations());
}

// The same operation as ChatLogStore::append, with up to two settings run after open.
void AppendWith(benchmark::State& state, const char16_t* setting, const char16_t* another) {
  Scratch scratch;
  const std::u16string table = ChatLogStore::tableName(123456789);
  for (auto _ : state) {
    CppSQLite3Database db;
    openHistoryDatabase(db, scratch.db());
    for (const char16_t* sql : {setting, another})
      if (*sql) db.execute(sql);
    if (!db.tableExists(table))
      db.execute(u"create table " + table +
                 u" (FriendCode char(64), FriendLog char(512), Time char(32));");
    requireDone(db, db.execute(u"insert into " + table + u" values (?,?,?);",
                               {u"Log5", kLine, u"10:00:00"}));
    db.close();
  }
  state.SetItemsProcessed(state.iterations());
}

void ReadHistory(benchmark::State& state) {
  Scratch scratch;
  {
    // Fill in one transaction; how it got there does not matter here.
    CppSQLite3Database db;
    openHistoryDatabase(db, scratch.db());
    db.execute(u"create table tab1 (FriendCode char(64), FriendLog char(512), Time char(32));");
    db.execute(u"begin;");
    for (int i = 0; i < 2 * kLines; ++i)
      db.execute(u"insert into tab1 values (?,?,?);",
                 {i % 2 ? u"Log6" : u"Log5", kLine, u"10:00:00"});
    db.execute(u"commit;");
    db.close();
  }
  ChatLogStore log(scratch.db(), 1);
  for (auto _ : state) {
    auto lines = log.history(5);
    if (lines.size() != kLines) state.SkipWithError("wrong number of lines");
    benchmark::DoNotOptimize(lines);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}

}  // namespace

BENCHMARK(AppendAsShipped)->Iterations(kLines)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendWith, same_settings, u"", u"")
    ->Iterations(kVariantLines)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendWith, journal_truncate, u"pragma journal_mode = truncate;", u"")
    ->Iterations(kVariantLines)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendWith, journal_persist, u"pragma journal_mode = persist;", u"")
    ->Iterations(kVariantLines)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendWith, synchronous_normal, u"pragma synchronous = normal;", u"")
    ->Iterations(kVariantLines)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendWith, secure_delete_off, u"pragma secure_delete = off;", u"")
    ->Iterations(kVariantLines)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendWith, wal, u"pragma journal_mode = wal;", u"")
    ->Iterations(kVariantLines)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendWith, wal_synchronous_normal, u"pragma journal_mode = wal;",
                  u"pragma synchronous = normal;")
    ->Iterations(kVariantLines)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadHistory)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
