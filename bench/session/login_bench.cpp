// Login to code 14 for an account with 2,000 contacts and one with 5,000
// (the service's own cap) in 40 buddy lists and 5 group chats (50 members
// each), against the local server on loopback. (10,000 contacts do not sign
// in: the presence subscription naming them all is over the service's
// 256 KiB request limit, and the service drops the connection.) Reports the time per login
// and the memory the process really holds for it: its anonymous resident memory (RssAnon of
// /proc/self/status: heap, thread stacks, every allocator's pages, not an allocator's own
// count) after the login minus before fx_init (the heap trimmed first), once at 14 and once
// the presence events of all contacts have been applied, and that per contact.
// BM_LoginTlsBesidePlain: the same login to 14 for 2,000 contacts,
// over TLS and over plain TCP by turns against one server, with their ratio
// and the load average (a ratio of one run: both kinds meet the same load).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "large_account.h"
#include "libtavrin.h"
#include "roster/engine_contacts.h"
#include "session/login.h"
#include "sqlite_db.h"
#include "store.h"
#include "test_server.h"

namespace {

using tavrin::bench::seed_account_with;

struct Waiter {
  std::mutex mu;
  std::condition_variable cv;
  bool done = false;
  int code = 0;
  static void cb(int code, intptr_t, intptr_t, void* user) {
    auto* w = static_cast<Waiter*>(user);
    if (code != FX_MSG_LOGIN_OK && code != 4 && code != 5 && code != 6 && code != 7 && code != 10)
      return;
    std::lock_guard lock(w->mu);
    if (!w->done) w->code = code;
    w->done = true;
    w->cv.notify_all();
  }
  bool wait() {
    std::unique_lock lock(mu);
    cv.wait_for(lock, std::chrono::seconds(60), [&] { return done; });
    return code == FX_MSG_LOGIN_OK;
  }
};

// Anonymous resident bytes of this process.
size_t rss_anon() {
  std::ifstream in("/proc/self/status");
  std::string key;
  while (in >> key) {
    if (key == "RssAnon:") {
      size_t kib = 0;
      in >> kib;
      return kib * 1024;
    }
    std::getline(in, key);
  }
  return 0;
}

int online_contacts() {
  fx_lock_contacts();
  int n = 0;
  for (fx_account* a = fx_get_first_account(); a; a = fx_get_next_account(a))
    if (a->personal_info && a->device_type) ++n;
  fx_unlock_contacts();
  return n;
}

void BM_LoginTo14(benchmark::State& state) {
  const int contacts = int(state.range(0));
  tavrin::test::TestServer server(
      {"--expires", "3600"},
      [contacts](tavrin::server::Store& store) { seed_account_with(store, contacts); }, false);
  if (!server.running()) {
    state.SkipWithError("server did not start");
    return;
  }
  // Waiters outlive every login: late group-dialog answers still reach them.
  static std::deque<Waiter> waiters;
  malloc_trim(0);
  const size_t before = rss_anon();
  fx_init();
  fx_set_serve_address(server.sipcAddress().c_str());
  size_t at_14 = 0;
  for (auto _ : state) {
    Waiter& w = waiters.emplace_back();
    fx_login(tavrin::bench::kOwnerLogin, tavrin::bench::kOwnerPassword, Waiter::cb, &w);
    if (!w.wait()) {
      state.SkipWithError(("login failed with code " + std::to_string(w.code)).c_str());
      break;
    }
    state.PauseTiming();
    at_14 = rss_anon();
    tavrin::clear_session_tables();
    fx_close_network();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    state.ResumeTiming();
  }
  // One more login, left running until every contact's presence is in.
  Waiter& w = waiters.emplace_back();
  fx_login(tavrin::bench::kOwnerLogin, tavrin::bench::kOwnerPassword, Waiter::cb, &w);
  w.wait();
  for (int i = 0; i < 1000 && online_contacts() < contacts; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const size_t settled = rss_anon();
  state.counters["contacts_with_presence"] = online_contacts();
  state.counters["rss_anon_at_14_KiB"] = double(at_14 - before) / 1024.0;
  state.counters["rss_anon_settled_KiB"] = double(settled - before) / 1024.0;
  state.counters["rss_anon_settled_B_per_contact"] = double(settled - before) / double(contacts);
  fx_set_system_msg_cb(nullptr, nullptr);
  fx_terminate();
}
void BM_LoginTlsBesidePlain(benchmark::State& state) {
  const int contacts = int(state.range(0));
  tavrin::test::TestServer server(
      {"--expires", "3600", "--sipc-tls-port", "0"},
      [contacts](tavrin::server::Store& store) { seed_account_with(store, contacts); }, false);
  if (!server.running()) {
    state.SkipWithError("server did not start");
    return;
  }
  static std::deque<Waiter> waiters;
  fx_init();
  fx_set_ca_file(server.caFile().c_str());
  double load[1] = {0};
  getloadavg(load, 1);
  using Clock = std::chrono::steady_clock;
  double plain_ms = 0, tls_ms = 0;
  long rounds = 0;
  for (auto _ : state) {
    for (const bool tls : {false, true}) {
      fx_set_serve_address((tls ? server.tlsAddress() : server.sipcAddress()).c_str());
      Waiter& w = waiters.emplace_back();
      const auto start = Clock::now();
      fx_login(tavrin::bench::kOwnerLogin, tavrin::bench::kOwnerPassword, Waiter::cb, &w);
      if (!w.wait()) {
        state.SkipWithError(("login failed with code " + std::to_string(w.code)).c_str());
        return;
      }
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      (tls ? tls_ms : plain_ms) += ms;
      state.PauseTiming();
      tavrin::clear_session_tables();
      fx_close_network();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      state.ResumeTiming();
    }
    ++rounds;
  }
  state.counters["plain_ms"] = plain_ms / double(rounds);
  state.counters["tls_ms"] = tls_ms / double(rounds);
  state.counters["tls_over_plain"] = tls_ms / plain_ms;
  state.counters["load1_at_start"] = load[0];
  fx_set_system_msg_cb(nullptr, nullptr);
  fx_terminate();
}
BENCHMARK(BM_LoginTlsBesidePlain)->Arg(2000)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_LoginTo14)
    ->Arg(2000)
    ->Arg(5000)
    ->Arg(10000)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  double load[3] = {-1, -1, -1};
  (void)getloadavg(load, 3);
  std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
