#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace tavrin::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extra_env, bool merge_stderr) {
  int to_child[2], from_child[2];
  if (pipe2(to_child, O_CLOEXEC) != 0) return;
  if (pipe2(from_child, O_CLOEXEC) != 0) {
    close(to_child[0]);
    close(to_child[1]);
    return;
  }
  std::vector<std::string> env_store = extra_env;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(to_child[0], STDIN_FILENO);
    dup2(from_child[1], STDOUT_FILENO);
    if (merge_stderr) dup2(from_child[1], STDERR_FILENO);
    for (std::string& e : env_store) putenv(e.data());
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  if (pid < 0) {
    close(to_child[1]);
    close(from_child[0]);
    return;
  }
  pid_ = pid;
  in_ = to_child[1];
  out_ = from_child[0];
  signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGTERM);
    if (wait_exit(std::chrono::seconds(5)) == -1 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  if (in_ >= 0) close(in_);
  if (out_ >= 0) close(out_);
}

void ChildProcess::write_line(const std::string& line) {
  if (in_ < 0) return;
  const std::string data = line + "\n";
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(in_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void ChildProcess::close_input() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

void ChildProcess::send_signal(int sig) {
  if (pid_ > 0 && !reaped_) kill(pid_, sig);
}

std::optional<std::string> ChildProcess::read_line(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (true) {
    if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      transcript_ += line + "\n";
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_ < 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return std::nullopt;
    char buf[4096];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return std::nullopt;
    buffer_.append(buf, static_cast<size_t>(n));
  }
}

std::optional<std::string> ChildProcess::read_until(
    const std::function<bool(const std::string&)>& match, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    auto line = read_line(left);
    if (!line) return std::nullopt;
    if (match(*line)) return line;
  }
}

int ChildProcess::wait_exit(std::chrono::milliseconds limit) {
  if (pid_ <= 0 || reaped_) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

}  // namespace tavrin::test
