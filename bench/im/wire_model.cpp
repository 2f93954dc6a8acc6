#include "wire_model.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

namespace bench::im {

namespace {

// TLS mode: the session of each descriptor (descriptors stay small here) and
// a lock per descriptor, as the sender's writer and reader share one.
bool g_tls = false;
std::string g_cert_dir;
SSL* g_ssl[1024] = {};
std::mutex g_ssl_mu[1024];
SSL_CTX* g_client_ctx = nullptr;
SSL_CTX* g_server_ctx = nullptr;

SSL* ssl_of(int fd) {
  return g_tls && fd >= 0 && fd < 1024 ? g_ssl[fd] : nullptr;
}

// The TLS handshake on a blocking socket; false when it fails.
bool start_tls(int fd, bool server) {
  if (!g_tls) return true;
  if (fd >= 1024) return false;
  if (server && !g_server_ctx) {
    g_server_ctx = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_chain_file(g_server_ctx, (g_cert_dir + "/server.pem").c_str()) !=
            1 ||
        SSL_CTX_use_PrivateKey_file(g_server_ctx, (g_cert_dir + "/server-key.pem").c_str(),
                                    SSL_FILETYPE_PEM) != 1)
      return false;
  }
  if (server) SSL_CTX_set_num_tickets(g_server_ctx, 0);  // as tavrin-server: none
  if (!server && !g_client_ctx) {
    g_client_ctx = SSL_CTX_new(TLS_client_method());
    // A read never waits inside the library holding the lock the writer needs.
    SSL_CTX_clear_mode(g_client_ctx, SSL_MODE_AUTO_RETRY);
  }
  SSL* ssl = SSL_new(server ? g_server_ctx : g_client_ctx);
  SSL_set_fd(ssl, fd);
  if ((server ? SSL_accept(ssl) : SSL_connect(ssl)) != 1) {
    SSL_free(ssl);
    return false;
  }
  g_ssl[fd] = ssl;
  return true;
}

bool has_pending(int fd) {
  SSL* ssl = ssl_of(fd);
  if (!ssl) return false;
  std::lock_guard lock(g_ssl_mu[fd]);
  return SSL_has_pending(ssl) == 1;
}

// One read of at most n bytes: recv, or SSL_read once the socket (or TLS)
// has bytes, so the lock is never held while waiting for the peer.
ssize_t read_some(int fd, char* p, size_t n) {
  SSL* ssl = ssl_of(fd);
  if (!ssl) return ::recv(fd, p, n, 0);
  for (;;) {
    if (!has_pending(fd)) {
      pollfd w{fd, POLLIN, 0};
      if (::poll(&w, 1, -1) < 0) return -1;
    }
    std::lock_guard lock(g_ssl_mu[fd]);
    const int r = SSL_read(ssl, p, int(n));
    // A record with no data for us (a key update): back to waiting, unlocked.
    if (r > 0 || SSL_get_error(ssl, r) != SSL_ERROR_WANT_READ) return r;
  }
}

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
  if (SSL* ssl = ssl_of(fd)) {
    std::lock_guard lock(g_ssl_mu[fd]);
    return SSL_write(ssl, p, int(n)) == int(n);
  }
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
    const ssize_t r = read_some(fd, p, n);
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

void use_tls(const std::string& cert_dir) {
  g_tls = true;
  g_cert_dir = cert_dir;
}

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
        if (!start_tls(c, true)) {
          close(c);
          continue;
        }
        (fd == ports.sender_fd ? sender : receiver) = c;
        watch(c);
        continue;
      }
      // TLS may hold further records the socket no longer announces.
      for (bool more = true; more; more = has_pending(fd)) {
        const ssize_t r = read_some(fd, buf, sizeof buf);
        if (r <= 0) {
          if (r < 0 && errno == EINTR) continue;
          if (fd == sender) return;  // the sender is done: so is the relay
          epoll_ctl(ep, EPOLL_CTL_DEL, fd, nullptr);
          close(fd);
          receiver = -1;
          break;
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
  if (!start_tls(fd, false)) {
    close(fd);
    return -1;
  }
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
