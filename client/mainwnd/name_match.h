// Whether a contact's name answers a search by name: the text anywhere in
// the name with letters in either case ("bo" finds Bob), or the pinyin of
// consecutive characters of a Chinese name, each syllable whole or by its
// initial and the last one begun ("zhangsan", "zs", "zhangs", "zsan" find
// 张三). Spaces and the ' divider in the query are ignored for pinyin.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::mainwnd {

// The toneless lower-case readings of a character; empty for none.
using Readings = std::function<const std::vector<std::string>&(char32_t)>;

bool name_matches(std::u16string_view name, std::u16string_view query, const Readings& readings);

// The readings of the system's pinyin library; none where it is missing.
const Readings& system_readings();

}  // namespace tavrin::mainwnd
