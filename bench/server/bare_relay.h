// The reference of the load benchmark: a bare epoll relay with no parsing.
// Each client first sends its 4-byte index; from then on every byte it sends
// goes to the client with index ^ 1, unchanged.
#pragma once

namespace bench {

// Runs in a child process until killed; writes the bound port to portFd.
[[noreturn]] void runBareRelay(int portFd);

}  // namespace bench
