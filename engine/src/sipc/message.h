// sipc_message: one SIP-C message, built by the engine or parsed from the wire.
//
// A message is a plain value: copying it copies every field and header, and it
// frees itself. Header names compare without regard to ASCII case; headers keep
// their order of arrival or addition. Nothing here touches engine state: the
// service's SIP domain and the user's login id come in through sipc_origin.
// Any thread may use a message it owns; a message is not shared between threads.
#ifndef TAVRIN_SIPC_MESSAGE_H
#define TAVRIN_SIPC_MESSAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

// Who sends the requests: the text that stands as target of every request line,
// and the "F" value of every request.
struct sipc_origin {
  std::string sip_domain;
  std::string login_id;
};

// ASCII case-insensitive equality of header names (never locale-dependent).
bool sipc_name_equal(std::string_view a, std::string_view b);

class sipc_message {
 public:
  using header = std::pair<std::string, std::string>;

  sipc_message() = default;

  // A request: target = the SIP domain, "F" = the login id, "I" = "%d " (the
  // digits and one space), "Q" = "%d %s"; with a body, the body and its "L".
  static sipc_message request(const sipc_origin& origin, std::string_view method, int32_t call_id,
                              int32_t sequence);
  static sipc_message request(const sipc_origin& origin, std::string_view method, int32_t call_id,
                              int32_t sequence, std::string_view body);

  // 0 for a request; setting a non-zero code turns the message into a response.
  int32_t status() const { return status_; }
  void set_status(int32_t code) { status_ = code; }
  bool is_response() const { return status_ != 0; }

  // The request's method, replaced by the method of the "Q" header when one was
  // received; empty when there is none (such a received message is dropped).
  const std::string& method() const { return method_; }
  bool has_method() const { return !method_.empty(); }
  void set_method(std::string_view method) { method_.assign(method); }

  // Request target, or the reason phrase of a received response.
  const std::string& target() const { return target_; }
  void set_target(std::string_view target) { target_.assign(target); }

  int32_t call_id() const { return call_id_; }
  void set_call_id(int32_t id) { call_id_ = id; }
  int32_t sequence() const { return sequence_; }
  void set_sequence(int32_t seq) { sequence_ = seq; }

  const std::vector<header>& headers() const { return headers_; }
  // Appends a copy of the pair; an empty name is ignored.
  void add_header(std::string_view name, std::string_view value);
  // Value of the first header with that name, or nullptr.
  const std::string* get_header(std::string_view name) const;
  // Removes the first header with that name; false when there was none.
  bool remove_header(std::string_view name);

  // The body is kept byte for byte (NUL bytes included); its length is the "L".
  const std::string& body() const { return body_; }
  bool has_body() const { return !body_.empty(); }
  int32_t body_length() const { return static_cast<int32_t>(body_.size()); }
  // Copies the text and replaces "L" (moved to the end) by its length.
  void set_body(std::string_view text);
  // A received message whose body was larger than its receiver accepts: the
  // body was read past and dropped (no "L" is left), the head is as it came.
  bool body_dropped() const { return body_dropped_; }

  // Wire form. A response always reads "SIP-C/2.0 %d OK"; the first "L" header
  // is always written last; then the blank line and the body.
  std::string serialise() const;

 private:
  friend class sipc_head_parser;
  friend class sipc_stream_cutter;  // stores a received body as is

  int32_t status_ = 0;
  std::string method_;
  std::string target_;
  int32_t call_id_ = 0;
  int32_t sequence_ = 0;
  std::vector<header> headers_;
  std::string body_;
  bool body_dropped_ = false;
};

// Outcome of reading a head (the text before the first blank line).
enum class sipc_head_result {
  ok,          // a message; its body length is known and within sipc_max_large_body
  invalid,     // bad start line, header line without ":", no usable "I" or "Q"
  bad_length,  // "L" negative, not a number, overflowing, too large or given twice
               // with different values: the stream cannot be framed any more
};

// Largest body of an ordinary message; the service's XML bodies are a few KiB.
inline constexpr std::size_t sipc_max_body = std::size_t{1} << 20;
// Largest body of a message whose transaction asks for more (the contact list:
// the service keeps up to 5,000 contacts with names of up to 256 bytes, each
// escaped up to six times in XML, and 64 lists; the presence events naming
// them all), and the largest "L" the
// stream trusts at all. A longer message between the two limits is read past
// without being kept; one beyond this one cannot be framed.
inline constexpr std::size_t sipc_max_large_body = std::size_t{16} << 20;

struct sipc_head {
  sipc_head_result result = sipc_head_result::invalid;
  sipc_message message;         // fields and headers as far as they were read
  std::size_t body_length = 0;  // valid unless result is bad_length
};

// Reads a head (without the terminating "\r\n\r\n"). Works on the bytes by
// length; NUL bytes and invalid UTF-8 are plain bytes.
sipc_head sipc_parse_head(std::string_view head);

}  // namespace tavrin

#endif  // TAVRIN_SIPC_MESSAGE_H
