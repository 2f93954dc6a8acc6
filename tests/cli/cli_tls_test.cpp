// SIP-C over TLS end to end: the real tavrin-server with a TLS port, real
// tavrin-cli processes, the real tinyproxy and dante. Between a client and
// the server sits a recording relay (a TCP forwarder in this test), so the
// tests can read what went over the wire: a session over TLS, and every
// refused login, must put no SIP-C in clear on it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <regex>
#include <thread>

#include "child_process.h"
#include "proxy_children.h"
#include "temp_dir.h"

namespace tavrin::test {
namespace {

using namespace std::chrono_literals;
constexpr auto kLimit = 60s;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
bool is_message(const std::string& line, int code) {
  return line.rfind("{\"code\":" + std::to_string(code) + ",", 0) == 0;
}

// A tavrin-server with its ports read from its first line.
struct Server {
  std::unique_ptr<ChildProcess> process;
  int sipc = 0, tls = 0;
  Server(const std::string& data, std::vector<std::string> more) {
    std::vector<std::string> args{"--data", data, "--demo", "--nav-port", "0", "--sipc-port", "0",
                                  "--sipc-tls-port", "0", "--no-signin"};
    args.insert(args.end(), more.begin(), more.end());
    process = std::make_unique<ChildProcess>(TAVRIN_SERVER_BIN, args, std::vector<std::string>{},
                                             true);
    const auto line = process->read_until(
        [](const std::string& l) { return has(l, "tavrin-server listening"); }, kLimit);
    std::smatch m;
    if (line && std::regex_search(*line, m, std::regex("sipc=([0-9]+).* sipc-tls=([0-9]+)"))) {
      sipc = std::stoi(m[1]);
      tls = std::stoi(m[2]);
    }
  }
};

// Forwards one loopback port to another and keeps every byte the client
// side sent. One relay thread; what it recorded is read under its lock.
class RecordingRelay {
 public:
  explicit RecordingRelay(int to_port, const char* to_address = "127.0.0.1")
      : to_port_(to_port) {
    inet_pton(AF_INET, to_address, &to_address_);
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
        ::listen(listener_, 8) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
  }
  ~RecordingRelay() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }
  std::string sent() {
    std::lock_guard lock(mu_);
    return sent_;
  }

 private:
  void run() {
    std::vector<std::pair<int, int>> pairs;  // client, server
    while (!stop_) {
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (auto [c, s] : pairs) {
        fds.push_back({c, POLLIN, 0});
        fds.push_back({s, POLLIN, 0});
      }
      if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        const int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr = to_address_;
        to.sin_port = htons(uint16_t(to_port_));
        if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
          pairs.push_back({c, s});
        } else {
          ::close(c);
          ::close(s);
        }
        continue;
      }
      for (size_t i = 0; i < pairs.size(); ++i) {
        auto [c, s] = pairs[i];
        bool done = false;
        for (int side = 0; side < 2 && !done; ++side) {
          if (!(fds[1 + 2 * i + size_t(side)].revents & (POLLIN | POLLHUP | POLLERR))) continue;
          char buf[16384];
          const ssize_t n = ::recv(side == 0 ? c : s, buf, sizeof buf, 0);
          if (n <= 0) {
            done = true;
            break;
          }
          if (side == 0) {
            std::lock_guard lock(mu_);
            sent_.append(buf, size_t(n));
          }
          if (::send(side == 0 ? s : c, buf, size_t(n), MSG_NOSIGNAL) != n) done = true;
        }
        if (done) {
          ::close(c);
          ::close(s);
          pairs.erase(pairs.begin() + long(i));
          break;
        }
      }
    }
    for (auto [c, s] : pairs) {
      ::close(c);
      ::close(s);
    }
  }

  int to_port_;
  in_addr to_address_{};
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::string sent_;  // guarded by mu_
  std::thread thread_;
};

// Clear SIP-C on the wire would show its version token or a login's number.
void expect_no_clear_text(const std::string& wire) {
  ASSERT_FALSE(wire.empty());
  EXPECT_EQ(uint8_t(wire[0]), 0x16) << "the first byte is no TLS handshake record";
  EXPECT_FALSE(has(wire, "SIP-C")) << "SIP-C in clear on the wire";
  EXPECT_FALSE(has(wire, "100000001")) << "the login's number in clear on the wire";
}

std::unique_ptr<ChildProcess> cli(const std::string& server, const std::string& user,
                                  const std::string& password, std::vector<std::string> more) {
  std::vector<std::string> args{"--server", server, "--user", user, "--password", password,
                                "--json",   "--no-relogin"};
  args.insert(args.end(), more.begin(), more.end());
  return std::make_unique<ChildProcess>(TAVRIN_CLI_BIN, args, std::vector<std::string>{}, true);
}

class TlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(data_.path.empty());
    server_ = std::make_unique<Server>(data_.path.string(), std::vector<std::string>{});
    ASSERT_GT(server_->tls, 0) << server_->process->transcript();
    ca_ = data_.file("tls/ca.pem");
  }
  std::string tls_address(int port) const { return "tls://127.0.0.1:" + std::to_string(port); }

  TempDir data_{"tavrin-tls"};
  std::unique_ptr<Server> server_;
  std::string ca_;
};

TEST_F(TlsTest, SignsInOverTlsAndChatsDirectlyAndThroughBothProxies) {
  Tinyproxy http;
  ASSERT_TRUE(http.start(std::nullopt)) << http.failure();
  Dante socks;
  ASSERT_TRUE(socks.start(false)) << socks.failure();
  RecordingRelay relay(server_->tls);
  const struct {
    const char* name;
    std::vector<std::string> more;
  } paths[] = {
      {"directly", {}},
      {"through tinyproxy (HTTP CONNECT)",
       {"--proxy", "http://127.0.0.1:" + std::to_string(http.port())}},
      {"through dante (SOCKS5)", {"--proxy", "socks5://127.0.0.1:" + std::to_string(socks.port())}},
  };
  auto bob = cli(tls_address(server_->tls), "100000002", "bob123", {"--ca", ca_});
  ASSERT_TRUE(bob->read_until([](const std::string& l) { return is_message(l, 14); }, kLimit))
      << bob->transcript();
  for (const auto& path : paths) {
    SCOPED_TRACE(path.name);
    std::vector<std::string> more = path.more;
    more.insert(more.end(), {"--ca", ca_});
    auto alice = cli(tls_address(relay.port()), "100000001", "alice123", more);
    ASSERT_TRUE(alice->read_until([](const std::string& l) { return is_message(l, 14); }, kLimit))
        << alice->transcript();
    EXPECT_TRUE(has(alice->transcript(), "connection encrypted (TLS)")) << alice->transcript();
    const std::string text = std::string("over TLS ") + path.name;
    alice->write_line("send 100000002 " + text);
    EXPECT_TRUE(bob->read_until(
        [&](const std::string& l) { return is_message(l, 16) && has(l, text); }, kLimit))
        << bob->transcript();
    alice->write_line("quit");
    EXPECT_EQ(alice->wait_exit(kLimit), 0) << alice->transcript();
  }
  // The relay sat on the TLS leg of every path (the proxies connect to it).
  expect_no_clear_text(relay.sent());
}

TEST_F(TlsTest, UntrustedOrWrongCertificatesStopTheLoginAndNothingGoesOutInClear) {
  // A second service on another loopback address: its own CA, and a
  // certificate made for 127.0.0.1 that does not name 127.0.0.2.
  TempDir other_data("tavrin-tls-other");
  Server other(other_data.path.string(), {"--listen", "127.0.0.2"});
  ASSERT_GT(other.tls, 0) << other.process->transcript();
  const std::string other_ca = other_data.file("tls/ca.pem");
  RecordingRelay to_other(other.tls, "127.0.0.2");
  RecordingRelay to_plain(server_->sipc);

  const struct {
    const char* name;
    std::string server;
    std::vector<std::string> more;
    std::string reason;
    RecordingRelay* relay;
  } cases[] = {
      {"no --ca: the system's store does not know the service's CA",
       tls_address(to_other.port()), {}, "not signed by a trusted CA", &to_other},
      {"a relay that presents another service's certificate",
       tls_address(to_other.port()), {"--ca", ca_}, "not signed by a trusted CA", &to_other},
      {"the right CA, a certificate for another address",
       "tls://127.0.0.2:" + std::to_string(other.tls), {"--ca", other_ca},
       "for another name or address", nullptr},
      {"TLS asked of the plain port", tls_address(to_plain.port()), {"--ca", ca_},
       "no TLS handshake", &to_plain},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto alice = cli(c.server, "100000001", "alice123", c.more);
    const auto failed =
        alice->read_until([](const std::string& l) { return is_message(l, 5); }, kLimit);
    ASSERT_TRUE(failed) << alice->transcript();
    EXPECT_TRUE(has(*failed, c.reason)) << *failed;
    EXPECT_EQ(alice->wait_exit(kLimit), 2) << alice->transcript();
    if (c.relay) expect_no_clear_text(c.relay->sent());
  }
}

TEST_F(TlsTest, OperatorCertificateIsReadAgainOnHangup) {
  // The operator's files: at first the other service's certificate and key.
  TempDir other_data("tavrin-tls-other");
  { Server once(other_data.path.string(), {}); }
  TempDir files("tavrin-tls-files");
  namespace fs = std::filesystem;
  const auto use = [&](const fs::path& from) {
    fs::copy_file(from / "tls/server.pem", files.path / "cert.pem",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(from / "tls/server-key.pem", files.path / "key.pem",
                  fs::copy_options::overwrite_existing);
  };
  use(other_data.path);
  TempDir data("tavrin-tls-op");
  Server server(data.path.string(), {"--tls-cert", files.file("cert.pem"), "--tls-key",
                                     files.file("key.pem"), "--no-sipc-plain", "-v"});
  ASSERT_GT(server.tls, 0) << server.process->transcript();
  EXPECT_EQ(server.sipc, 0);
  const auto login = [&](const std::string& ca) {
    auto p = cli(tls_address(server.tls), "100000001", "alice123", {"--ca", ca});
    const auto end = p->read_until(
        [](const std::string& l) { return is_message(l, 14) || is_message(l, 5); }, kLimit);
    return end && is_message(*end, 14);
  };
  EXPECT_TRUE(login(other_data.file("tls/ca.pem")));
  EXPECT_FALSE(login(ca_));
  // Now the fixture service's files, and a hang-up.
  use(data_.path);
  server.process->send_signal(SIGHUP);
  ASSERT_TRUE(server.process->read_until(
      [](const std::string& l) { return has(l, "read again"); }, kLimit))
      << server.process->transcript();
  EXPECT_TRUE(login(ca_));
  EXPECT_FALSE(login(other_data.file("tls/ca.pem")));
}

}  // namespace
}  // namespace tavrin::test
