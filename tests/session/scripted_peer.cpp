#include "scripted_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sipc/stream_cutter.h"

namespace tavrin::test {

ScriptedPeer::ScriptedPeer(Script script) : script_(std::move(script)) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(listen_fd_, 8);
  socklen_t len = sizeof a;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer() {
  stop_ = true;
  thread_.join();
  ::close(listen_fd_);
}

void ScriptedPeer::run() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) continue;
    conn_fd_ = fd;
    open_ = true;
    sipc_stream_cutter cutter;
    char buf[8192];
    while (!stop_) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      cutter.append(buf, size_t(n));
      sipc_message m;
      while (cutter.take(m) == sipc_cut::message) {
        std::vector<std::string> replies = script_(m);
        std::lock_guard lock(mu_);
        received_.push_back(m);
        for (const auto& r : replies) ::send(fd, r.data(), r.size(), MSG_NOSIGNAL);
        m = sipc_message();
      }
    }
    open_ = false;
    std::lock_guard lock(mu_);
    conn_fd_ = -1;
    ::close(fd);
  }
}

std::vector<sipc_message> ScriptedPeer::received() {
  std::lock_guard lock(mu_);
  return received_;
}

void ScriptedPeer::push(const std::string& text) {
  std::lock_guard lock(mu_);
  if (conn_fd_ >= 0) ::send(conn_fd_, text.data(), text.size(), MSG_NOSIGNAL);
}

bool ScriptedPeer::peer_open() {
  return open_;
}

std::string answer(const sipc_message& request, int status, const std::string& reason,
                   const std::string& extra_headers, const std::string& body) {
  std::string s = "SIP-C/2.0 " + std::to_string(status) + " " + reason +
                  "\r\nI: " + std::to_string(request.call_id()) +
                  "\r\nQ: " + std::to_string(request.sequence()) + " " + request.method() + "\r\n" +
                  extra_headers;
  if (!body.empty()) s += "L: " + std::to_string(body.size()) + "\r\n";
  return s + "\r\n" + body;
}

}  // namespace tavrin::test
