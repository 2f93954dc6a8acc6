#include "control_socket.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <vector>

#include "log.h"

namespace tavrin::server {

namespace {

constexpr size_t kMaxLine = 256;
constexpr std::time_t kClientSeconds = 5;

// The socket's address; false when the path does not fit in one.
bool addressOf(const std::string& path, sockaddr_un& sa) {
  sa = {};
  sa.sun_family = AF_UNIX;
  if (path.size() >= sizeof sa.sun_path) return false;
  std::memcpy(sa.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int connectTo(const std::string& path, int* error) {
  sockaddr_un sa{};
  if (!addressOf(path, sa)) {
    *error = ENAMETOOLONG;
    return -1;
  }
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    *error = errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

class ControlSocket::Client : public Pollable {
 public:
  Client(ControlSocket& owner, int fd) : owner_(owner), fd_(fd), opened_(std::time(nullptr)) {}
  ~Client() override {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }
  std::time_t opened() const { return opened_; }

  void onEvents(uint32_t events) override {
    if (events & EPOLLIN) {
      char buf[kMaxLine + 1];
      const ssize_t n = ::recv(fd_, buf, kMaxLine, MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
      if (n > 0) {
        std::string answer;
        try {
          answer = owner_.handler_(trimmed(std::string(buf, size_t(n))));
        } catch (const std::exception& e) {
          answer = std::string("error ") + e.what();
        }
        answer += "\n";
        (void)::send(fd_, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      }
      owner_.finished(this);
      return;
    }
    if (events & (EPOLLHUP | EPOLLERR)) owner_.finished(this);
  }

 private:
  ControlSocket& owner_;
  int fd_;
  std::time_t opened_;
};

ControlSocket::ControlSocket(EventLoop& loop, Handler handler)
    : loop_(loop), handler_(std::move(handler)) {}

ControlSocket::~ControlSocket() {
  for (auto& [p, c] : clients_) loop_.remove(c->fd());
  clients_.clear();
  if (fd_ >= 0) {
    loop_.remove(fd_);
    ::close(fd_);
    ::unlink(path_.c_str());
  }
}

std::string ControlSocket::open(const std::string& path) {
  sockaddr_un sa{};
  if (!addressOf(path, sa)) return "the path " + path + " is too long for a local socket";
  int error = 0;
  if (int live = connectTo(path, &error); live >= 0) {
    ::close(live);
    return "another tavrin-server is running on this data folder (" + path + " answers)";
  }
  ::unlink(path.c_str());  // left by a server that died
  fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return std::string("socket: ") + std::strerror(errno);
  // Made 0600 from the start: umask covers the moment between bind and chmod.
  const mode_t old = ::umask(077);
  const int bound = ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::umask(old);
  if (bound != 0 || ::listen(fd_, 16) != 0) {
    std::string err = "cannot listen on " + path + ": " + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return err;
  }
  path_ = path;
  loop_.add(fd_, EPOLLIN, this);
  return {};
}

void ControlSocket::onEvents(uint32_t) {
  for (int i = 0; i < 16; ++i) {
    int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    auto client = std::make_unique<Client>(*this, fd);
    Client* raw = client.get();
    if (!loop_.add(fd, EPOLLIN, raw)) continue;  // closed with the client
    clients_.emplace(raw, std::move(client));
  }
}

void ControlSocket::finished(Client* c) {
  auto it = clients_.find(c);
  if (it == clients_.end()) return;
  loop_.remove(c->fd());
  loop_.retire(std::move(it->second));
  clients_.erase(it);
}

void ControlSocket::sweep() {
  const std::time_t now = std::time(nullptr);
  std::vector<Client*> stale;
  for (auto& [p, c] : clients_)
    if (now - c->opened() >= kClientSeconds) stale.push_back(p);
  for (Client* c : stale) finished(c);
}

bool notifyServer(const std::string& dataDir, const std::string& line, std::string* answer,
                  std::string* why, int timeout_ms) {
  int error = 0;
  const std::string path = dataDir + "/" + kControlSocketName;
  int fd = connectTo(path, &error);
  if (fd < 0) {
    if (why)
      *why = error == ENOENT || error == ECONNREFUSED
                 ? "no server is running on " + dataDir
                 : "cannot reach the server at " + path + ": " + std::strerror(error);
    return false;
  }
  bool ok = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size());
  if (ok) {
    pollfd p{fd, POLLIN, 0};
    ok = ::poll(&p, 1, timeout_ms) == 1;
    char buf[kMaxLine + 1];
    const ssize_t n = ok ? ::recv(fd, buf, kMaxLine, 0) : -1;
    ok = n > 0;
    if (ok && answer) *answer = trimmed(std::string(buf, size_t(n)));
  }
  ::close(fd);
  if (!ok && why) *why = "the server on " + dataDir + " did not answer";
  return ok;
}

}  // namespace tavrin::server
