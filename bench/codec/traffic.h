// A realistic mix of what the service sends a signed-in client: command
// responses with XML bodies, presence events, chat lines, keep-alive answers,
// each written as SIP-C and twice as standard SIP:
// - sip: a full SIP message as a SIP stack would write it (Via, long header
//   names in angle-bracket form, Content-Length always);
// - sip_same_shape: only the headers the SIP-C message carries, under SIP's
//   compact names where SIP has one (i, l, f, t, c, o, k), values byte for
//   byte, Content-Length only with a body: the same shape as our traffic.
#ifndef TAVRIN_BENCH_CODEC_TRAFFIC_H
#define TAVRIN_BENCH_CODEC_TRAFFIC_H

#include <string>
#include <vector>

struct traffic {
  std::vector<std::string> sipc;            // one SIP-C message each
  std::vector<std::string> sip;             // the same message as standard SIP
  std::vector<std::string> sip_same_shape;  // the same message in our shape
  std::string sipc_stream;                  // all SIP-C messages back to back
  std::size_t sipc_bytes = 0;
  std::size_t sip_bytes = 0;
  std::size_t sip_same_shape_bytes = 0;
};

// count messages, cycling through the mix; deterministic.
traffic make_traffic(int count);

#endif  // TAVRIN_BENCH_CODEC_TRAFFIC_H
