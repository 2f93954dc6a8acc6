// Socket errors as the client reads them: message 97 carries the error in
// the numbering of the original platform's socket library (10035 would
// block, 10055 no buffer space, 10054 connection reset ...), so errno values
// are translated here and nowhere else.
//
// handle_socket_error runs on whichever thread found the error (the worker
// for check, send and poll); it must be called with no engine lock held,
// because the receiver of 97 (the login) clears and adds timers.
#pragma once

namespace tavrin {

inline constexpr int kWsaWouldBlock = 10035;
inline constexpr int kWsaNoBufferSpace = 10055;
inline constexpr int kWsaConnAborted = 10053;
inline constexpr int kWsaConnReset = 10054;

// The platform number for an errno value. Unknown values give 10053
// (connection aborted), the generic failure of a connection.
int winsock_code(int err);

// 10035 and 10055 are only logged and the connection stays; any other code
// closes the connection and posts 97 with p1 = the code.
void handle_socket_error(int code);

// The engine's diagnostics sink; it discards what it is given.
void engine_log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tavrin
