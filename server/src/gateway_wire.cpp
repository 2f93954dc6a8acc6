#include "gateway_wire.h"

#include <arpa/inet.h>

#include <cstdint>

namespace tavrin::server {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// Length of the valid UTF-8 sequence at s[i], 0 when it is not one.
size_t utf8Length(std::string_view s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  uint32_t cp = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
  for (size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates and values past the last plane are not text.
  static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
  return n;
}

}  // namespace

std::optional<GatewayUrl> parseGatewayUrl(std::string_view text) {
  constexpr std::string_view kScheme = "http://";
  if (text.substr(0, kScheme.size()) != kScheme) return std::nullopt;
  text.remove_prefix(kScheme.size());
  const size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string_view authority = text.substr(0, slash);
  GatewayUrl url;
  url.path = std::string(text.substr(slash));
  const size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos) {
    const std::string_view port = authority.substr(colon + 1);
    if (!allDigits(port) || port.size() > 5) return std::nullopt;
    url.port = std::stoi(std::string(port));
    if (url.port < 1 || url.port > 65535) return std::nullopt;
    authority = authority.substr(0, colon);
  }
  url.host = authority == "localhost" ? "127.0.0.1" : std::string(authority);
  in_addr a{};
  if (inet_pton(AF_INET, url.host.c_str(), &a) != 1) return std::nullopt;
  return url;
}

std::string percentEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~') {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::optional<std::string> queryParam(std::string_view query, std::string_view key) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const size_t eq = pair.find('=');
    if (pair.substr(0, eq) == key)
      return eq == std::string_view::npos ? std::string() : percentDecode(pair.substr(eq + 1));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return std::nullopt;
}

SmsShape smsShape(std::string_view utf8) {
  SmsShape s;
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x80) s.wide = true;
    // A character as UTF-16 units; a byte that starts none (broken text) is one.
    const size_t n = utf8Length(utf8, i);
    units += n == 4 ? 2 : 1;
    i += n == 0 ? 1 : n;
  }
  if (units == 0) return s;
  const size_t single = s.wide ? 70 : 160;
  const size_t part = s.wide ? 67 : 153;
  s.parts = units <= single ? 1 : int((units + part - 1) / part);
  return s;
}

std::string sendSmsTarget(const std::string& path, const SendSms& sms) {
  std::string t = path;
  t += path.find('?') == std::string::npos ? '?' : '&';
  t += "username=" + percentEncode(sms.user) + "&password=" + percentEncode(sms.password);
  if (!sms.from.empty()) t += "&from=" + percentEncode(sms.from);
  t += "&to=" + percentEncode(sms.to) + "&charset=UTF-8";
  // UCS-2 for anything past ASCII, so Chinese text reaches the phone as typed.
  if (smsShape(sms.text).wide) t += "&coding=2";
  t += "&text=" + percentEncode(sms.text);
  if (!sms.dlrUrl.empty()) t += "&dlr-mask=19&dlr-url=" + percentEncode(sms.dlrUrl);
  return t;
}

std::optional<int> httpStatus(std::string_view response) {
  if (response.substr(0, 7) != "HTTP/1." || response.size() < 12 || response[8] != ' ')
    return std::nullopt;
  const std::string_view code = response.substr(9, 3);
  if (!allDigits(code) || (response.size() > 12 && response[12] != ' ' && response[12] != '\r'))
    return std::nullopt;
  return (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
}

std::optional<DeliveryReport> parseDeliveryReport(std::string_view query) {
  const auto row = queryParam(query, "id");
  const auto type = queryParam(query, "type");
  if (!row || !type || !allDigits(*row) || row->size() > 15 || !allDigits(*type) ||
      type->size() > 4)
    return std::nullopt;
  DeliveryReport r;
  r.row = std::stol(*row);
  r.type = std::stoi(*type);
  if (r.row <= 0) return std::nullopt;
  return r;
}

ReportOutcome reportOutcome(int type) {
  if (type & 1) return ReportOutcome::kDelivered;
  if (type & (2 | 16)) return ReportOutcome::kFailed;
  return ReportOutcome::kNone;  // buffered, or only taken by the carrier
}

std::optional<PhoneMessage> parsePhoneMessage(std::string_view query) {
  const auto from = queryParam(query, "from");
  const auto to = queryParam(query, "to");
  const auto text = queryParam(query, "text");
  if (!from || !to || !text) return std::nullopt;
  PhoneMessage m;
  m.from = phoneNumber(*from);
  m.to = phoneNumber(*to);
  if (m.from.empty() || m.to.empty()) return std::nullopt;
  const std::string coding = queryParam(query, "coding").value_or("0");
  std::string charset = queryParam(query, "charset").value_or("");
  for (char& c : charset) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (coding == "2" || charset == "UTF-16BE" || charset == "UCS-2" || charset == "UCS-2BE")
    m.text = utf16beToUtf8(*text);
  else
    m.text = asUtf8(*text);
  if (m.text.empty()) return std::nullopt;
  return m;
}

std::string phoneNumber(std::string_view text) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (!allDigits(text)) return {};
  if (text.size() == 15 && text.substr(0, 4) == "0086") text.remove_prefix(4);
  if (text.size() == 13 && text.substr(0, 2) == "86" && text[2] == '1') text.remove_prefix(2);
  if (text.size() < 3 || text.size() > 20) return {};
  return std::string(text);
}

std::string utf16beToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  size_t i = 0;
  auto unit = [&](size_t at) {
    return uint32_t(static_cast<unsigned char>(bytes[at]) << 8 |
                    static_cast<unsigned char>(bytes[at + 1]));
  };
  for (; i + 1 < bytes.size(); i += 2) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
  }
  if (i < bytes.size()) appendUtf8(out, 0xFFFD);
  return out;
}

std::string asUtf8(std::string_view bytes) {
  bool valid = true;
  for (size_t i = 0; i < bytes.size() && valid;) {
    const size_t n = utf8Length(bytes, i);
    valid = n > 0;
    i += n;
  }
  if (valid) return std::string(bytes);
  std::string out;
  for (char c : bytes) appendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

}  // namespace tavrin::server
