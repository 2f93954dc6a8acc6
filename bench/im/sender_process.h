// The sending process of bench_im_chat: Alice's engine and the wire
// reference's sender, forked from the bench before it starts any thread and
// driven over a socket pair, one command line and one reply line at a time.
// Replies come only between runs; during a run the process writes nothing
// but its sockets and the shared Timing block.
//
//   login HOST:PORT RELAY_PORT  fs_login as Alice, opens the dialog with
//                               Bob, connects to the relay      -> ok 1
//   run N BLOCK GAP_US          N timed chat lines (fx_dialog_send) and N
//                               timed wire lines, taking turns in blocks
//                               of BLOCK lines                  -> ok SENT
//   first N GAP_US              N timed chat lines, each the first of a
//                               new dialog (the last one ended) -> ok SENT
//   flood N                     N lines as fast as the engine takes them
//                                                               -> ok N
//   quit
#pragma once

#include <sys/types.h>

#include <string>

#include "timing.h"

namespace bench::im {

constexpr long kAlice = 100000001;
constexpr long kBob = 100000002;

class SenderProcess {
 public:
  // Forks the process; call before the parent starts any thread.
  explicit SenderProcess(Timing& timing);
  ~SenderProcess();  // quit, then SIGKILL after 3 s; reaped by pid
  SenderProcess(const SenderProcess&) = delete;
  SenderProcess& operator=(const SenderProcess&) = delete;

  bool running() const { return pid_ > 0; }
  // Sends the line and returns the reply ("" when the process is gone).
  std::string command(const std::string& line);

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
};

}  // namespace bench::im
