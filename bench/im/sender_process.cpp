#include "sender_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>

#include "libtavrin.h"
#include "wire_model.h"

namespace bench::im {

namespace {

// Results (52, 53) of Alice's lines since the run began; 53 also counts in
// g_failed. Written by Alice's worker, read by the sending loop.
std::atomic<long> g_results{0};
std::atomic<long> g_failed{0};

void on_result(int code, intptr_t p1, intptr_t, void*) {
  if (code != FX_MSG_CHAT_SENT && code != FX_MSG_CHAT_SEND_FAILED) return;
  fx_destroy_msg(reinterpret_cast<fx_msg*>(p1));  // the record passes to us
  if (code == FX_MSG_CHAT_SEND_FAILED) g_failed.fetch_add(1);
  g_results.fetch_add(1, std::memory_order_release);
}

bool read_line(int fd, std::string& buffer, std::string& line) {
  size_t nl;
  while ((nl = buffer.find('\n')) == std::string::npos) {
    char chunk[256];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer.append(chunk, size_t(n));
  }
  line = buffer.substr(0, nl);
  buffer.erase(0, nl + 1);
  return true;
}

bool write_line(int fd, const std::string& text) {
  const std::string line = text + "\n";
  return write(fd, line.data(), line.size()) == ssize_t(line.size());
}

bool login(const std::string& address, Track& chat) {
  fx_set_serve_address(address.c_str());
  if (fs_login(std::to_string(kAlice).c_str(), "alice123") != 1) return false;
  // The first line waits for the invitation's answer; it opens the dialog
  // the timed lines use.
  g_results = 0;
  if (fx_dialog_send(kBob, "hello", on_result, nullptr) != 1) return false;
  return settle_line(chat, 0, g_results, 0) && g_failed == 0;
}

// Sends chat line i of the run (100 characters that start with the index)
// and settles it.
bool chat_line(Track& chat, long i, int gap_us) {
  if (i >= chat.capacity) return false;
  char text[101];
  std::memset(text, 'x', 100);
  text[100] = '\0';
  char head[16];
  const int len = std::snprintf(head, sizeof head, "%06ld:", i);
  std::memcpy(text, head, size_t(len));
  chat.sent[i] = now_ns();
  return fx_dialog_send(kBob, text, on_result, nullptr) == 1 &&
         settle_line(chat, i, g_results, gap_us);
}

// n lines of each kind in blocks of `block` lines, the kinds taking turns.
long run(Timing& timing, WireSender& wire, WireSender& ping, long n, long block, int gap_us) {
  g_results = 0;
  wire.begin_run();
  ping.begin_run();
  block = std::max(1L, block);
  for (long start = 0; start < n; start += block) {
    const long end = std::min(n, start + block);
    for (long i = start; i < end; ++i)
      if (!chat_line(timing.chat, i, gap_us)) return i;
    for (long i = start; i < end; ++i)
      if (!wire.send(i, gap_us)) return i;
    for (long i = start; i < end; ++i)
      if (!ping.send(i, gap_us)) return i;
  }
  return g_failed ? -1 : n;
}

// n first lines: each ends the dialog the last one opened, so that it waits
// behind a new invitation.
long first_lines(Track& chat, long n, int gap_us) {
  g_results = 0;
  for (long i = 0; i < n; ++i) {
    fx_end_dialog(kBob);
    if (!chat_line(chat, i, gap_us)) return i;
  }
  return g_failed ? -1 : n;
}

long flood(long n) {
  for (long i = 0; i < n; ++i) {
    const std::string line = "F" + std::to_string(i);
    // 0: 64 lines already wait for their answer; try again shortly.
    while (fx_dialog_send(kBob, line.c_str(), on_result, nullptr) == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  return n;
}

[[noreturn]] void serve(int fd, Timing& timing) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (fx_init() != 1) _exit(1);
  std::unique_ptr<WireSender> wire, ping;
  std::string buffer, line;
  while (read_line(fd, buffer, line)) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    long result = 0;
    if (cmd == "quit") {
      break;
    } else if (cmd == "login") {
      std::string address;
      int relay_port = 0, ping_port = 0;
      std::string ca;  // over TLS: the CA that signed the server's certificate
      in >> address >> relay_port >> ping_port >> ca;
      if (!ca.empty()) fx_set_ca_file(ca.c_str());
      wire = std::make_unique<WireSender>(timing.wire);
      ping = std::make_unique<WireSender>(timing.ping);
      result =
          wire->start(relay_port) && ping->start(ping_port) && login(address, timing.chat) ? 1 : 0;
    } else if (cmd == "run") {
      long n = 0, block = 0;
      int gap = 0;
      in >> n >> block >> gap;
      result = wire && ping ? run(timing, *wire, *ping, n, block, gap) : 0;
    } else if (cmd == "first") {
      long n = 0;
      int gap = 0;
      in >> n >> gap;
      result = first_lines(timing.chat, n, gap);
    } else if (cmd == "flood") {
      long n = 0;
      in >> n;
      result = flood(n);
    }
    if (!write_line(fd, "ok " + std::to_string(result))) break;
  }
  wire.reset();
  ping.reset();
  fx_terminate();
  _exit(0);
}

}  // namespace

SenderProcess::SenderProcess(Timing& timing) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    serve(fds[1], timing);
  }
  close(fds[1]);
  fd_ = fds[0];
  if (pid_ < 0) {
    close(fd_);
    fd_ = -1;
  }
}

SenderProcess::~SenderProcess() {
  if (fd_ >= 0) {
    write_line(fd_, "quit");
    close(fd_);
  }
  if (pid_ <= 0) return;
  int status = 0;
  for (int i = 0; i < 300 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(10000);
  if (waitpid(pid_, &status, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
}

std::string SenderProcess::command(const std::string& line) {
  if (fd_ < 0 || !write_line(fd_, line)) return "";
  std::string buffer, reply;
  return read_line(fd_, buffer, reply) ? reply : "";
}

}  // namespace bench::im
