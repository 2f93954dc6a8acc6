#include "storage/ChatLogSearch.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "storage/CppSQLite3Database.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/HistoryDatabase.h"
#include "storage/StorageGuard.h"
#include "storage/Text16.h"

namespace tavrin::storage {

// As in ChatLogStore, the only texts placed into statements are the table
// names, "tab" and digits plus fixed suffixes; values are bound.

namespace {

// Trigram matching needs three characters; below that the lines are scanned.
constexpr size_t kTrigram = 3;
// A short search adds at most this many lines to the single-character index
// itself; an index further behind is left to the builder and the search scans.
constexpr std::int64_t kCatchUpInline = 2000;

std::vector<ChatLogRow> readHits(CppSQLite3Query& cursor) {
  std::vector<ChatLogRow> rows;
  for (; !cursor.eof(); cursor.nextRow()) {
    std::int64_t rowid = 0;
    for (const char16_t* p = cursor.fieldValue(0); *p >= u'0' && *p <= u'9'; ++p)
      rowid = rowid * 10 + (*p - u'0');
    rows.push_back({rowid, ChatLogStore::contactOfKey(cursor.fieldValue(1)), cursor.fieldValue(2),
                    cursor.fieldValue(3), {}});  // a hit shows its time of day
  }
  cursor.finalize();
  return rows;
}

// '%query%' with LIKE's own characters escaped by '\'.
std::u16string likePattern(std::u16string_view query) {
  std::u16string pattern = u"%";
  for (char16_t c : query) {
    if (c == u'%' || c == u'_' || c == u'\\') pattern += u'\\';
    pattern += c;
  }
  return pattern + u"%";
}

// True when LIKE would read none of the query's characters as its own, so
// the trigram index can answer the pattern "%query%" unescaped.
bool plainForLike(std::u16string_view query) {
  return query.find_first_of(u"%_") == std::u16string_view::npos;
}

// Every space-separated token of the query as its own FTS5 phrase (in
// double quotes, inner quotes doubled): all of them must be in a line.
std::u16string everyToken(std::u16string_view tokens) {
  std::u16string all;
  size_t at = 0;
  while (at < tokens.size()) {
    size_t end = tokens.find(u' ', at);
    if (end == std::u16string_view::npos) end = tokens.size();
    if (end > at) {
      if (!all.empty()) all += u' ';
      all += u'"';
      for (char16_t c : tokens.substr(at, end - at)) {
        if (c == u'"') all += u'"';
        all += c;
      }
      all += u'"';
    }
    at = end + 1;
  }
  return all;
}

// The text with each unpaired surrogate made U+FFFD, as SQLite reads it; a
// query must not leave one for SQLite's conversion, which can swallow the
// closing quote of a phrase after it.
std::u16string paired(std::u16string_view text) {
  std::u16string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    const bool high = out[i] >= 0xD800 && out[i] <= 0xDBFF;
    const bool low = out[i] >= 0xDC00 && out[i] <= 0xDFFF;
    if (high && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF)
      ++i;
    else if (high || low)
      out[i] = 0xFFFD;
  }
  return out;
}

// The single-character index's text of a line: one token per character,
// separated by spaces, for a tokenizer that splits only at ASCII punctuation
// and space. ASCII letters fold to lower case, other ASCII characters become
// "x" and two hex digits (so they are tokens, not separators), and anything
// beyond ASCII, an emoji's surrogate pair included, stands for itself.
std::u16string unigrams(std::u16string_view line) {
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  const std::u16string text = paired(line);
  std::u16string tokens;
  tokens.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (!tokens.empty()) tokens += u' ';
    const char16_t c = text[i];
    if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z')) {
      tokens += c;
    } else if (c >= u'A' && c <= u'Z') {
      tokens += static_cast<char16_t>(c - u'A' + u'a');
    } else if (c < 0x80) {
      tokens += {u'x', kHex[c >> 4], kHex[c & 15]};
    } else {
      tokens += c;
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
          text[i + 1] <= 0xDFFF)
        tokens += text[++i];
    }
  }
  return tokens;
}

}  // namespace

ChatLogSearch::ChatLogSearch(std::filesystem::path databasePath, std::int32_t userId,
                             std::int64_t inlineLines, std::int64_t slice)
    : path_(std::move(databasePath)),
      table_(ChatLogStore::tableName(userId)),
      inlineLines_(inlineLines),
      slice_(slice > 0 ? slice : kSlice) {}

std::u16string ChatLogSearch::indexName(const std::u16string& table) {
  return table + u"_search";
}

std::u16string ChatLogSearch::shortIndexName(const std::u16string& table) {
  return table + u"_search1";
}

size_t ChatLogSearch::characters(std::u16string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i, ++n)
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      ++i;
  return n;
}

namespace {

void dropTrigramIndex(CppSQLite3Database& db, const std::u16string& index) {
  for (const char16_t* suffix : {u"_ai", u"_ad", u"_au"})
    requireDone(db, db.execute(u"drop trigger if exists " + index + suffix + u";"));
  for (const std::u16string& name : {index, index + u"_fill"})
    if (db.tableExists(name)) requireDone(db, db.execute(u"drop table " + name + u";"));
}

}  // namespace

void ChatLogSearch::dropIndex(CppSQLite3Database& db, const std::u16string& table) {
  dropTrigramIndex(db, indexName(table));

  const std::u16string shortIndex = shortIndexName(table);
  for (const char16_t* suffix : {u"_ad", u"_au"})
    requireDone(db, db.execute(u"drop trigger if exists " + shortIndex + suffix + u";"));
  for (const std::u16string& name : {shortIndex, shortIndex + u"_mark"})
    if (db.tableExists(name)) requireDone(db, db.execute(u"drop table " + name + u";"));
}

// The trigram index keeps no text of its own (the log table is its content)
// and no positions (detail=none): a query asks it through LIKE, and SQLite
// checks each candidate line against the pattern. It is made empty with its
// triggers in one transaction, then filled slice by slice up to the newest
// row id of that moment ("<index>_fill" holds the next row id to fill and
// the last; the index is whole once next passes last). The triggers leave
// rows not yet filled alone; the fill reads them as they are by then.
bool ChatLogSearch::createIndex(CppSQLite3Database& db) const {
  const std::u16string index = indexName(table_);
  const std::u16string fill = index + u"_fill";
  if (db.tableExists(index)) {
    if (db.tableExists(fill)) return true;
    // An index of the older, larger form (text positions, no fill record):
    // replaced by one of this form.
    dropTrigramIndex(db, index);
  }
  // Rows the fill has still to read are left to it.
  auto outsideFill = [&](const char16_t* row) {
    return u"not exists (select 1 from " + fill + u" where " + row +
           u".rowid between next and last)";
  };
  requireDone(db, db.execute(u"begin;"));
  auto failure = tryStorage([&] {
    requireDone(
        db, db.execute(u"create virtual table " + index + u" using fts5(FriendLog, content='" +
                       table_ + u"', content_rowid='rowid', tokenize='trigram', detail=none);"));
    requireDone(db, db.execute(u"create table " + fill +
                               u"(next integer not null, last integer not null);"));
    requireDone(db, db.execute(u"insert into " + fill +
                               u" select 0, coalesce(max(rowid), 0) from " + table_ + u";"));
    requireDone(db, db.execute(u"create trigger " + index + u"_ai after insert on " + table_ +
                               u" when " + outsideFill(u"new") + u" begin insert into " + index +
                               u"(rowid, FriendLog) values (new.rowid, new.FriendLog); end;"));
    requireDone(
        db, db.execute(u"create trigger " + index + u"_ad after delete on " + table_ + u" when " +
                       outsideFill(u"old") + u" begin insert into " + index + u"(" + index +
                       u", rowid, FriendLog) values ('delete', old.rowid, old.FriendLog);"
                       u" end;"));
    requireDone(
        db,
        db.execute(u"create trigger " + index + u"_au after update of FriendLog on " + table_ +
                   u" when " + outsideFill(u"old") + u" begin insert into " + index + u"(" + index +
                   u", rowid, FriendLog) values ('delete', old.rowid, old.FriendLog);"
                   u" insert into " +
                   index + u"(rowid, FriendLog) values (new.rowid, new.FriendLog); end;"));
    requireDone(db, db.execute(u"commit;"));
  });
  if (failure) {
    // No FTS5 in this SQLite, or a failing file: scan instead.
    (void)tryStorage([&] { db.execute(u"rollback;"); });
    return false;
  }
  return true;
}

bool ChatLogSearch::indexWhole(CppSQLite3Database& db) const {
  const std::u16string fill = indexName(table_) + u"_fill";
  return db.tableExists(fill) && db.scalar(u"select next > last from " + fill + u";") != 0;
}

bool ChatLogSearch::fillIndexSlice(CppSQLite3Database& db, std::int64_t lines) const {
  const std::u16string index = indexName(table_);
  const std::u16string fill = index + u"_fill";
  if (indexWhole(db)) return true;
  requireDone(db, db.execute(u"begin;"));
  bool whole = false;
  auto failure = tryStorage([&] {
    const std::u16string upto = u"min((select next from " + fill + u") + " + decimal16(lines) +
                                u", (select last from " + fill + u"))";
    requireDone(db, db.execute(u"insert into " + index +
                               u"(rowid, FriendLog) select rowid, FriendLog from " + table_ +
                               u" where rowid >= (select next from " + fill + u") and rowid <= " +
                               upto + u";"));
    requireDone(db, db.execute(u"update " + fill + u" set next = " + upto + u" + 1;"));
    whole = db.scalar(u"select next > last from " + fill + u";") != 0;
    requireDone(db, db.execute(u"commit;"));
  });
  if (failure) {
    (void)tryStorage([&] { db.execute(u"rollback;"); });
    throw *failure;
  }
  return whole;
}

bool ChatLogSearch::ensureIndex(CppSQLite3Database& db) const {
  if (!createIndex(db)) return false;
  while (!fillIndexSlice(db, slice_)) {
  }
  return true;
}

// The single-character index holds, per character, the row ids of the lines
// that have it (no positions, no text): a query asks for the lines holding
// each of its characters, and SQLite checks those against the pattern.
// It cannot follow the log through triggers (its
// text is made here, not in SQL, and other programs may write the file), so
// it is filled in slices of row ids: "<index>_mark" holds the highest row id
// indexed. Lines are only ever appended with growing row ids; a delete, or a
// change of the text of a line already indexed, empties the index through
// its triggers (any writer can run them), and the filling starts again. A
// sent line's state is rewritten moments after it was logged, before any
// search reached it, so that rewrite costs nothing.
bool ChatLogSearch::createShortIndex(CppSQLite3Database& db) const {
  const std::u16string index = shortIndexName(table_);
  const std::u16string mark = index + u"_mark";
  if (db.tableExists(mark)) return true;
  requireDone(db, db.execute(u"begin;"));
  auto failure = tryStorage([&] {
    requireDone(db, db.execute(u"create virtual table " + index +
                               u" using fts5(t, content='', columnsize=0, detail=none, "
                               u"tokenize='ascii');"));
    requireDone(db, db.execute(u"create table " + mark + u"(upto integer not null);"));
    requireDone(db, db.execute(u"insert into " + mark + u" values(0);"));
    const std::u16string emptied = u" begin insert into " + index + u"(" + index +
                                   u") values ('delete-all'); update " + mark +
                                   u" set upto = 0; end;";
    requireDone(db, db.execute(u"create trigger " + index + u"_ad after delete on " + table_ +
                               emptied));
    requireDone(db, db.execute(u"create trigger " + index + u"_au after update of FriendLog on " +
                               table_ + u" when old.rowid <= (select upto from " + mark + u")" +
                               emptied));
    requireDone(db, db.execute(u"commit;"));
  });
  if (failure) {
    (void)tryStorage([&] { db.execute(u"rollback;"); });
    return false;
  }
  return true;
}

std::int64_t ChatLogSearch::shortIndexLag(CppSQLite3Database& db) const {
  const std::u16string mark = shortIndexName(table_) + u"_mark";
  if (!db.tableExists(mark)) return -1;
  return db.scalar(u"select max(0, (select coalesce(max(rowid), 0) from " + table_ +
                   u") - upto) from " + mark + u";");
}

bool ChatLogSearch::fillShortSlice(CppSQLite3Database& db, std::int64_t lines) const {
  const std::u16string index = shortIndexName(table_);
  const std::u16string mark = index + u"_mark";
  if (shortIndexLag(db) == 0) return true;
  db.defineTextFunction(u"tavrin_unigrams", unigrams);
  const std::u16string upto = u"min((select upto from " + mark + u") + " + decimal16(lines) +
                              u", (select coalesce(max(rowid), 0) from " + table_ + u"))";
  requireDone(db, db.execute(u"begin;"));
  auto failure = tryStorage([&] {
    requireDone(db, db.execute(u"insert into " + index +
                               u"(rowid, t) select rowid, tavrin_unigrams(FriendLog) from " +
                               table_ + u" where rowid > (select upto from " + mark +
                               u") and rowid <= " + upto + u";"));
    requireDone(db, db.execute(u"update " + mark + u" set upto = " + upto + u";"));
    requireDone(db, db.execute(u"commit;"));
  });
  if (failure) {
    (void)tryStorage([&] { db.execute(u"rollback;"); });
    throw *failure;
  }
  return shortIndexLag(db) == 0;
}

bool ChatLogSearch::ensureShortIndex(CppSQLite3Database& db, std::int64_t mostLines) const {
  if (!createShortIndex(db)) return false;
  const std::int64_t lag = shortIndexLag(db);
  if (lag > mostLines) return false;
  // A file that takes no writes now (full, read-only) is still searched, by a scan.
  return !tryStorage([&] {
    while (!fillShortSlice(db, slice_)) {
    }
  });
}

void ChatLogSearch::createContactIndex(CppSQLite3Database& db, const std::u16string& table) {
  requireDone(db, db.execute(u"create index if not exists " + table + u"_friend on " + table +
                             u"(FriendCode);"));
}

std::int64_t ChatLogSearch::newestRow(CppSQLite3Database& db) const {
  return db.scalar(u"select coalesce(max(rowid), 0) from " + table_ + u";");
}

bool ChatLogSearch::indexReady() const {
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  const bool ready = db.tableExists(table_) && indexWhole(db) && shortIndexLag(db) >= 0 &&
                     shortIndexLag(db) <= kCatchUpInline;
  db.close();
  return ready;
}

bool ChatLogSearch::buildIndex(const std::atomic<bool>* stop) const {
  auto stopped = [stop] { return stop != nullptr && stop->load(); };
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  // Slices of about kSliceMs each: the size follows what the last one took.
  // Between two slices the writers of this process that wait for the file
  // go first, so a saved line waits for one short slice at most.
  std::int64_t lines = std::min<std::int64_t>(slice_, kFirstSlice);
  auto slice = [&](bool (ChatLogSearch::*fill)(CppSQLite3Database&, std::int64_t) const) {
    const auto t0 = std::chrono::steady_clock::now();
    const bool whole = (this->*fill)(db, lines);
    const std::int64_t took = std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - t0)
                                  .count();
    lines = std::clamp<std::int64_t>(lines * kSliceMs * 1000 / std::max<std::int64_t>(took, 1),
                                     std::min<std::int64_t>(slice_, 500), slice_);
    for (int i = 0; i < 200 && CppSQLite3Database::lockWaiters() > 0; ++i)
      std::this_thread::sleep_for(std::chrono::microseconds(250));
    // What the slices logged goes into the file here, on this thread; it
    // waits for no one and stops short of what a reader still uses.
    (void)tryStorage([&] {
      CppSQLite3Query folded = db.query(u"pragma wal_checkpoint(passive);");
      folded.finalize();
    });
    return whole;
  };
  bool built = false;
  if (db.tableExists(table_)) {
    createContactIndex(db, table_);
    if (createIndex(db) && createShortIndex(db)) {
      bool whole = false;
      while (!stopped() && !(whole = slice(&ChatLogSearch::fillIndexSlice))) {
      }
      bool shortWhole = false;
      while (whole && !stopped() && !(shortWhole = slice(&ChatLogSearch::fillShortSlice))) {
      }
      built = whole && shortWhole;
    }
  }
  db.close();
  return built;
}

std::vector<ChatLogRow> ChatLogSearch::find(std::u16string_view typed, size_t limit) const {
  std::vector<ChatLogRow> hits;
  if (typed.empty() || limit == 0) return hits;
  const std::u16string query = paired(typed);
  const std::u16string count = decimal16(static_cast<std::int64_t>(limit));
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    // A small log is indexed here and now; a large one by buildIndex on
    // another thread, and until then it is scanned.
    // A small log gets both indexes at once, so that no search of another
    // length has to wait for one later.
    const bool small = newestRow(db) <= inlineLines_;
    const bool trigrams = small ? ensureIndex(db) : indexWhole(db);
    const bool longQuery = characters(query) >= kTrigram;
    const bool indexed = longQuery ? trigrams && plainForLike(query)
                                   : ensureShortIndex(db, small ? INT64_MAX : kCatchUpInline);
    if (indexed && longQuery) {
      const std::u16string index = indexName(table_);
      CppSQLite3Query cursor = db.query(
          u"select " + table_ + u".rowid, FriendCode, " + table_ + u".FriendLog, Time from " +
              index + u" join " + table_ + u" on " + table_ + u".rowid = " + index +
              u".rowid where " + index + u".FriendLog like ? order by " + index +
              u".rowid desc limit " + count + u";",
          {u"%" + query + u"%"});
      hits = readHits(cursor);
    } else if (indexed) {
      const std::u16string index = shortIndexName(table_);
      CppSQLite3Query cursor =
          db.query(u"select " + table_ + u".rowid, FriendCode, " + table_ +
                       u".FriendLog, Time from " + index + u" join " + table_ + u" on " + table_ +
                       u".rowid = " + index + u".rowid where " + index + u" match ? and " + table_ +
                       u".FriendLog like ? escape '\\' order by " + index + u".rowid desc limit " +
                       count + u";",
                   {everyToken(unigrams(query)), likePattern(query)});
      hits = readHits(cursor);
    } else {
      CppSQLite3Query cursor = db.query(
          u"select rowid, FriendCode, FriendLog, Time from " + table_ +
              u" where FriendLog like ? escape '\\' order by rowid desc limit " + count + u";",
          {likePattern(query)});
      hits = readHits(cursor);
    }
  }
  db.close();
  return hits;
}

}  // namespace tavrin::storage
