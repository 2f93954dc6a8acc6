// Drawing and state of the task bar; see task_bar.h.
#include "platform/task_bar.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <optional>
#include <vector>

#include "platform/display.h"
#include "platform/font.h"
#include "platform/leds.h"
#include "platform/window_system.h"

namespace tavrin::platform {
namespace {

std::atomic<TaskBar*> g_task_bar{nullptr};
constexpr uintptr_t kClockTimer = 1;
constexpr uintptr_t kFlashTimer = 2;
constexpr uint32_t kLedChanged = msg::kUser + 0x7000;  // private to the bar

void fill(PixelBuffer565& b, Rect r, uint16_t c) {
  r = r.intersect({0, 0, b.width, b.height});
  for (int y = r.top; y < r.bottom; ++y)
    std::fill_n(b.pixels + size_t(y) * size_t(b.stride) + size_t(r.left), r.width(), c);
}

// UI thread only; set by tests that compare screenshots.
int g_fixed_minute = -1;

int local_minute_of_day() {
  if (g_fixed_minute >= 0) return g_fixed_minute;
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm.tm_hour * 60 + tm.tm_min;
}

// Until the shown minute turns (a little after, so the clock reads the new
// one): the clock wakes the client once a minute, not once a second.
int ms_to_next_minute() {
  if (g_fixed_minute >= 0) return 60000;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  const int64_t ms_into_minute = int64_t(ts.tv_sec % 60) * 1000 + ts.tv_nsec / 1000000;
  return int(60000 - ms_into_minute) + 20;
}

}  // namespace

void TaskBar::set_clock_for_tests(int minute_of_day) {
  g_fixed_minute = minute_of_day;
}

TaskBar::TaskBar(WindowSystem& windows, Display& display) : windows_(windows), display_(display) {
  WindowSpec spec;
  spec.rect = Rect::from_size(0, 0, Display::kWidth, kHeight);
  spec.class_name = "HHTaskBar";
  spec.topmost = true;
  spec.handler = [this](const Message& m) { return handle(m); };
  window_ = windows_.create(std::move(spec));
  display_.set_task_bar_rows(kHeight);
  windows_.set_timer(window_, kClockTimer, ms_to_next_minute());
  windows_.add_observer([this] {
    if (windows_.exists(window_)) windows_.invalidate(window_);
  });
  // The LEDs may change on any thread: hop to the UI thread by a post.
  Leds::set_listener([this, &windows] { windows.post(window_, kLedChanged); });
  g_task_bar.store(this);
}

TaskBar::~TaskBar() {
  Leds::set_listener(nullptr);
  TaskBar* self = this;
  g_task_bar.compare_exchange_strong(self, nullptr);
  windows_.destroy(window_);
}

TaskBar* TaskBar::instance() {
  return g_task_bar.load();
}

intptr_t TaskBar::handle(const Message& m) {
  switch (m.id) {
    case msg::kPaint:
      paint();
      return 0;
    case msg::kShowWindow:
      display_.set_task_bar_rows(m.wparam ? kHeight : 0);
      windows_.invalidate_all();
      return 0;
    case msg::kTimer:
      if (m.wparam == kClockTimer) {
        windows_.set_timer(window_, kClockTimer, ms_to_next_minute());
        if (local_minute_of_day() != shown_minute_) windows_.invalidate(window_);
      } else if (m.wparam == kFlashTimer) {
        flash_phase_ = !flash_phase_;
        windows_.invalidate(window_);
      }
      return 0;
    case kLedChanged:
      if (Leds::on(0)) {
        windows_.set_timer(window_, kFlashTimer, 250);
      } else {
        windows_.kill_timer(window_, kFlashTimer);
        flash_phase_ = false;
      }
      windows_.invalidate(window_);
      return 0;
    default:
      return 0;
  }
}

void TaskBar::paint() {
  std::vector<uint16_t> pixels(size_t(Display::kWidth) * kHeight);
  PixelBuffer565 buf{pixels.data(), Display::kWidth, kHeight, Display::kWidth};
  const bool lit = Leds::on(0) && !flash_phase_;
  fill(buf, {0, 0, Display::kWidth, kHeight}, lit ? bgr_to_565(0x0090FF) : bgr_to_565(0x382820));
  fill(buf, {0, kHeight - 1, Display::kWidth, kHeight}, bgr_to_565(0x706050));
  // The active window's title, as the shell shows the program in front.
  std::u16string title;
  if (WindowId a = windows_.active(); a && windows_.visible(a)) title = windows_.title(a);
  if (title.empty()) title = u"Tavrin";
  shown_minute_ = local_minute_of_day();
  char16_t clock[6] = {
      char16_t(u'0' + shown_minute_ / 600),     char16_t(u'0' + shown_minute_ / 60 % 10), u':',
      char16_t(u'0' + shown_minute_ % 60 / 10), char16_t(u'0' + shown_minute_ % 10),      0};
  const uint32_t ink = lit ? 0x000000 : 0xFFFFFF;
  // The title has the room left of the client's icon at x 130: a long one
  // takes a smaller face, and ends in "…" when even that is too wide.
  const Rect title_room{6, 0, 126, kHeight};
  std::optional<Font> title_font;
  for (int height : {22, 20, 18}) {
    title_font = Font::make(u"黑体", height);
    if (!title_font || title_font->text_width(title) <= title_room.width()) break;
  }
  if (title_font)
    title_font->draw(buf, title, title_room, ink,
                     text::kSingleLine | text::kVCenter | text::kEndEllipsis);
  if (auto font = Font::make(u"黑体", 26)) {
    font->draw(buf, clock, {380, 0, 472, kHeight}, ink,
               text::kSingleLine | text::kVCenter | text::kRight);
    // The mark is amber on the dark bar; on the lit (orange) bar it takes
    // the bar's ink, as amber on orange does not read.
    if (Leds::on(Leds::kDeviceCount - 1))
      font->draw(buf, u"震动", {300, 0, 376, kHeight}, lit ? ink : 0x00C0FF,
                 text::kSingleLine | text::kVCenter | text::kRight);
  }
  display_.present(window_, 0, 0, pixels.data(), Display::kWidth, kHeight, Display::kWidth);
}

}  // namespace tavrin::platform
