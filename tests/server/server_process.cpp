#include "server_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tavrin::test {

ServerProcess::ServerProcess(std::vector<std::string> extraArgs) {
  std::string tmpl =
      (std::filesystem::temp_directory_path() / "tavrin-server-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return;
  dir_ = tmpl;
  int fds[2];
  if (pipe(fds) != 0) return;
  std::vector<std::string> args = {
      TAVRIN_SERVER_BIN, "--data", dir_, "--nav-port", "0", "--sipc-port", "0",
      "--signin-port",   "0"};
  for (auto& a : extraArgs) args.push_back(a);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  FILE* out = fdopen(fds[0], "r");
  char line[256] = {};
  if (out && std::fgets(line, sizeof line, out))
    std::sscanf(line, "tavrin-server listening nav=%d sipc=%d signin=%d", &nav_, &sipc_, &signin_);
  if (out) std::fclose(out);
}

bool ServerProcess::alive() {
  if (pid_ <= 0) return false;
  int status = 0;
  return waitpid(pid_, &status, WNOHANG) == 0;
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (!dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
}

}  // namespace tavrin::test
