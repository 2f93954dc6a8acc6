// The POSIX socket network driver: the seven operations over the engine's
// one connection. Errors found on the connection in use go through
// handle_socket_error (message 97); errors on a socket that was closed
// meanwhile (fx_close_network, a reset) are the close itself and post nothing.
#include "sipc/socket_driver.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <memory>

#include "frame/engine.h"
#include "frame/net_driver.h"
#include "sipc/connection.h"
#include "sipc/proxy_settings.h"
#include "sipc/server_connect.h"
#include "sipc/socket_error.h"

namespace tavrin {

namespace {

constexpr int kPollMs = 3000;
std::atomic<bool> g_started{false};

// The socket whose last check found no error and whose polls since then saw
// no error or hang-up. check trusts it without asking the kernel each pass:
// an error that comes later ends the next poll at once (POLLERR, POLLHUP)
// and is seen there. A weak reference, so a new socket never passes for it.
// Worker thread (check, poll and send run there).
thread_local std::weak_ptr<Socket> t_sound;

bool is_sound(const std::shared_ptr<Socket>& s) {
  return !t_sound.owner_before(s) && !s.owner_before(t_sound);
}

bool still_current(const std::shared_ptr<Socket>& s) {
  return connection().socket() == s;
}

void report(const std::shared_ptr<Socket>& s, int code) {
  if (still_current(s)) handle_socket_error(code);
}

int readable_bytes(const std::shared_ptr<Socket>& s) {
  if (s->has_pending()) return 1;
  int n = 0;
  return ioctl(s->fd(), FIONREAD, &n) == 0 ? n : 0;
}

// Reports the error held back for the socket; the check then fails.
int fail(const std::shared_ptr<Socket>& s) {
  const int code = s->deferred_error();
  s->defer_error(0);  // once: "would block" keeps the connection
  report(s, code);
  return 0;
}

int sock_start() {
  // POSIX sockets need no library start; a second start is a no-op as well.
  g_started = true;
  return 1;
}

void sock_stop() {
  g_started = false;
}

int sock_check() {
  const auto s = connection().socket();
  if (!s) return 0;
  if (s->deferred_error() == 0 && is_sound(s)) return 1;
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(s->fd(), SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  if (err == 0 && s->deferred_error() == 0) {
    t_sound = s;
    return 1;
  }
  if (err == 0) return readable_bytes(s) > 0 ? 1 : fail(s);
  // A server that sends its last words and resets the connection (logged in
  // elsewhere) must still be heard: what arrived before the reset is read
  // and dispatched first, and the error is reported after it.
  s->defer_error(winsock_code(err));
  if (readable_bytes(s) > 0) return 1;
  return fail(s);
}

int sock_connect() {
  auto stream = open_server_stream(proxy_settings().active());
  if (!stream) return 0;
  connection().adopt(std::move(stream));
  engine().waker.wake();  // the worker idles while there is no connection
  return 1;
}

int sock_close() {
  connection().close();
  return 1;
}

int sock_poll(char* buf, int cap, int wake_fd) {
  const auto s = connection().socket();
  if (!s || cap <= 0) return 0;
  if (!s->has_pending()) {  // bytes decrypted already: the kernel has nothing to say
    pollfd fds[2] = {{s->fd(), POLLIN, 0}, {wake_fd, POLLIN, 0}};
    const int r = ::poll(fds, wake_fd >= 0 ? 2 : 1, kPollMs);
    if (r <= 0 || fds[0].revents == 0) return 0;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) t_sound.reset();  // the next check asks
  }
  errno = 0;
  const ssize_t n = s->read(buf, size_t(cap));
  if (n > 0) return int(n);
  t_sound.reset();
  if (n == 0) {
    // The server closed the connection. Left alone the socket would stay
    // readable and the worker would spin; it is a lost connection.
    report(s, s->deferred_error() ? s->deferred_error() : kWsaConnReset);
    return 0;
  }
  if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
    report(s, s->deferred_error() ? s->deferred_error() : winsock_code(errno));
  return 0;
}

int sock_send(const char* text, int len) {
  const auto s = connection().socket();
  // A connection with an error held back is only read to its end.
  if (!s || len <= 0 || s->deferred_error()) return 0;
  const ssize_t n = s->write(text, size_t(len), true);
  if (n > 0) return int(n);
  t_sound.reset();
  if (n < 0) {
    const int code = winsock_code(errno);
    // As in check: what the server sent before it reset the connection is
    // read and dispatched first, and the error reported after it.
    if (code != kWsaWouldBlock && code != kWsaNoBufferSpace && readable_bytes(s) > 0)
      s->defer_error(code);
    else
      report(s, code);
  }
  return 0;
}

int sock_try_send(const char* text, int len) {
  const auto s = connection().socket();
  if (!s || len <= 0 || s->deferred_error()) return 0;
  const ssize_t n = s->write(text, size_t(len), false);
  if (n > 0) return int(n);
  if (n < 0) {
    // A failed send takes the socket's pending error with it: the worker's
    // next check would find none, and its own send would meet only the
    // broken pipe. The cause is held for the worker to report.
    const int code = winsock_code(errno);
    if (code != kWsaWouldBlock && code != kWsaNoBufferSpace && errno != EINTR) s->defer_error(code);
  }
  return 0;
}

const NetDriver kSocketDriver{sock_start, sock_stop, sock_check, sock_connect,
                              sock_close, sock_poll, sock_send,  sock_try_send};

}  // namespace

const NetDriver& socket_net_driver() {
  return kSocketDriver;
}

}  // namespace tavrin
