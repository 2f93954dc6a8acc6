// Load benchmark of tavrin-server on loopback, bounded in time.
// For each client count (default 1,000 then 5,000): start the server, sign
// every client in and subscribe it to its partner, measure the server's
// memory per idle connection, then let the pairs chat (each keeps a few lines
// in flight, the engine's way of answering relayed lines included) and count
// the lines delivered per second. In the same run a bare epoll relay (same
// connections, same line size, no parsing) gives the ceiling.
//
// Each figure is the best of --rounds runs, the two kinds taking turns, so
// that other load on the machine hits both alike. The clients are driven
// from --procs processes (default 2), each with its own pairs, so that the
// server, not one generator, is what runs out of CPU; the server's (or the
// relay's) CPU during the chat is printed beside the figures. Two ratios to
// the bare relay: per delivered line (what a person gets), and per message
// (a SIP-C line is 4 messages: the line, its relay and their two answers; a
// bare line 2).
//
// With --tls, each round also runs the same SIP-C chat over the server's TLS
// port, and a line per count compares the server's CPU per relayed line over
// TLS with plain TCP (same run, best rounds).
//
//   bench_server_load [--clients 1000,5000] [--seconds 5] [--text-bytes 120] [--window 2]
//                     [--rounds 2] [--procs 2] [--tls 1]
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bare_relay.h"
#include "load_clients.h"

namespace {

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

long rssKb(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// With tlsData, the server also listens for TLS (its certificate made in
// that folder) and port is the TLS one.
pid_t startServer(int accounts, int& port, const char* tlsData = nullptr) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    std::string n = std::to_string(accounts);
    if (tlsData)
      execl(TAVRIN_SERVER_BIN, TAVRIN_SERVER_BIN, "--memory", "--no-signin", "--bench-accounts",
            n.c_str(), "--nav-port", "0", "--sipc-port", "0", "--sipc-tls-port", "0", "--data",
            tlsData, "--max-unregistered-per-address", "0", nullptr);
    else
      execl(TAVRIN_SERVER_BIN, TAVRIN_SERVER_BIN, "--memory", "--no-signin", "--bench-accounts",
            n.c_str(), "--nav-port", "0", "--sipc-port", "0", "--data", "bench-unused",
            // every client connects from loopback before any registers
            "--max-unregistered-per-address", "0", nullptr);
    _exit(127);
  }
  close(fds[1]);
  FILE* out = fdopen(fds[0], "r");
  char line[256] = {};
  int nav = 0, signin = 0;
  port = 0;
  if (out && std::fgets(line, sizeof line, out))
    std::sscanf(line, "tavrin-server listening nav=%d sipc=%d signin=%d", &nav, &port, &signin);
  if (const char* tls = std::strstr(line, " sipc-tls="); tls && tlsData)
    std::sscanf(tls, " sipc-tls=%d", &port);
  if (out) std::fclose(out);
  return pid;
}

void stop(pid_t pid) {
  kill(pid, SIGTERM);
  int st = 0;
  waitpid(pid, &st, 0);
}

// CPU seconds (user + system) a process has used.
double cpuSeconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

struct Generated {
  bool ok = false;
  double signIn = 0;     // seconds until every process had its clients in
  double perConn = 0;    // bytes of target RSS per connection
  double targetCpu = 0;  // share of one core the target used while the clients chatted
  bench::ChatFigures chat;
};

// The clients of one run, in `procs` processes of n / procs clients each
// (their own pairs). Each signs its clients in (or announces them to the
// bare relay), says so, waits for the word to chat, chats and writes its
// figures back; the target's CPU is read around the chat.
Generated generate(int n, int procs, int textBytes, double seconds, int window, bool bare, int port,
                   pid_t target, bool tls = false) {
  Generated g;
  const int each = n / procs;
  std::vector<pid_t> kids;
  std::vector<int> ready, go, results;
  const long rss0 = rssKb(target);
  const auto t0 = std::chrono::steady_clock::now();
  for (int k = 0; k < procs; ++k) {
    int up[2], down[2];
    if (pipe(up) != 0 || pipe(down) != 0) return g;
    const pid_t pid = fork();
    if (pid == 0) {
      close(up[0]);
      close(down[1]);
      bench::LoadClients clients(each, textBytes, k * each, tls);
      const bool in = bare ? clients.connectBare(port) : clients.connectAndSignIn(port, 60);
      const char word = in ? 'y' : 'n';
      (void)!::write(up[1], &word, 1);
      char start = 0;
      if (!in || ::read(down[0], &start, 1) != 1) _exit(1);
      const bench::ChatFigures f = clients.chat(seconds, window, bare);
      (void)!::write(up[1], &f, sizeof f);
      _exit(0);
    }
    close(up[1]);
    close(down[0]);
    kids.push_back(pid);
    ready.push_back(up[0]);
    go.push_back(down[1]);
  }
  g.ok = true;
  for (int fd : ready) {
    char word = 0;
    g.ok = ::read(fd, &word, 1) == 1 && word == 'y' && g.ok;
  }
  g.signIn = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (g.ok) {
    usleep(500 * 1000);
    g.perConn = (rssKb(target) - rss0) * 1024.0 / n;
    const double cpu0 = cpuSeconds(target);
    const auto c0 = std::chrono::steady_clock::now();
    for (int fd : go) (void)!::write(fd, "g", 1);
    for (int fd : ready) {
      bench::ChatFigures f;
      if (::read(fd, &f, sizeof f) != ssize_t(sizeof f)) {
        g.ok = false;
        continue;
      }
      g.chat.held += f.held;
      g.chat.lines += f.lines;
      g.chat.seconds = std::max(g.chat.seconds, f.seconds);
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - c0).count();
    g.targetCpu = wall > 0 ? (cpuSeconds(target) - cpu0) / wall : 0;
  }
  for (size_t k = 0; k < kids.size(); ++k) {
    close(ready[k]);
    close(go[k]);
    int st = 0;
    waitpid(kids[k], &st, 0);
  }
  return g;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts = {1000, 5000};
  double seconds = 5;
  int textBytes = 120, window = 2, rounds = 2, procs = 2;
  bool tls = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--clients") {
      counts.clear();
      std::stringstream ss(argv[i + 1]);
      std::string item;
      while (std::getline(ss, item, ',')) counts.push_back(std::atoi(item.c_str()));
    } else if (a == "--seconds") {
      seconds = std::atof(argv[i + 1]);
    } else if (a == "--text-bytes") {
      textBytes = std::atoi(argv[i + 1]);
    } else if (a == "--window") {
      window = std::atoi(argv[i + 1]);
    } else if (a == "--rounds") {
      rounds = std::max(1, std::atoi(argv[i + 1]));
    } else if (a == "--procs") {
      procs = std::max(1, std::atoi(argv[i + 1]));
    } else if (a == "--tls") {
      tls = std::atoi(argv[i + 1]) != 0;
    }
  }
  rlimit rl{};
  getrlimit(RLIMIT_NOFILE, &rl);
  rl.rlim_cur = rl.rlim_max;
  setrlimit(RLIMIT_NOFILE, &rl);
  signal(SIGPIPE, SIG_IGN);
  alarm(600);  // the whole run stays bounded whatever happens

  int lineBytes = 0;
  {
    bench::LoadClients one(2, textBytes);
    lineBytes = one.lineBytes();
  }
  std::printf("%d generator processes; load average %s\n", procs, loadAverage().c_str());
  std::printf("%-8s %-6s %9s %11s %11s %8s %9s %9s %8s %8s %6s %11s\n", "clients", "held",
              "sign-in s", "lines/s", "bare l/s", "l ratio", "msgs/s", "bare m/s", "m ratio",
              "srv CPU", "bare", "bytes/conn");
  for (int n : counts) {
    n -= n % (2 * procs);  // whole pairs in every process
    if (rlim_t(n) + 64 > rl.rlim_cur) {
      std::printf("%-8d skipped: open-file limit %lu too low\n", n, (unsigned long)rl.rlim_cur);
      continue;
    }
    Generated sip, bare, sipTls;
    double perConn = 0, signIn = 0, perConnTls = 0;
    for (int round = 0; round < rounds; ++round) {
      int port = 0;
      pid_t server = startServer(n, port);
      if (server <= 0 || port == 0) {
        std::fprintf(stderr, "cannot start %s\n", TAVRIN_SERVER_BIN);
        return 1;
      }
      const Generated g = generate(n, procs, textBytes, seconds, window, false, port, server);
      stop(server);
      if (!g.ok) {
        std::fprintf(stderr, "%d clients: sign-in or chat did not complete\n", n);
        return 1;
      }
      if (round == 0 || g.signIn < signIn) signIn = g.signIn;
      if (round == 0 || g.perConn < perConn) perConn = g.perConn;
      if (g.chat.linesPerSecond() > sip.chat.linesPerSecond()) sip = g;

      int fds[2];
      if (pipe(fds) != 0) return 1;
      pid_t relay = fork();
      if (relay == 0) {
        close(fds[0]);
        bench::runBareRelay(fds[1]);
      }
      close(fds[1]);
      int relayPort = 0;
      (void)!read(fds[0], &relayPort, sizeof relayPort);
      close(fds[0]);
      const Generated b = generate(n, procs, textBytes, seconds, window, true, relayPort, relay);
      stop(relay);
      if (b.ok && b.chat.linesPerSecond() > bare.chat.linesPerSecond()) bare = b;

      if (tls) {
        // The server's certificate is made in a scratch folder of its own.
        std::string dir =
            (std::filesystem::temp_directory_path() / "tavrin-bench-tls-XXXXXX").string();
        if (!mkdtemp(dir.data())) return 1;
        int tlsPort = 0;
        const pid_t tlsServer = startServer(n, tlsPort, dir.c_str());
        const Generated t =
            generate(n, procs, textBytes, seconds, window, false, tlsPort, tlsServer, true);
        stop(tlsServer);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        if (!t.ok) {
          std::fprintf(stderr, "%d TLS clients: sign-in or chat did not complete\n", n);
          return 1;
        }
        if (round == 0 || t.perConn < perConnTls) perConnTls = t.perConn;
        if (t.chat.linesPerSecond() > sipTls.chat.linesPerSecond()) sipTls = t;
      }
    }
    const double sipMsgs = 4 * sip.chat.linesPerSecond(), bareMsgs = 2 * bare.chat.linesPerSecond();
    const double sipLines = sip.chat.linesPerSecond(), bareLines = bare.chat.linesPerSecond();
    std::printf("%-8d %-6d %9.2f %11.0f %11.0f %7.2fx %9.0f %9.0f %7.2fx %7.0f%% %5.0f%% %11.0f\n",
                n, sip.chat.held, signIn, sipLines, bareLines,
                bareLines > 0 ? sipLines / bareLines : 0, sipMsgs, bareMsgs,
                bareMsgs > 0 ? sipMsgs / bareMsgs : 0, 100 * sip.targetCpu, 100 * bare.targetCpu,
                perConn);
    if (tls) {
      // Server CPU seconds per relayed line: its share of a core over lines a second.
      const auto perLine = [](const Generated& g) {
        return g.chat.linesPerSecond() > 0 ? 1e6 * g.targetCpu / g.chat.linesPerSecond() : 0;
      };
      std::printf("  TLS %d held: %.0f lines/s (plain %.0f), server CPU %.0f%% (plain %.0f%%), "
                  "%.2f us a line (plain %.2f us): %.2fx; %.0f bytes/conn (plain %.0f)\n",
                  sipTls.chat.held, sipTls.chat.linesPerSecond(), sip.chat.linesPerSecond(),
                  100 * sipTls.targetCpu, 100 * sip.targetCpu, perLine(sipTls), perLine(sip),
                  perLine(sip) > 0 ? perLine(sipTls) / perLine(sip) : 0, perConnTls, perConn);
    }
    std::fflush(stdout);
  }
  std::printf("line bytes %d; load average now %s\n", lineBytes, loadAverage().c_str());
  return 0;
}
