#include "sipc/connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavrin {

Socket::~Socket() {
  ::close(fd_);
}

std::shared_ptr<Socket> Connection::socket() {
  std::lock_guard lock(mu_);
  return socket_;
}

void Connection::adopt(int fd) {
  auto fresh = std::make_shared<Socket>(fd);
  sockaddr_in local{};
  socklen_t len = sizeof local;
  const bool named = getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) == 0;
  char text[INET_ADDRSTRLEN] = {};
  if (named) inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
  std::shared_ptr<Socket> old;
  {
    std::lock_guard lock(mu_);
    old = std::move(socket_);
    socket_ = std::move(fresh);
    if (named) {
      local_address_ = text;
      local_port_ = ntohs(local.sin_port);
    }
  }
  if (old) ::shutdown(old->fd(), SHUT_RDWR);
}

void Connection::close() {
  std::shared_ptr<Socket> old;
  {
    std::lock_guard lock(mu_);
    old = std::move(socket_);
  }
  if (old) ::shutdown(old->fd(), SHUT_RDWR);
}

std::string Connection::local_address() {
  std::lock_guard lock(mu_);
  return local_address_;
}

int Connection::local_port() {
  std::lock_guard lock(mu_);
  return local_port_;
}

Connection& connection() {
  static Connection* const instance = new Connection;
  return *instance;
}

}  // namespace tavrin
