// A GetContactList answer with 10,000 buddies in 50 buddy lists:
//   TinyXmlAlone       TinyXML parsing the document (the yardstick)
//   ParseContactList   the same document parsed into a contact store
//   GetAccountById     10,000 fx_get_account_by_id calls per iteration on an
//                      installed store of 1,000 / 10,000 / 100,000 contacts
//                      (the time per call should not grow with the store).
#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include <string>

#include "libtavrin.h"
#include "roster/engine_contacts.h"
#include "roster/payload_parsers.h"

using namespace tavrin::contacts;

namespace {

constexpr long kFirstId = 100000000;

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
  static const std::string doc = contact_list(10000, 50);
  return doc;
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
BENCHMARK(TinyXmlAlone)->Unit(benchmark::kMillisecond);

void ParseContactList(benchmark::State& state) {
  const std::string& body = document();
  for (auto _ : state) {
    auto store = parse_contact_list_answer(body.c_str());
    benchmark::DoNotOptimize(store->account_count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(ParseContactList)->Unit(benchmark::kMillisecond);

void GetAccountById(benchmark::State& state) {
  const int contacts = static_cast<int>(state.range(0));
  {
    auto& engine = EngineContacts::instance();
    auto lock = engine.lock();
    engine.install(parse_contact_list_answer(contact_list(contacts, 50).c_str()));
  }
  constexpr int kCalls = 10000;
  long found = 0;
  for (auto _ : state) {
    // Spread over the whole store so that the lookups are not cache-friendly.
    for (int i = 0; i < kCalls; ++i)
      found += fx_get_account_by_id(kFirstId + (static_cast<long>(i) * 7919) % contacts) != nullptr;
  }
  benchmark::DoNotOptimize(found);
  state.SetItemsProcessed(state.iterations() * kCalls);
  auto& engine = EngineContacts::instance();
  auto lock = engine.lock();
  engine.reset();
}
BENCHMARK(GetAccountById)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
