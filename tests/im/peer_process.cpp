#include "peer_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

namespace tavrin::test {

PeerProcess::PeerProcess(const std::string& binary) {
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(to_child[0], 0);
    dup2(from_child[1], 1);
    close(to_child[1]);
    close(from_child[0]);
    execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  in_fd_ = to_child[1];
  out_fd_ = from_child[0];
  reader_ = std::thread([this] { read_loop(); });
}

PeerProcess::~PeerProcess() {
  if (in_fd_ >= 0) {
    const std::string quit = "quit\n";
    (void)!write(in_fd_, quit.data(), quit.size());
    close(in_fd_);
  }
  if (pid_ > 0) {
    int status = 0;
    for (int i = 0; i < 300 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(10000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  if (reader_.joinable()) reader_.join();
  if (out_fd_ >= 0) close(out_fd_);
}

void PeerProcess::kill_now() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

void PeerProcess::read_loop() {
  std::string buffer;
  char chunk[4096];
  for (;;) {
    const ssize_t n = read(out_fd_, chunk, sizeof chunk);
    if (n <= 0) break;
    buffer.append(chunk, size_t(n));
    size_t nl;
    while ((nl = buffer.find('\n')) != std::string::npos) {
      std::string line = buffer.substr(0, nl);
      buffer.erase(0, nl + 1);
      std::lock_guard lock(mu_);
      if (line.rfind("ev ", 0) == 0) {
        PeerEvent e;
        std::istringstream in(line.substr(3));
        in >> e.code >> e.p2;
        std::getline(in >> std::ws, e.text);
        events_.push_back(e);
      } else {
        replies_.push_back(line);
      }
      cv_.notify_all();
    }
  }
}

std::string PeerProcess::command(const std::string& line, std::chrono::milliseconds limit) {
  const std::string text = line + "\n";
  if (write(in_fd_, text.data(), text.size()) != ssize_t(text.size())) return "";
  std::unique_lock lock(mu_);
  if (!cv_.wait_for(lock, limit, [&] { return !replies_.empty(); })) return "";
  std::string reply = replies_.front();
  replies_.pop_front();
  return reply;
}

bool PeerProcess::wait_event(int code, long p2, PeerEvent* out, size_t nth,
                             std::chrono::milliseconds limit) {
  std::unique_lock lock(mu_);
  return cv_.wait_for(lock, limit, [&] {
    size_t seen = 0;
    for (const auto& e : events_)
      if (e.code == code && (p2 == -1 || e.p2 == p2) && ++seen == nth) {
        if (out) *out = e;
        return true;
      }
    return false;
  });
}

std::vector<PeerEvent> PeerProcess::events() {
  std::lock_guard lock(mu_);
  return events_;
}

}  // namespace tavrin::test
