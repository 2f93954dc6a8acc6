// Finding what was said: substring search over every contact's lines of the
// signed-in user's log table, newest first.
//
// A query of three characters or more goes through a trigram index (SQLite
// FTS5, table "<log table>_search" over the log table's rows, without text
// or positions of its own, kept current by triggers on the log table).
// Queries of one or two characters (most Chinese words, an emoji) go through
// a single-character index ("<log table>_search1", one token per character,
// searched as a phrase), which each short search brings up to date with the
// lines logged since. Logging never builds a search index, so a file that was
// never searched keeps the original schema (and the contact index of
// ChatLogStore). Deleting lines drops both indexes (dropIndex), so no
// fragment of a deleted line stays in them. Where SQLite lacks FTS5, or an
// index is not whole yet, a query scans the lines.
//
// A log of up to `inlineLines` lines is indexed by its first search. A larger
// one is indexed by buildIndex, meant for a thread of its own: it works in
// slices of one short transaction each (about kSliceMs, the log folded back into the file after each), and lets a writer
// of this process that waits for the file in before the next one, so the
// chat window's appends wait for one slice at most; until it is done,
// searches scan (readers never wait: the file is logged ahead).
//
// Each call is one storage operation on the history database (open, work,
// close) and throws CppSQLite3Exception. Any thread; each call has its own
// connection.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "storage/ChatLogStore.h"

namespace tavrin::storage {

class CppSQLite3Database;

class ChatLogSearch {
 public:
  static constexpr size_t kDefaultLimit = 500;
  // Indexing this many lines takes well under a tenth of a second.
  static constexpr std::int64_t kInlineLines = 20000;
  // Most lines indexed in one transaction of buildIndex; it starts with
  // kFirstSlice and sizes the next ones to take about kSliceMs each.
  static constexpr std::int64_t kSlice = 20000;
  static constexpr std::int64_t kFirstSlice = 2000;
  static constexpr std::int64_t kSliceMs = 25;

  ChatLogSearch(std::filesystem::path databasePath, std::int32_t userId,
                std::int64_t inlineLines = kInlineLines, std::int64_t slice = kSlice);

  // Lines holding `query` (case folded for ASCII letters), newest first, at
  // most `limit`. An empty query finds nothing.
  [[nodiscard]] std::vector<ChatLogRow> find(std::u16string_view query,
                                             size_t limit = kDefaultLimit) const;
  // Builds the contact index and both search indexes, or finishes them;
  // stops between two slices once *stop is set. True when both are whole;
  // false when stopped or where they cannot be had.
  bool buildIndex(const std::atomic<bool>* stop = nullptr) const;
  // True when searches of every length use an index (no scan).
  [[nodiscard]] bool indexReady() const;

  static std::u16string indexName(const std::u16string& table);
  static std::u16string shortIndexName(const std::u16string& table);
  // Drops the indexes and their triggers on an open connection, when present.
  static void dropIndex(CppSQLite3Database& db, const std::u16string& table);
  // The index of the log table by contact ("<table>_friend"), when missing.
  static void createContactIndex(CppSQLite3Database& db, const std::u16string& table);
  // Unicode characters of a UTF-16 text (a surrogate pair counts once).
  static size_t characters(std::u16string_view text);

 private:
  // The trigram index: created empty (false without FTS5), filled by slices
  // (true once whole), or both at once.
  bool createIndex(CppSQLite3Database& db) const;
  bool fillIndexSlice(CppSQLite3Database& db, std::int64_t lines) const;
  bool ensureIndex(CppSQLite3Database& db) const;
  bool indexWhole(CppSQLite3Database& db) const;
  // The single-character index, likewise; its lag is the number of row ids
  // not yet in it (-1 while it does not exist). ensureShortIndex fills it
  // when at most `mostLines` behind, and says whether it may be used.
  bool createShortIndex(CppSQLite3Database& db) const;
  bool fillShortSlice(CppSQLite3Database& db, std::int64_t lines) const;
  bool ensureShortIndex(CppSQLite3Database& db, std::int64_t mostLines) const;
  std::int64_t shortIndexLag(CppSQLite3Database& db) const;
  std::int64_t newestRow(CppSQLite3Database& db) const;

  std::filesystem::path path_;
  std::u16string table_;
  std::int64_t inlineLines_;
  std::int64_t slice_;
};

}  // namespace tavrin::storage
