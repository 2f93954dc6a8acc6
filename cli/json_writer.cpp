#include "json_writer.h"

#include <cstdio>

namespace tavrin::cli {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8_length(std::string_view s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n = 0;
  unsigned min = 0;
  unsigned cp = 0;
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0)
    n = 2, min = 0x80, cp = b & 0x1F;
  else if ((b & 0xF0) == 0xE0)
    n = 3, min = 0x800, cp = b & 0x0F;
  else if ((b & 0xF8) == 0xF0)
    n = 4, min = 0x10000, cp = b & 0x07;
  else
    return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string JsonWriter::quote(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const size_t n = utf8_length(text, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(text.substr(i, n));
      i += n;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
          out += buf;
        } else {
          out += c;
        }
    }
    ++i;
  }
  out += '"';
  return out;
}

void JsonWriter::key(std::string_view k) {
  if (out_.size() > 1) out_ += ',';
  out_ += quote(k);
  out_ += ':';
}

JsonWriter& JsonWriter::field(std::string_view k, std::string_view text) {
  key(k);
  out_ += quote(text);
  return *this;
}

JsonWriter& JsonWriter::field(std::string_view k, long number) {
  key(k);
  out_ += std::to_string(number);
  return *this;
}

JsonWriter& JsonWriter::field_bool(std::string_view k, bool value) {
  key(k);
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::field_raw(std::string_view k, std::string_view json) {
  key(k);
  out_ += json;
  return *this;
}

}  // namespace tavrin::cli
