// The POSIX socket network driver. Interim: the socket layer starts, but no
// connection is made yet; connecting comes with the transport.
#include "frame/net_driver.h"

namespace tavrin {

namespace {
int sock_start() {
  return 1;
}
void sock_stop() {}
int sock_check() {
  return 0;
}
int sock_connect() {
  return 0;
}
int sock_close() {
  return 1;
}
int sock_poll(char*, int, int) {
  return 0;
}
int sock_send(const char*, int) {
  return 0;
}
const NetDriver kSocketDriver{sock_start, sock_stop, sock_check, sock_connect,
                              sock_close, sock_poll, sock_send};
}  // namespace

const NetDriver& socket_net_driver() {
  return kSocketDriver;
}

}  // namespace tavrin
