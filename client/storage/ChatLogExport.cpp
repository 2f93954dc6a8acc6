#include "storage/ChatLogExport.h"

#include "storage/ChatLogBackup.h"

namespace tavrin::storage {

namespace {

constexpr std::u16string_view kSentPrefix = u"机主：";
constexpr std::u16string_view kFailedPrefix = u"发送失败：";
constexpr char16_t kFullWidthColon = u'：';

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

void appendEscape(std::string& out, unsigned unit) {
  static const char hex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
}

void appendString(std::string& out, std::u16string_view text) {
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'"') {
      out += "\\\"";
    } else if (c == u'\\') {
      out += "\\\\";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\r') {
      out += "\\r";
    } else if (c == u'\t') {
      out += "\\t";
    } else if (c < 0x20) {
      appendEscape(out, c);
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      appendEscape(out, c);  // a lone surrogate has no UTF-8 form; keep it as its escape
    } else {
      appendUtf8(out, c);
    }
  }
  out += '"';
}

// A strict reader of the flat objects json() writes.
class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  std::optional<ChatLogRecord> object() {
    ChatLogRecord r;
    unsigned seen = 0;
    skip();
    if (!take('{')) return std::nullopt;
    skip();
    if (!take('}')) {
      do {
        skip();
        auto key = string();
        skip();
        if (!key || !take(':')) return std::nullopt;
        skip();
        if (*key == u"contact_id") {
          auto id = integer();
          if (!id) return std::nullopt;
          r.contactId = *id;
          seen |= 1;
        } else {
          auto value = string();
          if (!value) return std::nullopt;
          if (*key == u"contact_name")
            r.contactName = std::move(*value), seen |= 2;
          else if (*key == u"direction")
            r.direction = std::move(*value), seen |= 4;
          else if (*key == u"text")
            r.text = std::move(*value), seen |= 8;
          else if (*key == u"time")
            r.time = std::move(*value), seen |= 16;
          else if (*key == u"line")
            r.line = std::move(*value), seen |= 32;
          else if (*key == u"local_time")
            r.localTime = std::move(*value);
        }
        skip();
      } while (take(','));
      if (!take('}')) return std::nullopt;
    }
    skip();
    if (i_ != s_.size() || seen != 63) return std::nullopt;
    return r;
  }

 private:
  void skip() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n'))
      ++i_;
  }
  bool take(char c) {
    if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
    return false;
  }
  std::optional<std::int32_t> integer() {
    const bool negative = take('-');
    std::int64_t v = 0;
    size_t digits = 0;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9' && digits < 11)
      v = v * 10 + (s_[i_++] - '0'), ++digits;
    if (digits == 0 || (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9')) return std::nullopt;
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return std::int32_t(v);
  }
  std::optional<unsigned> hex4() {
    if (s_.size() - i_ < 4) return std::nullopt;
    unsigned v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[i_++];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= unsigned(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= unsigned(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= unsigned(c - 'A' + 10);
      else
        return std::nullopt;
    }
    return v;
  }
  std::optional<std::u16string> string() {
    if (!take('"')) return std::nullopt;
    std::u16string out;
    while (i_ < s_.size()) {
      const auto b = static_cast<unsigned char>(s_[i_]);
      if (b == '"') return ++i_, out;
      if (b < 0x20) return std::nullopt;
      if (b == '\\') {
        if (++i_ >= s_.size()) return std::nullopt;
        const char e = s_[i_++];
        switch (e) {
          case '"':
            out += u'"';
            break;
          case '\\':
            out += u'\\';
            break;
          case '/':
            out += u'/';
            break;
          case 'b':
            out += u'\b';
            break;
          case 'f':
            out += u'\f';
            break;
          case 'n':
            out += u'\n';
            break;
          case 'r':
            out += u'\r';
            break;
          case 't':
            out += u'\t';
            break;
          case 'u': {
            auto unit = hex4();
            if (!unit) return std::nullopt;
            out += char16_t(*unit);
            break;
          }
          default:
            return std::nullopt;
        }
        continue;
      }
      // One UTF-8 character, strictly (no overlong forms, no surrogates).
      int len = b < 0x80             ? 1
                : (b & 0xE0) == 0xC0 ? 2
                : (b & 0xF0) == 0xE0 ? 3
                : (b & 0xF8) == 0xF0 ? 4
                                     : 0;
      if (len == 0 || s_.size() - i_ < size_t(len)) return std::nullopt;
      char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
      for (int k = 1; k < len; ++k) {
        const auto t = static_cast<unsigned char>(s_[i_ + size_t(k)]);
        if ((t & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (t & 0x3F);
      }
      static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
      i_ += size_t(len);
      if (c < 0x10000) {
        out += char16_t(c);
      } else {
        c -= 0x10000;
        out += char16_t(0xD800 + (c >> 10));
        out += char16_t(0xDC00 + (c & 0x3FF));
      }
    }
    return std::nullopt;
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::filesystem::path ChatLogExport::contactFile(const std::filesystem::path& folder,
                                                 std::int32_t contactId) {
  return folder / (std::to_string(contactId) + ".jsonl");
}

std::filesystem::path ChatLogExport::allFile(const std::filesystem::path& folder,
                                             std::int32_t userId) {
  return folder / ("tab" + std::to_string(userId) + ".jsonl");
}

ChatLogRecord ChatLogExport::record(const ChatLogRow& row, std::u16string contactName) {
  ChatLogRecord r;
  r.contactId = row.contactId;
  r.time = row.time;
  r.localTime = row.localTime;
  r.line = row.line;
  const std::u16string_view line = row.line;
  if (line.starts_with(kSentPrefix)) {
    r.direction = u"sent";
    r.text = line.substr(kSentPrefix.size());
  } else if (line.starts_with(kFailedPrefix)) {
    r.direction = u"failed";
    r.text = line.substr(kFailedPrefix.size());
  } else {
    r.direction = u"received";
    // The name the line was received under; it may itself hold the colon.
    size_t cut = std::u16string_view::npos;
    if (!contactName.empty() && line.starts_with(contactName) &&
        line.substr(contactName.size()).starts_with(kFullWidthColon))
      cut = contactName.size();
    else
      cut = line.find(kFullWidthColon);
    r.text = cut == std::u16string_view::npos ? line : line.substr(cut + 1);
  }
  r.contactName = std::move(contactName);
  return r;
}

std::string ChatLogExport::json(const ChatLogRecord& r) {
  std::string out = "{\"contact_id\":" + std::to_string(r.contactId) + ",\"contact_name\":";
  appendString(out, r.contactName);
  out += ",\"direction\":";
  appendString(out, r.direction);
  out += ",\"text\":";
  appendString(out, r.text);
  out += ",\"time\":";
  appendString(out, r.time);
  if (!r.localTime.empty()) {
    out += ",\"local_time\":";
    appendString(out, r.localTime);
  }
  out += ",\"line\":";
  appendString(out, r.line);
  out += '}';
  return out;
}

std::optional<ChatLogRecord> ChatLogExport::parse(std::string_view line) {
  return Reader(line).object();
}

bool ChatLogExport::write(const std::filesystem::path& file, const std::vector<ChatLogRow>& rows,
                          const NameOf& nameOf) {
  std::string bytes;
  for (const ChatLogRow& row : rows) {
    bytes += json(record(row, nameOf ? nameOf(row.contactId) : std::u16string()));
    bytes += '\n';
  }
  return replaceFile(file, bytes);
}

}  // namespace tavrin::storage
