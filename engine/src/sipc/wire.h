// Wire: the SIP-C layer's side of the connection.
//   - queue(): a built message goes to the send queue (any thread), after its
//     sequence number was noted in the transaction table;
//   - the call-id counter;
//   - the receive side (worker thread only): bytes from the socket go into
//     the stream cutter; every complete message is answered at once (through
//     the send queue, behind any unfinished text) when it is an "N" request, routed to its
//     transaction's handler by call id, or handed to the request dispatcher (dialogs, chats) when
//     no transaction knows it; a request whose body is over the limit is
//     answered 413 instead (every line up to kMaxLineBytes is taken);
//   - reset_and_connect(): a fresh connection with empty queues (timer thread).
//
// A stream that can no longer be framed (an untrustworthy "L"), or a message
// that stops arriving half-way for longer than the stall limit, drops the
// connection: socket error 10053, message 97.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "frame/worker.h"
#include "tavrin/line_limit.h"
#include "sipc/message.h"
#include "sipc/stream_cutter.h"
#include "sipc/transactions.h"

namespace tavrin {

static_assert(sipc_max_body >= kMaxLineBytes, "the engine takes every line the server relays");

// Receives every message that no transaction claims (worker thread).
using RequestDispatcher = void (*)(sipc_message& message);

class Wire {
 public:
  // How long a half-arrived message may wait for its next byte.
  static constexpr std::chrono::seconds kDefaultStallLimit{30};

  Wire();

  // The hooks fx_init gives the worker.
  WireHooks hooks();

  // Notes the sequence number, serialises the message and queues the text.
  // The caller keeps its message.
  void queue(const sipc_message& message);

  // Call ids: incremented before use; reset so that the registration's is 1.
  int32_t new_call_id() { return ++call_id_; }
  void reset_call_id() { call_id_ = 0; }

  void set_request_dispatcher(RequestDispatcher dispatcher) { dispatcher_ = dispatcher; }

  // Empties the send queue and the receive buffer, closes the connection
  // and connects again (directly or through the proxy). 1 when connected.
  int reset_and_connect();

  // Worker thread: after each poll, with what arrived (possibly nothing).
  void polled(const char* data, size_t length);

  // Drops what is buffered; for fx_terminate and tests.
  void reset_receive() { generation_.fetch_add(1); }
  // Changes whenever the connection is replaced: an answer owed on the old
  // one is not sent on the new one.
  uint64_t generation() const { return generation_.load(); }
  void set_stall_limit(std::chrono::milliseconds limit) { stall_limit_ms_ = limit.count(); }

  TransactionTable transactions;

 private:
  void dispatch(sipc_message& message);
  void answer_notification(const sipc_message& message);
  // A request whose body was too long to take gets 413 and goes no further.
  void refuse_too_long(const sipc_message& message);
  void drop_connection();

  std::atomic<int32_t> call_id_{0};
  std::atomic<RequestDispatcher> dispatcher_{nullptr};
  std::atomic<uint64_t> generation_{0};  // bumped to empty the receive buffer
  std::atomic<int64_t> stall_limit_ms_{
      std::chrono::duration_cast<std::chrono::milliseconds>(kDefaultStallLimit).count()};

  // Worker thread only.
  sipc_stream_cutter cutter_;
  uint64_t seen_generation_ = 0;
  std::chrono::steady_clock::time_point last_progress_{};
};

Wire& wire();

}  // namespace tavrin
