// Codec throughput. Run by hand:  build/<dir>/bin/bench_codec
//   BM_ParseMix/sipc       cut + parse a realistic mix of SIP-C traffic from one stream
//   BM_ParseMix/sofia      parse the same messages as full standard SIP with sofia-sip
//                          (Via, long names, every known header decoded)
//   BM_ParseMix/sofia_same sofia-sip doing the work ours does on messages of our
//                          shape: start line, call id, sequence and length decoded,
//                          any other header kept as name and raw value; only the
//                          headers our traffic carries, compact names
//   BM_Cut             cut N messages that arrived in one read (time per byte stays flat)
//   BM_CutRejoin       the same with a buffer re-joined at every message, for contrast
// Before them the three ParseMix parsers take turns over 1000 rounds; a table
// gives each one's median and min and the spread of the ratios to ours.
#include <benchmark/benchmark.h>
#include <sofia-sip/msg.h>
#include <sofia-sip/msg_mclass.h>
#include <sofia-sip/sip.h>
#include <sofia-sip/sip_header.h>
#include <time.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sipc/message.h"
#include "sipc/stream_cutter.h"
#include "support/turns.h"
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

// One pass of each parser over the mix. Ours cuts the stream and looks up
// the "N" header of each message; it returns the messages cut.
std::size_t pass_sipc(const traffic& t) {
  tavrin::sipc_stream_cutter cutter;
  cutter.append(t.sipc_stream);
  tavrin::sipc_message m;
  std::size_t got = 0;
  while (cutter.take(m) == tavrin::sipc_cut::message) {
    benchmark::DoNotOptimize(m.get_header("N"));
    ++got;
  }
  return got;
}

void pass_sofia(const traffic& t) {
  msg_mclass_t const* mclass = sip_default_mclass();
  for (const std::string& s : t.sip) {
    msg_t* msg = msg_make(mclass, 0, s.data(), static_cast<ssize_t>(s.size()));
    benchmark::DoNotOptimize(sip_object(msg)->sip_call_id);
    msg_destroy(msg);
  }
}

// sofia-sip's SIP parser cut down to what ours decodes eagerly: Call-ID (our
// "I"), CSeq ("Q": sequence and method) and Content-Length ("L"), under their
// long and compact names. Every other header goes to the unknown list as a
// name and a raw value, which is all ours keeps of them.
msg_mclass_t const* same_work_mclass() {
  static msg_mclass_t const* const mc = [] {
    msg_mclass_t* c = msg_mclass_clone(sip_default_mclass(), 0, msg_mclass_empty);
    const auto at = [](std::size_t offset) { return static_cast<unsigned short>(offset); };
    msg_mclass_insert_header(c, sip_call_id_class, at(offsetof(sip_t, sip_call_id)));
    msg_mclass_insert_header(c, sip_cseq_class, at(offsetof(sip_t, sip_cseq)));
    msg_mclass_insert_header(c, sip_content_length_class, at(offsetof(sip_t, sip_content_length)));
    static msg_href_t compact[MC_SHORT_SIZE] = {};
    compact['i' - 'a'] = {sip_call_id_class, at(offsetof(sip_t, sip_call_id)), 0};
    compact['l' - 'a'] = {sip_content_length_class, at(offsetof(sip_t, sip_content_length)), 0};
    c->mc_short = compact;
    return c;  // lives as long as the program
  }();
  return mc;
}

// What ours does after the cut: look up the "N" header, here "o" (Event).
const char* same_work_event(sip_t const* sip) {
  for (const sip_unknown_t* u = sip->sip_unknown; u; u = u->un_next)
    if (std::strcmp(u->un_name, "o") == 0) return u->un_value;
  return nullptr;
}

void pass_sofia_same(const traffic& t) {
  msg_mclass_t const* mclass = same_work_mclass();
  for (const std::string& s : t.sip_same_shape) {
    msg_t* msg = msg_make(mclass, 0, s.data(), static_cast<ssize_t>(s.size()));
    benchmark::DoNotOptimize(same_work_event(sip_object(msg)));
    msg_destroy(msg);
  }
}

// Every message must read as intended before any time counts: ours cuts them
// all, full SIP parses, and the same-work parser decodes exactly the headers
// ours does. Returns what went wrong, or nullptr.
const char* check_inputs(const traffic& t) {
  if (pass_sipc(t) != t.sipc.size()) return "not every SIP-C message was cut";
  for (const std::string& s : t.sip) {
    msg_t* msg = msg_make(sip_default_mclass(), 0, s.data(), static_cast<ssize_t>(s.size()));
    sip_t const* sip = msg ? sip_object(msg) : nullptr;
    const bool ok = msg && !msg_has_error(msg) && sip && sip->sip_call_id && sip->sip_cseq;
    if (msg) msg_destroy(msg);
    if (!ok) return "sofia-sip refused a message";
  }
  for (std::size_t i = 0; i < t.sip_same_shape.size(); ++i) {
    const std::string& s = t.sip_same_shape[i];
    msg_t* msg = msg_make(same_work_mclass(), 0, s.data(), static_cast<ssize_t>(s.size()));
    sip_t const* sip = msg ? sip_object(msg) : nullptr;
    const bool body = t.sipc[i].find("\r\nL: ") != std::string::npos;
    const bool event = t.sipc[i].find("\r\nN: ") != std::string::npos;
    const bool ok = msg && !msg_has_error(msg) && sip && sip->sip_call_id && sip->sip_cseq &&
                    !sip->sip_via && !sip->sip_from && !sip->sip_event &&
                    (sip->sip_content_length != nullptr) == body &&
                    (same_work_event(sip) != nullptr) == event;
    if (msg) msg_destroy(msg);
    if (!ok) return "sofia-sip did not read a same-shape message as expected";
  }
  return nullptr;
}

void BM_ParseMix_sipc(benchmark::State& state) {
  const traffic& t = mix();
  if (const char* why = check_inputs(t)) return state.SkipWithError(why);
  for (auto _ : state) pass_sipc(t);
  rates(state, t.sipc_bytes, t.sipc.size());
}
BENCHMARK(BM_ParseMix_sipc)->Name("BM_ParseMix/sipc");

void BM_ParseMix_sofia(benchmark::State& state) {
  const traffic& t = mix();
  if (const char* why = check_inputs(t)) return state.SkipWithError(why);
  for (auto _ : state) pass_sofia(t);
  rates(state, t.sip_bytes, t.sip.size());
}
BENCHMARK(BM_ParseMix_sofia)->Name("BM_ParseMix/sofia");

void BM_ParseMix_sofia_same(benchmark::State& state) {
  const traffic& t = mix();
  if (const char* why = check_inputs(t)) return state.SkipWithError(why);
  for (auto _ : state) pass_sofia_same(t);
  rates(state, t.sip_same_shape_bytes, t.sip_same_shape.size());
}
BENCHMARK(BM_ParseMix_sofia_same)->Name("BM_ParseMix/sofia_same");

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

using tavrin::bench::percentile;
using tavrin::bench::thread_seconds;

// The three parsers take turns over kRounds rounds, one pass each, timed by
// the thread's CPU clock: load from elsewhere on the machine lands on all
// three alike, and each round's ratios give the spread.
constexpr int kRounds = 1000;

bool parse_mix_turns() {
  const traffic& t = mix();
  if (const char* why = check_inputs(t)) {
    std::printf("%s\n", why);
    return false;
  }
  std::vector<double> ours, full, same, full_ratio, same_ratio;
  for (int i = 0; i < kRounds; ++i) {
    const double t0 = thread_seconds();
    pass_sipc(t);
    const double t1 = thread_seconds();
    pass_sofia(t);
    const double t2 = thread_seconds();
    pass_sofia_same(t);
    const double t3 = thread_seconds();
    ours.push_back(t1 - t0);
    full.push_back(t2 - t1);
    same.push_back(t3 - t2);
    full_ratio.push_back((t2 - t1) / (t1 - t0));
    same_ratio.push_back((t3 - t2) / (t1 - t0));
  }
  std::printf("ParseMix, %d messages, %d rounds in turns (CPU us per pass)\n", kMix, kRounds);
  std::printf("  %-28s %7s %8s %8s %8s %15s %9s\n", "", "bytes", "median", "min", "ratio",
              "10th-90th pct", "per byte");
  std::printf("  %-28s %7zu %8.1f %8.1f %8s %15s %9s\n", "sipc (ours)", t.sipc_bytes,
              percentile(ours, 0.5) * 1e6, percentile(ours, 0) * 1e6, "1.00x", "", "1.00x");
  const struct {
    const char* label;
    std::size_t bytes;
    const std::vector<double>& times;
    const std::vector<double>& ratios;
  } refs[] = {{"sofia, full SIP", t.sip_bytes, full, full_ratio},
              {"sofia, same work and shape", t.sip_same_shape_bytes, same, same_ratio}};
  for (const auto& r : refs)
    std::printf("  %-28s %7zu %8.1f %8.1f %7.2fx %7.2f-%.2fx %8.2fx\n", r.label, r.bytes,
                percentile(r.times, 0.5) * 1e6, percentile(r.times, 0) * 1e6,
                percentile(r.ratios, 0.5), percentile(r.ratios, 0.1), percentile(r.ratios, 0.9),
                percentile(r.ratios, 0.5) * double(t.sipc_bytes) / double(r.bytes));
  std::printf(
      "  (ratio: the median over the rounds of the reference's time over ours in\n"
      "   the same round; above 1 means ours is faster. per byte: the same ratio\n"
      "   with each side's time divided by the bytes it parsed)\n\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  double load[3] = {-1, -1, -1};
  (void)getloadavg(load, 3);
  std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  // The turns run unless a filter leaves out ParseMix.
  const std::string filter = benchmark::GetBenchmarkFilter();
  if ((filter.empty() || filter == "." || filter == "all" ||
       filter.find("ParseMix") != std::string::npos) &&
      !parse_mix_turns())
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
