// The shape of tavrin-cli's commands: each command is one row (name,
// arguments, one-line help, handler) in CliSession's table; the arguments
// are read off the line by their kinds before the handler runs, and the
// help text is written from the rows. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrin::cli {

class CliSession;

// How one argument is read; its name shows in help and in errors.
enum class ArgKind {
  kId,       // a contact id: 9-digit number, mobile number or listed id (1..2^31-1)
  kInt,      // a number up to 2^31-1
  kOptInt,   // the same, or nothing left on the line
  kWord,     // one word, or a "double-quoted" one
  kMobile,   // 11 digits
  kLoginId,  // 9 digits (Tavrin number) or 11 (mobile number)
  kText,     // the rest of the line as typed, not empty
  kOptText,  // the rest of the line as typed, maybe empty
};

struct Arg {
  ArgKind kind;
  std::string_view name;
};

// What was read, in the order of the arguments of each kind.
struct CommandArgs {
  std::string command;
  long id = 0;                     // kId
  std::vector<long> numbers;       // kInt, kOptInt (when given)
  std::vector<std::string> words;  // kWord, kMobile, kLoginId
  std::string text;                // kText, kOptText
};

// Whether a command runs while the connection is lost and the session logs
// in again: a line or SMS sent then would not get out, so those are refused.
enum class WhenOffline { kRuns, kRefused };

struct Command {
  std::string_view name;
  std::vector<Arg> args;
  std::string_view help;
  WhenOffline offline = WhenOffline::kRuns;
  void (*run)(CliSession&, CommandArgs&) = nullptr;
  // Shown in help instead of the argument names, when these read poorly.
  std::string_view usage = {};
};

// Reads the arguments off rest into out; false with the message for the
// user ("send: missing TEXT") in *error.
bool read_args(const Command& command, std::string rest, CommandArgs* out, std::string* error);

// "commands:" and one aligned line per row: name, arguments, help.
std::string help_text(const std::vector<Command>& table);

}  // namespace tavrin::cli
