#include "cli_session.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "command_line.h"
#include "libtavrin.h"

namespace tavrin::cli {

namespace {

constexpr auto kLoginLimit = std::chrono::seconds(90);

std::string take_new(char* s) {
  std::string out = s != nullptr ? s : "";
  std::free(s);
  return out;
}

}  // namespace

CliSession::CliSession(Options options, std::string password)
    : options_(std::move(options)), password_(std::move(password)), printer_(options_.json) {}

int CliSession::run() {
  if (!queue_.ok()) {
    printer_.error("", "cannot create the event queue");
    return kExitUsage;
  }
  // Blocked before the engine's threads start, so that they inherit the mask
  // and the signals reach only the signalfd the main loop polls.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop_signals, sig);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal_fd_ = signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fx_init() == 0) {
    printer_.error("", "the engine's network layer cannot start");
    return kExitUsage;
  }
  if (!configure_engine()) {
    fx_terminate();
    return kExitUsage;
  }
  if (!login()) {
    fx_set_system_msg_cb(nullptr, nullptr);
    fx_cancel_login();
    fx_terminate();
    return kExitLoginFailed;
  }
  main_loop();
  if (logged_in_) fx_loginout();
  // No more deliveries into the queue once the session is gone.
  fx_set_system_msg_cb(nullptr, nullptr);
  fx_terminate();
  if (signal_fd_ >= 0) close(signal_fd_);
  return status_;
}

bool CliSession::poll_once(bool with_input, int timeout_ms) {
  pollfd fds[3] = {{queue_.fd(), POLLIN, 0}, {signal_fd_, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  const int r = poll(fds, with_input ? 3 : 2, timeout_ms);
  if (r < 0) {
    if (errno != EINTR) finish(kExitUsage);
    return false;
  }
  if (fds[0].revents & POLLIN)
    for (Event& e : queue_.take_all()) handle_event(std::move(e));
  if (fds[1].revents & POLLIN) {
    signalfd_siginfo info{};
    [[maybe_unused]] ssize_t n = read(signal_fd_, &info, sizeof info);
    printer_.note("stopping (signal " + std::to_string(info.ssi_signo) + ")");
    finish(kExitOk);
    return false;
  }
  return with_input && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool CliSession::configure_engine() {
  const auto fail = [this](const std::string& what) {
    printer_.error("", what);
    return false;
  };
  if (options_.domain && fx_set_sip_domain(options_.domain->c_str()) == 0)
    return fail("unusable --domain");
  if (options_.nav_host &&
      fx_set_navigation_address(options_.nav_host->c_str(), options_.nav_port) == 0)
    return fail("unusable --nav");
  if (options_.signin && fx_set_signin_address(options_.signin->c_str()) == 0)
    return fail("unusable --signin");
  if (options_.ca_file && !std::ifstream(*options_.ca_file).good())
    return fail("cannot read --ca file " + *options_.ca_file);
  if (options_.server) {
    if (fx_set_serve_address(options_.server->c_str()) == 0) return fail("unusable --server");
  } else {
    fx_set_unknow_serve_address();
  }
  if (options_.proxy) {
    ProxyUrl p;
    std::string error;
    if (!parse_proxy_url(*options_.proxy, &p, &error)) return fail(error);
    fx_proxy proxy{};
    proxy.host = p.host.data();
    proxy.port = p.port.data();
    proxy.user_name = p.user.empty() ? nullptr : p.user.data();
    proxy.password = p.user.empty() ? nullptr : p.password.data();
    proxy.type = p.type;
    if (fx_set_proxy(&proxy) == 0) return fail("unusable --proxy");
    fx_setProxyEnabled(1);
  }
  if (options_.status != 0) fx_set_login_status(options_.status);
  return true;
}

bool CliSession::login() {
  if (fx_login(options_.user.c_str(), password_.c_str(), &EventQueue::engine_callback, &queue_) ==
      0) {
    printer_.error("login", "the engine refused to start a login");
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + kLoginLimit;
  bool failed = false;
  while (!done_ && !failed && !logged_in_ && std::chrono::steady_clock::now() < deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    login_failed_ = false;
    poll_once(false, static_cast<int>(std::max<long>(0, left.count())));
    failed = login_failed_;
  }
  if (failed || done_) return false;
  if (!logged_in_) {
    printer_.error("login", "no answer from the server in time");
    return false;
  }
  printer_.set_session_open();
  if (!printer_.json()) {
    fx_lock_contacts();
    const char* name = fx_get_usr_show_name();
    const std::string who = name != nullptr ? name : options_.user;
    fx_unlock_contacts();
    printer_.note("signed in as " + who + " (" + options_.user + "); type 'help' for commands");
  }
  return true;
}

void CliSession::main_loop() {
  bool input_open = true;
  while (!done_) {
    const bool readable = poll_once(input_open, -1);
    if (done_) break;
    if (readable) {
      input_open = read_input();
      for (size_t nl; !done_ && (nl = input_.find('\n')) != std::string::npos;) {
        const std::string line = input_.substr(0, nl);
        input_.erase(0, nl + 1);
        execute(line);
      }
      // The end of input acts as quit (after the last, unterminated line).
      if (!input_open && !done_) {
        if (!input_.empty()) execute(std::exchange(input_, std::string()));
        if (!done_) finish(kExitOk);
      }
    }
  }
}

bool CliSession::read_input() {
  char buf[4096];
  const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
  if (n > 0) {
    input_.append(buf, static_cast<size_t>(n));
    return true;
  }
  return n < 0 && (errno == EINTR || errno == EAGAIN);
}

void CliSession::handle_event(Event e) {
  Decoded d;
  if (e.code == FX_MSG_CHAT_MESSAGE || e.code == FX_MSG_CHAT_MESSAGE_SO) {
    if (fx_msg* m = fx_get_msg(e.p2)) {
      d.has_chat = true;
      d.from = m->contact_id;
      d.source = m->source_id;
      if (m->text != nullptr) {
        // Formatted lines (Font elements) are shown as their bare text.
        d.text = take_new(fx_msg_no_format(m->text));
      }
      if (m->date != nullptr) d.date = m->date;
      fx_destroy_msg(m);
    } else {
      // Nothing queued under that id: show the body the message carried.
      d.has_chat = true;
      d.from = e.p2;
      d.text = e.p1_text.value_or("");
    }
  }
  printer_.message(e, d);
  ++unclaimed_[e.code];
  if (e.code == FX_MSG_DEREGISTERED) {
    logged_in_ = false;
    finish(kExitSessionEnded);
  } else if (e.code == FX_MSG_LOGIN_OK) {
    // From now on events reach the queue through the system callback (after
    // a re-login too: it ran with the engine's interceptor in that place).
    fx_set_system_msg_cb(&EventQueue::engine_callback, &queue_);
    logged_in_ = true;
  } else if (!logged_in_ && is_login_failure(e.code)) {
    login_failed_ = true;
  } else if (e.code == FX_MSG_SOCKET_ERROR && logged_in_) {
    printer_.note("connection lost; logging in again");
    fx_relogin(&EventQueue::engine_callback, &queue_);
  }
}

void CliSession::finish(int status) {
  done_ = true;
  status_ = status;
}

}  // namespace tavrin::cli
