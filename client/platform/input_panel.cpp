// The soft input panel; see input_panel.h.
#include "platform/input_panel.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>

#include "platform/display.h"
#include "platform/font.h"
#include "platform/pinyin.h"
#include "platform/text_codec.h"
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

// The bottom row: with the pinyin library the 中 key sits beside 符号 and
// the space bar is narrower by it.
std::vector<Key> page(bool symbols, bool with_mode, bool pinyin) {
  std::vector<Key> keys;
  add_chars(keys, u"1234567890", 0, 0);
  add_chars(keys, symbols ? u"!@#$%^&*()" : u"qwertyuiop", 0, 1);
  add_chars(keys, symbols ? u"-_=+;:'\"/" : u"asdfghjkl", kKey / 2, 2);
  if (!symbols) keys.push_back({u"大写", 0, Action::kShift, {0, 3 * kRow, kWide, 4 * kRow}});
  add_chars(keys, symbols ? u"?~<>[]|" : u"zxcvbnm", kWide, 3);
  keys.push_back({u"删除", 0, Action::kBackspace, {480 - kWide, 3 * kRow, 480, 4 * kRow}});
  const int top = 4 * kRow, bottom = 5 * kRow;
  keys.push_back({symbols ? u"字母" : u"符号", 0, Action::kPage, {0, top, kWide, bottom}});
  int left = kWide;
  if (with_mode) {
    keys.push_back({pinyin ? u"英" : u"中", 0, Action::kMode, {left, top, left + kKey, bottom}});
    left += kKey;
  }
  keys.push_back({u",", u',', Action::kChar, {left, top, left + kKey, bottom}});
  keys.push_back(
      {pinyin ? u"拼音" : u"空格", u' ', Action::kChar, {left + kKey, top, 312, bottom}});
  keys.push_back({u".", u'.', Action::kChar, {312, top, 360, bottom}});
  keys.push_back({u"换行", 0, Action::kEnter, {360, top, 432, bottom}});
  keys.push_back({u"隐藏", 0, Action::kHide, {432, top, 480, bottom}});
  return keys;
}

constexpr int kPad = 12;      // each side of a candidate's text
constexpr int kMoreKey = 48;  // the bar's last key: the next candidates
constexpr size_t kMostCandidates = 90;

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
  if (!shown_now) {
    shifted_ = false;
    // A composition does not outlive the keyboard it was typed on.
    if (!composing().empty()) {
      if (Pinyin* py = Pinyin::shared()) py->clear();
      candidates_.clear();
      windows_.composition({}, 0);
    }
    keys_.clear();
  }
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
  if (keys_.empty()) const_cast<InputPanel*>(this)->rebuild();
  return keys_;
}

std::u16string InputPanel::composing() const {
  Pinyin* py = pinyin_ ? Pinyin::shared() : nullptr;
  if (!py || py->letters().empty()) return {};
  const std::string rest = py->rest();
  return py->chosen() + std::u16string(rest.begin(), rest.end());
}

void InputPanel::rebuild() {
  Pinyin* py = Pinyin::shared();
  keys_ = page(symbols_, py != nullptr, pinyin_ && py);
  if (composing().empty()) return;
  // The candidate bar takes the digits' row.
  std::erase_if(keys_, [](const Key& k) { return k.rect.top == 0; });
  if (!face_) face_ = Font::make(u"黑体", 24);
  int left = 0;
  size_t i = first_;
  for (; i < candidates_.size(); ++i) {
    const int w =
        (face_ ? face_->text_width(candidates_[i]) : 24 * int(candidates_[i].size())) + 2 * kPad;
    if (left + w > Display::kWidth - kMoreKey && i > first_) break;
    keys_.push_back({candidates_[i], 0, Action::kCandidate, {left, 0, left + w, kRow}});
    keys_.back().index = i;
    left += w;
  }
  // More candidates than the bar holds: the last key turns the page, and
  // from the last page back to the first.
  if (first_ > 0 || i < candidates_.size())
    keys_.push_back(
        {u">", 0, Action::kMore, {Display::kWidth - kMoreKey, 0, Display::kWidth, kRow}});
}

void InputPanel::show_composition() {
  candidates_.clear();
  first_ = 0;
  Pinyin* py = Pinyin::shared();
  if (py && !py->letters().empty()) candidates_ = py->candidates(kMostCandidates);
  const std::u16string text = composing();
  windows_.composition(text, int(text.size()));
  rebuild();
}

void InputPanel::compose(char16_t letter) {
  Pinyin* py = Pinyin::shared();
  py->set_letters(py->letters() + char(letter));
  show_composition();
}

void InputPanel::take(size_t candidate) {
  Pinyin* py = Pinyin::shared();
  if (!py) return;
  if (auto whole = py->choose(candidate)) {
    end_composition(*whole);
    return;
  }
  // Letters remain: the bar offers what follows the choice.
  show_composition();
}

void InputPanel::end_composition(const std::u16string& typed) {
  if (Pinyin* py = Pinyin::shared()) py->clear();
  candidates_.clear();
  first_ = 0;
  windows_.composition({}, 0);
  for (char16_t c : typed) windows_.character(c);
  rebuild();
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

void InputPanel::press(const Key& pressed) {
  const Key key = pressed;  // the keys are rebuilt below
  const bool composing_now = !composing().empty();
  switch (key.action) {
    case Action::kChar:
      if (pinyin_ && !shifted_ && key.ch >= u'a' && key.ch <= u'z') {
        compose(key.ch);
        break;
      }
      if (composing_now) {
        // Space takes the first candidate.
        if (key.ch == u' ') {
          if (!candidates_.empty())
            take(0);
          else
            end_composition(composing());
          break;
        }
        // Any other key types after the composition as the first
        // candidates make it.
        for (size_t n = 0; !composing().empty() && !candidates_.empty() && n < 64; ++n) take(0);
        if (!composing().empty()) end_composition(composing());
      }
      windows_.character(shifted_char(key.ch, shifted_));
      shifted_ = false;  // one capital, as phones do
      break;
    case Action::kMode:
      if (composing_now) end_composition(composing());
      pinyin_ = !pinyin_;
      shifted_ = false;
      break;
    case Action::kCandidate:
      take(key.index);
      break;
    case Action::kMore: {
      size_t on_bar = 0;
      for (const Key& k : keys_) on_bar += k.action == Action::kCandidate;
      first_ = first_ + on_bar < candidates_.size() ? first_ + on_bar : 0;
      break;
    }
    case Action::kShift:
      shifted_ = !shifted_;
      break;
    case Action::kBackspace:
      if (composing_now) {
        Pinyin* py = Pinyin::shared();
        std::string letters = py->letters();
        letters.pop_back();
        py->set_letters(letters);
        if (letters.empty())
          end_composition({});
        else
          show_composition();
        break;
      }
      [[fallthrough]];
    case Action::kEnter: {
      // Enter types the letters of a composition as they are.
      if (composing_now) {
        Pinyin* py = Pinyin::shared();
        end_composition(utf8_to_utf16(py->letters()));
        break;
      }
      // What the desktop keyboard sends for these keys.
      const uint32_t code = key.action == Action::kBackspace ? key::kBack : key::kReturn;
      windows_.key(code, true);
      windows_.character(char16_t(code));
      windows_.key(code, false);
      break;
    }
    case Action::kPage:
      if (composing_now) end_composition(composing());
      symbols_ = !symbols_;
      shifted_ = false;
      break;
    case Action::kHide:
      show(false);
      return;
  }
  rebuild();
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
    case msg::kStylusDown: {
      const Key* key = key_at({lparam_x(m.lparam), lparam_y(m.lparam)});
      pressed_ = key ? int(key - keys_.data()) : -1;
      paint();
      return 0;
    }
    case msg::kStylusUp: {
      // A key types when the stylus leaves the plate on the key it went down on.
      const Key* key = key_at({lparam_x(m.lparam), lparam_y(m.lparam)});
      const int pressed = pressed_;
      pressed_ = -1;
      if (key && int(key - keys_.data()) == pressed)
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
  const std::vector<Key>& shown = keys();
  if (!composing().empty()) fill(buf, {0, 0, Display::kWidth, kRow}, bgr_to_565(0x2E2823));
  for (size_t i = 0; i < shown.size(); ++i) {
    const Key& k = shown[i];
    const Rect cap{k.rect.left + 3, k.rect.top + 4, k.rect.right - 3, k.rect.bottom - 4};
    const bool lit = int(i) == pressed_ || (k.action == Action::kShift && shifted_);
    if (k.action == Action::kCandidate) {
      // Candidates are text on the bar; the first is the one space takes.
      if (lit) fill(buf, cap, bgr_to_565(0xA86F2F));
      if (face_)
        face_->draw(buf, k.label, cap, k.index == 0 ? 0x7FE0FF : 0xFFFFFF,
                    text::kSingleLine | text::kVCenter | text::kCenter);
      continue;
    }
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
