// A realistic mix of what the service sends a signed-in client: command
// responses with XML bodies, presence events, chat lines, keep-alive answers,
// each written both as SIP-C and as the equivalent standard SIP message.
#ifndef TAVRIN_BENCH_CODEC_TRAFFIC_H
#define TAVRIN_BENCH_CODEC_TRAFFIC_H

#include <string>
#include <vector>

struct traffic {
  std::vector<std::string> sipc;  // one SIP-C message each
  std::vector<std::string> sip;   // the same message as standard SIP
  std::string sipc_stream;        // all SIP-C messages back to back
  std::size_t sipc_bytes = 0;
  std::size_t sip_bytes = 0;
};

// count messages, cycling through the mix; deterministic.
traffic make_traffic(int count);

#endif  // TAVRIN_BENCH_CODEC_TRAFFIC_H
