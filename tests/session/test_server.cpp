#include "test_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "demo_seed.h"
#include "store.h"

namespace tavrin::test {

TestServer::TestServer(std::vector<std::string> extra, const Seed& seed, bool demo) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-session-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return;
  dir_ = tmpl;
  {
    tavrin::server::Store store(dbPath(), "tavrin.local");
    if (demo) tavrin::server::seedDemo(store);
    if (seed) seed(store);
  }
  int fds[2];
  if (pipe(fds) != 0) return;
  std::vector<std::string> args = {TAVRIN_SERVER_BIN, "--data", dir_,          "--nav-port", "0",
                                   "--sipc-port",     "0",      "--no-signin", "-vv"};
  for (auto& a : extra) args.push_back(a);
  const std::string logPath = dir_ + "/server.log";
  pid_ = fork();
  if (pid_ == 0) {
    // A test that dies (an abort, a crash) takes its server with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(fds[1], 1);
    const int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (logFd >= 0) dup2(logFd, 2);
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
  int signin = 0;
  if (out && std::fgets(line, sizeof line, out))
    std::sscanf(line, "tavrin-server listening nav=%d sipc=%d signin=%d", &nav_, &sipc_, &signin);
  if (out) std::fclose(out);
}

std::string TestServer::log() const {
  std::ifstream in(dir_ + "/server.log");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TestServer::~TestServer() {
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
