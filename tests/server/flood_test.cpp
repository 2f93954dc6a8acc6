// Strangers that never log in and guessers that never stop: the server keeps
// serving its signed-in users, lets new logins in, recovers once the flood
// is gone and always stops on SIGTERM.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "server_child.h"
#include "server_process.h"
#include "sipc_client.h"
#include "temp_dir.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr const char* kOwnInfo = "<args><user mobile-no=\"13900000002\" /></args>";

// Raw loopback connections that connect and say nothing.
class Flood {
 public:
  Flood(int port, int count) {
    for (int i = 0; i < count; ++i) {
      int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in sa{};
      sa.sin_family = AF_INET;
      sa.sin_port = htons(uint16_t(port));
      sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0)
        fds_.push_back(fd);
      else if (fd >= 0)
        ::close(fd);
    }
  }
  ~Flood() { closeAll(); }
  void closeAll() {
    for (int fd : fds_) ::close(fd);
    fds_.clear();
  }
  size_t size() const { return fds_.size(); }
  // True when the server hung up this connection within the time-out.
  bool hungUp(size_t i, std::chrono::milliseconds timeout) const {
    timeval tv{long(timeout.count() / 1000), long(timeout.count() % 1000) * 1000};
    setsockopt(fds_[i], SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char c;
    return recv(fds_[i], &c, 1, 0) == 0 || errno == ECONNRESET;
  }

 private:
  std::vector<int> fds_;
};

bool limitDescriptors(pid_t pid, rlim_t n) {
  rlimit limit{n, n};
  return prlimit(pid, RLIMIT_NOFILE, &limit, nullptr) == 0;
}

// SIGTERM and wait up to the bound; a server that ignores it is killed so
// the test ends.
bool stopsOnSigterm(ServerProcess& server, std::chrono::seconds bound) {
  kill(server.pid(), SIGTERM);
  auto until = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < until) {
    if (!server.alive()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(server.pid(), SIGKILL);
  return false;
}

TEST(FloodTest, OutOfDescriptorsTheServerKeepsServingAndRecovers) {
  // No limit per address: every stranger comes from loopback, and the
  // server must make room when the descriptors themselves run out.
  ServerProcess server({"--demo", "--no-signin", "--max-unregistered-per-address", "0"});
  ASSERT_TRUE(server.running());
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_TRUE(limitDescriptors(server.pid(), 96));

  Flood flood(server.sipcPort(), 400);
  ASSERT_GT(flood.size(), 300u);
  EXPECT_EQ(alice.command("S", "GetUserInfo", kOwnInfo), 200) << "a signed-in user gets answers";
  SipcClient bob(server.sipcPort());
  EXPECT_EQ(bob.login("100000002", "bob123"), 200) << "a new login gets in during the flood";
  EXPECT_TRUE(flood.hungUp(0, std::chrono::milliseconds(2000))) << "the oldest stranger made room";

  flood.closeAll();
  SipcClient carol(server.sipcPort());
  EXPECT_EQ(carol.login("100000003", "carol123"), 200) << "and after it";
  EXPECT_EQ(alice.command("S", "GetUserInfo", kOwnInfo), 200);
  EXPECT_TRUE(stopsOnSigterm(server, std::chrono::seconds(3)));
}

// Idle connections opened at a steady rate from a few loopback addresses
// (127.0.0.2 and up), each left silent; the oldest are let go on this side
// once `keep` are open, as a flood with a descriptor limit of its own would.
class SteadyFlood {
 public:
  SteadyFlood(int port, int perSecond, int addresses, size_t keep)
      : thread_([=, this] { run(port, perSecond, addresses, keep); }) {}
  ~SteadyFlood() {
    stop_ = true;
    thread_.join();
  }
  long opened() const { return opened_; }

 private:
  void run(int port, int perSecond, int addresses, size_t keep) {
    std::deque<int> open;
    const auto step = std::chrono::microseconds(1000000 / perSecond);
    auto next = std::chrono::steady_clock::now();
    for (long i = 0; !stop_; ++i) {
      int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (fd >= 0) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7f000002 + uint32_t(i % addresses));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
            (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ||
             errno == EINPROGRESS)) {
          open.push_back(fd);
          ++opened_;
        } else {
          ::close(fd);
        }
      }
      while (open.size() > keep) {
        ::close(open.front());
        open.pop_front();
      }
      next += step;
      std::this_thread::sleep_until(next);
    }
    for (int fd : open) ::close(fd);
  }

  std::atomic<bool> stop_{false};
  std::atomic<long> opened_{0};
  std::thread thread_;
};

// At the descriptor limit most services start with (1024), 2,000 idle
// connections a second from a few addresses let every login through, each
// over a slow network (100 ms each way, so it stays silent for a while
// after connecting and waits between its steps).
TEST(FloodTest, AnIdleFloodAtTheUsualLimitLetsEveryLoginThrough) {
  rlimit own{};
  getrlimit(RLIMIT_NOFILE, &own);
  own.rlim_cur = std::min<rlim_t>(own.rlim_max, 4096);
  setrlimit(RLIMIT_NOFILE, &own);  // the flood keeps up to 1,500 open here

  ServerProcess server({"--demo", "--no-signin", "--bench-accounts", "25"});
  ASSERT_TRUE(server.running());
  ASSERT_TRUE(limitDescriptors(server.pid(), 1024));
  SteadyFlood flood(server.sipcPort(), 2000, 8, 1500);
  std::this_thread::sleep_for(std::chrono::seconds(1));  // the server's room is full by now

  std::atomic<int> in{0};
  std::vector<std::thread> logins;
  for (int i = 0; i < 25; ++i) {
    logins.emplace_back([&, i] {
      SipcClient c(server.sipcPort());
      c.setLatency(std::chrono::milliseconds(100));
      if (c.login(std::to_string(200000001 + i), "bench") == 200) ++in;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (auto& t : logins) t.join();
  EXPECT_GT(flood.opened(), 4000) << "the flood ran at its rate";
  EXPECT_EQ(in.load(), 25);
  SipcClient alice(server.sipcPort());
  EXPECT_EQ(alice.login("100000001", "alice123"), 200);
}

TEST(FloodTest, StrangersFromOneAddressAreCappedOldestFirst) {
  ServerProcess server({"--demo", "--no-signin", "--max-unregistered-per-address", "8"});
  ASSERT_TRUE(server.running());
  Flood flood(server.sipcPort(), 12);
  ASSERT_EQ(flood.size(), 12u);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(flood.hungUp(i, std::chrono::milliseconds(2000))) << "stranger " << i;
  for (size_t i = 4; i < 12; ++i)
    EXPECT_FALSE(flood.hungUp(i, std::chrono::milliseconds(50))) << "stranger " << i;
  // A login is a newcomer too: it gets in, and once registered no longer counts.
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  Flood more(server.sipcPort(), 8);
  EXPECT_EQ(alice.command("S", "GetUserInfo", kOwnInfo), 200);
}

TEST(FloodTest, PasswordGuessingIsLockedOutAndTheOwnerGetsBackIn) {
  ServerProcess server({"--demo", "--no-signin"});
  ASSERT_TRUE(server.running());
  SipcClient guesser(server.sipcPort());
  for (int i = 0; i <= 10; ++i)
    ASSERT_EQ(guesser.login("100000001", "guess" + std::to_string(i)), 401);
  // Locked now: even the right password is refused, unchecked, with a clear answer.
  EXPECT_EQ(guesser.login("100000001", "alice123"), 403);
  SipcClient owner(server.sipcPort());
  EXPECT_EQ(owner.login("100000001", "alice123"), 403);
  // The first lock is short.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(owner.login("100000001", "alice123"), 200);
}

// The addresses an owner logged in from are kept with the data: after a
// restart, strangers who lock the account again still never keep its owner out.
TEST(FloodTest, TheOwnersAddressIsKnownAgainAfterARestart) {
  TempDir dir("tavrin-known-address");
  ASSERT_FALSE(dir.path.empty());
  const std::vector<std::string> args{TAVRIN_SERVER_BIN, "--data", dir.path, "--demo",
                                      "--nav-port", "0", "--sipc-port", "0", "--no-signin"};
  {
    ServerChild first;
    first.start(args, {});
    ASSERT_GT(first.sipc(), 0);
    SipcClient alice(first.sipc());
    ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  }
  ServerChild again;
  again.start(args, {});
  ASSERT_GT(again.sipc(), 0);
  // Guesses, waiting out the first lock: the 12th wrong one locks it for 2 s.
  int wrong = 0;
  for (uint32_t i = 0; i < 40 && wrong < 12; ++i) {
    SipcClient guesser(again.sipc(), 0x7f000002 + i);
    if (guesser.login("100000001", "guess") == 401)
      ++wrong;
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_EQ(wrong, 12);
  EXPECT_EQ(SipcClient(again.sipc(), 0x7f000030).login("100000001", "alice123"), 403);
  EXPECT_EQ(SipcClient(again.sipc()).login("100000001", "alice123"), 200);
}

}  // namespace
