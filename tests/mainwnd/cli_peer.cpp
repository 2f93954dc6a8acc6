#include "cli_peer.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace tavrin::test {

CliPeer::CliPeer(const std::string& sipc_address, const std::string& user,
                 const std::string& password) {
  int in[2], out[2];
  if (pipe(in) != 0) return;
  if (pipe(out) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    execl(TAVRIN_CLI_BIN, TAVRIN_CLI_BIN, "--server", sipc_address.c_str(), "--user", user.c_str(),
          "--password", password.c_str(), "--json", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  to_child_ = in[1];
  reader_ = std::thread([this, fd = out[0]] { read_loop(fd); });
}

CliPeer::~CliPeer() {
  if (pid_ > 0) {
    command("quit");
    for (int i = 0; i < 300; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      usleep(10000);
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
  if (to_child_ >= 0) close(to_child_);
  if (reader_.joinable()) reader_.join();
}

void CliPeer::command(const std::string& line) {
  if (to_child_ < 0) return;
  const std::string l = line + "\n";
  (void)!write(to_child_, l.data(), l.size());
}

void CliPeer::read_loop(int fd) {
  FILE* in = fdopen(fd, "r");
  if (!in) return;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, in)) {
    std::lock_guard lock(mu_);
    lines_.emplace_back(buffer);
    cv_.notify_all();
  }
  std::fclose(in);
}

bool CliPeer::wait_for(const std::string& text, std::chrono::milliseconds limit) {
  std::unique_lock lock(mu_);
  return cv_.wait_for(lock, limit, [&] {
    for (const auto& l : lines_)
      if (l.find(text) != std::string::npos) return true;
    return false;
  });
}

}  // namespace tavrin::test
