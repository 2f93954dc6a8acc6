#include "ui_fixture.h"

#include <filesystem>

#include "controls/AnimationClock.h"
#include "gfx/Primitives.h"
#include "gfx/ScaledImage.h"
#include "platform/clipboard.h"

namespace controls_test {

using namespace tavrin::platform;

void UiTest::SetUp() {
  ws = std::make_unique<WindowSystem>();
  display = std::make_unique<Display>(*ws);
  task_bar = std::make_unique<TaskBar>(*ws, *display);
  panel = std::make_unique<InputPanel>(*ws, *display);
  Clipboard::clear();
  tavrin::controls::set_clock_for_tests([this] { return now; },
                                        [this](int ms) {
                                          now += ms;
                                          ++frames;
                                          if (on_frame) on_frame();
                                        });
  WindowSpec spec;
  spec.rect = Rect::from_size(0, Display::kTaskBarHeight, Display::kWidth, Display::kHeight);
  spec.title = u"BriskTavrin";
  spec.handler = [this](const Message& m) -> intptr_t {
    messages.push_back(m);
    if (m.id == msg::kPaint && background_.created()) {
      auto c = background_.lock();
      // The main window's look: the theme background and its frame.
      tavrin::gfx::fill_rect(c, 0x604830, {0, 0, c.width, c.height}, 255);
      tavrin::gfx::draw_png_file(c, theme_file("bk.png"), {0, 0, 480, 800});
      tavrin::gfx::draw_png_file(c, theme_file("TavrinMainBk.png"), {0, 0, 480, 800});
      background_.present(0, Display::kTaskBarHeight);
    }
    if (on_message) on_message(m);
    return 0;
  };
  main = ws->create(std::move(spec));
  (void)background_.create(main, Display::kWidth, Display::kHeight);
  ws->set_active(main);
  settle();
}

void UiTest::TearDown() {
  background_.free();
  tavrin::controls::set_clock_for_tests(nullptr, nullptr);
  if (ws->exists(main)) ws->destroy(main);
  panel.reset();
  task_bar.reset();
  display.reset();
  ws.reset();
}

void UiTest::settle() {
  for (int i = 0; i < 100000 && ws->pump(0); ++i) {
  }
}

void UiTest::down(int x, int y) {
  ws->stylus(StylusAction::kDown, {x, y});
}
void UiTest::move(int x, int y) {
  ws->stylus(StylusAction::kMove, {x, y});
}
void UiTest::up(int x, int y) {
  ws->stylus(StylusAction::kUp, {x, y});
}
void UiTest::tap(int x, int y) {
  down(x, y);
  up(x, y);
}

void UiTest::key(uint32_t code, bool shift) {
  if (shift) ws->key(key::kShift, true);
  ws->key(code, true);
  ws->key(code, false);
  if (shift) ws->key(key::kShift, false);
}

void UiTest::type(std::u16string_view text) {
  for (char16_t c : text) ws->character(c);
}

std::string UiTest::theme_file(const std::string& name) {
  return std::string(TAVRIN_CONTROLS_THEME_DIR) + "/" + name;
}

int UiTest::count(uint32_t id) const {
  return int(seen(id).size());
}

std::vector<Message> UiTest::seen(uint32_t id) const {
  std::vector<Message> out;
  for (const auto& m : messages)
    if (m.id == id) out.push_back(m);
  return out;
}

void UiTest::screenshot(const std::string& name) {
  std::filesystem::create_directories(TAVRIN_CONTROLS_SHOT_DIR);
  const std::string path = std::string(TAVRIN_CONTROLS_SHOT_DIR) + "/" + name + ".png";
  EXPECT_TRUE(display->save_png(path)) << path;
}

}  // namespace controls_test
