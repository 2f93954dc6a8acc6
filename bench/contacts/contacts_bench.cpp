// A GetContactList answer with 8,000 buddies in 50 buddy lists, about 1 MB:
// the largest round count whose body the engine still accepts (sipc_max_body).
//   TinyXmlAlone       TinyXML parsing the document (the yardstick)
//   ParseContactList   the same document parsed into a contact store (nesting
//                      guard, TinyXML, then the store and its index)
//   GetAccountById     10,000 fx_get_account_by_id calls per iteration on an
//                      installed store of 1,000 / 10,000 / 100,000 contacts
//                      (the time per call should not grow with the store).
// Each runs 10 repetitions of at least 0.5 s; the median and min aggregates
// are shown, and the closing lines give ParseContactList / TinyXmlAlone from
// both. A run that parses fewer contacts than the document holds, or a lookup
// that misses, stops the benchmark with an error instead of timing it.
#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "contacts/engine_contacts.h"
#include "contacts/payload_parsers.h"
#include "contacts/records.h"
#include "libtavrin.h"
#include "sipc/message.h"

using namespace tavrin::contacts;

namespace {

constexpr long kFirstId = 100000000;
constexpr int kBuddies = 8000, kLists = 50;
constexpr int kRepetitions = 10;
constexpr double kMinSeconds = 0.5;

std::string contact_list(int buddies, int lists) {
  std::string body = "<results><contacts version=\"326\"><buddy-lists>";
  for (int g = 1; g <= lists; ++g)
    body +=
        "<buddy-list id=\"" + std::to_string(g) + "\" name=\"List " + std::to_string(g) + "\"/>";
  body += "</buddy-lists><buddies>";
  for (int i = 0; i < buddies; ++i) {
    std::string id = std::to_string(kFirstId + i);
    body += "<buddy uri=\"sip:" + id + "@tavrin.test;p=" + std::to_string(3000 + i % 100) +
            "\" local-name=\"Friend " + std::to_string(i) + "\" buddy-lists=\"" +
            std::to_string(1 + i % lists) + "\" online_notify=\"0\" relation-status=\"1\"/>";
  }
  body +=
      "</buddies><mobile-buddies/><chat-friends/><blacklist>"
      "<blocked uri=\"sip:999999999@tavrin.test;p=1\" local-name=\"x\"/></blacklist>"
      "</contacts></results>";
  return body;
}

const std::string& document() {
  static const std::string doc = contact_list(kBuddies, kLists);
  return doc;
}

double min_of(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

void TinyXmlAlone(benchmark::State& state) {
  const std::string& body = document();
  for (auto _ : state) {
    TiXmlDocument doc;
    doc.Parse(body.c_str(), nullptr, TIXML_ENCODING_UTF8);
    benchmark::DoNotOptimize(doc.Error());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(TinyXmlAlone)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(kMinSeconds)
    ->Repetitions(kRepetitions)
    ->ComputeStatistics("min", min_of)
    ->DisplayAggregatesOnly();

void ParseContactList(benchmark::State& state) {
  const std::string& body = document();
  if (body.size() > tavrin::sipc_max_body) {
    state.SkipWithError("the document is larger than any body the engine accepts");
    return;
  }
  for (auto _ : state) {
    auto store = parse_contact_list_answer(body.c_str());
    if (store == nullptr || store->account_count != kBuddies) {
      state.SkipWithError("the contact list was not parsed in full");
      break;
    }
    benchmark::DoNotOptimize(store->account_count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(ParseContactList)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(kMinSeconds)
    ->Repetitions(kRepetitions)
    ->ComputeStatistics("min", min_of)
    ->DisplayAggregatesOnly();

// A store of n contacts built record by record: a store that size never comes
// in one answer, only the lookups are measured here.
std::unique_ptr<ContactStore> store_of(int contacts) {
  auto store = std::make_unique<ContactStore>();
  store->reserve_accounts(static_cast<std::size_t>(contacts));
  for (int i = 0; i < contacts; ++i) {
    AccountPtr a(new_record<fx_account>());
    a->id = kFirstId + i;
    a->uri = dup_text(("sip:" + std::to_string(a->id) + "@tavrin.test;p=3000").c_str());
    store->adopt_account(std::move(a));
  }
  return store;
}

void GetAccountById(benchmark::State& state) {
  const int contacts = static_cast<int>(state.range(0));
  {
    auto& engine = EngineContacts::instance();
    auto lock = engine.lock();
    engine.install(store_of(contacts));
  }
  constexpr int kCalls = 10000;
  long found = 0;
  for (auto _ : state) {
    // Spread over the whole store so that the lookups are not cache-friendly.
    for (int i = 0; i < kCalls; ++i)
      found += fx_get_account_by_id(kFirstId + (static_cast<long>(i) * 7919) % contacts) != nullptr;
  }
  if (found != static_cast<long>(state.iterations()) * kCalls)
    state.SkipWithError("a lookup missed a contact of the store");
  state.SetItemsProcessed(state.iterations() * kCalls);
  auto& engine = EngineContacts::instance();
  auto lock = engine.lock();
  engine.reset();
}
BENCHMARK(GetAccountById)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(kMinSeconds)
    ->Repetitions(kRepetitions)
    ->ComputeStatistics("min", min_of)
    ->DisplayAggregatesOnly();

// Keeps the median and min aggregates (CPU seconds per iteration) by name.
class AggregateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Aggregate && !r.error_occurred)
        seconds[r.run_name.function_name][r.aggregate_name] =
            r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
  }
  std::map<std::string, std::map<std::string, double>> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  AggregateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& s = reporter.seconds;
  if (s.count("TinyXmlAlone") && s.count("ParseContactList")) {
    std::printf("\n%d buddies, %zu bytes: ParseContactList / TinyXmlAlone\n", kBuddies,
                document().size());
    for (const char* agg : {"median", "min"}) {
      const double xml = s["TinyXmlAlone"][agg], store = s["ParseContactList"][agg];
      if (xml > 0 && store > 0)
        std::printf("  %-6s %8.2f ms / %8.2f ms = %.2f\n", agg, store * 1e3, xml * 1e3,
                    store / xml);
    }
    std::printf("(CPU time per parse over %d repetitions)\n", kRepetitions);
  }
  benchmark::Shutdown();
  return 0;
}
