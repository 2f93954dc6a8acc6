// The signed-in user's chat log: one table "tab<user id>" of rows
// (FriendCode "Log<contact id>", FriendLog line, Time "hh:mm:ss") in insertion
// order, kept exactly as other readers and writers of the file know it. The
// full local date and time of each line (ChatLogDate.h) sits beside it in
// "tab<user id>_date" (Row = the line's rowid, LocalTime), which triggers
// fill for lines others log and empty for lines others delete; lines logged
// before that table read without a date. The chat window appends every sent and received line; the log viewer
// reads a contact's lines and deletes. Each call is one storage operation on
// the history database at the given path (open, work, close) and throws
// CppSQLite3Exception when the file fails; a caller that must go on (a sent
// message stays sent) wraps the call in tryStorage. A missing table makes
// every read and delete a no-op; append creates it, with an index of the
// contact column ("<table>_friend"; an older file gets it from
// ChatLogSearch::buildIndex). Deleting drops the
// search index of ChatLogSearch (rebuilt by the next search), so no piece of
// a deleted line stays in the file; rewriting a line keeps it current. User-interface thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::storage {

class CppSQLite3Database;

struct ChatLogLine {
  std::u16string line;
  std::u16string time;
  bool operator==(const ChatLogLine&) const = default;
};

// A stored line with what tells it from an identical one: its row id, and
// the contact it belongs to.
struct ChatLogRow {
  std::int64_t rowid = 0;
  std::int32_t contactId = 0;
  std::u16string line;
  std::u16string time;
  std::u16string localTime;  // empty for a line logged without its date
  bool operator==(const ChatLogRow&) const = default;
};

class ChatLogStore {
 public:
  // `userId`: the signed-in user's numeric id (the engine's uid read as a long).
  ChatLogStore(std::filesystem::path databasePath, std::int32_t userId);

  // Logs one line of a contact; the line is stored with every TAB and
  // line-feed removed. An empty line logs nothing (false). `localTime`: the
  // line's date and time (isoLocal); empty means today at `time`.
  bool append(std::int32_t contactId, std::u16string_view line, std::u16string_view time,
              std::u16string_view localTime = {}) const;
  // As append, and the new row's id (0 when nothing was logged), so that a
  // line whose state changes later (a sent line's result) can be rewritten.
  std::int64_t appendRow(std::int32_t contactId, std::u16string_view line,
                         std::u16string_view time, std::u16string_view localTime = {}) const;
  // Rewrites the text of one stored line (its time stays); false when the
  // row is gone (the user deleted it meanwhile).
  bool replaceLine(std::int64_t rowid, std::u16string_view line) const;
  // Rewrites the lines of this user among the newest `newest` rows that
  // start with `from` to start with `to` instead (a state prefix).
  void replacePrefix(std::u16string_view from, std::u16string_view to, std::int64_t newest) const;
  // The contact's lines, oldest first.
  [[nodiscard]] std::vector<ChatLogLine> history(std::int32_t contactId) const;
  // The contact's lines with their row ids, oldest first.
  [[nodiscard]] std::vector<ChatLogRow> rows(std::int32_t contactId) const;
  // The newest `limit` of them (0: all) older than row `before` (0: the
  // newest of all), oldest first: a chat shows its last lines at once and
  // reads the rest after.
  [[nodiscard]] std::vector<ChatLogRow> rows(std::int32_t contactId, size_t limit,
                                             std::int64_t before) const;
  // Every line of this user, all contacts, oldest first.
  [[nodiscard]] std::vector<ChatLogRow> allRows() const;
  // How many lines the contact has; how many this user has in all.
  [[nodiscard]] std::int64_t count(std::int32_t contactId) const;
  [[nodiscard]] std::int64_t countAll() const;
  // Deletes the one row the user chose; false when it is no longer there.
  bool deleteRow(std::int64_t rowid) const;
  // Deletes every line of the contact with exactly this text, whatever its time.
  void deleteLine(std::int32_t contactId, std::u16string_view line) const;
  // Deletes the contact's whole history.
  void deleteContact(std::int32_t contactId) const;
  // Deletes every line of this user; other users' logs stay.
  void deleteAll() const;

  const std::u16string& table() const noexcept { return table_; }
  static std::u16string tableName(std::int32_t userId);      // "tab%ld"
  static std::u16string datesTable(std::u16string_view table);  // "<table>_date"
  static std::u16string contactKey(std::int32_t contactId);  // "Log%ld"
  static std::u16string withoutTabsAndLineFeeds(std::u16string_view line);
  // The contact id of a "Log%ld" key; 0 for anything else.
  static std::int32_t contactOfKey(std::u16string_view key);

 private:
  // Runs `change` (with the row id as bound text) on the row when it is
  // still there, after dropping the search indexes unless told not to (a
  // delete must: no fragment of a deleted line may stay); false when gone.
  bool changeRow(std::int64_t rowid,
                 const std::function<void(CppSQLite3Database&, const std::u16string&)>& change,
                 bool dropIndex = true) const;

  std::filesystem::path path_;
  std::u16string table_;
};

}  // namespace tavrin::storage
