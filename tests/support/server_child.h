// ServerChild: tavrin-server run as a child process of the test. start()
// forks and execs the command line (args[0] is the server binary), reads
// the server's first stdout line ("tavrin-server listening nav=N sipc=N
// signin=N", then " sipc-tls=N" with TLS) for the ports it bound, and the destructor stops the child by
// pid (SIGTERM) and reaps it. Owned and used by one test thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tavrin::test {

class ServerChild {
 public:
  struct Options {
    std::string stderr_path;       // the server's log goes here; empty: the test's stderr
    bool die_with_parent = false;  // a test that dies takes its server with it
    long max_descriptors = 0;      // > 0: the child's descriptor limit, soft and hard
  };

  ServerChild() = default;
  ~ServerChild();
  ServerChild(const ServerChild&) = delete;
  ServerChild& operator=(const ServerChild&) = delete;

  // Starts the child once; the ports stay 0 when it reported none.
  void start(std::vector<std::string> args, const Options& options);
  // True while the process has not exited.
  bool alive();
  // Stops the child by pid (SIGTERM) and reaps it; the ports stay known so
  // that a test can start a server again on them.
  void stop();

  pid_t pid() const { return pid_; }
  int nav() const { return nav_; }
  int sipc() const { return sipc_; }
  int signin() const { return signin_; }
  int metrics() const { return metrics_; }  // 0 unless started with --metrics-port
  int sipcTls() const { return sipc_tls_; }  // 0 without a TLS port

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;  // alive() saw it exit and reaped it
  int nav_ = 0, sipc_ = 0, signin_ = 0, metrics_ = 0, sipc_tls_ = 0;
};

}  // namespace tavrin::test
