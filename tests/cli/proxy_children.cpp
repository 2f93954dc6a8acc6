#include "proxy_children.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace tavrin::test {

namespace {

constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";
constexpr const char* kDanted = "/usr/sbin/danted";

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  return a;
}

}  // namespace

int free_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(0);
  socklen_t len = sizeof a;
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  ::close(fd);
  return bound ? ntohs(a.sin_port) : 0;
}

bool wait_listening(int port, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool ProxyChild::launch(const std::vector<std::string>& argv) {
  if (access(argv[0].c_str(), X_OK) != 0) return false;
  child_ = std::make_unique<ChildProcess>(argv[0],
                                          std::vector<std::string>(argv.begin() + 1, argv.end()));
  return child_->started() && wait_listening(port_, std::chrono::seconds(10));
}

bool Tinyproxy::start(const std::optional<Credentials>& basic_auth) {
  const std::string conf = dir_.file("tinyproxy.conf");
  std::ofstream out(conf);
  out << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nLogLevel Error\n";
  if (basic_auth) out << "BasicAuth " << basic_auth->user << " " << basic_auth->password << "\n";
  out.close();
  return launch({kTinyproxy, "-d", "-c", conf});
}

bool Dante::start(bool username_method) {
  const std::string conf = dir_.file("danted.conf");
  std::ofstream out(conf);
  out << "logoutput: " << dir_.file("danted.log") << "\n"
      << "internal: 127.0.0.1 port = " << port_ << "\nexternal: 127.0.0.1\n"
      << "clientmethod: none\nsocksmethod: " << (username_method ? "username" : "none") << "\n"
      << "user.privileged: root\nuser.unprivileged: nobody\n"
      << "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
      << "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n";
  out.close();
  return launch({kDanted, "-f", conf});
}

}  // namespace tavrin::test
