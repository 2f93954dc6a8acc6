#include "sipc/message.h"

#include <charconv>
#include <limits>

namespace tavrin {

namespace {

constexpr std::string_view kCrlf = "\r\n";

char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view skip_blanks(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && is_blank(s[i])) ++i;
  return s.substr(i);
}

std::string_view trim_blanks(std::string_view s) {
  s = skip_blanks(s);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// A decimal number that must fit the type: blanks around it are allowed, any
// other stray character, an empty text or an overflow is refused (where the
// wire's atoi would have silently wrapped or read 0).
template <typename T>
bool parse_decimal(std::string_view text, T& out, bool allow_sign) {
  text = trim_blanks(text);
  if (text.empty()) return false;
  if (text.front() == '+' || (!allow_sign && text.front() == '-')) return false;
  T value{};
  const char* first = text.data();
  const char* last = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return false;
  out = value;
  return true;
}

void append_int(std::string& out, long long v) {
  char buf[24];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, ptr);
}

std::string int_text(long long v) {
  std::string s;
  append_int(s, v);
  return s;
}

}  // namespace

bool sipc_name_equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

sipc_message sipc_message::request(const sipc_origin& origin, std::string_view method,
                                   int32_t call_id, int32_t sequence) {
  sipc_message m;
  m.method_.assign(method);
  m.target_ = origin.sip_domain;
  m.call_id_ = call_id;
  m.sequence_ = sequence;
  m.headers_.reserve(4);
  m.add_header("F", origin.login_id);
  // The trailing space after the call id is what the service has always seen.
  m.add_header("I", int_text(call_id) + " ");
  std::string q = int_text(sequence);
  q += ' ';
  q.append(method);
  m.add_header("Q", q);
  return m;
}

sipc_message sipc_message::request(const sipc_origin& origin, std::string_view method,
                                   int32_t call_id, int32_t sequence, std::string_view body) {
  sipc_message m = request(origin, method, call_id, sequence);
  m.set_body(body);
  return m;
}

void sipc_message::add_header(std::string_view name, std::string_view value) {
  if (name.empty()) return;
  headers_.emplace_back(std::string(name), std::string(value));
}

const std::string* sipc_message::get_header(std::string_view name) const {
  for (const auto& h : headers_)
    if (sipc_name_equal(h.first, name)) return &h.second;
  return nullptr;
}

bool sipc_message::remove_header(std::string_view name) {
  for (auto it = headers_.begin(); it != headers_.end(); ++it)
    if (sipc_name_equal(it->first, name)) {
      headers_.erase(it);
      return true;
    }
  return false;
}

void sipc_message::set_body(std::string_view text) {
  body_.assign(text);
  remove_header("L");
  add_header("L", int_text(static_cast<long long>(text.size())));
}

std::string sipc_message::serialise() const {
  std::size_t size = 32 + method_.size() + target_.size() + body_.size();
  for (const auto& h : headers_) size += h.first.size() + h.second.size() + 4;
  std::string out;
  out.reserve(size);

  if (status_ != 0) {
    out += "SIP-C/2.0 ";
    append_int(out, status_);
    out += " OK\r\n";
  } else {
    out += method_;
    out += ' ';
    out += target_;
    out += " SIP-C/2.0\r\n";
  }

  const header* length = nullptr;
  auto put = [&out](const header& h) {
    out += h.first;
    out += ": ";
    out += h.second;
    out += kCrlf;
  };
  for (const auto& h : headers_) {
    if (length == nullptr && sipc_name_equal(h.first, "L")) {
      length = &h;  // written after every other header
      continue;
    }
    put(h);
  }
  if (length != nullptr) put(*length);
  out += kCrlf;
  out += body_;
  return out;
}

// Reads a head into a message; kept as a class so it may fill private fields.
class sipc_head_parser {
 public:
  static sipc_head parse(std::string_view head);
};

sipc_head sipc_head_parser::parse(std::string_view head) {
  sipc_head r;
  sipc_message& m = r.message;

  // Lines are read in place, one CRLF search each; `more` says whether
  // another line follows (a head ending in CRLF has a last, empty line).
  std::size_t pos = 0;
  bool more = true;
  auto next_line = [&]() {
    std::size_t end = head.find(kCrlf, pos);
    std::string_view line;
    if (end == std::string_view::npos) {
      line = head.substr(pos);
      pos = head.size();
      more = false;
    } else {
      line = head.substr(pos, end - pos);
      pos = end + kCrlf.size();
    }
    return line;
  };

  bool valid = true;

  // Start line: three parts split at the first two spaces; the third keeps the rest.
  std::string_view first = next_line();
  std::size_t sp1 = first.find(' ');
  std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : first.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos) {
    valid = false;
  } else {
    std::string_view p1 = first.substr(0, sp1);
    std::string_view p2 = first.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string_view p3 = first.substr(sp2 + 1);
    if (p1.find("SIP") != std::string_view::npos) {
      int32_t status = 0;
      // A status that is no number, overflows or is 0 would pass for a request.
      if (!parse_decimal(p2, status, false) || status <= 0) valid = false;
      m.status_ = status;
      m.target_.assign(p3);
    } else {
      m.method_.assign(p1);
      m.target_.assign(p2);
    }
  }

  // One allocation for the header list of a usual head: there are at most as
  // many headers as lines left (a hostile head of empty lines grows it instead).
  std::size_t lines_left = more ? 1 : 0;
  for (std::size_t at = pos;
       lines_left < 32 && (at = head.find('\n', at)) != std::string_view::npos; ++at)
    ++lines_left;
  m.headers_.reserve(lines_left);

  // The headers read eagerly: the first "I" and "Q", and every "L" (checked
  // below); names are one letter, in any ASCII case.
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t id_at = kNone, seq_at = kNone;
  bool have_length = false, bad_length = false;
  std::size_t length = 0;

  while (more) {
    std::string_view line = next_line();
    // Only the empty last line of a head ends it: "K:" is a header with an
    // empty value, and the headers after it still count.
    if (line.empty()) break;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      // Keep reading: an "L" further down still tells where this message ends.
      valid = false;
      continue;
    }
    std::string_view first_part = skip_blanks(line.substr(colon + 1));
    std::string& value =
        m.headers_.emplace_back(std::string(line.substr(0, colon)), std::string(first_part)).second;
    // A following line that starts with a blank continues this value.
    while (more && pos < head.size() && is_blank(head[pos])) {
      value += ' ';
      value.append(skip_blanks(next_line()));
    }
    if (colon != 1) continue;
    const std::size_t index = m.headers_.size() - 1;
    switch (ascii_lower(line[0])) {
      case 'i':
        if (id_at == kNone) id_at = index;
        break;
      case 'q':
        if (seq_at == kNone) seq_at = index;
        break;
      case 'l': {
        // Every "L" must be a plain non-negative number within the limit, and
        // repeated "L" headers must agree, or the stream cannot be framed.
        uint64_t v = 0;
        if (!parse_decimal(std::string_view(value), v, false) || v > sipc_max_large_body ||
            (have_length && v != length))
          bad_length = true;
        else if (!bad_length) {
          have_length = true;
          length = static_cast<std::size_t>(v);
        }
        break;
      }
      default:
        break;
    }
  }

  if (bad_length) {
    r.result = sipc_head_result::bad_length;
    return r;
  }
  r.body_length = length;

  if (id_at == kNone ||
      !parse_decimal(std::string_view(m.headers_[id_at].second), m.call_id_, true))
    valid = false;

  if (seq_at != kNone) {
    std::string_view qv = m.headers_[seq_at].second;
    std::size_t sp = qv.find(' ');
    std::string_view number = qv.substr(0, sp);
    if (!parse_decimal(number, m.sequence_, true)) valid = false;
    if (sp != std::string_view::npos)
      m.method_.assign(qv.substr(sp + 1));
    else
      m.method_.clear();
  } else {
    m.method_.clear();
  }

  r.result = valid ? sipc_head_result::ok : sipc_head_result::invalid;
  return r;
}

sipc_head sipc_parse_head(std::string_view head) {
  return sipc_head_parser::parse(head);
}

}  // namespace tavrin
