// Lines lost across a kill -9 and restart of tavrin-server during a chat
// between two engines: an end-to-end program (not run by tests), bounded in
// lines and time.
//
// It starts tavrin-server (demo world, a fresh data folder, loopback) and two
// tavrin-cli processes (Alice and Bob, each its own engine). Alice sends
// --lines chat lines to Bob, one every --interval-ms; after line --kill-at the
// server is killed with SIGKILL and started again --down-ms later on the same
// SIP-C port and data folder; both CLIs log in again by themselves, Bob
// --bob-away-ms after the restart (his CLI is stopped from the kill until
// then), so that Alice's lines in between wait offline for his re-login. Once
// every accepted line has its final result (or --settle-s ran out), Bob
// signs in afresh to collect what waited for him as offline messages. Then
// it prints, over the lines:
//   accepted      the engine took it (the CLI answered "queued")
//   refused       not taken: the CLI was offline and said so
//   delivered     Bob received it: 0 (lost or failed), 1, or 2+ times
//                 (duplicated)
//   late          Bob received it only at the fresh login: the re-login
//                 after the outage should have fetched it
//   failed        Alice got 53 or 54 for it (reported, not lost); "false"
//                 when Bob received it all the same
//   lost          accepted, never delivered and not reported as failed
//   results != 1  accepted lines with no final result or more than one
// The target is 0 lost, 0 duplicated, 0 late and 0 false failures.
//
//   bench_outage_chat [--lines 1000] [--kill-at 300] [--down-ms 1000]
//                     [--interval-ms 5] [--settle-s 90] [--bob-away-ms 3000]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A child with pipes on stdin and stdout (stderr to /dev/null).
struct Child {
  pid_t pid = -1;
  int in = -1, out = -1;
  std::string buffer;

  Child(const std::string& program, const std::vector<std::string>& args) {
    int to[2], from[2];
    if (pipe2(to, O_CLOEXEC) != 0 || pipe2(from, O_CLOEXEC) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(to[0], 0);
      dup2(from[1], 1);
      int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, 2);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(to[0]);
    close(from[1]);
    in = to[1];
    out = from[0];
    fcntl(out, F_SETFL, O_NONBLOCK);
  }
  ~Child() {
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  void write_line(const std::string& line) {
    std::string s = line + "\n";
    [[maybe_unused]] ssize_t n = write(in, s.data(), s.size());
  }
  // Complete lines read so far (non-blocking).
  std::vector<std::string> lines() {
    char buf[65536];
    ssize_t n;
    while ((n = read(out, buf, sizeof buf)) > 0) buffer.append(buf, size_t(n));
    std::vector<std::string> got;
    for (size_t nl; (nl = buffer.find('\n')) != std::string::npos;) {
      got.push_back(buffer.substr(0, nl));
      buffer.erase(0, nl + 1);
    }
    return got;
  }
};

bool has(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

int code_of(const std::string& line) {
  if (line.rfind("{\"code\":", 0) != 0) return -1;
  return std::atoi(line.c_str() + 8);
}

// The line number in a "text":"line-N" field, or -1.
int line_number(const std::string& line) {
  const size_t at = line.find("\"text\":\"line-");
  return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + 13);
}

long arg(int argc, char** argv, const char* name, long fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atol(argv[i + 1]);
  return fallback;
}

std::optional<std::string> wait_line(Child& c, const std::string& part, Clock::duration limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    for (auto& l : c.lines())
      if (has(l, part)) return l;
    pollfd p{c.out, POLLIN, 0};
    poll(&p, 1, 50);
  }
  return std::nullopt;
}

std::unique_ptr<Child> start_server(const std::string& data, const std::string& sipc_port,
                                    std::string* port_out) {
  auto s = std::make_unique<Child>(
      TAVRIN_SERVER_BIN, std::vector<std::string>{"--data", data, "--demo", "--nav-port", "0",
                                                  "--sipc-port", sipc_port, "--no-signin"});
  auto l = wait_line(*s, "tavrin-server listening", std::chrono::seconds(30));
  if (!l) return nullptr;
  const size_t at = l->find("sipc=");
  *port_out = l->substr(at + 5, l->find(' ', at) - at - 5);
  return s;
}

std::unique_ptr<Child> start_cli(const std::string& port, const char* user, const char* password) {
  auto c = std::make_unique<Child>(
      TAVRIN_CLI_BIN, std::vector<std::string>{"--server", "127.0.0.1:" + port, "--user", user,
                                               "--password", password, "--json"});
  if (!wait_line(*c, "{\"code\":14,", std::chrono::seconds(60))) return nullptr;
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = arg(argc, argv, "--lines", 1000);
  const long kill_at = arg(argc, argv, "--kill-at", 300);
  const long down_ms = arg(argc, argv, "--down-ms", 1000);
  const long interval_ms = arg(argc, argv, "--interval-ms", 5);
  const long settle_s = arg(argc, argv, "--settle-s", 90);
  const long bob_away_ms = arg(argc, argv, "--bob-away-ms", 3000);
  signal(SIGPIPE, SIG_IGN);

  std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-outage-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return 1;
  const std::string data = tmpl + "/data";
  std::string port;
  auto server = start_server(data, "0", &port);
  if (!server) {
    std::fprintf(stderr, "server did not start\n");
    return 1;
  }
  auto alice = start_cli(port, "100000001", "alice123");
  auto bob = start_cli(port, "100000002", "bob123");
  if (!alice || !bob) {
    std::fprintf(stderr, "a CLI did not log in\n");
    return 1;
  }

  std::vector<int> accepted(size_t(lines), -1);  // -1 unknown, 0 refused, 1 accepted
  std::vector<int> results(size_t(lines), 0);
  std::vector<int> failed(size_t(lines), 0);
  std::vector<int> delivered(size_t(lines), 0);  // times Bob received it
  std::vector<int> fresh(size_t(lines), 0);      // of them, after his fresh login
  bool fresh_login = false;
  size_t send_answers = 0;
  auto drain = [&] {
    for (const auto& l : alice->lines()) {
      if (has(l, "\"result\":\"send\"")) {
        if (send_answers < accepted.size()) accepted[send_answers] = has(l, "\"ok\":true") ? 1 : 0;
        ++send_answers;
        continue;
      }
      const int code = code_of(l), n = line_number(l);
      if (n < 0 || n >= lines) continue;
      if (code == 52 || code == 53 || code == 54) ++results[size_t(n)];
      if (code == 53 || code == 54) failed[size_t(n)] = 1;
    }
    for (const auto& l : bob->lines()) {
      const int n = line_number(l);
      if (code_of(l) != 16 || n < 0 || n >= lines) continue;
      ++delivered[size_t(n)];
      if (fresh_login) ++fresh[size_t(n)];
    }
  };

  const auto t0 = Clock::now();
  constexpr Clock::time_point kNever = Clock::time_point::max();
  Clock::time_point restart_at = kNever, bob_back_at = kNever;
  const auto restart = [&] {
    std::string same;
    server = start_server(data, port, &same);
    bob_back_at = Clock::now() + std::chrono::milliseconds(bob_away_ms);
    restart_at = kNever;
  };
  const auto bob_back = [&] {
    kill(bob->pid, SIGCONT);
    bob_back_at = kNever;
  };
  auto next = Clock::now();
  for (long i = 0; i < lines; ++i) {
    alice->write_line("send 100000002 line-" + std::to_string(i));
    if (i + 1 == kill_at) {
      kill(bob->pid, SIGSTOP);
      kill(server->pid, SIGKILL);
      waitpid(server->pid, nullptr, 0);
      server->pid = -1;
      restart_at = Clock::now() + std::chrono::milliseconds(down_ms);
    }
    next += std::chrono::milliseconds(interval_ms);
    while (Clock::now() < next) {
      drain();
      if (Clock::now() >= restart_at) restart();
      if (Clock::now() >= bob_back_at) bob_back();
      pollfd p[2] = {{alice->out, POLLIN, 0}, {bob->out, POLLIN, 0}};
      poll(p, 2, 1);
    }
  }
  if (restart_at != kNever) {
    while (Clock::now() < restart_at) usleep(1000);
    restart();
  }
  if (bob_back_at != kNever) {
    while (Clock::now() < bob_back_at) drain(), usleep(1000);
    bob_back();
  }
  // Until every accepted line has its result and every one not failed has
  // reached Bob (his re-login fetches what waited offline), or the time is up.
  const auto settle_end = Clock::now() + std::chrono::seconds(settle_s);
  for (;;) {
    drain();
    bool open = send_answers < size_t(lines);
    for (long i = 0; i < lines && !open; ++i)
      open = accepted[size_t(i)] == 1 &&
             (results[size_t(i)] == 0 || (!failed[size_t(i)] && delivered[size_t(i)] == 0));
    if (!open || Clock::now() >= settle_end) break;
    usleep(20000);
  }
  const double chat_s = std::chrono::duration<double>(Clock::now() - t0).count();
  // Bob signs in afresh: what waited for him as offline messages arrives now.
  bob->write_line("quit");
  usleep(300000);
  drain();
  fresh_login = true;
  bob = start_cli(port, "100000002", "bob123");
  if (bob) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end) {
      drain();
      usleep(50000);
    }
  }

  long n_accepted = 0, n_refused = 0, n_once = 0, n_twice = 0, n_late = 0, n_failed = 0, n_lost = 0,
       n_bad = 0, n_false_failures = 0;
  for (long i = 0; i < lines; ++i) {
    const size_t k = size_t(i);
    if (accepted[k] != 1) {
      ++n_refused;
      continue;
    }
    ++n_accepted;
    if (delivered[k] == 1) ++n_once;
    if (delivered[k] >= 2) ++n_twice;
    if (delivered[k] > 0 && fresh[k] == delivered[k]) ++n_late;
    if (failed[k]) ++n_failed;
    if (failed[k] && delivered[k] > 0) ++n_false_failures;
    if (delivered[k] == 0 && !failed[k]) ++n_lost;
    if (results[k] != 1) ++n_bad;
  }
  std::printf(
      "lines %ld, server killed after line %ld, down %ld ms, Bob back %ld ms later, chat + settle "
      "%.1f s\n",
      lines, kill_at, down_ms, bob_away_ms, chat_s);
  std::printf("accepted %ld  refused while offline %ld\n", n_accepted, n_refused);
  std::printf("delivered once %ld  twice or more %ld  only at the fresh login (late) %ld\n", n_once,
              n_twice, n_late);
  std::printf("failed (53/54) %ld  of them delivered anyway (false failures) %ld\n", n_failed,
              n_false_failures);
  std::printf("lost %ld  accepted lines without exactly one final result %ld\n", n_lost, n_bad);
  std::printf(
      "target 0 lost, 0 duplicated, 0 late, 0 false failures: %s\n",
      n_lost == 0 && n_twice == 0 && n_late == 0 && n_false_failures == 0 ? "met" : "NOT MET");
  std::error_code ec;
  std::filesystem::remove_all(tmpl, ec);
  return 0;
}
