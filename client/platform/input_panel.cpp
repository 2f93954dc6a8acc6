// The soft input panel; see input_panel.h.
#include "platform/input_panel.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>

#include "platform/display.h"
#include "platform/font.h"
#include "platform/window_system.h"

namespace tavrin::platform {
namespace {
std::atomic<InputPanel*> g_panel{nullptr};

constexpr int kRow = InputPanel::kHeight / 5;  // five rows of keys
constexpr int kKey = 48;                       // a character key's width
constexpr int kWide = 72;                      // shift, backspace, page and enter keys

void fill(PixelBuffer565& b, Rect r, uint16_t c) {
  r = r.intersect({0, 0, b.width, b.height});
  for (int y = r.top; y < r.bottom; ++y)
    std::fill_n(b.pixels + size_t(y) * size_t(b.stride) + size_t(r.left), r.width(), c);
}

using Action = InputPanel::Action;
using Key = InputPanel::Key;

void add_chars(std::vector<Key>& keys, std::u16string_view chars, int left, int row) {
  for (char16_t c : chars) {
    keys.push_back({std::u16string(1, c),
                    c,
                    Action::kChar,
                    {left, row * kRow, left + kKey, (row + 1) * kRow}});
    left += kKey;
  }
}

std::vector<Key> page(bool symbols) {
  std::vector<Key> keys;
  add_chars(keys, u"1234567890", 0, 0);
  add_chars(keys, symbols ? u"!@#$%^&*()" : u"qwertyuiop", 0, 1);
  add_chars(keys, symbols ? u"-_=+;:'\"/" : u"asdfghjkl", kKey / 2, 2);
  if (!symbols) keys.push_back({u"大写", 0, Action::kShift, {0, 3 * kRow, kWide, 4 * kRow}});
  add_chars(keys, symbols ? u"?~<>[]|" : u"zxcvbnm", kWide, 3);
  keys.push_back({u"删除", 0, Action::kBackspace, {480 - kWide, 3 * kRow, 480, 4 * kRow}});
  const int top = 4 * kRow, bottom = 5 * kRow;
  keys.push_back({symbols ? u"字母" : u"符号", 0, Action::kPage, {0, top, kWide, bottom}});
  keys.push_back({u",", u',', Action::kChar, {kWide, top, kWide + kKey, bottom}});
  keys.push_back({u"空格", u' ', Action::kChar, {kWide + kKey, top, 312, bottom}});
  keys.push_back({u".", u'.', Action::kChar, {312, top, 360, bottom}});
  keys.push_back({u"换行", 0, Action::kEnter, {360, top, 432, bottom}});
  keys.push_back({u"隐藏", 0, Action::kHide, {432, top, 480, bottom}});
  return keys;
}

const std::vector<Key>& letters() {
  static const std::vector<Key> keys = page(false);
  return keys;
}
const std::vector<Key>& symbol_keys() {
  static const std::vector<Key> keys = page(true);
  return keys;
}

char16_t shifted_char(char16_t c, bool shift) {
  return shift && c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c;
}

}  // namespace

InputPanel::InputPanel(WindowSystem& windows, Display& display)
    : windows_(windows), display_(display) {
  WindowSpec spec;
  spec.rect = Rect::from_size(0, kTop, Display::kWidth, kHeight);
  spec.class_name = "SipWndClass";
  spec.topmost = true;
  spec.visible = false;
  spec.handler = [this](const Message& m) { return handle(m); };
  window_ = windows_.create(std::move(spec));
  g_panel.store(this);
}

InputPanel::~InputPanel() {
  InputPanel* self = this;
  g_panel.compare_exchange_strong(self, nullptr);
  display_.set_panel_top(Display::kHeight);
  windows_.destroy(window_);
}

InputPanel* InputPanel::instance() {
  return g_panel.load();
}

bool InputPanel::show(bool shown_now) {
  raised_ = shown_now;
  if (!shown_now) shifted_ = false;
  if (plate_) windows_.show(window_, shown_now);
  return shown() == shown_now;
}

bool InputPanel::shown() const {
  return raised_;
}

int InputPanel::top_edge() const {
  return raised_ && plate_ ? windows_.screen_rect(window_).top : Display::kHeight;
}

void InputPanel::set_plate(bool on) {
  if (plate_ == on) return;
  plate_ = on;
  windows_.show(window_, plate_ && raised_);
}

bool InputPanel::keyboard_attached() {
  namespace fs = std::filesystem;
  bool listed = false;
  for (const char* folder : {"/dev/input/by-path", "/dev/input/by-id"}) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      listed = true;
      if (it->path().filename().string().ends_with("-kbd")) return true;
    }
  }
  return !listed;
}

const std::vector<InputPanel::Key>& InputPanel::keys() const {
  return symbols_ ? symbol_keys() : letters();
}

Point InputPanel::key_point(std::u16string_view label) const {
  for (const Key& k : keys())
    if (k.label == label) {
      const Rect r = k.rect.offset(0, kTop);
      return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
  return {-1, -1};
}

const InputPanel::Key* InputPanel::key_at(Point p) const {
  for (const Key& k : keys())
    if (k.rect.contains(p)) return &k;
  return nullptr;
}

void InputPanel::press(const Key& key) {
  switch (key.action) {
    case Action::kChar:
      windows_.character(shifted_char(key.ch, shifted_));
      shifted_ = false;  // one capital, as phones do
      break;
    case Action::kShift:
      shifted_ = !shifted_;
      break;
    case Action::kBackspace:
    case Action::kEnter: {
      // What the desktop keyboard sends for these keys.
      const uint32_t code = key.action == Action::kBackspace ? key::kBack : key::kReturn;
      windows_.key(code, true);
      windows_.character(char16_t(code));
      windows_.key(code, false);
      break;
    }
    case Action::kPage:
      symbols_ = !symbols_;
      shifted_ = false;
      break;
    case Action::kHide:
      show(false);
      return;
  }
  if (windows_.exists(window_) && windows_.visible(window_)) paint();
}

intptr_t InputPanel::handle(const Message& m) {
  switch (m.id) {
    case msg::kShowWindow:
      if (m.wparam)
        display_.set_panel_rows(kTop, kBottom);
      else
        display_.set_panel_top(Display::kHeight);
      // What the panel covered, or now frees, is drawn again.
      windows_.invalidate_all();
      return 0;
    case msg::kPaint:
      paint();
      return 0;
    case msg::kStylusDown:
      pressed_ = key_at({lparam_x(m.lparam), lparam_y(m.lparam)});
      paint();
      return 0;
    case msg::kStylusUp: {
      // A key types when the stylus leaves the plate on the key it went down on.
      const Key* key = key_at({lparam_x(m.lparam), lparam_y(m.lparam)});
      const Key* pressed = pressed_;
      pressed_ = nullptr;
      if (key && key == pressed)
        press(*key);
      else
        paint();
      return 0;
    }
    default:
      return 0;  // other taps on the plate are swallowed
  }
}

void InputPanel::paint() {
  std::vector<uint16_t> pixels(size_t(Display::kWidth) * kHeight);
  PixelBuffer565 buf{pixels.data(), Display::kWidth, kHeight, Display::kWidth};
  fill(buf, {0, 0, Display::kWidth, kHeight}, bgr_to_565(0x403830));
  if (!face_) face_ = Font::make(u"黑体", 24);
  if (!small_) small_ = Font::make(u"黑体", 20);
  for (const Key& k : keys()) {
    const Rect cap{k.rect.left + 3, k.rect.top + 4, k.rect.right - 3, k.rect.bottom - 4};
    const bool lit = &k == pressed_ || (k.action == Action::kShift && shifted_);
    const bool function = k.action != Action::kChar || k.ch == u' ';
    // Shades that white captions read on (4.5:1 or more).
    fill(buf, cap, bgr_to_565(lit ? 0xA86F2F : function ? 0x564A40 : 0x70645A));
    std::u16string label = k.label;
    if (k.action == Action::kChar && k.label.size() == 1) label[0] = shifted_char(k.ch, shifted_);
    const std::optional<Font>& font = label.size() > 1 ? small_ : face_;
    if (font)
      font->draw(buf, label, cap, 0xFFFFFF, text::kSingleLine | text::kVCenter | text::kCenter);
  }
  display_.present(window_, 0, kTop, pixels.data(), Display::kWidth, kHeight, Display::kWidth);
}

}  // namespace tavrin::platform
