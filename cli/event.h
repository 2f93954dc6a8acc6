// An engine message copied into memory the front end owns. make_event runs
// on the engine thread inside the callback: it copies what is only valid
// during the call (the body of 16/17) and takes over what the message hands
// to the receiver (send-result records, management texts, contact-request
// texts, file offers), freeing the engine's allocation at once. The result
// is then moved to the main thread through the EventQueue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavrin::cli {

struct Event {
  int code = 0;
  long p1 = 0;  // when p1 is a number
  long p2 = 0;  // when p2 is a number
  std::optional<std::string> p1_text;
  std::optional<std::string> p2_text;
  // Send results (32..36, 52..54, 148..154): the sent-message record.
  bool has_record = false;
  long record_to = 0;
  std::string record_text;
  // File offer (135).
  std::string offer_name, offer_url;
  long offer_size = 0;
};

Event make_event(int code, intptr_t p1, intptr_t p2);

// Codes whose p1 is a sent-message record, and those of them whose record
// passes to the receiver (the time-outs stay the engine's).
bool carries_record(int code);
bool record_is_receivers(int code);
// Codes whose p1 is a new text the receiver frees.
bool carries_p1_text(int code);

// Login codes that end a login.
bool is_login_failure(int code);

}  // namespace tavrin::cli
