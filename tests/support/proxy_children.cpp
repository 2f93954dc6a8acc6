#include "proxy_children.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

extern char** environ;

namespace tavrin::test {

namespace {

constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";
constexpr const char* kDanted = "/usr/sbin/danted";
constexpr auto kListenLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  return a;
}

// True once something accepts connections on the loopback port.
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

}  // namespace

int free_loopback_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(0);
  socklen_t len = sizeof a;
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  ::close(fd);
  return bound ? ntohs(a.sin_port) : 0;
}

ProxyChild::~ProxyChild() { stop(); }

void ProxyChild::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

bool ProxyChild::launch(const std::vector<std::string>& argv) {
  stop();
  failure_.clear();
  const std::string& program = argv[0];
  if (access(program.c_str(), X_OK) != 0) {
    failure_ = program + " is not installed";
    return false;
  }
  if (dir_.path.empty() || port_ == 0) {
    failure_ = "no scratch folder or free loopback port for " + program;
    return false;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, args.data(), environ) != 0) {
    pid_ = -1;
    failure_ = program + " could not be started";
    return false;
  }
  if (!wait_listening(port_, kListenLimit)) {
    failure_ = program + " did not start listening on 127.0.0.1:" + std::to_string(port_);
    return false;
  }
  return true;
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

SystemUser::SystemUser() : name_("tvpx" + std::to_string(getpid())) {
  const std::string add = "useradd -M -s /usr/sbin/nologin " + name_ + " 2>/dev/null";
  const std::string pw = "echo '" + name_ + ":" + password_ + "' | chpasswd";
  ok_ = std::system(add.c_str()) == 0 && std::system(pw.c_str()) == 0;
}

SystemUser::~SystemUser() { std::system(("userdel " + name_ + " 2>/dev/null").c_str()); }

}  // namespace tavrin::test
