#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tavrin::platform {
namespace {

bool make_address(const std::filesystem::path& path, sockaddr_un& addr) {
  const std::string p = path.string();
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (p.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, p.c_str(), p.size() + 1);
  return true;
}

}  // namespace

std::filesystem::path SingleInstance::default_dir() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) return run;
  return std::filesystem::temp_directory_path();
}

SingleInstance::SingleInstance(std::string name, std::filesystem::path dir)
    : name_("tavrin-" + std::to_string(getuid()) + "-" + name),
      dir_(dir.empty() ? default_dir() : std::move(dir)) {}

SingleInstance::~SingleInstance() {
  if (thread_.joinable()) {
    const char c = 'q';
    (void)!write(stop_pipe_[1], &c, 1);
    thread_.join();
  }
  for (int fd : stop_pipe_)
    if (fd >= 0) close(fd);
  if (listen_fd_ >= 0) {
    close(listen_fd_);
    std::error_code ec;
    std::filesystem::remove(dir_ / (name_ + ".sock"), ec);
  }
  if (lock_fd_ >= 0) close(lock_fd_);  // releases the lock
}

bool SingleInstance::acquire() {
  if (lock_fd_ >= 0) return true;
  const std::string path = (dir_ / (name_ + ".lock")).string();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  lock_fd_ = fd;
  return true;
}

bool SingleInstance::ask_running_to_activate(int timeout_ms) const {
  sockaddr_un addr;
  if (!make_address(dir_ / (name_ + ".sock"), addr)) return false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool activated = false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      write(fd, "activate\n", 9) == 9) {
    pollfd p{fd, POLLIN, 0};
    char answer = 0;
    if (poll(&p, 1, timeout_ms) == 1 && read(fd, &answer, 1) == 1) activated = answer == '1';
  }
  close(fd);
  return activated;
}

bool SingleInstance::listen(std::function<bool()> activate) {
  if (lock_fd_ < 0 || thread_.joinable()) return false;
  sockaddr_un addr;
  const auto path = dir_ / (name_ + ".sock");
  if (!make_address(path, addr)) return false;
  // A socket file left by a crashed run: we hold the lock, so it is stale.
  std::error_code ec;
  std::filesystem::remove(path, ec);
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return false;
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_fd_, 4) != 0 || pipe2(stop_pipe_, O_CLOEXEC) != 0) {
    close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  activate_ = std::move(activate);
  thread_ = std::thread([this] { serve(); });
  return true;
}

void SingleInstance::serve() {
  while (true) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    const int client = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    // Only a full request counts; a peer that says nothing for a second is dropped.
    char buf[16] = {};
    size_t got = 0;
    pollfd p{client, POLLIN, 0};
    while (got < 9 && poll(&p, 1, 1000) == 1) {
      const ssize_t n = read(client, buf + got, 9 - got);
      if (n <= 0) break;
      got += size_t(n);
    }
    if (got == 9 && std::memcmp(buf, "activate\n", 9) == 0) {
      const char answer = activate_ && activate_() ? '1' : '0';
      (void)!write(client, &answer, 1);
    }
    close(client);
  }
}

}  // namespace tavrin::platform
