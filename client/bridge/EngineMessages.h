// What every front end needs to know about the engine's messages: for each
// message code, its short name and what p1 and p2 carry and who frees them,
// read from the one table the engine itself frees by (message_words.h).
// The client and tavrin-cli both use it, so a record or a text handed over by
// the engine is freed in exactly one place whatever receives it, and a code
// has one name in every log and output.
//
// This library needs only the engine's public header and that table. Any thread: the table
// is constant; an EngineMessage belongs to whichever thread holds it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "libtavrin.h"
#include "message_words.h"

namespace tavrin::bridge {

// The engine's own table (message_words.h), under the bridge's names.
using Carries = tavrin::Carries;
using CodeInfo = tavrin::MessageWords;
using Outcome = tavrin::Outcome;

// The row of a code; unknown codes carry plain numbers.
CodeInfo describe(int code);
inline std::string_view message_name(int code) {
  return describe(code).name;
}

using tavrin::send_outcome;       // what a send result says became of its line
bool is_send_result(int code);    // a code with an outcome: p1 is a sent-message record
bool is_send_timeout(int code);   // no answer in time: the engine keeps the record
bool is_login_failure(int code);  // the codes that end a login attempt

// Frees what the receiver owns of (p1, p2) for this code, as the engine
// handed them to a callback; nothing else.
void release(int code, intptr_t p1, intptr_t p2);

// A copy of a record the engine keeps (the time-outs), made while the
// engine's callback runs, for a receiver that reads it later. Null for null.
fx_msg* copy_kept_record(const fx_msg* record);
// As release, for words as post_callback posted them: a time-out's record
// is then the copy, freed here.
void release_posted(int code, intptr_t p1, intptr_t p2);

// One engine message as its receiver holds it (as post_callback posted it):
// frees what it owns when it goes, unless the owner took it. Move-only.
class EngineMessage {
 public:
  EngineMessage() = default;
  // Adopts the words as the callback delivered them (the receiver's share
  // is now ours). Transient bodies are not read here: see copy_transient.
  EngineMessage(int code, intptr_t p1, intptr_t p2) : code_(code), p1_(p1), p2_(p2) {}
  ~EngineMessage() { reset(); }
  EngineMessage(EngineMessage&& o) noexcept { *this = std::move(o); }
  EngineMessage& operator=(EngineMessage&& o) noexcept;
  EngineMessage(const EngineMessage&) = delete;
  EngineMessage& operator=(const EngineMessage&) = delete;

  int code() const { return code_; }
  intptr_t p1() const { return p1_; }
  intptr_t p2() const { return p2_; }
  long number() const { return long(p1_); }   // p1 as a number
  long contact() const { return long(p2_); }  // p2 as the contact id

  // The sent-message record of a send result; null otherwise.
  const fx_msg* record() const;
  // p1's text for codes that hand one over; empty otherwise.
  std::string text() const;
  // p2's text (93: the requester's uri); empty otherwise.
  std::string text2() const;
  const fx_file_offer* file_offer() const;

  // Hands p1 over to the caller, who now frees it as describe() says.
  intptr_t take_p1();
  void reset();

 private:
  int code_ = 0;
  intptr_t p1_ = 0, p2_ = 0;
};

}  // namespace tavrin::bridge
