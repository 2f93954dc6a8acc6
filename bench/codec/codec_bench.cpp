// Codec throughput. Run by hand:  build/<dir>/bin/bench_codec
//   BM_ParseMix/sipc   cut + parse a realistic mix of SIP-C traffic from one stream
//   BM_ParseMix/sofia  parse the same messages as standard SIP with sofia-sip
//   BM_Cut             cut N messages that arrived in one read (time per byte stays flat)
//   BM_CutRejoin       the same with a buffer re-joined at every message, for contrast
#include <benchmark/benchmark.h>
#include <sofia-sip/msg.h>
#include <sofia-sip/sip.h>
#include <sofia-sip/sip_header.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sipc/message.h"
#include "sipc/stream_cutter.h"
#include "traffic.h"

namespace {

constexpr int kMix = 1000;

const traffic& mix() {
  static const traffic t = make_traffic(kMix);
  return t;
}

void rates(benchmark::State& state, std::size_t bytes, std::size_t messages) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["msgs/s"] = benchmark::Counter(static_cast<double>(state.iterations() * messages),
                                                benchmark::Counter::kIsRate);
}

void BM_ParseMix_sipc(benchmark::State& state) {
  const traffic& t = mix();
  std::size_t got = 0;
  for (auto _ : state) {
    tavrin::sipc_stream_cutter cutter;
    cutter.append(t.sipc_stream);
    tavrin::sipc_message m;
    got = 0;
    while (cutter.take(m) == tavrin::sipc_cut::message) {
      benchmark::DoNotOptimize(m.get_header("N"));
      ++got;
    }
  }
  if (got != t.sipc.size()) state.SkipWithError("not every SIP-C message was cut");
  rates(state, t.sipc_bytes, t.sipc.size());
}
BENCHMARK(BM_ParseMix_sipc)->Name("BM_ParseMix/sipc");

void BM_ParseMix_sofia(benchmark::State& state) {
  const traffic& t = mix();
  msg_mclass_t const* mclass = sip_default_mclass();
  for (const std::string& s : t.sip) {  // every message must be valid SIP
    msg_t* msg = msg_make(mclass, 0, s.data(), static_cast<ssize_t>(s.size()));
    sip_t const* sip = msg ? sip_object(msg) : nullptr;
    if (!msg || msg_has_error(msg) || !sip || !sip->sip_call_id || !sip->sip_cseq) {
      state.SkipWithError("sofia-sip refused a message");
      if (msg) msg_destroy(msg);
      return;
    }
    msg_destroy(msg);
  }
  for (auto _ : state) {
    for (const std::string& s : t.sip) {
      msg_t* msg = msg_make(mclass, 0, s.data(), static_cast<ssize_t>(s.size()));
      benchmark::DoNotOptimize(sip_object(msg)->sip_call_id);
      msg_destroy(msg);
    }
  }
  rates(state, t.sip_bytes, t.sip.size());
}
BENCHMARK(BM_ParseMix_sofia)->Name("BM_ParseMix/sofia");

// Cutting N messages from one read; with Complexity the fit should read O(N).
void BM_Cut(benchmark::State& state) {
  const traffic t = make_traffic(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    tavrin::sipc_stream_cutter cutter;
    cutter.append(t.sipc_stream);
    tavrin::sipc_message m;
    while (cutter.take(m) == tavrin::sipc_cut::message) benchmark::DoNotOptimize(m.call_id());
  }
  rates(state, t.sipc_bytes, t.sipc.size());
  state.counters["read_bytes"] = static_cast<double>(t.sipc_bytes);
  state.SetComplexityN(static_cast<int64_t>(t.sipc_bytes));
}
BENCHMARK(BM_Cut)->Arg(250)->Arg(1000)->Arg(4000)->Arg(16000)->Complexity();

// A cutter that re-joins the remaining buffer after every message, as a plain
// string copy would: what the linear cutter avoids.
void BM_CutRejoin(benchmark::State& state) {
  const traffic t = make_traffic(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string buf = t.sipc_stream;
    for (;;) {
      std::size_t end = buf.find("\r\n\r\n");
      if (end == std::string::npos) break;
      tavrin::sipc_head h = tavrin::sipc_parse_head(std::string_view(buf).substr(0, end));
      std::size_t total = end + 4 + h.body_length;
      if (total > buf.size()) break;
      benchmark::DoNotOptimize(h.message.call_id());
      buf = buf.substr(total);
    }
  }
  rates(state, t.sipc_bytes, t.sipc.size());
  state.SetComplexityN(static_cast<int64_t>(t.sipc_bytes));
}
BENCHMARK(BM_CutRejoin)->Arg(250)->Arg(1000)->Arg(4000)->Complexity();

}  // namespace

BENCHMARK_MAIN();
