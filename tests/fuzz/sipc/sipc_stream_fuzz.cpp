// Cutting and parsing received SIP-C bytes. The first input byte picks a read
// size; the rest is the stream. Whatever the bytes, the cutter must not crash,
// must give the same messages whether the stream comes in one read or in
// pieces, and must never hold more than it was given.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sipc/message.h"
#include "sipc/stream_cutter.h"

namespace {

using tavrin::sipc_cut;

struct Outcome {
  std::vector<std::string> messages;  // serialised form of each message taken
  sipc_cut last = sipc_cut::incomplete;
};

void check(bool ok) {
  if (!ok) __builtin_trap();
}

Outcome run(std::string_view stream, std::size_t piece) {
  tavrin::sipc_stream_cutter c;
  Outcome out;
  for (std::size_t i = 0; i < stream.size(); i += piece) {
    std::string_view chunk = stream.substr(i, piece);
    c.append(chunk);
    check(c.buffered() <= stream.size());
    tavrin::sipc_message m;
    while ((out.last = c.take(m)) == sipc_cut::message) {
      check(m.body().size() <= tavrin::sipc_max_body);
      std::string wire = m.serialise();
      // What we would send back must itself read as one message.
      tavrin::sipc_head again = tavrin::sipc_parse_head(wire.substr(0, wire.find("\r\n\r\n")));
      check(again.result != tavrin::sipc_head_result::bad_length);
      out.messages.push_back(std::move(wire));
    }
    if (out.last == sipc_cut::reset) {
      check(c.buffered() == 0);
      break;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (stream.empty()) return 0;
  Outcome whole = run(stream, stream.size());
  Outcome pieces = run(stream, piece);
  check(whole.messages == pieces.messages);
  check(whole.last == pieces.last);
  return 0;
}
