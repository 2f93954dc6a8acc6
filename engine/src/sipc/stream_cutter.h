// sipc_stream_cutter: the receive buffer of one SIP-C connection. The socket
// reader appends whatever bytes arrived; take() hands out one complete message
// at a time, in order.
//
// Framing is by length only: a head ends at the first "\r\n\r\n", its "L"
// header gives the body length, and NUL bytes or invalid UTF-8 are plain bytes.
// - A head that cannot be read (bad start line, header line without ":", no
//   usable "I" or "Q") is skipped together with its body, and cutting goes on.
// - A body length that cannot be trusted (negative, not a number, overflowing,
//   above sipc_max_large_body, two different values) or a head longer than
//   max_head means the stream can no longer be framed: take() reports reset
//   until clear(), and nothing of that length is ever allocated.
// - A body longer than the body limit allows for its head (sipc_max_body
//   unless the limit says more) is read past and never held: the message is
//   handed out without it and with body_dropped() set, so its receiver can
//   fail an answer cleanly and refuse a request.
// - A message whose body has not fully arrived stays pending; the caller
//   decides how long to wait for it (see mid_message() and missing()).
// Cutting k messages out of one large append costs time linear in the bytes.
//
// Owned and used by one thread (the engine's worker); not synchronised.
#ifndef TAVRIN_SIPC_STREAM_CUTTER_H
#define TAVRIN_SIPC_STREAM_CUTTER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "sipc/message.h"

namespace tavrin {

enum class sipc_cut {
  message,     // a complete message was taken
  incomplete,  // nothing complete yet: read more
  reset,       // the stream cannot be framed: drop the connection, then clear()
};

class sipc_stream_cutter {
 public:
  // Longest head accepted while looking for its blank line.
  static constexpr std::size_t max_head = std::size_t{64} << 10;

  // How long a body the receiver of a message with this head accepts, up to
  // sipc_max_large_body. Unset: sipc_max_body for every message.
  using BodyLimit = std::function<std::size_t(const sipc_message& head)>;
  void set_body_limit(BodyLimit limit) { limit_ = std::move(limit); }

  void append(std::string_view bytes);
  void append(const char* bytes, std::size_t length) { append(std::string_view(bytes, length)); }

  // Takes the next complete message into out (only when message is returned).
  [[nodiscard]] sipc_cut take(sipc_message& out);

  // Forgets everything but the body limit, for a new connection.
  void clear();

  // Bytes held that are not yet handed out.
  std::size_t buffered() const { return buf_.size() - pos_; }
  // True while a message has begun but not fully arrived: the caller's bounded
  // wait runs while this stays true without progress.
  bool mid_message() const;
  // Bytes still needed to end the current message when its head is known; 0 otherwise.
  std::size_t missing() const;
  // Heads skipped as unreadable since the last clear().
  uint64_t skipped_heads() const { return skipped_; }
  // Why take() reported reset; empty otherwise.
  std::string_view reset_reason() const { return reason_; }

 private:
  sipc_cut fail(std::string_view why);

  std::string buf_;
  std::size_t pos_ = 0;   // first byte not yet consumed
  std::size_t scan_ = 0;  // where the search for the blank line resumes
  bool have_head_ = false;
  sipc_message pending_;  // head already read, waiting for its body
  std::size_t need_ = 0;  // body length of pending_
  std::size_t skip_ = 0;  // body bytes of a skipped message still to drop
  uint64_t skipped_ = 0;
  bool broken_ = false;
  std::string_view reason_;
  BodyLimit limit_;
};

}  // namespace tavrin

#endif  // TAVRIN_SIPC_STREAM_CUTTER_H
