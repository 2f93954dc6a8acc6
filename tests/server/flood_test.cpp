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

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "server_process.h"
#include "sipc_client.h"

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

}  // namespace
