#include "command_line.h"

namespace tavrin::cli {

namespace {
bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void trim_left(std::string* s) {
  size_t i = 0;
  while (i < s->size() && is_blank((*s)[i])) ++i;
  s->erase(0, i);
}
}  // namespace

CommandLine split_command(std::string_view line) {
  std::string rest(line);
  while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.pop_back();
  CommandLine out;
  trim_left(&rest);
  take_word(&rest, &out.name);
  out.rest = rest;
  return out;
}

bool take_word(std::string* rest, std::string* word) {
  trim_left(rest);
  if (rest->empty()) return false;
  if ((*rest)[0] == '"') {
    const auto close = rest->find('"', 1);
    if (close == std::string::npos) return false;
    *word = rest->substr(1, close - 1);
    rest->erase(0, close + 1);
  } else {
    size_t end = 0;
    while (end < rest->size() && !is_blank((*rest)[end])) ++end;
    *word = rest->substr(0, end);
    rest->erase(0, end);
  }
  trim_left(rest);
  return true;
}

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

bool parse_number(std::string_view text, long* value) {
  if (!all_digits(text) || text.size() > 12) return false;
  long v = 0;
  for (char c : text) v = v * 10 + (c - '0');
  *value = v;
  return true;
}

bool is_login_id(std::string_view text) {
  return all_digits(text) && (text.size() == 9 || text.size() == 11);
}

}  // namespace tavrin::cli
