// SipcMessage: one SIP-C request or response as the server reads and writes it,
// and the framer that cuts messages out of a connection's byte stream.
//
// The server keeps its own small codec rather than the engine's: it must never
// wedge on a bad head, must bound every length it is sent, and is tuned for
// thousands of connections on one thread. Everything here is plain data; the
// event-loop thread is the only caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin::server {

// Views into the bytes the message was cut from: valid while those bytes are
// (the framer's caller hands the message on before it reads any further).
// Only a folded header value is joined into storage of the message's own.
struct SipcMessage {
  int status = 0;           // response status; 0 for a request
  std::string_view method;  // request method, replaced by the method of "Q" when present
  std::string_view target;  // request target, or the reason phrase of a response
  long callId = 0;          // "I"
  long seq = 0;             // number part of "Q"
  std::vector<std::pair<std::string_view, std::string_view>> headers;
  std::string_view body;

  SipcMessage() = default;
  SipcMessage(SipcMessage&&) = default;
  SipcMessage& operator=(SipcMessage&&) = default;
  SipcMessage(const SipcMessage&) = delete;  // the views would outlive their storage
  SipcMessage& operator=(const SipcMessage&) = delete;

  bool isRequest() const { return status == 0; }
  // First header of that name (ASCII case-insensitive), or nothing.
  std::optional<std::string_view> header(std::string_view name) const;
  std::string_view headerOr(std::string_view name, std::string_view fallback = {}) const;
  // Empties the message for the next one; the header table keeps its room.
  void clear();
  // Joins a continuation line onto the last header's value.
  void fold(std::string_view more);

 private:
  std::deque<std::string> folded_;  // joined values (a deque: views into it stay valid)
};

enum class FrameStatus { kMessage, kNeedMore, kBad };

// What a signed-in client's request body may hold: 2 MiB, a subscription
// naming some 40,000 contacts.
inline constexpr size_t kMaxRegisteredBody = 2 * 1024 * 1024;

// Limits of what one message may hold; anything larger is refused as bad.
struct FrameLimits {
  size_t maxHead = 16 * 1024;
  size_t maxBody = 256 * 1024;
};

// Cuts the first message out of `data`. On kMessage, `out` holds it (viewing
// `data`) and `consumed` is its length in bytes, blank lines before it included.
// kNeedMore: drop the `consumed` bytes of blank lines skipped, keep the rest
// and wait. kBad: the stream cannot be read any further (the caller closes
// it). Blank lines between messages count against maxHead: `padding` (kept
// by the caller from call to call, reset at each message) holds how many
// were skipped since the last message, so an endless run of them is refused
// without ever being kept.
FrameStatus cutMessage(std::string_view data, const FrameLimits& limits, SipcMessage& out,
                       size_t& consumed, size_t* padding = nullptr);

// Serialised forms. Headers are written in order, "L" last when a body exists.
std::string serializeRequest(std::string_view method, std::string_view target,
                             const std::vector<std::pair<std::string, std::string>>& headers,
                             std::string_view body);
std::string serializeResponse(int status, std::string_view reason,
                              const std::vector<std::pair<std::string, std::string>>& headers,
                              std::string_view body);

bool equalsNoCase(std::string_view a, std::string_view b);
bool containsNoCase(std::string_view hay, std::string_view needle);
// Strict decimal parse of a whole text (optional leading '-'); false on overflow.
bool parseLong(std::string_view text, long& out);

}  // namespace tavrin::server
