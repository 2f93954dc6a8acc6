#include "sipc_message.h"

#include <charconv>
#include <limits>

namespace tavrin::server {

namespace {

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string_view trimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

std::string_view trimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  return s.substr(0, n);
}

// Leading decimal number of a text ("12 S" gives 12); false when none or too large.
bool leadingNumber(std::string_view s, long& out) {
  s = trimLeft(s);
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && ptr != s.data();
}

bool parseHead(std::string_view head, SipcMessage& m) {
  size_t eol = head.find("\r\n");
  std::string_view start = head.substr(0, eol);
  size_t sp1 = start.find(' ');
  if (sp1 == std::string_view::npos || sp1 == 0) return false;
  size_t sp2 = start.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos) return false;
  std::string_view a = start.substr(0, sp1), b = start.substr(sp1 + 1, sp2 - sp1 - 1),
                   c = start.substr(sp2 + 1);
  if (a.find("SIP") != std::string_view::npos) {
    long status = 0;
    if (!parseLong(b, status) || status < 100 || status > 999) return false;
    m.status = int(status);
    m.target = c;
  } else {
    if (b.empty() || c.find("SIP-C") == std::string_view::npos) return false;
    m.method = a;
    m.target = b;
  }
  size_t pos = (eol == std::string_view::npos) ? head.size() : eol + 2;
  while (pos < head.size()) {
    size_t end = head.find("\r\n", pos);
    if (end == std::string_view::npos) end = head.size();
    std::string_view line = head.substr(pos, end - pos);
    pos = end + 2;
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !m.headers.empty()) {
      m.fold(trimLeft(line));
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    if (m.headers.size() == 64) return false;
    m.headers.emplace_back(trimRight(line.substr(0, colon)), trimLeft(line.substr(colon + 1)));
  }
  const auto callId = m.header("I");
  if (!callId || !leadingNumber(*callId, m.callId)) return false;
  if (const auto q = m.header("Q")) {
    if (!leadingNumber(*q, m.seq)) return false;
    std::string_view qv = trimLeft(*q);
    size_t sp = qv.find(' ');
    if (sp != std::string_view::npos) {
      std::string_view method = trimRight(trimLeft(qv.substr(sp + 1)));
      if (!method.empty()) m.method = method;
    }
  }
  return true;
}

void appendHeaders(std::string& out,
                   const std::vector<std::pair<std::string, std::string>>& headers,
                   std::string_view body) {
  for (const auto& [name, value] : headers) {
    if (equalsNoCase(name, "L")) continue;
    out.append(name).append(": ").append(value).append("\r\n");
  }
  if (!body.empty()) out.append("L: ").append(std::to_string(body.size())).append("\r\n");
  out.append("\r\n").append(body);
}

}  // namespace

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool containsNoCase(std::string_view hay, std::string_view needle) {
  if (needle.empty()) return true;
  for (size_t i = 0; i + needle.size() <= hay.size(); ++i)
    if (equalsNoCase(hay.substr(i, needle.size()), needle)) return true;
  return false;
}

bool parseLong(std::string_view text, long& out) {
  text = trimRight(trimLeft(text));
  if (text.empty()) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

std::optional<std::string_view> SipcMessage::header(std::string_view name) const {
  for (const auto& [n, v] : headers)
    if (equalsNoCase(n, name)) return v;
  return std::nullopt;
}

std::string_view SipcMessage::headerOr(std::string_view name, std::string_view fallback) const {
  return header(name).value_or(fallback);
}

void SipcMessage::clear() {
  status = 0;
  method = target = body = {};
  callId = seq = 0;
  headers.clear();
  if (!folded_.empty()) folded_.clear();
}

void SipcMessage::fold(std::string_view more) {
  std::string_view& value = headers.back().second;
  // A value folded before lives in the back of folded_; start it there otherwise.
  if (folded_.empty() || value.data() != folded_.back().data()) folded_.emplace_back(value);
  std::string& joined = folded_.back();
  joined.push_back(' ');
  joined.append(more);
  value = joined;
}

FrameStatus cutMessage(std::string_view data, const FrameLimits& limits, SipcMessage& out,
                       size_t& consumed, size_t* padding) {
  consumed = 0;
  size_t localPadding = 0;
  size_t& skipped = padding ? *padding : localPadding;
  // Blank lines between messages are keep-alive padding some peers send.
  // They count against the head's limit, so that a stream of nothing else
  // is refused rather than collected.
  size_t skip = 0;
  while (skip + 1 < data.size() && data[skip] == '\r' && data[skip + 1] == '\n') skip += 2;
  skipped += skip;
  if (skipped > limits.maxHead) return FrameStatus::kBad;
  std::string_view rest = data.substr(skip);
  size_t headEnd = rest.find("\r\n\r\n");
  if (headEnd == std::string_view::npos) {
    if (skipped + rest.size() > limits.maxHead) return FrameStatus::kBad;
    consumed = skip;
    return FrameStatus::kNeedMore;
  }
  if (skipped + headEnd > limits.maxHead) return FrameStatus::kBad;
  out.clear();
  if (!parseHead(rest.substr(0, headEnd), out)) return FrameStatus::kBad;
  long bodyLength = 0;
  bool lengthSeen = false;
  for (const auto& [name, value] : out.headers) {
    if (!equalsNoCase(name, "L")) continue;
    if (lengthSeen || !parseLong(value, bodyLength)) return FrameStatus::kBad;
    lengthSeen = true;
  }
  if (bodyLength < 0 || size_t(bodyLength) > limits.maxBody) return FrameStatus::kBad;
  size_t total = headEnd + 4 + size_t(bodyLength);
  if (rest.size() < total) {
    consumed = skip;
    return FrameStatus::kNeedMore;
  }
  out.body = rest.substr(headEnd + 4, size_t(bodyLength));
  consumed = skip + total;
  skipped = 0;
  return FrameStatus::kMessage;
}

std::string serializeRequest(std::string_view method, std::string_view target,
                             const std::vector<std::pair<std::string, std::string>>& headers,
                             std::string_view body) {
  std::string out;
  out.reserve(64 + body.size() + headers.size() * 32);
  out.append(method).append(" ").append(target).append(" SIP-C/2.0\r\n");
  appendHeaders(out, headers, body);
  return out;
}

std::string serializeResponse(int status, std::string_view reason,
                              const std::vector<std::pair<std::string, std::string>>& headers,
                              std::string_view body) {
  std::string out;
  out.reserve(64 + body.size() + headers.size() * 32);
  out.append("SIP-C/2.0 ").append(std::to_string(status)).append(" ").append(reason).append("\r\n");
  appendHeaders(out, headers, body);
  return out;
}

}  // namespace tavrin::server
