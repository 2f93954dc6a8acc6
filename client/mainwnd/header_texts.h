// The texts of the main window's header and of the user's own status: the
// status suffix behind the nickname, the status word, the number labels,
// and the start-up status written to the settings file on exit.
// Pure functions.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::mainwnd {

// "（在线）" 66, "（忙碌）" 67, "（隐身）" 68, "（离开）" 69, "（会议）" otherwise.
std::u16string status_suffix(int state);
// "在线", "忙碌", "隐身", "离开", "会议" by the same rule.
std::u16string status_word(int state);
// "号码：%ld".
std::u16string number_label(long number);
// "塔文号码：%ld" + two blanks + the word (the label while a status is set).
std::u16string setting_number_label(long number, std::u16string_view word);
// The settings file's LoginStatus for a status: 66 → 1, 68 → 2, 69 → 3, else 4.
int login_status_of(int state);
// The status of each entry of the settings screen's 状态 page (在线, 隐身,
// 忙碌, 离开), and the entry of a status (0 for one the page lacks).
inline constexpr int kStatusByChoice[4] = {66, 68, 67, 69};
int status_choice_of(int state);
// "%d" / "%ld" as UTF-16.
std::u16string decimal(long value);
// Replaces the first "%s" of a pattern.
std::u16string fill(std::u16string_view pattern, std::u16string_view value);

}  // namespace tavrin::mainwnd
