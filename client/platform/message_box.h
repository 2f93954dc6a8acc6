// The system's own message box: a plain modal box with a caption, a text and
// an "OK" button, for what must be said before any skinned screen exists
// (a missing font file, an engine that cannot start). The client's skinned
// boxes are a control of their own. UI thread only.
#pragma once

#include <string>

#include "platform/messages.h"

namespace tavrin::platform {

class Display;
class WindowSystem;

// Runs the box modally (owner may be 0) and returns 1 when "OK" was tapped
// or Enter pressed, 0 when the box ended otherwise (quit, window gone).
int message_box(WindowSystem& windows, Display& display, WindowId owner, const std::u16string& text,
                const std::u16string& caption);

// Where the box and its button lie on the display, for scripts and tests.
namespace message_box_layout {
inline constexpr int kLeft = 40, kTop = 250, kRight = 440, kBottom = 550;
inline constexpr int kButtonLeft = 180, kButtonTop = 470, kButtonRight = 300, kButtonBottom = 526;
}  // namespace message_box_layout

}  // namespace tavrin::platform
