#include "admin/password_input.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>

namespace tavrin::server {

namespace {

// One line from the terminal with echo off; nullopt when there is none.
std::optional<std::string> askTerminal(int tty, const std::string& prompt) {
  termios saved{};
  const bool isTerminal = ::tcgetattr(tty, &saved) == 0;
  if (!isTerminal) return std::nullopt;
  termios quiet = saved;
  quiet.c_lflag &= ~tcflag_t(ECHO);
  ::tcsetattr(tty, TCSAFLUSH, &quiet);
  (void)!::write(tty, prompt.data(), prompt.size());
  std::string line;
  char c = 0;
  bool ok = false;
  while (::read(tty, &c, 1) == 1) {
    if (c == '\n') {
      ok = true;
      break;
    }
    line += c;
  }
  ::tcsetattr(tty, TCSAFLUSH, &saved);
  (void)!::write(tty, "\n", 1);
  if (!ok) return std::nullopt;
  return firstLine(line);
}

}  // namespace

std::string firstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::optional<std::string> readPassword(const PasswordSource& source, const std::string& what,
                                        std::string* why) {
  if (!source.file.empty()) {
    std::ifstream in(source.file, std::ios::binary);
    std::stringstream text;
    if (!in || !(text << in.rdbuf())) {
      *why = "cannot read " + source.file;
      return std::nullopt;
    }
    return firstLine(text.str());
  }
  if (source.fromStdin) {
    std::string line;
    if (!std::getline(std::cin, line)) {
      *why = "no password on standard input";
      return std::nullopt;
    }
    return firstLine(line);
  }
  const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (tty < 0) {
    *why = "no terminal to ask for the password on: use --password-stdin or --password-file FILE";
    return std::nullopt;
  }
  auto first = askTerminal(tty, what + ": ");
  auto again = first ? askTerminal(tty, "again: ") : std::nullopt;
  ::close(tty);
  if (!first || !again) {
    *why = "no password given";
    return std::nullopt;
  }
  if (*first != *again) {
    *why = "the two passwords differ";
    return std::nullopt;
  }
  return first;
}

}  // namespace tavrin::server
