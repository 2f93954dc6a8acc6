// The real proxies for the doctor's tests, as tests/engine's proxy tests run
// them: tinyproxy (HTTP CONNECT, optionally with Basic authorisation) and
// dante (SOCKS5, with no authentication or the user/password method), each
// started in the foreground on a free loopback port with a configuration
// in a scratch folder, and stopped by its pid when the object goes. The
// programs come from the Debian packages tinyproxy and dante-server; when
// one is missing, start() fails the test. One test thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "child_process.h"
#include "temp_dir.h"

namespace tavrin::test {

// A loopback port that was free a moment ago, for programs that take a number.
int free_port();
// True once something accepts connections on the loopback port.
bool wait_listening(int port, std::chrono::milliseconds limit);

class ProxyChild {
 public:
  int port() const { return port_; }

 protected:
  // Starts argv[0] with the rest and waits until it listens; false when not.
  bool launch(const std::vector<std::string>& argv);
  TempDir dir_{"tavrin-proxy"};
  int port_ = free_port();
  std::unique_ptr<ChildProcess> child_;
};

class Tinyproxy : public ProxyChild {
 public:
  struct Credentials {
    std::string user, password;
  };
  bool start(const std::optional<Credentials>& basic_auth);
};

class Dante : public ProxyChild {
 public:
  // username_method: the proxy asks for a user and password (checked
  // against the system's accounts); else it takes no authentication.
  bool start(bool username_method);
};

}  // namespace tavrin::test
