// The soft input panel: a keyboard plate of 260 rows standing on the
// soft-key bar, so the screens' soft keys stay visible and tappable below
// it. Its keys are labelled (letters, digits, symbols on a second page,
// shift, backspace, enter, space, and a key that puts the panel away) and
// type into the focused window through the same path as the desktop
// keyboard. The panel takes the rows it covers, which screens query to keep
// their lists above it. Its window has class "SipWndClass".
//
// A pinyin mode (the 中 key; the space bar then reads 拼音) composes Chinese
// with the system's pinyin library: letters build a composition that the
// focused box shows inline, and a candidate bar takes the digits' row while
// one stands. A tap on a candidate takes it; the text is typed once every
// letter is covered. Space takes the first candidate, enter types the
// letters as they are, backspace takes a letter back. Without the library's
// data the 中 key is left off.
//
// On a machine with a keyboard the plate can be left off: the panel is then
// still raised and lowered (the screens' rules depend on it) but shows
// nothing and takes no rows. UI thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/messages.h"

namespace tavrin::platform {

class Display;
class WindowSystem;

class InputPanel {
 public:
  static constexpr int kHeight = 260;
  // The panel stands on the soft-key bar, which stays visible and tappable.
  static constexpr int kBarHeight = 60;
  static constexpr int kBottom = 800 - kBarHeight;
  static constexpr int kTop = kBottom - kHeight;

  enum class Action { kChar, kShift, kBackspace, kEnter, kPage, kHide, kMode, kCandidate, kMore };
  struct Key {
    std::u16string label;  // as drawn on the letters page without shift
    char16_t ch = 0;       // what kChar types
    Action action = Action::kChar;
    Rect rect;  // panel coordinates
    size_t index = 0;  // kCandidate: its place in the candidate list
  };

  InputPanel(WindowSystem& windows, Display& display);
  ~InputPanel();
  InputPanel(const InputPanel&) = delete;
  InputPanel& operator=(const InputPanel&) = delete;

  static InputPanel* instance();
  WindowId window() const { return window_; }

  // Shows or hides the panel; true when it is now as asked.
  bool show(bool shown);
  bool shown() const;
  // The panel's first row on the display; the display height when hidden
  // or when the plate is off.
  int top_edge() const;

  // The plate on (the default) or off.
  void set_plate(bool on);
  // Whether the machine has a keyboard: an input device the system names
  // a keyboard. True when that cannot be told (no device list to read).
  static bool keyboard_attached();
  bool plate() const { return plate_; }

  // The keys of the page shown now, and the state of the plate.
  const std::vector<Key>& keys() const;
  bool shifted() const { return shifted_; }
  bool symbols() const { return symbols_; }
  bool pinyin() const { return pinyin_; }
  // The letters being composed; empty when no composition stands.
  std::u16string composing() const;
  // The display point in the middle of the first key with this label on
  // the page shown now (of the letters page's label for a letter), or of
  // the candidate with this text; (-1, -1) when there is none. For tests
  // and scripts.
  Point key_point(std::u16string_view label) const;

 private:
  intptr_t handle(const Message& m);
  void paint();
  void press(const Key& key);
  const Key* key_at(Point p) const;
  void rebuild();  // the keys for the page, the mode and the candidates
  void compose(char16_t letter);
  void take(size_t candidate);
  void end_composition(const std::u16string& typed);
  void show_composition();

  WindowSystem& windows_;
  Display& display_;
  WindowId window_ = 0;
  bool plate_ = true;
  bool raised_ = false;  // the panel is up (drawn only with the plate)
  bool shifted_ = false;
  bool symbols_ = false;
  bool pinyin_ = false;
  std::vector<std::u16string> candidates_;  // for the composition, best first
  size_t first_ = 0;                        // the first candidate on the bar
  std::vector<Key> keys_;                   // what is drawn and hit now
  int pressed_ = -1;                  // index in keys_ of the key under the stylus while it is down
  std::optional<Font> face_, small_;  // made when first drawn
};

}  // namespace tavrin::platform
