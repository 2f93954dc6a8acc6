#include "sipc/wire.h"

#include <algorithm>
#include <string>

#include "frame/engine.h"
#include "sipc/socket_error.h"

namespace tavrin {

Wire::Wire() {
  // A message on a call may be as long as its transaction said when it was
  // registered (the contact list's answer, the presence subscription's
  // events); everything else keeps the ordinary limit.
  cutter_.set_body_limit([this](const sipc_message& head) {
    const size_t wanted = transactions.max_body(head.call_id());
    return wanted == 0 ? sipc_max_body : std::min(wanted, sipc_max_large_body);
  });
}

WireHooks Wire::hooks() {
  return WireHooks{
      [] { engine().send_queue.flush(engine().net()); },
      [] { return engine().send_queue.empty(); },
      [this](const char* data, size_t length) { polled(data, length); },
  };
}

void Wire::queue(const sipc_message& message) {
  transactions.note_sequence(message.call_id(), message.sequence());
  engine().send_queue.push(message.serialise(), engine().net());
}

int Wire::reset_and_connect() {
  engine().send_queue.clear();
  reset_receive();
  engine().net().close();
  return engine().net().connect();
}

void Wire::drop_connection() {
  cutter_.clear();
  handle_socket_error(kWsaConnAborted);
}

void Wire::polled(const char* data, size_t length) {
  const auto now = std::chrono::steady_clock::now();
  const uint64_t generation = generation_.load();
  if (generation != seen_generation_) {
    seen_generation_ = generation;
    cutter_.clear();
  }
  if (length > 0) {
    cutter_.append(data, length);
    last_progress_ = now;
  }
  for (;;) {
    sipc_message message;
    const sipc_cut cut = cutter_.take(message);
    if (cut == sipc_cut::reset) {
      drop_connection();
      return;
    }
    if (cut == sipc_cut::incomplete) break;
    last_progress_ = now;
    dispatch(message);
  }
  if (cutter_.mid_message() &&
      now - last_progress_ > std::chrono::milliseconds(stall_limit_ms_.load()))
    drop_connection();
}

void Wire::answer_notification(const sipc_message& message) {
  const std::string answer = "SIP-C/2.0 200 OK\r\nI: " + std::to_string(message.call_id()) +
                             "\r\nQ: " + std::to_string(message.sequence()) + " N\r\n\r\n";
  // Through the send queue like every other text: a text cut short by a
  // partial send may still be waiting there, and the answer must not land
  // inside it.
  engine().send_queue.push(answer, engine().net());
}

void Wire::dispatch(sipc_message& message) {
  if (!message.has_method()) return;
  if (!message.is_response() && message.body_dropped()) {
    // Too long to take: refused, so the server lets it go instead of
    // holding back the lines it queued behind it.
    refuse_too_long(message);
    return;
  }
  if (!message.is_response() && message.method() == "N") answer_notification(message);
  if (auto entry = transactions.find(message.call_id())) {
    transactions.note_sequence(message.call_id(), message.sequence());
    if (entry->handler) entry->handler(message, entry->user);
    return;
  }
  if (RequestDispatcher dispatcher = dispatcher_.load()) dispatcher(message);
}

void Wire::refuse_too_long(const sipc_message& message) {
  std::string answer = "SIP-C/2.0 413 Request Entity Too Large\r\n";
  if (const std::string* from = message.get_header("F")) answer += "F: " + *from + "\r\n";
  answer += "I: " + std::to_string(message.call_id()) + "\r\nQ: " +
            std::to_string(message.sequence()) + " " + message.method() + "\r\n\r\n";
  engine().send_queue.push(answer, engine().net());
}

Wire& wire() {
  static Wire* const instance = [] {
    auto* w = new Wire;
    engine().add_teardown([w] {
      w->transactions.clear();
      w->reset_receive();
    });
    return w;
  }();
  return *instance;
}

}  // namespace tavrin
