// History search never misses a line: whatever the query (quotes, FTS
// syntax, LIKE's own characters, emoji, one character or many), every line
// that holds it, ASCII letters folded, is found, through whichever index or
// scan the query's length picks. Input: UTF-16 units; the first unit's low
// byte says how many of the rest are the query, the remainder is a line.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "storage/ChatLogSearch.h"
#include "storage/ChatLogStore.h"
#include "temp_dir.h"

using namespace tavrin::storage;

namespace {
std::u16string folded(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return text;
}

// Text SQLite cannot carry unchanged between its UTF-16 and UTF-8 faces.
bool wellFormed(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TempDir scratch;
  static const std::filesystem::path path = scratch.path / "TavrinLog.db";
  static const ChatLogStore log = [] {
    ChatLogStore store(path, 1);
    for (const char16_t* line : {u"机主：明天见 😀", u"Bob：\"quoted\" 100% it's", u"Bob：A_b*c"})
      store.append(2, line, u"10:00:00");
    return store;
  }();
  std::u16string units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit != 0) units += unit;
  }
  if (units.empty()) return 0;
  const size_t split = std::min<size_t>(units[0] & 0xFF, units.size() - 1);
  const std::u16string query = units.substr(1, split);
  const std::u16string line = ChatLogStore::withoutTabsAndLineFeeds(units.substr(1 + split));
  if (!line.empty() && !log.append(3, line, u"10:00:01")) std::abort();

  const auto hits = ChatLogSearch(path, 1).find(query, 100);
  if (wellFormed(query) && wellFormed(line) && !query.empty()) {
    std::vector<std::u16string> expected;
    for (int contact : {2, 3})
      for (const auto& row : log.rows(contact))
        if (folded(row.line).find(folded(query)) != std::u16string::npos)
          expected.push_back(row.line);
    for (const auto& want : expected)
      if (std::none_of(hits.begin(), hits.end(),
                       [&](const ChatLogRow& r) { return r.line == want; }))
        std::abort();
  }
  if (!line.empty()) log.deleteContact(3);
  return 0;
}
