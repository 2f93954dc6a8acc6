// A flood of unregistered connections against tavrin-server held to 1024
// descriptors: does a signed-in session still chat, does a new login get
// in, and does the server go back to idle once the flood is over?
//
//   bench_descriptor_flood [--flood 5000] [--limit 1024] [--hold 3]
//
// The server runs on loopback with its descriptor limit set to --limit
// (soft and hard) before it starts. Alice and Bob sign in; then --flood
// connections are opened as fast as connect() returns and held for --hold
// seconds, while Alice sends Bob a line each 100 ms. Printed: the lines
// and their slowest round trip during the flood, how long after the
// flood's last connect a new login (Carol) took, the server's CPU over the
// two seconds after the flood was opened and after it was closed, and how
// long SIGTERM took to stop it. Bounded: the whole run is cut at 120 s.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "server_child.h"
#include "sipc_client.h"

using namespace tavrin;
using namespace tavrin::test;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The "Max open files" line of the server's limits, as the kernel holds them.
std::string openFileLimit(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/limits");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("Max open files", 0) == 0) return line;
  return "unknown";
}

// The server's user and system time so far, in seconds.
double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(text.substr(close + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

double cpuPercentOver(pid_t pid, double seconds) {
  const double c0 = cpuSeconds(pid);
  const auto t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return 100.0 * (cpuSeconds(pid) - c0) / since(t0);
}

int connectNonBlocking(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  return fd;
}

constexpr const char* kBob = "sip:100000002@tavrin.local;p=1";

// One line from Alice to Bob; its round trip (send to Bob's receipt and
// Alice's 200) in ms, or -1.
double chatRoundTrip(SipcClient& alice, SipcClient& bob, int32_t callId) {
  const auto t0 = Clock::now();
  sipc_message m = alice.request("M", callId, 2, "flood " + std::to_string(callId));
  m.add_header("T", kBob);
  m.add_header("C", "text/plain");
  alice.send(m);
  sipc_message got, answer;
  const bool delivered =
      bob.expect([](const sipc_message& x) { return !x.is_response() && x.method() == "M"; }, got,
                 std::chrono::milliseconds(3000));
  if (delivered) {
    // Bob answers the line, as the engine does.
    std::string reply = "SIP-C/2.0 200 OK\r\nI: " + std::to_string(got.call_id()) +
                        "\r\nQ: " + std::to_string(got.sequence()) + " M\r\n\r\n";
    bob.sendRaw(reply);
  }
  const bool answered = alice.answer(callId, 2, answer) && answer.status() == 200;
  return delivered && answered ? since(t0) * 1000 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int flood = 5000, hold = 3;
  rlim_t limit = 1024;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--flood") flood = std::atoi(argv[i + 1]);
    if (a == "--limit") limit = rlim_t(std::atol(argv[i + 1]));
    if (a == "--hold") hold = std::atoi(argv[i + 1]);
  }
  rlimit own{};
  getrlimit(RLIMIT_NOFILE, &own);
  own.rlim_cur = own.rlim_max;
  setrlimit(RLIMIT_NOFILE, &own);
  if (rlim_t(flood) + 64 > own.rlim_cur) {
    std::fprintf(stderr, "open-file limit %lu too low for a flood of %d\n",
                 (unsigned long)own.rlim_cur, flood);
    return 1;
  }
  signal(SIGPIPE, SIG_IGN);
  alarm(120);

  ServerChild child;
  ServerChild::Options how;
  how.stderr_path = "/dev/null";  // the refusals it logs are not the figures
  how.max_descriptors = long(limit);
  child.start({TAVRIN_SERVER_BIN, "--memory", "--no-signin", "--demo", "--nav-port", "0",
               "--sipc-port", "0", "--data", "bench-unused"},
              how);
  const pid_t server = child.pid();
  const int port = child.sipc();
  if (server <= 0 || port == 0) {
    std::fprintf(stderr, "cannot start %s\n", TAVRIN_SERVER_BIN);
    return 1;
  }
  double load[3] = {};
  getloadavg(load, 3);
  std::printf("server descriptor limit %lu, flood %d connections, load average %.2f %.2f %.2f\n",
              (unsigned long)limit, flood, load[0], load[1], load[2]);
  std::printf("%s\n", openFileLimit(server).c_str());

  SipcClient alice(port), bob(port);
  if (alice.login("100000001", "alice123") != 200 || bob.login("100000002", "bob123") != 200) {
    std::fprintf(stderr, "sign-in failed\n");
    kill(server, SIGKILL);
    return 1;
  }
  const double idleBefore = cpuPercentOver(server, 1.0);

  // The flood, with Alice chatting while it lasts.
  std::vector<int> fds;
  fds.reserve(size_t(flood));
  const auto floodStart = Clock::now();
  int32_t callId = 100;
  struct Chat {
    int lines = 0, lost = 0;
    double slowest = 0;
    void add(double rt) {
      ++lines;
      if (rt < 0) ++lost;
      if (rt > slowest) slowest = rt;
    }
  } connecting, held;
  auto nextLine = Clock::now();
  while (int(fds.size()) < flood) {
    for (int k = 0; k < 100 && int(fds.size()) < flood; ++k) {
      const int fd = connectNonBlocking(port);
      if (fd >= 0) fds.push_back(fd);
    }
    if (Clock::now() >= nextLine) {
      connecting.add(chatRoundTrip(alice, bob, ++callId));
      nextLine = Clock::now() + std::chrono::milliseconds(100);
    }
  }
  const double floodSeconds = since(floodStart);
  const auto floodEnd = Clock::now();
  SipcClient carol(port);
  const int carolStatus = carol.login("100000003", "carol123");
  const double loginAfter = since(floodEnd);
  const double chatAfter = chatRoundTrip(alice, bob, ++callId);
  const double cpuHeld = cpuPercentOver(server, 2.0);
  while (since(floodEnd) < hold) {
    held.add(chatRoundTrip(alice, bob, ++callId));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

  for (int fd : fds) close(fd);
  const auto closedAt = Clock::now();
  SipcClient dave(port);
  const int daveStatus = dave.login("100000004", "dave123");
  const double loginAfterClose = since(closedAt);
  const double cpuAfter = cpuPercentOver(server, 2.0);
  const double chatAfterClose = chatRoundTrip(alice, bob, ++callId);

  const auto termAt = Clock::now();
  kill(server, SIGTERM);
  double stopSeconds = -1;
  while (since(termAt) < 5) {
    if (!child.alive()) {
      stopSeconds = since(termAt);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (stopSeconds < 0) kill(server, SIGKILL);  // reaped by the child's stop()

  std::printf("flood opened in %.2f s; server CPU before it %.1f %%\n", floodSeconds, idleBefore);
  std::printf("while connecting: %d chat lines, %d lost, slowest round trip %.1f ms\n",
              connecting.lines, connecting.lost, connecting.slowest);
  std::printf("while held %d s: %d chat lines, %d lost, slowest round trip %.1f ms\n", hold,
              held.lines, held.lost, held.slowest);
  std::printf("after the flood's last connect (flood held open):\n");
  std::printf("  new login: status %d in %.3f s; a chat line round trip %.1f ms\n", carolStatus,
              loginAfter, chatAfter);
  std::printf("  server CPU over the next 2 s: %.1f %%\n", cpuHeld);
  std::printf("after the flood closed:\n");
  std::printf("  new login: status %d in %.3f s; a chat line round trip %.1f ms\n", daveStatus,
              loginAfterClose, chatAfterClose);
  std::printf("  server CPU over the next 2 s: %.1f %%\n", cpuAfter);
  std::printf("SIGTERM to exit: %s\n",
              stopSeconds < 0 ? "did not stop within 5 s"
                              : (std::to_string(int(stopSeconds * 1000)) + " ms").c_str());
  getloadavg(load, 3);
  std::printf("load average at the end %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  return 0;
}
