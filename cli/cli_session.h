// One run of tavrin-cli: sets up the engine from the options, logs in, then
// multiplexes standard input (commands, one a line) and the engine's
// messages (through the EventQueue's eventfd) on the main thread until quit,
// end of input, a wait that timed out or the end of the session. Every
// engine call and every output happens on the main thread; the engine's
// threads only push into the queue.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "command_table.h"
#include "event_queue.h"
#include "options.h"
#include "printer.h"
#include "relogin.h"

namespace tavrin::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitLoginFailed = 2;
inline constexpr int kExitWaitTimeout = 3;
inline constexpr int kExitSessionEnded = 4;
inline constexpr int kExitConnectionLost = 5;  // with --no-relogin

class CliSession {
 public:
  CliSession(Options options, std::string password);
  // Runs everything, fx_init to fx_terminate; the exit status.
  int run();
  // The command table (commands.cpp): one row per command, in help's order.
  static const std::vector<Command>& commands();

 private:
  bool configure_engine();
  // Says whether the session's connection is encrypted (after each login).
  void remark_transport();
  bool login();
  void main_loop();
  // Reads what standard input has; false at its end.
  bool read_input();
  void handle_event(Event e);
  void execute(const std::string& line);
  void finish(int status);
  // Waits up to timeout_ms (-1: no limit) for engine messages, standard
  // input (when asked) or a stop signal; handles the messages and a signal.
  // True when standard input is readable.
  bool poll_once(bool with_input, int timeout_ms);
  // The relogin cycle after a lost connection: starts the attempts that are
  // due and gives up the ones past their watchdog.
  void run_relogin();
  // Milliseconds until the relogin cycle needs run_relogin (-1: never).
  int relogin_wait_ms() const;
  // The engine's own 11-digit lookup, or the HTTPS sign-in one with --signin;
  // the login id, or empty after printing why not.
  std::string resolve_login_id();
  // Send results the engine gave as it let go of waiting lines at the end.
  void print_last_results();

  // Commands (commands.cpp) that take more than a row of the table.
  void cmd_contacts();
  void cmd_groups();
  void cmd_blacklist();
  void cmd_quns();
  void cmd_me();
  void cmd_wait(const CommandArgs& args);
  void cmd_schedule_list();
  void cmd_schedule_add(std::string args);
  void cmd_logout();
  void cmd_help();
  // A request's immediate answer: 1 queued, else the reason.
  void queued(const std::string& command, int rc, const std::string& why_not);

  Options options_;
  std::string password_;
  Printer printer_;
  EventQueue queue_;
  int signal_fd_ = -1;            // SIGINT, SIGTERM, SIGHUP: leave as by quit
  std::string input_;             // standard input not yet cut into lines
  std::map<int, int> unclaimed_;  // messages by code that no wait has taken yet
  bool done_ = false;
  int status_ = kExitOk;
  bool logged_in_ = false;
  bool login_failed_ = false;  // a failure code arrived while logging in
  bool offline_ = false;       // the connection was lost and is not back yet
  ReloginCycle relogin_;
};

}  // namespace tavrin::cli
