// tavrin-cli: the terminal front end over libtavrin.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_session.h"
#include "doctor/doctor.h"
#include "options.h"

namespace {

// Reads a password from the terminal without echo; false at end of input.
bool prompt_password(std::string* out) {
  std::fputs("password: ", stderr);
  std::fflush(stderr);
  termios saved{};
  const bool tty = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (tty) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  // Byte by byte with read(): the commands after it are read the same way,
  // so nothing may sit in a stdio buffer.
  std::string line;
  char c = 0;
  ssize_t n = 0;
  while ((n = read(STDIN_FILENO, &c, 1)) == 1 && c != '\n') line += c;
  if (tty) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  std::fputc('\n', stderr);
  *out = line;
  return n == 1 || !line.empty();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tavrin::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  switch (parse_options(args, &options, &error)) {
    case ParseResult::help:
      std::fputs(usage_text(), stdout);
      return kExitOk;
    case ParseResult::error:
      std::fprintf(stderr, "tavrin-cli: %s\n%s", error.c_str(), usage_text());
      return kExitUsage;
    case ParseResult::ok:
      break;
  }
  if (options.doctor) {
    // Never a prompt: the doctor runs unattended, and checks less without one.
    const char* env = std::getenv("TAVRIN_PASSWORD");
    return run_doctor(options, options.password.value_or(env != nullptr ? env : ""));
  }
  std::string password;
  if (options.password) {
    password = *options.password;
  } else if (const char* env = std::getenv("TAVRIN_PASSWORD"); env != nullptr) {
    password = env;
  } else if (isatty(STDIN_FILENO)) {
    if (!prompt_password(&password)) return kExitUsage;
  } else {
    std::fputs("tavrin-cli: no password (--password, TAVRIN_PASSWORD or a terminal)\n", stderr);
    return kExitUsage;
  }
  CliSession session(std::move(options), std::move(password));
  return session.run();
}
