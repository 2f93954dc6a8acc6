// A GetContactList answer with 8,000 buddies in 50 buddy lists, about 1 MB:
// the largest round count whose body the engine still accepts (sipc_max_body).
//   TinyXmlAlone       TinyXML parsing the document (the yardstick)
//   ParseContactList   the same document parsed into a contact store (nesting
//                      guard, TinyXML, then the store and its index)
//     These two run first, taking turns in a loop of 200 pairs; a table gives
//     the median and min of each and the spread of their ratio.
//   GetAccountById     fx_get_account_by_id on an installed store of 1,000 /
//                      10,000 / 100,000 contacts, all sizes in one process in
//                      turns (a round visits each size once), each turn on a
//                      store built afresh after the last one was freed and the
//                      heap trimmed, so that no size inherits another's heap;
//                      10 rounds, CPU ns per lookup, median and min shown.
// A parse that yields fewer contacts than the document holds, or a lookup
// that misses, stops with an error instead of a time.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>
#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "libtavrin.h"
#include "roster/engine_contacts.h"
#include "roster/payload_parsers.h"
#include "roster/records.h"
#include "sipc/message.h"
#include "support/turns.h"

using namespace tavrin::contacts;

namespace {

constexpr long kFirstId = 100000000;
constexpr int kBuddies = 8000, kLists = 50;
constexpr int kRepetitions = 10;

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

// TinyXML alone and the whole contact-list parse, one after the other on the
// same document, kPairs times, each timed by the thread's CPU clock. Taking
// turns puts any load from elsewhere on the machine on both sides of a pair,
// and leaves neither one the heap the other built over hundreds of runs
// (Google Benchmark, running one family after the other, timed the second one
// 30-100% slower than it runs alone). The ratio of each pair gives the spread.
constexpr int kPairs = 200;

using tavrin::bench::percentile;
using tavrin::bench::thread_seconds;

bool parse_pairs() {
  const std::string& body = document();
  if (body.size() > tavrin::sipc_max_body) {
    std::printf("the document is larger than any body the engine accepts\n");
    return false;
  }
  std::vector<double> xml, store, ratio;
  for (int i = 0; i < kPairs; ++i) {
    const double t0 = thread_seconds();
    {
      TiXmlDocument doc;
      doc.Parse(body.c_str(), nullptr, TIXML_ENCODING_UTF8);
      benchmark::DoNotOptimize(doc.Error());
    }
    const double t1 = thread_seconds();
    {
      auto parsed = parse_contact_list_answer(body.c_str());
      if (parsed == nullptr || parsed->account_count != kBuddies) {
        std::printf("the contact list was not parsed in full\n");
        return false;
      }
      benchmark::DoNotOptimize(parsed->account_count);
    }
    const double t2 = thread_seconds();
    xml.push_back(t1 - t0);
    store.push_back(t2 - t1);
    ratio.push_back((t2 - t1) / (t1 - t0));
  }
  std::printf("%d buddies, %zu bytes, %d alternating pairs (CPU ms per parse)\n", kBuddies,
              body.size(), kPairs);
  std::printf("  %-18s %8s %8s\n", "", "median", "min");
  std::printf("  %-18s %8.2f %8.2f\n", "TinyXmlAlone", percentile(xml, 0.5) * 1e3,
              percentile(xml, 0) * 1e3);
  std::printf("  %-18s %8.2f %8.2f\n", "ParseContactList", percentile(store, 0.5) * 1e3,
              percentile(store, 0) * 1e3);
  std::printf(
      "  ParseContactList / TinyXmlAlone: median of pair ratios %.2f (10th-90th percentile\n"
      "  %.2f-%.2f), ratio of the mins %.2f\n\n",
      percentile(ratio, 0.5), percentile(ratio, 0.1), percentile(ratio, 0.9),
      percentile(store, 0) / percentile(xml, 0));
  return true;
}

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

// CPU nanoseconds per lookup on a store of `contacts` built for this turn.
double lookup_turn(int contacts) {
  {
    auto& engine = EngineContacts::instance();
    auto lock = engine.lock();
    engine.install(store_of(contacts));
  }
  constexpr int kCalls = 10000;
  long found = 0, calls = 0;
  const double t0 = thread_seconds();
  double t = t0;
  while (t - t0 < 0.05) {
    // Spread over the whole store so that the lookups are not cache-friendly.
    for (int i = 0; i < kCalls; ++i)
      found += fx_get_account_by_id(kFirstId + (static_cast<long>(i) * 7919) % contacts) != nullptr;
    calls += kCalls;
    t = thread_seconds();
  }
  {
    auto& engine = EngineContacts::instance();
    auto lock = engine.lock();
    engine.reset();
  }
  malloc_trim(0);
  return found == calls ? (t - t0) * 1e9 / double(calls) : -1;
}

bool lookup_turns() {
  const int sizes[] = {1000, 10000, 100000};
  std::vector<double> ns[3];
  for (int round = 0; round < kRepetitions; ++round)
    for (int k = 0; k < 3; ++k) {
      const double v = lookup_turn(sizes[k]);
      if (v < 0) {
        std::printf("a lookup missed a contact of the store\n");
        return false;
      }
      ns[k].push_back(v);
    }
  std::printf("GetAccountById, %d rounds of turns, each on a fresh store (CPU ns per lookup)\n",
              kRepetitions);
  std::printf("  %-10s %8s %8s\n", "contacts", "median", "min");
  for (int k = 0; k < 3; ++k)
    std::printf("  %-10d %8.1f %8.1f\n", sizes[k], percentile(ns[k], 0.5), percentile(ns[k], 0));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  double load[3] = {-1, -1, -1};
  (void)getloadavg(load, 3);
  std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  // The pairs run unless a filter leaves out every parse (e.g. GetAccountById).
  const std::string filter = benchmark::GetBenchmarkFilter();
  if ((filter.empty() || filter == "." || filter == "all" ||
       filter.find("Parse") != std::string::npos || filter.find("TinyXml") != std::string::npos) &&
      !parse_pairs())
    return 1;
  if ((filter.empty() || filter == "." || filter == "all" ||
       filter.find("GetAccountById") != std::string::npos) &&
      !lookup_turns())
    return 1;
  benchmark::Shutdown();
  return 0;
}
