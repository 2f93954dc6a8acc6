// ServerProcess: starts tavrin-server on loopback with all ports 0 in a fresh
// temporary data folder, reads its "listening" line, and stops it by pid.
#pragma once

#include <string>
#include <vector>

#include "server_child.h"
#include "temp_dir.h"

namespace tavrin::test {

class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> extraArgs = {"--demo"});
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool running() const { return child_.pid() > 0 && (child_.sipc() > 0 || child_.sipcTls() > 0); }
  int navPort() const { return child_.nav(); }
  int sipcPort() const { return child_.sipc(); }
  int signinPort() const { return child_.signin(); }
  int sipcTlsPort() const { return child_.sipcTls(); }
  const std::string& dataDir() const { return dirName_; }
  // True while the process has not exited.
  bool alive() { return child_.alive(); }
  pid_t pid() const { return child_.pid(); }

 private:
  TempDir dir_;  // declared first: removed after the server stopped
  std::string dirName_;
  ServerChild child_;
};

}  // namespace tavrin::test
