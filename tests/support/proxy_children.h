// The real proxies for tests that go through one: tinyproxy (HTTP CONNECT,
// optionally with Basic authorisation) and dante (SOCKS5, with no
// authentication or the user/password method). start() writes the
// configuration into a scratch folder, runs the program in the foreground
// on a loopback port that was free a moment ago and waits until it listens;
// the object stops it by pid (SIGTERM, then SIGKILL) and reaps it when it
// goes. The programs come from the Debian packages tinyproxy and
// dante-server: when one is missing or does not listen, start() returns
// false and failure() says why, so the test fails with that reason.
// SystemUser makes a throwaway system account for dante's user/password
// method, which checks the system's accounts (needs root). Everything here
// is owned and used by one test thread.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace tavrin::test {

// A loopback port that was free a moment ago (0 when none could be had),
// for programs that take a number and for a port nothing listens on.
int free_loopback_port();

class ProxyChild {
 public:
  ProxyChild() = default;
  ~ProxyChild();
  ProxyChild(const ProxyChild&) = delete;
  ProxyChild& operator=(const ProxyChild&) = delete;

  int port() const { return port_; }
  // Why the last start() returned false; empty after a good start.
  const std::string& failure() const { return failure_; }

 protected:
  // Starts argv[0] with the rest and waits until port_ listens.
  bool launch(const std::vector<std::string>& argv);
  // temp_dir.h's TempDir, even where a suite has its own in tavrin::test.
  ::TempDir dir_{"tavrin-proxy"};
  int port_ = free_loopback_port();

 private:
  void stop();
  pid_t pid_ = -1;
  std::string failure_;
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

// A system account made for one test and removed again at the end; ok() is
// false when it could not be made (useradd, chpasswd).
class SystemUser {
 public:
  SystemUser();
  ~SystemUser();
  SystemUser(const SystemUser&) = delete;
  SystemUser& operator=(const SystemUser&) = delete;

  bool ok() const { return ok_; }
  const std::string& name() const { return name_; }
  const std::string& password() const { return password_; }

 private:
  std::string name_;
  std::string password_ = "Pw-9a7q";
  bool ok_ = false;
};

}  // namespace tavrin::test
