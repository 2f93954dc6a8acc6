// Outbox: the lines the user sent that wait for the service's answer, so
// that each is shown and logged for what it is: pending until its result,
// then sent or failed. A line that got no answer in time is failed and
// stays here: the late answer the engine may still report for it turns it
// to sent. A result finds its line by contact and text (by text alone when
// no line to that id has it: an SMS result names the number): the oldest
// still waiting, else (a late answer) the oldest that timed out. UI thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "libtavrin.h"
#include "screens/router/ChatLink.h"
#include "storage/ChatLogStore.h"

namespace tavrin::screens::chat {

class Outbox {
 public:
  // A line whose state changed: its new text, to show and to store.
  struct Settled {
    long contact_id = 0;
    std::uint64_t id = 0;    // the id add() gave it
    std::int64_t rowid = 0;  // its log row, 0 when it has none
    std::u16string line;     // the state's prefix and the text
  };

  // A line the engine took; returns its id (never 0).
  std::uint64_t add(long contact_id, std::u16string text, std::int64_t rowid);
  // What a send result settles: the code's outcome for the line its record
  // carries; nullopt when it is about no line of ours.
  std::optional<Settled> on_result(int code, long contact_id, const fx_msg* record);
  // The session ends (sign-out, exit): every line still waiting is failed,
  // as no result for it can reach this client any more; the outbox empties.
  std::vector<Settled> abandon();
  size_t size() const { return entries_.size(); }

 private:
  static constexpr long kTimedOutKept = 100;
  struct Entry {
    std::uint64_t id;
    long contact_id;
    std::u16string text;
    std::u16string key;  // the text as a result's record gives it back
    std::int64_t rowid;
    bool timed_out = false;
  };
  std::vector<Entry> entries_;
  std::uint64_t next_id_ = 1;
};

// Shows a settled line for what it now is: rewritten in the log (when it
// has a row there; a log that fails keeps the old text) and in the chat
// window, when one shows its contact. Either may be null.
void show_settled(const Outbox::Settled& settled, const storage::ChatLogStore* log,
                  ChatWindow* chat);

}  // namespace tavrin::screens::chat
