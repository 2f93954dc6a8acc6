// Window message numbers, key codes and the message record. The numbers are
// the client's own protocol between windows: stylus 512/513/514, engine
// messages 1024 + code, the controls' private messages 8009, 9000-9003 ...
// Stylus messages carry the point in the window's client coordinates packed
// into lparam (x in the low 16 bits, y in the next 16, both signed).
#pragma once

#include <cstdint>

namespace tavrin::platform {

using WindowId = uint32_t;  // 0 is "no window"; ids are never reused

namespace msg {
inline constexpr uint32_t kCreate = 1;
inline constexpr uint32_t kDestroy = 2;
inline constexpr uint32_t kActivate = 6;  // wparam 1 active, 0 inactive
inline constexpr uint32_t kSetFocus = 7;
inline constexpr uint32_t kKillFocus = 8;
inline constexpr uint32_t kPaint = 15;
inline constexpr uint32_t kClose = 16;
inline constexpr uint32_t kEraseBackground = 20;
inline constexpr uint32_t kShowWindow = 24;  // wparam 1 shown, 0 hidden
inline constexpr uint32_t kKeyDown = 256;    // wparam key code
inline constexpr uint32_t kKeyUp = 257;
inline constexpr uint32_t kChar = 258;  // wparam one UTF-16 code unit
// The input method's text being composed (not yet committed): lparam points
// at a std::u16string valid during the call (empty: the composition ended),
// wparam the cursor inside it. Sent to the focus, never posted.
inline constexpr uint32_t kComposition = 271;
inline constexpr uint32_t kCommand = 273;  // wparam command id
inline constexpr uint32_t kTimer = 275;    // wparam timer id
inline constexpr uint32_t kStylusMove = 512;
inline constexpr uint32_t kStylusDown = 513;
inline constexpr uint32_t kStylusUp = 514;
inline constexpr uint32_t kUser = 1024;  // engine message code c arrives as kUser + c
inline constexpr uint32_t kOpenContactDetails = 6061;
inline constexpr uint32_t kBringForward = 7777;
inline constexpr uint32_t kListStep = 8002;
inline constexpr uint32_t kMenuCommand = 8009;
inline constexpr uint32_t kTreeStep = 9000;
inline constexpr uint32_t kItemTapped = 9001;
inline constexpr uint32_t kStrokeLeft = 9002;
inline constexpr uint32_t kStrokeRight = 9003;
}  // namespace msg

namespace key {
inline constexpr uint32_t kBack = 0x08;
inline constexpr uint32_t kTab = 0x09;
inline constexpr uint32_t kReturn = 0x0D;
inline constexpr uint32_t kShift = 0x10;
inline constexpr uint32_t kControl = 0x11;
inline constexpr uint32_t kEscape = 0x1B;
inline constexpr uint32_t kEnd = 0x23;
inline constexpr uint32_t kHome = 0x24;
inline constexpr uint32_t kLeft = 0x25;
inline constexpr uint32_t kUp = 0x26;
inline constexpr uint32_t kRight = 0x27;
inline constexpr uint32_t kDown = 0x28;
inline constexpr uint32_t kDelete = 0x2E;
}  // namespace key

struct Message {
  WindowId window = 0;
  uint32_t id = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

inline intptr_t point_lparam(int x, int y) {
  return intptr_t(uint32_t(uint16_t(int16_t(x))) | (uint32_t(uint16_t(int16_t(y))) << 16));
}
inline int lparam_x(intptr_t l) {
  return int16_t(uint16_t(uint32_t(l) & 0xffff));
}
inline int lparam_y(intptr_t l) {
  return int16_t(uint16_t(uint32_t(l) >> 16));
}

}  // namespace tavrin::platform
