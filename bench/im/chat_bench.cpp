// Chat lines end to end through tavrin-server on loopback.
//
//   bench_im_chat [--lines 4000] [--runs 5] [--block 100] [--gap 300]
//                 [--first 200] [--flood 20000] [--server PATH] [--tls 1]
//   (--server: another tavrin-server build, to compare; --tls 1: both
//   engines speak SIP-C over TLS to the server's TLS port, and the wire
//   reference and the two-hop ping-pong run over TLS connections too)
//
// 1. Latency: Alice's engine (a process of its own) calls fx_dialog_send;
//    this process, Bob's engine, notes the time of code 16 in its callback.
//    One line at a time in an open dialog; the next line leaves once the
//    last one arrived and was answered and at least --gap microseconds after
//    it left, so no line meets the previous one's traffic. Beside it, in the
//    same processes, the wire reference (wire_model.h): the same hops
//    A -> relay -> B and the same message sizes with nothing of the engine
//    or of the protocol. The relay stands for tavrin-server: it writes the
//    line to the receiver, then answers the sender, whose reader thread
//    stands for the engine's worker; the receiver answers the relay. The
//    reference's sender writes from the calling thread, so the engine's
//    hand-over to its worker counts as the engine's. The ratio is what the
//    engines and the server add to a relayed line. A third kind is a plain
//    two-hop TCP ping-pong of the same sizes (a second relay that only
//    passes the line on and the receiver's answer back): what any relayed
//    line costs on this machine, protocol shape or not.
//    Both sides note their times in a block shared by the processes and read
//    after the run: nothing is printed, piped or woken while lines are in
//    flight. Chat and wire lines take turns in blocks of --block lines, so
//    both meet the same load from the rest of the machine and each block
//    runs with its own code warm in the caches. Each of --runs runs sends
//    --lines of each kind and prints the load average beside its figures.
// 2. First lines: --first lines timed the same way, each the first line of
//    a new dialog (Alice ends the dialog before it), so that it waits for
//    the invitation's answer; printed beside the steady-state chat lines of
//    the same process run, with their ratio (goal: 2x at the median).
// 3. Receiving: Alice's engine sends --flood lines as fast as her engine
//    takes them; Bob's engine queues them. Lines per second from the first
//    to the last, and a check that every line is in the queue, in order.
//
// tavrin-server runs as it does in use, without request logging.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "demo_seed.h"
#include "libtavrin.h"
#include "sender_process.h"
#include "server_child.h"
#include "store.h"
#include "temp_dir.h"
#include "timing.h"
#include "wire_model.h"

namespace {

using namespace bench::im;

Timing* g_timing = nullptr;           // mapped before the fork, never unmapped
std::atomic<long long> g_last_at{0};  // time of Bob's latest line (flood)

// Bob's system callback, on his engine's worker: notes the time of a timed
// line ("NNNNNN:xxx...") and counts every line from Alice.
void on_bob(int code, intptr_t p1, intptr_t p2, void*) {
  if ((code != FX_MSG_CHAT_MESSAGE && code != FX_MSG_CHAT_MESSAGE_SO) || p2 != kAlice) return;
  const long long t = now_ns();
  const char* text = reinterpret_cast<const char*>(p1);
  if (text && std::strlen(text) > 6 && text[6] == ':') {
    const long i = std::atol(text);
    if (i >= 0 && i < g_timing->chat.capacity) g_timing->chat.got[i] = t;
  }
  g_last_at.store(t, std::memory_order_relaxed);
  g_timing->chat.arrived.fetch_add(1, std::memory_order_release);
}

void drop_queued() {
  while (fx_msg* m = fx_get_msg(kAlice)) fx_destroy_msg(m);
}

std::string load_average() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

struct Figures {
  double median = 0, p99 = 0;
};

struct RunFigures {
  Figures chat, wire, ping;
};

// One timed run, chat and wire lines taking turns; false when a line was
// lost or refused.
bool timed_run(SenderProcess& alice, long lines, long block, int gap_us, RunFigures& out,
               std::vector<double>& chat_pool, std::vector<double>& wire_pool,
               std::vector<double>& ping_pool) {
  g_timing->chat.clear();
  g_timing->wire.clear();
  g_timing->ping.clear();
  const std::string reply = alice.command("run " + std::to_string(lines) + " " +
                                          std::to_string(block) + " " + std::to_string(gap_us));
  std::vector<double> chat, wire, ping;
  if (reply != "ok " + std::to_string(lines) || !g_timing->chat.latencies(lines, chat) ||
      !g_timing->wire.latencies(lines, wire) || !g_timing->ping.latencies(lines, ping)) {
    std::fprintf(stderr, "run: %s\n", reply.empty() ? "no reply" : reply.c_str());
    return false;
  }
  out.chat = {percentile(chat, 0.5), percentile(chat, 0.99)};
  out.wire = {percentile(wire, 0.5), percentile(wire, 0.99)};
  out.ping = {percentile(ping, 0.5), percentile(ping, 0.99)};
  chat_pool.insert(chat_pool.end(), chat.begin(), chat.end());
  wire_pool.insert(wire_pool.end(), wire.begin(), wire.end());
  ping_pool.insert(ping_pool.end(), ping.begin(), ping.end());
  return true;
}

struct Options {
  long lines = 4000;
  int runs = 5;
  long block = 100;
  int gap_us = 300;
  long first = 200;
  long flood = 20000;
  std::string server = TAVRIN_SERVER_BIN;
  bool tls = false;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--lines")) o.lines = std::max(1L, std::atol(argv[i + 1]));
    if (!std::strcmp(argv[i], "--runs")) o.runs = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--block")) o.block = std::max(1L, std::atol(argv[i + 1]));
    if (!std::strcmp(argv[i], "--gap")) o.gap_us = std::max(0, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--first")) o.first = std::max(0L, std::atol(argv[i + 1]));
    if (!std::strcmp(argv[i], "--flood")) o.flood = std::max(0L, std::atol(argv[i + 1]));
    if (!std::strcmp(argv[i], "--server")) o.server = argv[i + 1];
    if (!std::strcmp(argv[i], "--tls")) o.tls = std::atoi(argv[i + 1]) != 0;
  }
  return o;
}

// First lines, beside the steady-state chat lines of the runs before.
bool first_lines(SenderProcess& alice, long n, int gap_us, const std::vector<double>& steady) {
  g_timing->chat.clear();
  const std::string load = load_average();
  const std::string reply =
      alice.command("first " + std::to_string(n) + " " + std::to_string(gap_us));
  std::vector<double> first;
  if (reply != "ok " + std::to_string(n) || !g_timing->chat.latencies(n, first)) {
    std::fprintf(stderr, "first lines: %s\n", reply.empty() ? "no reply" : reply.c_str());
    return false;
  }
  const double steady_median = percentile(steady, 0.5);
  std::printf(
      "first lines (load %s): %ld, each in a new dialog: median %.1f us p99 %.1f us | "
      "steady-state chat median %.1f us | ratio median %.2fx (goal 2x)\n",
      load.c_str(), n, percentile(first, 0.5), percentile(first, 0.99), steady_median,
      percentile(first, 0.5) / steady_median);
  return true;
}

int receive_flood(SenderProcess& alice, long flood) {
  g_timing->chat.clear();
  const long long t0 = now_ns();
  if (alice.command("flood " + std::to_string(flood)) != "ok " + std::to_string(flood))
    return std::fprintf(stderr, "flood failed\n"), 1;
  const long long limit = now_ns() + 300'000'000'000LL;
  while (g_timing->chat.arrived.load() < flood && now_ns() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool all = g_timing->chat.arrived.load() == flood;
  long first_index = -1, queued = 0;
  bool in_order = true;
  while (fx_msg* m = fx_get_msg(kAlice)) {
    const long n = std::atol(m->text + 1);
    if (m->text[0] != 'F' || n != first_index + 1) in_order = false;
    first_index = n;
    ++queued;
    fx_destroy_msg(m);
  }
  const double secs = double(g_last_at.load() - t0) / 1e9;
  std::printf("received and queued: %ld of %ld lines in %.2f s = %.0f lines/s; %s\n", queued, flood,
              secs, double(queued) / secs,
              all && in_order && queued == flood ? "none lost, in order" : "LOST OR REORDERED");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Options opt = parse(argc, argv);
  g_timing = Timing::map_shared(opt.lines);
  RelayPorts ports, ping_ports;
  if (!g_timing || !open_relay_ports(ports) || !open_relay_ports(ping_ports))
    return std::fprintf(stderr, "no shared block\n"), 1;
  // The server's folder is made first: over TLS the relays present the
  // certificate the server makes there.
  TempDir scratch("tavrin-bench-chat");
  const std::string dir = scratch.path.string();
  if (opt.tls) use_tls(dir + "/tls");

  // Every child is forked before this process starts any thread.
  auto fork_relay = [](const RelayPorts& p, bool ping_pong) {
    const pid_t pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      run_relay(p, ping_pong);
      _exit(0);
    }
    close(p.sender_fd);
    close(p.receiver_fd);
    return pid;
  };
  const pid_t relay = fork_relay(ports, false);
  const pid_t ping_relay = fork_relay(ping_ports, true);
  int result = 0;
  {
    SenderProcess alice(*g_timing);
    {
      tavrin::server::Store store(dir + "/tavrin-server.db", "tavrin.local");
      tavrin::server::seedDemo(store);
    }
    tavrin::test::ServerChild server;
    std::vector<std::string> args{opt.server,    "--data", dir, "--nav-port", "0",
                                  "--sipc-port", "0",      "--no-signin"};
    if (opt.tls) args.insert(args.end(), {"--sipc-tls-port", "0"});
    server.start(args, {.stderr_path = dir + "/server.log", .die_with_parent = true});
    const std::string ca = dir + "/tls/ca.pem";
    const std::string address =
        opt.tls ? "tls://127.0.0.1:" + std::to_string(server.sipcTls())
                : "127.0.0.1:" + std::to_string(server.sipc());
    if (!alice.running() || server.sipc() <= 0 || fx_init() != 1)
      return std::fprintf(stderr, "could not start\n"), 1;
    fx_set_serve_address(address.c_str());
    if (opt.tls) fx_set_ca_file(ca.c_str());
    if (fs_login(std::to_string(kBob).c_str(), "bob123") != 1)
      return std::fprintf(stderr, "Bob: login failed\n"), 1;
    fx_set_system_msg_cb(on_bob, nullptr);
    WireReceiver receiver(g_timing->wire), ping_receiver(g_timing->ping);
    if (!receiver.start(ports.receiver_port) || !ping_receiver.start(ping_ports.receiver_port))
      return std::fprintf(stderr, "no relay\n"), 1;
    if (alice.command("login " + address + " " + std::to_string(ports.sender_port) + " " +
                      std::to_string(ping_ports.sender_port) + (opt.tls ? " " + ca : "")) !=
        "ok 1")
      return std::fprintf(stderr, "Alice: login failed\n"), 1;
    drop_queued();

    std::vector<double> chat_pool, wire_pool, ping_pool, ratio_median, ratio_p99, ping_ratio;
    std::printf("%ld lines of each kind per run in blocks of %ld, %d us between lines%s\n",
                opt.lines, opt.block, opt.gap_us,
                opt.tls ? "; everything over TLS (chat, wire reference, ping-pong)" : "");
    for (int run = 0; run < opt.runs && result == 0; ++run) {
      const std::string load = load_average();
      RunFigures f;
      if (!timed_run(alice, opt.lines, opt.block, opt.gap_us, f, chat_pool, wire_pool, ping_pool)) {
        result = 1;
        break;
      }
      drop_queued();
      const Figures& chat = f.chat;
      const Figures& wire = f.wire;
      const Figures& ping = f.ping;
      ratio_median.push_back(chat.median / wire.median);
      ratio_p99.push_back(chat.p99 / wire.p99);
      ping_ratio.push_back(chat.median / ping.median);
      std::printf(
          "run %d (load %s): chat median %.1f us p99 %.1f us | wire median %.1f us p99 %.1f us"
          " | ratio median %.2fx p99 %.2fx | ping-pong median %.1f us, chat %.2fx of it\n",
          run + 1, load.c_str(), chat.median, chat.p99, wire.median, wire.p99,
          chat.median / wire.median, chat.p99 / wire.p99, ping.median, chat.median / ping.median);
      std::fflush(stdout);
    }
    if (result == 0) {
      auto [mlo, mhi] = std::minmax_element(ratio_median.begin(), ratio_median.end());
      auto [plo, phi] = std::minmax_element(ratio_p99.begin(), ratio_p99.end());
      std::printf(
          "ratio over %d runs: median %.2fx (runs %.2f-%.2f, goal 2x), p99 %.2fx (runs "
          "%.2f-%.2f, goal 3x); load now %s\n",
          opt.runs, percentile(ratio_median, 0.5), *mlo, *mhi, percentile(ratio_p99, 0.5), *plo,
          *phi, load_average().c_str());
      auto [qlo, qhi] = std::minmax_element(ping_ratio.begin(), ping_ratio.end());
      std::printf("chat / plain two-hop ping-pong, median: %.2fx (runs %.2f-%.2f, goal 1.5x)\n",
                  percentile(ping_ratio, 0.5), *qlo, *qhi);
      std::printf(
          "all lines: chat median %.1f us p99 %.1f us, wire median %.1f us p99 %.1f us, "
          "ping-pong median %.1f us p99 %.1f us\n",
          percentile(chat_pool, 0.5), percentile(chat_pool, 0.99), percentile(wire_pool, 0.5),
          percentile(wire_pool, 0.99), percentile(ping_pool, 0.5), percentile(ping_pool, 0.99));
      if (opt.first > 0 &&
          !first_lines(alice, std::min(opt.first, opt.lines), opt.gap_us, chat_pool))
        result = 1;
      drop_queued();
      if (result == 0 && opt.flood > 0) result = receive_flood(alice, opt.flood);
    }
    fx_set_system_msg_cb(nullptr, nullptr);
    fx_terminate();
  }  // Alice quits, which ends the relays too
  for (const pid_t pid : {relay, ping_relay}) {
    int status = 0;
    for (int i = 0; i < 300 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(10000);
    if (waitpid(pid, &status, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
  }
  return result;
}
