#include "sipc/socket_error.h"

#include <cerrno>
#include <cstdarg>

#include "frame/engine.h"
#include "libtavrin.h"

namespace tavrin {

int winsock_code(int err) {
  switch (err) {
    // These keep the Berkeley numbering the platform's codes are built on.
    case EINTR:
    case EBADF:
    case EACCES:
    case EFAULT:
    case EINVAL:
    case EMFILE:
      return 10000 + err;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return kWsaWouldBlock;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case EOPNOTSUPP:
      return 10045;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return kWsaConnAborted;
    case ECONNRESET:
      return kWsaConnReset;
    case ENOBUFS:
    case ENOMEM:
      return kWsaNoBufferSpace;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case EPIPE:
      return 10058;  // sending after the connection was shut down
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    default:
      return kWsaConnAborted;
  }
}

void handle_socket_error(int code) {
  engine_log("handle_socket_error ---- [%d] \n", code);
  if (code == kWsaWouldBlock || code == kWsaNoBufferSpace) return;
  engine().net().close();
  engine().callbacks.post_system(FX_MSG_SOCKET_ERROR, code, 0);
}

void engine_log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_end(args);
}

}  // namespace tavrin
