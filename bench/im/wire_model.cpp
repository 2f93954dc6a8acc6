#include "wire_model.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace bench::im {

namespace {

void no_delay(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

int listen_loopback(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(fd, 4) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

bool write_all(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= size_t(w);
  }
  return true;
}

bool read_all(int fd, char* p, size_t n) {
  while (n > 0) {
    const ssize_t r = ::recv(fd, p, n, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= size_t(r);
  }
  return true;
}

// The index a message carries in its first bytes.
int64_t index_of(const char* msg) {
  int64_t i;
  std::memcpy(&i, msg, sizeof i);
  return i;
}

}  // namespace

bool open_relay_ports(RelayPorts& p) {
  p.sender_fd = listen_loopback(&p.sender_port);
  p.receiver_fd = listen_loopback(&p.receiver_port);
  return p.sender_fd >= 0 && p.receiver_fd >= 0;
}

void run_relay(const RelayPorts& ports, bool ping_pong) {
  const int ep = epoll_create1(EPOLL_CLOEXEC);
  int sender = -1, receiver = -1;
  auto watch = [&](int fd) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
  };
  watch(ports.sender_fd);
  watch(ports.receiver_fd);
  std::string pending;      // a line from the sender not yet whole
  size_t receipt_part = 0;  // bytes of a receiver's answer not yet whole (ping-pong)
  char buf[64 * 1024];
  char delivery[kDeliveryBytes];
  const char answer[kAnswerBytes] = {'A'};
  std::memset(delivery, 'd', sizeof delivery);
  epoll_event events[8];
  for (;;) {
    const int n = epoll_wait(ep, events, 8, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return;
    for (int k = 0; k < n; ++k) {
      const int fd = events[k].data.fd;
      if (fd == ports.sender_fd || fd == ports.receiver_fd) {
        const int c = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        no_delay(c);
        (fd == ports.sender_fd ? sender : receiver) = c;
        watch(c);
        continue;
      }
      const ssize_t r = ::recv(fd, buf, sizeof buf, 0);
      if (r <= 0) {
        if (r < 0 && errno == EINTR) continue;
        if (fd == sender) return;  // the sender is done: so is the relay
        epoll_ctl(ep, EPOLL_CTL_DEL, fd, nullptr);
        close(fd);
        receiver = -1;
        continue;
      }
      if (fd != sender) {
        // The receiver's answers: dropped, or in the ping-pong passed back.
        if (!ping_pong || sender < 0) continue;
        for (receipt_part += size_t(r); receipt_part >= kReceiptBytes;
             receipt_part -= kReceiptBytes)
          write_all(sender, answer, sizeof answer);
        continue;
      }
      pending.append(buf, size_t(r));
      size_t used = 0;
      // As the server does: the receiver hears the line first, then the
      // sender gets its answer.
      for (; pending.size() - used >= kLineBytes; used += kLineBytes) {
        std::memcpy(delivery, pending.data() + used, sizeof(int64_t));
        if (receiver >= 0) write_all(receiver, delivery, sizeof delivery);
        if (!ping_pong) write_all(sender, answer, sizeof answer);
      }
      pending.erase(0, used);
    }
  }
}

int connect_loopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(uint16_t(port));
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  no_delay(fd);
  return fd;
}

bool settle_line(const Track& track, long i, const std::atomic<long>& answers, int gap_us) {
  std::this_thread::sleep_for(std::chrono::microseconds(gap_us));
  const long long limit = now_ns() + 30'000'000'000LL;
  while (track.arrived.load(std::memory_order_acquire) <= i ||
         answers.load(std::memory_order_acquire) <= i) {
    if (now_ns() > limit) return false;
    // Long steps: a late line should meet as few of the sender's wake-ups as
    // possible.
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}

WireReceiver::~WireReceiver() {
  if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
}

bool WireReceiver::start(int port) {
  fd_ = connect_loopback(port);
  if (fd_ < 0) return false;
  thread_ = std::thread([this] { run(); });
  return true;
}

void WireReceiver::run() {
  char msg[kDeliveryBytes];
  const char receipt[kReceiptBytes] = {'R'};
  while (read_all(fd_, msg, sizeof msg)) {
    const long long t = now_ns();
    const int64_t i = index_of(msg);
    if (i >= 0 && i < track_.capacity) track_.got[i] = t;
    track_.arrived.fetch_add(1, std::memory_order_release);
    if (!write_all(fd_, receipt, sizeof receipt)) return;
  }
}

WireSender::~WireSender() {
  if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
  if (reader_.joinable()) reader_.join();
  if (fd_ >= 0) close(fd_);
}

bool WireSender::start(int port) {
  fd_ = connect_loopback(port);
  if (fd_ < 0) return false;
  reader_ = std::thread([this] {
    char answer[kAnswerBytes];
    while (read_all(fd_, answer, sizeof answer)) answers_.fetch_add(1, std::memory_order_release);
  });
  return true;
}

bool WireSender::send(long i, int gap_us) {
  if (i >= track_.capacity) return false;
  char line[kLineBytes];
  std::memset(line, 'x', sizeof line);
  const int64_t index = i;
  std::memcpy(line, &index, sizeof index);
  track_.sent[i] = now_ns();
  return write_all(fd_, line, sizeof line) && settle_line(track_, i, answers_, gap_us);
}

}  // namespace bench::im
