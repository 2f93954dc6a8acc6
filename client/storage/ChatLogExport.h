// Lossless export of chat history: UTF-8 JSON Lines, one object a line
//   {"contact_id":100000002,"contact_name":"Bob","direction":"received",
//    "text":"你好 😀","time":"10:00:01","local_time":"2026-12-09T10:00:01+08:00",
//    "line":"Bob：你好 😀"}
// where direction is "sent" ("机主：" lines), "failed" ("发送失败：" lines)
// or "received" (the contact's name, "：", the text), text is the line
// without its prefix, line is the stored line itself and local_time the
// line's local date and time, ISO 8601 with the offset (left out for a line
// logged without its date). Every character
// survives, whatever the device's code page lacks; a lone surrogate is kept
// as its \u escape. The file goes beside the history database:
// "<contact id>.jsonl" for one contact, "tab<user id>.jsonl" for all.
// parse() reads one line back (tests and other tools). Pure functions and a
// file write; any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/ChatLogStore.h"

namespace tavrin::storage {

struct ChatLogRecord {
  std::int32_t contactId = 0;
  std::u16string contactName;
  std::u16string direction;  // "sent", "failed", "received"
  std::u16string text;
  std::u16string time;
  std::u16string localTime;  // empty when the line has no date
  std::u16string line;
  bool operator==(const ChatLogRecord&) const = default;
};

class ChatLogExport {
 public:
  using NameOf = std::function<std::u16string(std::int32_t contactId)>;

  static std::filesystem::path contactFile(const std::filesystem::path& folder,
                                           std::int32_t contactId);
  static std::filesystem::path allFile(const std::filesystem::path& folder, std::int32_t userId);

  // Splits a stored line into direction and text.
  static ChatLogRecord record(const ChatLogRow& row, std::u16string contactName);
  // One JSON object, without the line feed.
  static std::string json(const ChatLogRecord& record);
  // A line of an export; nullopt for anything that is not one.
  static std::optional<ChatLogRecord> parse(std::string_view line);
  // Writes the rows (in their order) to file, replacing it; false when it
  // cannot be written.
  static bool write(const std::filesystem::path& file, const std::vector<ChatLogRow>& rows,
                    const NameOf& nameOf);
};

}  // namespace tavrin::storage
