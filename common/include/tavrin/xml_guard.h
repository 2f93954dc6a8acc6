// The XML guard: one linear pass over a text before TinyXML parses it.
// TinyXML reads nested elements by recursion and slows down steeply with
// depth, so a body or file nested thousands of levels deep would overflow
// the stack or stall the thread that parses it. check_xml measures the
// element depth as TinyXML will meet it and refuses a text that is nested
// deeper or is longer than the caller allows, before TinyXML sees it.
//
// The pass follows TinyXML's reading of markup: text runs to the next '<';
// comments and CDATA end at their exact terminators; "<!" and "<?"
// constructs other than the "<?xml" declaration, and '<' before anything
// that cannot start a name, end at the first '>'; element tags end at the
// first '>' outside a quoted value, and "/>" closes them at once; an end tag
// closes one element. Where TinyXML could read the text differently from
// this pass it is refused as unreadable instead: bytes that are not UTF-8
// (TinyXML steps over a lead byte's whole sequence, even across a '<' or a
// quote), a declaration beyond plain name="value" pairs, and an end tag with
// no element open. Our bodies and files never contain any of these. Reading
// stops at the first NUL, as TinyXML's does.
//
// Header-only and free of state: the engine, the server and the client
// include it alike. Any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace tavrin::xml {

struct Limits {
  std::size_t max_depth = 32;  // bodies and files nest a few levels
  std::size_t max_bytes = std::size_t{256} << 10;
};

enum class Verdict { ok, too_large, too_deep, unreadable };

inline const char* describe(Verdict v) {
  switch (v) {
    case Verdict::ok:
      return "ok";
    case Verdict::too_large:
      return "too large";
    case Verdict::too_deep:
      return "nested too deep";
    case Verdict::unreadable:
      return "not readable as XML";
  }
  return "?";
}

namespace guard_detail {

inline bool is_space(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline bool is_ascii_alpha(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// TinyXML starts an element at '<' followed by a letter, '_' or any byte
// from 127 up (it takes those for letters of other scripts).
inline bool starts_name(unsigned char c) {
  return is_ascii_alpha(c) || c == '_' || c >= 127;
}

// Every byte from 0x80 up belongs to a complete UTF-8 sequence of the
// length its lead byte announces.
inline bool utf8_sequences_whole(std::string_view s) {
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n;) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    if (c < 0x80)
      extra = 0;
    else if (c >= 0xC2 && c <= 0xDF)
      extra = 1;
    else if (c >= 0xE0 && c <= 0xEF)
      extra = 2;
    else if (c >= 0xF0 && c <= 0xF4)
      extra = 3;
    else
      return false;
    if (n - i - 1 < extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if (t < 0x80 || t > 0xBF) return false;
    }
    i += extra + 1;
  }
  return true;
}

inline bool starts_with_nocase(std::string_view s, std::size_t at, std::string_view word) {
  if (s.size() - at < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    auto a = static_cast<unsigned char>(s[at + k]);
    auto b = static_cast<unsigned char>(word[k]);
    if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

// The "<?xml" declaration in its plain form: name="value" pairs with values
// of letters, digits, '.', '_' and '-', then "?>" or ">". Returns the
// position after it, or npos when it has any other shape.
inline std::size_t skip_declaration(std::string_view s, std::size_t at) {
  std::size_t i = at + 5;  // "<?xml"
  const std::size_t n = s.size();
  for (;;) {
    const std::size_t before = i;
    while (i < n && is_space(static_cast<unsigned char>(s[i]))) ++i;
    if (i < n && s[i] == '>') return i + 1;
    if (i + 1 < n && s[i] == '?' && s[i + 1] == '>') return i + 2;
    if (i == before) return std::string_view::npos;  // a name must follow white space
    const std::size_t name = i;
    while (i < n && (is_ascii_alpha(static_cast<unsigned char>(s[i])) || s[i] == '_' ||
                     s[i] == '-' || s[i] == ':' || s[i] == '.' || (s[i] >= '0' && s[i] <= '9')))
      ++i;
    if (i == name) return std::string_view::npos;
    while (i < n && is_space(static_cast<unsigned char>(s[i]))) ++i;
    if (i >= n || s[i] != '=') return std::string_view::npos;
    ++i;
    while (i < n && is_space(static_cast<unsigned char>(s[i]))) ++i;
    if (i >= n || (s[i] != '"' && s[i] != '\'')) return std::string_view::npos;
    const char quote = s[i++];
    while (i < n && (is_ascii_alpha(static_cast<unsigned char>(s[i])) ||
                     (s[i] >= '0' && s[i] <= '9') || s[i] == '.' || s[i] == '_' || s[i] == '-'))
      ++i;
    if (i >= n || s[i] != quote) return std::string_view::npos;
    ++i;
  }
}

}  // namespace guard_detail

// Whether TinyXML may be given the text: ok, or why not.
inline Verdict check_xml(std::string_view text, const Limits& limits) {
  using namespace guard_detail;
  if (text.size() > limits.max_bytes) return Verdict::too_large;
  text = text.substr(0, text.find('\0'));
  if (!utf8_sequences_whole(text)) return Verdict::unreadable;
  const std::size_t n = text.size();
  const std::size_t npos = std::string_view::npos;
  std::size_t depth = 0;
  std::size_t i = 0;
  // The position after the first '>' from `from`, or the end of the text.
  auto past_gt = [&](std::size_t from) {
    const std::size_t gt = text.find('>', from);
    return gt == npos ? n : gt + 1;
  };
  auto past = [&](std::size_t from, std::string_view terminator) {
    const std::size_t at = text.find(terminator, from);
    return at == npos ? n : at + terminator.size();
  };
  while (i < n) {
    const std::size_t lt = text.find('<', i);
    if (lt == npos) break;
    const auto next = lt + 1 < n ? static_cast<unsigned char>(text[lt + 1]) : 0u;
    if (text.compare(lt, 4, "<!--") == 0) {
      i = past(lt + 4, "-->");
    } else if (text.compare(lt, 9, "<![CDATA[") == 0) {
      i = past(lt + 9, "]]>");
    } else if (starts_with_nocase(text, lt, "<?xml")) {
      i = skip_declaration(text, lt);
      if (i == npos) return Verdict::unreadable;
    } else if (next == '/') {
      if (depth == 0) return Verdict::unreadable;
      --depth;
      i = past_gt(lt + 2);
    } else if (next != 0 && starts_name(next)) {
      // An element's start tag: to the first '>' outside a quoted value.
      std::size_t j = lt + 2;
      char quote = 0;
      for (; j < n; ++j) {
        const char c = text[j];
        if (quote != 0) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          break;
        }
      }
      if (j >= n) break;  // TinyXML fails at the end of the text
      if (text[j - 1] != '/' && ++depth > limits.max_depth) return Verdict::too_deep;
      i = j + 1;
    } else {
      // "<!..." (a DOCTYPE), "<?..." and a '<' before anything else: TinyXML
      // keeps them as unknown nodes up to the first '>'.
      i = past_gt(lt + 1);
    }
  }
  return Verdict::ok;
}

}  // namespace tavrin::xml
