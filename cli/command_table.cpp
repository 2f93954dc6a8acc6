#include "command_table.h"

#include "command_line.h"

namespace tavrin::cli {

namespace {

constexpr long kLargestNumber = 0x7fffffff;  // ids and codes travel as int
// Help's argument column; a longer usage puts its help on the next line.
constexpr size_t kHelpColumn = 28;

bool read_one(const Arg& arg, std::string* rest, CommandArgs* out, std::string* why) {
  const std::string name(arg.name);
  std::string word;
  const bool word_kind = arg.kind != ArgKind::kText && arg.kind != ArgKind::kOptText;
  if (arg.kind == ArgKind::kOptInt && rest->empty()) return true;
  if (word_kind && !take_word(rest, &word)) {
    *why = "missing " + name;
    return false;
  }
  long number = 0;
  switch (arg.kind) {
    case ArgKind::kId:
      // A 9-digit number, a mobile number or a contact id as listed.
      if (!parse_number(word, &number) || number <= 0 || number > kLargestNumber) {
        *why = "bad " + name + " '" + word + "'";
        return false;
      }
      out->id = number;
      return true;
    case ArgKind::kInt:
    case ArgKind::kOptInt:
      if (!parse_number(word, &number) || number > kLargestNumber) {
        *why = "bad " + name + " '" + word + "'";
        return false;
      }
      out->numbers.push_back(number);
      return true;
    case ArgKind::kMobile:
      if (!all_digits(word) || word.size() != 11) {
        *why = name + " must be 11 digits";
        return false;
      }
      break;
    case ArgKind::kLoginId:
      if (!is_login_id(word)) {
        *why = name + " must be 9 digits (Tavrin) or 11 (mobile)";
        return false;
      }
      break;
    case ArgKind::kWord:
      break;
    case ArgKind::kText:
    case ArgKind::kOptText:
      if (arg.kind == ArgKind::kText && rest->empty()) {
        *why = "missing " + name;
        return false;
      }
      // The engine takes texts as C strings: a NUL would silently cut the
      // rest of the line, so the line is refused whole instead.
      if (rest->find('\0') != std::string::npos) {
        *why = name + " holds a NUL byte; not sent";
        return false;
      }
      out->text = *rest;
      return true;
  }
  out->words.push_back(word);
  return true;
}

std::string usage_of(const Command& c) {
  std::string usage(c.name);
  if (!c.usage.empty()) return usage + " " + std::string(c.usage);
  for (const Arg& a : c.args) {
    const bool optional = a.kind == ArgKind::kOptInt || a.kind == ArgKind::kOptText;
    usage += optional ? " [" + std::string(a.name) + "]" : " " + std::string(a.name);
  }
  return usage;
}

}  // namespace

bool read_args(const Command& command, std::string rest, CommandArgs* out, std::string* error) {
  *out = CommandArgs{};
  out->command = command.name;
  for (const Arg& a : command.args) {
    std::string why;
    if (!read_one(a, &rest, out, &why)) {
      *error = out->command + ": " + why;
      return false;
    }
  }
  return true;
}

std::string help_text(const std::vector<Command>& table) {
  std::string text = "commands:";
  for (const Command& c : table) {
    const std::string usage = usage_of(c);
    text += "\n  " + usage;
    if (usage.size() + 2 > kHelpColumn)
      text += "\n  " + std::string(kHelpColumn, ' ');
    else
      text.append(kHelpColumn - usage.size(), ' ');
    text += c.help;
  }
  return text;
}

}  // namespace tavrin::cli
