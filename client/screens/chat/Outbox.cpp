#include "screens/chat/Outbox.h"

#include <algorithm>

#include "message_words.h"
#include "platform/text_codec.h"
#include "screens/chat/ChatLines.h"
#include "screens/chat/ChatText.h"
#include "storage/StorageGuard.h"

namespace tavrin::screens::chat {

std::uint64_t Outbox::add(long contact_id, std::u16string text, std::int64_t rowid) {
  const std::uint64_t id = next_id_++;
  std::u16string key = plain_text(platform::utf16_to_utf8(text).c_str());
  entries_.push_back({id, contact_id, std::move(text), std::move(key), rowid});
  return id;
}

std::optional<Outbox::Settled> Outbox::on_result(int code, long contact_id, const fx_msg* record) {
  const Outcome outcome = send_outcome(code);
  if (outcome == Outcome::kNone || record == nullptr) return std::nullopt;
  const std::u16string key = plain_text(record->text);
  // An SMS result names its target by the number it went to, which need
  // not be the id the line was sent to: the text decides then.
  const auto find = [&](bool timed_out, bool same_id) {
    return std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
      return e.timed_out == timed_out && (!same_id || e.contact_id == contact_id) && e.key == key;
    });
  };
  auto it = entries_.end();
  for (bool same_id : {true, false}) {
    if (it == entries_.end()) it = find(false, same_id);
    // Only an acceptance can follow a time-out: the late answer.
    if (it == entries_.end() && outcome == Outcome::kAccepted) it = find(true, same_id);
  }
  if (it == entries_.end()) return std::nullopt;

  Settled settled{it->contact_id, it->id, it->rowid, {}};
  if (outcome == Outcome::kAccepted) {
    settled.line = sent_line(kOwnerPrefix, it->text);
    entries_.erase(it);
  } else if (outcome == Outcome::kNoAnswer) {
    // Failed for now; the engine keeps the line for a late answer. Lines
    // that never hear one are forgotten, oldest first, past a bound.
    settled.line = sent_line(kFailedPrefix, it->text);
    it->timed_out = true;
    if (std::count_if(entries_.begin(), entries_.end(),
                      [](const Entry& e) { return e.timed_out; }) > kTimedOutKept)
      entries_.erase(std::find_if(entries_.begin(), entries_.end(),
                                  [](const Entry& e) { return e.timed_out; }));
  } else {
    settled.line = sent_line(kFailedPrefix, it->text);
    entries_.erase(it);
  }
  return settled;
}

std::vector<Outbox::Settled> Outbox::abandon() {
  std::vector<Settled> failed;
  for (const Entry& e : entries_)
    if (!e.timed_out)
      failed.push_back({e.contact_id, e.id, e.rowid, sent_line(kFailedPrefix, e.text)});
  entries_.clear();
  return failed;
}

void show_settled(const Outbox::Settled& settled, const storage::ChatLogStore* log,
                  ChatWindow* chat) {
  if (settled.rowid != 0 && log != nullptr)
    (void)storage::tryStorage([&] { (void)log->replaceLine(settled.rowid, settled.line); });
  if (chat != nullptr && chat->contact_id() == settled.contact_id)
    chat->line_settled(settled.id, settled.rowid, settled.line);
}

}  // namespace tavrin::screens::chat
