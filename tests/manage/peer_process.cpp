#include "peer_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrin::test {

PeerProcess::PeerProcess(const std::string& address, const std::string& id,
                         const std::string& password) {
  signal(SIGPIPE, SIG_IGN);  // a peer that died must not end the test
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    execl(MANAGE_PEER_BIN, MANAGE_PEER_BIN, address.c_str(), id.c_str(), password.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  to_child_ = in[1];
  reader_ = std::thread([this, fd = out[0]] { read_loop(fd); });
}

PeerProcess::~PeerProcess() {
  if (to_child_ >= 0) {
    send("quit");
    close(to_child_);
  }
  if (pid_ > 0) {
    // A clean quit logs out; a peer that hangs is stopped.
    for (int i = 0; i < 300; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      usleep(10000);
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  if (reader_.joinable()) reader_.join();
}

void PeerProcess::send(const std::string& line) {
  const std::string text = line + "\n";
  [[maybe_unused]] ssize_t n = write(to_child_, text.data(), text.size());
}

void PeerProcess::read_loop(int fd) {
  std::string pending;
  char buf[512];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    pending.append(buf, size_t(n));
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
      std::lock_guard lock(mu_);
      lines_.push_back(pending.substr(0, nl));
      pending.erase(0, nl + 1);
      cv_.notify_all();
    }
  }
  close(fd);
}

bool PeerProcess::wait_line(const std::string& prefix, std::string* out,
                            std::chrono::milliseconds limit, size_t from, size_t* next) {
  std::unique_lock lock(mu_);
  return cv_.wait_for(lock, limit, [&] {
    for (size_t i = from; i < lines_.size(); ++i)
      if (lines_[i].rfind(prefix, 0) == 0) {
        if (out) *out = lines_[i];
        if (next) *next = i + 1;
        return true;
      }
    return false;
  });
}

size_t PeerProcess::lines_seen() {
  std::lock_guard lock(mu_);
  return lines_.size();
}

}  // namespace tavrin::test
