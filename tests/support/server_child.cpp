#include "server_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace tavrin::test {

void ServerChild::start(std::vector<std::string> args, const Options& options) {
  if (pid_ > 0 || args.empty()) return;
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    if (options.die_with_parent) prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (options.max_descriptors > 0) {
      const rlimit limit{rlim_t(options.max_descriptors), rlim_t(options.max_descriptors)};
      setrlimit(RLIMIT_NOFILE, &limit);
    }
    dup2(fds[1], 1);
    if (!options.stderr_path.empty()) {
      const int logFd = ::open(options.stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (logFd >= 0) dup2(logFd, 2);
    }
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
  {
    std::sscanf(line, "tavrin-server listening nav=%d sipc=%d signin=%d", &nav_, &sipc_, &signin_);
    if (const char* m = std::strstr(line, " metrics=")) std::sscanf(m, " metrics=%d", &metrics_);
    if (const char* tls = std::strstr(line, " sipc-tls=")) std::sscanf(tls, " sipc-tls=%d", &sipc_tls_);
  }
  if (out) std::fclose(out);
}

bool ServerChild::alive() {
  if (pid_ <= 0) return false;
  if (reaped_) return false;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) reaped_ = true;  // gone: its pid may be reused, never signal it again
  return r == 0;
}

void ServerChild::stop() {
  if (pid_ <= 0) return;
  if (!reaped_) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  reaped_ = false;
}

ServerChild::~ServerChild() {
  stop();
}

}  // namespace tavrin::test
