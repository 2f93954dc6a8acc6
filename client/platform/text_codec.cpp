// UTF-8 <-> UTF-16 by hand (strict, replacement on errors); GB2312 through
// iconv, one character at a time so that one unmappable character costs one
// '?' and not the rest of the text.
#include "platform/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace tavrin::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void append_utf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(char16_t(cp));
  } else {
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  }
}

// iconv descriptors are not thread-safe; one pair per thread.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (cd_ != iconv_t(-1)) iconv_close(cd_);
  }
  // Converts one unit; false when it has no mapping.
  bool convert(const char* in, size_t in_len, std::string& out) {
    if (cd_ == iconv_t(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buf[16];
    char* src = const_cast<char*>(in);
    char* dst = buf;
    size_t left = in_len, room = sizeof buf;
    if (iconv(cd_, &src, &left, &dst, &room) == size_t(-1) || left != 0) return false;
    out.append(buf, size_t(dst - buf));
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::u16string utf8_to_utf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const auto b0 = uint8_t(s[i]);
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    int len = 0;
    char32_t cp = 0, min = 0;
    if ((b0 & 0xE0) == 0xC0) {
      len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    int got = 1;
    while (got < len && i + got < s.size() && (uint8_t(s[i + got]) & 0xC0) == 0x80) {
      cp = (cp << 6) | (uint8_t(s[i + got]) & 0x3F);
      ++got;
    }
    if (got < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacement);
      i += size_t(got);
      continue;
    }
    append_utf16(out, cp);
    i += size_t(len);
  }
  return out;
}

std::string utf16_to_utf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size() * 3);
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {
std::string utf16_to_code_page(std::u16string_view s, Iconv& to_gb) {
  std::string out;
  out.reserve(s.size() * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c < 0x80) {
      out.push_back(char(c));
      continue;
    }
    size_t units = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size()) units = 2;
    char le[4];
    for (size_t k = 0; k < units; ++k) {
      le[2 * k] = char(s[i + k] & 0xFF);
      le[2 * k + 1] = char(s[i + k] >> 8);
    }
    if (!to_gb.convert(le, units * 2, out)) out.push_back('?');
    i += units - 1;
  }
  return out;
}
}  // namespace

std::string utf16_to_gb2312(std::u16string_view s) {
  thread_local Iconv to_gb("GB2312", "UTF-16LE");
  return utf16_to_code_page(s, to_gb);
}

std::string utf16_to_gbk(std::u16string_view s) {
  thread_local Iconv to_gbk("GBK", "UTF-16LE");
  return utf16_to_code_page(s, to_gbk);
}

std::u16string gb2312_to_utf16(std::string_view s) {
  thread_local Iconv from_gb("UTF-16LE", "GB2312");
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const auto b = uint8_t(s[i]);
    if (b < 0x80) {
      out.push_back(b);
      continue;
    }
    std::string le;
    if (i + 1 < s.size() && from_gb.convert(s.data() + i, 2, le) && le.size() == 2) {
      out.push_back(char16_t(uint8_t(le[0]) | (uint8_t(le[1]) << 8)));
      ++i;
    } else {
      out.push_back(kReplacement);
      // A lead byte with a trail that is not a character takes both bytes,
      // so the next character is not read from the middle of this one.
      if (i + 1 < s.size() && uint8_t(s[i + 1]) >= 0x80) ++i;
    }
  }
  return out;
}

}  // namespace tavrin::platform
