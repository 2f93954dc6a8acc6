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
// The three ParseMix runs repeat 5 times; a closing table gives each one's
// median and min and the ratio of each sofia-sip run to ours.
#include <benchmark/benchmark.h>
#include <sofia-sip/msg.h>
#include <sofia-sip/msg_mclass.h>
#include <sofia-sip/sip.h>
#include <sofia-sip/sip_header.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sipc/message.h"
#include "sipc/stream_cutter.h"
#include "traffic.h"

namespace {

constexpr int kMix = 1000;
// ParseMix repetitions: the closing table uses their median and min.
constexpr int kRepetitions = 5;

const traffic& mix() {
  static const traffic t = make_traffic(kMix);
  return t;
}

double min_of(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
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
BENCHMARK(BM_ParseMix_sipc)
    ->Name("BM_ParseMix/sipc")
    ->ComputeStatistics("min", min_of)
    ->Repetitions(kRepetitions)
    ->DisplayAggregatesOnly();

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
BENCHMARK(BM_ParseMix_sofia)
    ->Name("BM_ParseMix/sofia")
    ->ComputeStatistics("min", min_of)
    ->Repetitions(kRepetitions)
    ->DisplayAggregatesOnly();

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

void BM_ParseMix_sofia_same(benchmark::State& state) {
  const traffic& t = mix();
  msg_mclass_t const* mclass = same_work_mclass();
  for (std::size_t i = 0; i < t.sip_same_shape.size(); ++i) {
    // Every message must parse, with exactly the decoded headers ours has.
    const std::string& s = t.sip_same_shape[i];
    msg_t* msg = msg_make(mclass, 0, s.data(), static_cast<ssize_t>(s.size()));
    sip_t const* sip = msg ? sip_object(msg) : nullptr;
    const bool body = t.sipc[i].find("\r\nL: ") != std::string::npos;
    const bool event = t.sipc[i].find("\r\nN: ") != std::string::npos;
    const bool ok = msg && !msg_has_error(msg) && sip && sip->sip_call_id && sip->sip_cseq &&
                    !sip->sip_via && !sip->sip_from && !sip->sip_event &&
                    (sip->sip_content_length != nullptr) == body &&
                    (same_work_event(sip) != nullptr) == event;
    if (msg) msg_destroy(msg);
    if (!ok) {
      state.SkipWithError("sofia-sip did not read a same-shape message as expected");
      return;
    }
  }
  for (auto _ : state) {
    for (const std::string& s : t.sip_same_shape) {
      msg_t* msg = msg_make(mclass, 0, s.data(), static_cast<ssize_t>(s.size()));
      benchmark::DoNotOptimize(same_work_event(sip_object(msg)));
      msg_destroy(msg);
    }
  }
  rates(state, t.sip_same_shape_bytes, t.sip_same_shape.size());
}
BENCHMARK(BM_ParseMix_sofia_same)
    ->Name("BM_ParseMix/sofia_same")
    ->ComputeStatistics("min", min_of)
    ->Repetitions(kRepetitions)
    ->DisplayAggregatesOnly();

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

// Keeps the CPU time of the ParseMix runs for the closing ratios: each
// repetition's, or the median and min aggregates when only those are shown.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const double s = r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      if (r.run_type == Run::RT_Iteration)
        times[r.run_name.function_name].reps.push_back(s);
      else if (r.aggregate_name == "median")
        times[r.run_name.function_name].median = s;
      else if (r.aggregate_name == "min")
        times[r.run_name.function_name].min = s;
    }
  }
  struct seconds {
    std::vector<double> reps;  // per iteration, one per repetition
    double median = 0, min = 0;
    double get_median() const {
      if (median > 0 || reps.empty()) return median;
      std::vector<double> v = reps;
      std::sort(v.begin(), v.end());
      const std::size_t n = v.size();
      return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double get_min() const {
      if (min > 0 || reps.empty()) return min;
      return *std::min_element(reps.begin(), reps.end());
    }
  };
  std::map<std::string, seconds> times;
};

void print_ratios(const RatioReporter& r) {
  const auto ours = r.times.find("BM_ParseMix/sipc");
  if (ours == r.times.end()) return;
  const traffic& t = mix();
  const double ours_median = ours->second.get_median(), ours_min = ours->second.get_min();
  std::printf("\n%-28s %7s %10s %10s %12s %10s\n", "ParseMix, 1000 messages", "bytes", "median us",
              "min us", "ratio median", "ratio min");
  std::printf("%-28s %7zu %10.1f %10.1f %12s %10s\n", "sipc (ours)", t.sipc_bytes,
              ours_median * 1e6, ours_min * 1e6, "1.00x", "1.00x");
  const struct {
    const char* name;
    const char* label;
    std::size_t bytes;
  } refs[] = {{"BM_ParseMix/sofia", "sofia, full SIP", t.sip_bytes},
              {"BM_ParseMix/sofia_same", "sofia, same work and shape", t.sip_same_shape_bytes}};
  for (const auto& ref : refs) {
    const auto it = r.times.find(ref.name);
    if (it == r.times.end()) continue;
    const double median = it->second.get_median(), min = it->second.get_min();
    std::printf("%-28s %7zu %10.1f %10.1f %11.2fx %9.2fx\n", ref.label, ref.bytes, median * 1e6,
                min * 1e6, median / ours_median, min / ours_min);
  }
  std::printf(
      "(CPU time per 1000 messages over the repetitions; ratio: the reference's time\n"
      " over ours, above 1 means ours is faster)\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_ratios(reporter);
  benchmark::Shutdown();
  return 0;
}
