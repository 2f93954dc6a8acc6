#include "cli_session.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "command_line.h"
#include "engine_setup.h"
#include "event.h"
#include "libtavrin.h"
#include "platform/signin_lookup.h"

namespace tavrin::cli {

namespace {

constexpr auto kLoginLimit = std::chrono::seconds(90);
constexpr int kSigninTimeoutMs = 30000;

// Remarks about the connection go to stderr, so that --json output stays
// one object a line.
void remark(const std::string& text) {
  std::fprintf(stderr, "tavrin-cli: %s\n", text.c_str());
  std::fflush(stderr);
}

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
  // Logging out also lets go of lines still waiting (offline: they never
  // got out), each with its final result.
  if (logged_in_ || offline_) fx_loginout();
  // No more deliveries into the queue once the session is gone.
  fx_set_system_msg_cb(nullptr, nullptr);
  print_last_results();
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

void CliSession::remark_transport() {
  char* address = fx_get_serve_address();
  if (!address) return;
  const std::string text = address;
  std::free(address);
  const std::string words = text.rfind("tls://", 0) == 0
                                ? "connection encrypted (TLS) to " + text.substr(6)
                                : "connection NOT encrypted (plain TCP) to " + text;
  // Readable output says it in line; --json keeps stdout to objects.
  if (printer_.json())
    remark(words);
  else
    printer_.note(words);
}

bool CliSession::configure_engine() {
  std::string error;
  if (apply_connection_options(options_, &error)) return true;
  printer_.error("", error);
  return false;
}

std::string CliSession::resolve_login_id() {
  if (!options_.signin || options_.user.size() != 11) return options_.user;
  const platform::SigninLookup found = platform::signin_lookup(
      *options_.signin, options_.user, password_, options_.ca_file.value_or(""), kSigninTimeoutMs);
  if (!found.ok) {
    printer_.error("login", "sign-in lookup at " + *options_.signin + " failed: " + found.error);
    return {};
  }
  return found.tavrin_number;
}

bool CliSession::login() {
  const std::string login_id = resolve_login_id();
  if (login_id.empty()) return false;
  if (fx_login(login_id.c_str(), password_.c_str(), &EventQueue::engine_callback, &queue_) == 0) {
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
    const bool readable = poll_once(input_open, relogin_wait_ms());
    if (done_) break;
    run_relogin();
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
  if (e.code == FX_MSG_LOGIN_OK) {
    // From now on events reach the queue through the system callback (after
    // a re-login too: it ran with the engine's interceptor in that place).
    // Set before 14 is shown, so that whoever acts on the line finds the
    // session's callback in place.
    fx_set_system_msg_cb(&EventQueue::engine_callback, &queue_);
    remark_transport();  // before 14, so that whoever acts on it has been told
  }
  printer_.message(e, d);
  ++unclaimed_[e.code];
  if (e.code == FX_MSG_DEREGISTERED) {
    logged_in_ = false;
    finish(kExitSessionEnded);
  } else if (e.code == FX_MSG_LOGIN_OK) {
    logged_in_ = true;
    if (relogin_.active()) {
      remark("logged in again after " + std::to_string(relogin_.attempts()) + " attempt(s)");
      relogin_.done();
    }
    offline_ = false;
  } else if (!logged_in_ && is_login_failure(e.code)) {
    login_failed_ = true;
    if (relogin_.attempt_running()) {
      relogin_.attempt_failed(std::chrono::steady_clock::now());
      remark("login attempt " + std::to_string(relogin_.attempts()) + " failed (code " +
             std::to_string(e.code) + ")");
    }
  } else if (logged_in_ && (e.code == FX_MSG_SOCKET_ERROR || e.code == FX_MSG_LOGIN_FAILED)) {
    // 5 while logged in: the engine's own logins again after a socket error
    // (in the moment before the session's callback took over) gave up.
    logged_in_ = false;
    offline_ = true;
    if (options_.no_relogin) {
      remark("connection lost (--no-relogin): exiting");
      finish(kExitConnectionLost);
      return;
    }
    relogin_.start(std::chrono::steady_clock::now());
    remark("connection lost; logging in again in " +
           std::to_string(ReloginCycle::kFirstDelay.count()) + " s");
  }
}

int CliSession::relogin_wait_ms() const {
  const auto at = relogin_.next_event();
  if (!at) return -1;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(*at - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<long>(0, left.count() + 1));
}

void CliSession::run_relogin() {
  const auto now = std::chrono::steady_clock::now();
  if (relogin_.overdue(now)) {
    fx_cancel_login();
    relogin_.attempt_failed(now);
    remark("login attempt " + std::to_string(relogin_.attempts()) + " had no answer within " +
           std::to_string(ReloginCycle::kWatchdog.count()) + " s");
  }
  if (!relogin_.due(now)) return;
  const int attempt = relogin_.begin_attempt(now);
  remark("logging in again (attempt " + std::to_string(attempt) + "; next in " +
         std::to_string(relogin_.next_delay().count()) + " s if it fails)");
  fx_relogin(&EventQueue::engine_callback, &queue_);
}

void CliSession::print_last_results() {
  for (Event& e : queue_.take_all())
    if (carries_record(e.code)) printer_.message(e, Decoded{});
}

void CliSession::finish(int status) {
  done_ = true;
  status_ = status;
}

}  // namespace tavrin::cli
