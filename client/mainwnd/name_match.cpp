// Name search with pinyin; see name_match.h.
#include "mainwnd/name_match.h"

#include <algorithm>
#include <cstdint>

#include "platform/pinyin.h"

namespace tavrin::mainwnd {
namespace {

char16_t lower(char16_t c) {
  if (c >= u'A' && c <= u'Z') return char16_t(c - u'A' + u'a');
  if (c >= u'Ａ' && c <= u'Ｚ') return char16_t(c - u'Ａ' + u'a');  // full-width letters
  if (c >= u'ａ' && c <= u'ｚ') return char16_t(c - u'ａ' + u'a');
  return c;
}

std::u16string lowered(std::u16string_view s) {
  std::u16string out(s);
  std::transform(out.begin(), out.end(), out.begin(), lower);
  return out;
}

std::vector<char32_t> code_points(std::u16string_view s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      out.push_back(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00));
      ++i;
    } else {
      out.push_back(lower(c));
    }
  }
  return out;
}

// The initials a syllable may be typed as: its first letter, and the
// two-letter zh, ch and sh.
bool is_initial(std::string_view reading, std::string_view typed) {
  if (typed.size() == 1) return reading.front() == typed.front();
  return typed.size() == 2 && typed[1] == 'h' && reading.size() > 2 && reading.starts_with(typed) &&
         (typed[0] == 'z' || typed[0] == 'c' || typed[0] == 's');
}

// Whether the query from letter i on is read by the name's characters from
// k on. Each (k, i) is worked out once, so a name full of characters with
// several readings costs no more than name × query steps.
class Reader {
 public:
  Reader(const std::vector<char32_t>& name, std::string_view q, const Readings& readings)
      : name_(name), q_(q), readings_(readings), known_(name.size() * (q.size() + 1), -1) {}

  bool reads(size_t k, size_t i) {
    if (i == q_.size()) return true;
    if (k >= name_.size()) return false;
    int8_t& known = known_[k * (q_.size() + 1) + i];
    if (known < 0) known = work(k, i) ? 1 : 0;
    return known == 1;
  }

 private:
  bool work(size_t k, size_t i) {
    const std::string_view q = q_.substr(i);
    const char32_t c = name_[k];
    // A letter or digit in a mixed name stands for itself.
    if (c < 0x80) return char(c) == q.front() && reads(k + 1, i + 1);
    for (const std::string& r : readings_(c)) {
      if (r.empty()) continue;
      // The last syllable may be begun only.
      if (r.size() >= q.size() && r.starts_with(q)) return true;
      if (q.starts_with(r) && reads(k + 1, i + r.size())) return true;
      for (size_t n : {size_t(1), size_t(2)})
        if (n < r.size() && q.size() >= n && is_initial(r, q.substr(0, n)) && reads(k + 1, i + n))
          return true;
    }
    return false;
  }

  const std::vector<char32_t>& name_;
  std::string_view q_;
  const Readings& readings_;
  std::vector<int8_t> known_;  // -1 not yet worked out
};

}  // namespace

bool name_matches(std::u16string_view name, std::u16string_view query, const Readings& readings) {
  if (query.empty()) return true;
  const std::u16string n = lowered(name), q = lowered(query);
  if (n.find(q) != std::u16string::npos) return true;
  // Pinyin: ASCII letters only, dividers dropped.
  std::string letters;
  for (char16_t c : q) {
    if (c == u' ' || c == u'\'') continue;
    if (c >= 0x80) return false;
    letters += char(c);
  }
  if (letters.empty()) return false;
  const std::vector<char32_t> points = code_points(name);
  Reader reader(points, letters, readings);
  for (size_t k = 0; k < points.size(); ++k)
    if (points[k] >= 0x80 && reader.reads(k, 0)) return true;
  return false;
}

const Readings& system_readings() {
  static const Readings r = [](char32_t c) -> const std::vector<std::string>& {
    static const std::vector<std::string> none;
    platform::Pinyin* p = platform::Pinyin::shared();
    return p ? p->readings(c) : none;
  };
  return r;
}

}  // namespace tavrin::mainwnd
