// Finding what was said: substring search over every contact's lines of the
// signed-in user's log table, newest first.
//
// A query of three characters or more goes through a trigram index (SQLite
// FTS5, table "<log table>_search" over the log table's rows, kept current
// by triggers on the log table). Queries of one or two characters (most
// Chinese words, an emoji) go through a single-character index
// ("<log table>_search1", one token per character, searched as a phrase),
// which each short search brings up to date with the lines logged since.
// The first search builds an index, logging never does, so a file that was
// never searched keeps exactly the original schema. Deleting lines drops
// both indexes (dropIndex), so no fragment of a deleted line stays in them;
// the next search builds them again. Where SQLite lacks FTS5 every query
// scans the lines.
//
// Each call is one storage operation on the history database (open, work,
// close) and throws CppSQLite3Exception. User-interface thread.
#pragma once

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

  ChatLogSearch(std::filesystem::path databasePath, std::int32_t userId);

  // Lines holding `query` (case folded for ASCII letters), newest first, at
  // most `limit`. An empty query finds nothing.
  [[nodiscard]] std::vector<ChatLogRow> find(std::u16string_view query,
                                             size_t limit = kDefaultLimit) const;
  // Builds both indexes now when missing; false where they cannot be had.
  bool buildIndex() const;

  static std::u16string indexName(const std::u16string& table);
  static std::u16string shortIndexName(const std::u16string& table);
  // Drops the indexes and their triggers on an open connection, when present.
  static void dropIndex(CppSQLite3Database& db, const std::u16string& table);
  // Unicode characters of a UTF-16 text (a surrogate pair counts once).
  static size_t characters(std::u16string_view text);

 private:
  bool ensureIndex(CppSQLite3Database& db) const;
  bool ensureShortIndex(CppSQLite3Database& db) const;

  std::filesystem::path path_;
  std::u16string table_;
};

}  // namespace tavrin::storage
