// ServerProcess: starts tavrin-server on loopback with all ports 0 in a fresh
// temporary data folder, reads its "listening" line, and stops it by pid.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tavrin::test {

class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> extraArgs = {"--demo"});
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool running() const { return pid_ > 0 && sipc_ > 0; }
  int navPort() const { return nav_; }
  int sipcPort() const { return sipc_; }
  int signinPort() const { return signin_; }
  const std::string& dataDir() const { return dir_; }
  // True while the process has not exited.
  bool alive();

 private:
  pid_t pid_ = -1;
  int nav_ = 0, sipc_ = 0, signin_ = 0;
  std::string dir_;
};

}  // namespace tavrin::test
