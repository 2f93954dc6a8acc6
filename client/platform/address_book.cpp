#include "platform/address_book.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace tavrin::platform {

namespace {

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Unfolds the text into logical lines: a line break followed by a space or
// a tab continues the line before.
std::vector<std::string> unfold(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find('\n', i);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(i, end - i);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t') && !lines.empty()) {
      lines.back().append(line.substr(1));
    } else {
      lines.emplace_back(line);
    }
    i = end + 1;
  }
  return lines;
}

// Splits a value at unescaped separators and resolves the escapes.
std::vector<std::string> split_value(std::string_view value, char separator) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      const char n = value[++i];
      parts.back().push_back(n == 'n' || n == 'N' ? '\n' : n);
    } else if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  return parts;
}

std::string unescape(std::string_view value) {
  std::string out;
  for (const auto& part : split_value(value, '\0')) out += part;
  return out;
}

}  // namespace

std::vector<AddressCard> parse_vcards(std::string_view text) {
  std::vector<AddressCard> cards;
  if (text.size() > kAddressBookMaxBytes) text = text.substr(0, kAddressBookMaxBytes);
  bool inside = false;
  AddressCard card;
  std::string structured_name;
  for (const std::string& raw : unfold(text)) {
    const size_t colon = raw.find(':');
    if (colon == std::string::npos) continue;
    std::string_view head(raw.data(), colon);
    const std::string_view value = trim(std::string_view(raw).substr(colon + 1));
    // The property name: after a group ("item1."), before the parameters.
    std::string_view name = head.substr(0, head.find(';'));
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos)
      name = name.substr(dot + 1);
    name = trim(name);
    if (iequals(name, "BEGIN") && iequals(value, "VCARD")) {
      inside = true;
      card = {};
      structured_name.clear();
    } else if (!inside) {
      continue;
    } else if (iequals(name, "END") && iequals(value, "VCARD")) {
      inside = false;
      if (card.name.empty()) card.name = structured_name;
      if (cards.size() >= kAddressBookMaxCards) break;
      cards.push_back(std::move(card));
      card = {};
    } else if (iequals(name, "FN")) {
      card.name = std::string(trim(unescape(value)));
    } else if (iequals(name, "N")) {
      // family;given;additional;prefix;suffix
      const auto parts = split_value(value, ';');
      std::string given = parts.size() > 1 ? parts[1] : "", family = parts[0];
      structured_name = given.empty() ? family : family.empty() ? given : given + " " + family;
    } else if (iequals(name, "TEL")) {
      std::string number(trim(unescape(value)));
      if (number.rfind("tel:", 0) == 0) number.erase(0, 4);
      if (!number.empty()) card.phones.push_back(std::move(number));
    } else if (iequals(name, "CATEGORIES")) {
      for (auto& c : split_value(value, ',')) {
        std::string category(trim(c));
        if (!category.empty()) card.categories.push_back(std::move(category));
      }
    }
  }
  return cards;
}

std::vector<AddressCard> read_address_book(const std::filesystem::path& file) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec || size > kAddressBookMaxBytes) return {};
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return parse_vcards(text);
}

}  // namespace tavrin::platform
