// NetDriver: the table of socket operations through which the engine reaches
// the network. fx_init installs the POSIX socket version; a test may preset a
// table of its own before fx_init. Another socket interface replaces only the
// table, never the logic that calls it.
//
// Threads: check, send and poll run on the worker thread; connect on the
// timer thread (the login task); close and try_send on any thread.
#pragma once

namespace tavrin {

struct NetDriver {
  // 1 when the socket layer is up, else 0.
  int (*start)();
  void (*stop)();
  // 1 when a connection exists and has no pending error; otherwise 0, after
  // the pending error went to the socket-error handling.
  int (*check)();
  // 1 when a connection to the server (directly or through the proxy) is up.
  int (*connect)();
  // Closes the connection if there is one; always 1.
  int (*close)();
  // Waits up to 3 s for data on the connection or for wake_fd to become
  // readable; reads once into buf (at most cap bytes). Returns the number of
  // bytes read, 0 when nothing arrived.
  int (*poll)(char* buf, int cap, int wake_fd);
  // One send call; the number of bytes sent when positive, else 0.
  int (*send)(const char* text, int len);
  // One send call that never waits and reports nothing: the bytes sent, 0
  // on any failure (an error is held on the connection, and the worker's
  // next check reports it with its cause).
  // Optional (null: every text goes through the worker).
  int (*try_send)(const char* text, int len) = nullptr;
};

}  // namespace tavrin
