// Splitting one line of user input into a command and its arguments. The
// last argument of a command that takes TEXT is the rest of the line, kept
// as typed. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrin::cli {

// The first word (the command) and the rest with leading blanks removed.
struct CommandLine {
  std::string name;
  std::string rest;
};
CommandLine split_command(std::string_view line);

// Takes the next blank-separated word (or a "double-quoted" one) off *rest;
// false when none is left or a quote is not closed.
bool take_word(std::string* rest, std::string* word);

// Decimal integer, whole text, within long; no sign, no blanks.
bool parse_number(std::string_view text, long* value);

// 9 digits (Tavrin number) or 11 digits (mobile number).
bool is_login_id(std::string_view text);
bool all_digits(std::string_view text);

}  // namespace tavrin::cli
