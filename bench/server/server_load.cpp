// Load benchmark of tavrin-server on loopback, bounded in time.
// For each client count (default 1,000 then 5,000): start the server, sign
// every client in and subscribe it to its partner, measure the server's
// memory per idle connection, then let the pairs chat (each keeps a few lines
// in flight, the engine's way of answering relayed lines included) and count
// the lines delivered per second. In the same run a bare epoll relay (same
// connections, same line size, no parsing) gives the ceiling.
//
// Each figure is the best of --rounds runs, the two kinds taking turns, so
// that other load on the machine hits both alike.
//
//   bench_server_load [--clients 1000,5000] [--seconds 5] [--text-bytes 120] [--window 2]
//                     [--rounds 2]
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bare_relay.h"
#include "load_clients.h"

namespace {

long rssKb(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

pid_t startServer(int accounts, int& port) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    std::string n = std::to_string(accounts);
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
  if (out) std::fclose(out);
  return pid;
}

void stop(pid_t pid) {
  kill(pid, SIGTERM);
  int st = 0;
  waitpid(pid, &st, 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts = {1000, 5000};
  double seconds = 5;
  int textBytes = 120, window = 2, rounds = 2;
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
    }
  }
  rlimit rl{};
  getrlimit(RLIMIT_NOFILE, &rl);
  rl.rlim_cur = rl.rlim_max;
  setrlimit(RLIMIT_NOFILE, &rl);
  signal(SIGPIPE, SIG_IGN);
  alarm(600);  // the whole run stays bounded whatever happens

  std::printf("%-8s %-6s %10s %12s %12s %8s %10s %15s\n", "clients", "held", "sign-in s", "lines/s",
              "bare lines/s", "ratio", "line bytes", "bytes/idle conn");
  for (int n : counts) {
    if (n % 2) ++n;
    if (rlim_t(n) + 64 > rl.rlim_cur) {
      std::printf("%-8d skipped: open-file limit %lu too low\n", n, (unsigned long)rl.rlim_cur);
      continue;
    }
    bench::ChatFigures sip, bare;
    double perConn = 0, signIn = 0;
    int lineBytes = 0;
    for (int round = 0; round < rounds; ++round) {
      int port = 0;
      pid_t server = startServer(n, port);
      if (server <= 0 || port == 0) {
        std::fprintf(stderr, "cannot start %s\n", TAVRIN_SERVER_BIN);
        return 1;
      }
      long rss0 = rssKb(server);
      {
        bench::LoadClients clients(n, textBytes);
        lineBytes = clients.lineBytes();
        auto t0 = std::chrono::steady_clock::now();
        if (!clients.connectAndSignIn(port, 60)) {
          std::fprintf(stderr, "%d clients: sign-in did not complete\n", n);
          stop(server);
          return 1;
        }
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (round == 0 || took < signIn) signIn = took;
        usleep(500 * 1000);
        long rss1 = rssKb(server);
        double per = (rss1 - rss0) * 1024.0 / n;
        if (round == 0 || per < perConn) perConn = per;
        bench::ChatFigures f = clients.chat(seconds, window, false);
        if (f.linesPerSecond() > sip.linesPerSecond()) sip = f;
      }
      stop(server);

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
      {
        bench::LoadClients clients(n, textBytes);
        clients.connectBare(relayPort);
        bench::ChatFigures f = clients.chat(seconds, window, true);
        if (f.linesPerSecond() > bare.linesPerSecond()) bare = f;
      }
      stop(relay);
    }
    std::printf("%-8d %-6d %10.2f %12.0f %12.0f %8.2f %10d %15.0f\n", n, sip.held, signIn,
                sip.linesPerSecond(), bare.linesPerSecond(),
                bare.linesPerSecond() > 0 ? sip.linesPerSecond() / bare.linesPerSecond() : 0,
                lineBytes, perConn);
    std::fflush(stdout);
  }
  return 0;
}
