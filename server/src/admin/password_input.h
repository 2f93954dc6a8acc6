// Where the operator's commands take a password from: the terminal (asked
// twice, not echoed), the first line of standard input, or the first line
// of a file. Never the command line, where every user of the machine can
// read it in the process list.
#pragma once

#include <optional>
#include <string>

namespace tavrin::server {

struct PasswordSource {
  bool fromStdin = false;
  std::string file;  // non-empty: read from this file
};

// The password, or nullopt with `why` set. `what` names it in the prompt.
std::optional<std::string> readPassword(const PasswordSource& source, const std::string& what,
                                        std::string* why);

// The first line of a text (without its CR/LF).
std::string firstLine(const std::string& text);

}  // namespace tavrin::server
