// Blocking-with-a-limit operations on a non-blocking TCP socket, for the
// connection set-up and the proxy handshakes (timer thread, or the caller of
// fx_test_network). Every wait has a limit; nothing here touches engine state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

// Resolves host (dotted IPv4 text, or a name) and connects a new IPv4 TCP
// socket in non-blocking mode, waiting at most limit_ms for the connect.
// The socket (left non-blocking) or -1; a failed socket is closed.
int tcp_connect(const std::string& host, int port, int limit_ms);

// Sends all bytes, waiting at most limit_ms in all for the socket to take them.
bool send_all(int fd, std::string_view bytes, int limit_ms);

// Waits at most limit_ms for the socket to become readable, then reads once
// up to cap bytes. The count read, 0 for nothing (time-out, closed, error).
size_t wait_read(int fd, char* buf, size_t cap, int limit_ms);

// Reads exactly n bytes within limit_ms in all; false when they do not come.
bool read_exact(int fd, char* buf, size_t n, int limit_ms);

}  // namespace tavrin
