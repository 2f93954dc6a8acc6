// Surfaces on the platform's display (no screen needed): creation failures,
// one-copy presents clipped to the window's rows, clearing and grabbing,
// and platform text through the device context.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/CSurface.h"
#include "gfx/Fonts.h"
#include "gfx/Primitives.h"
#include "platform/display.h"
#include "platform/window_system.h"

using namespace tavrin::gfx;
using tavrin::platform::Display;
using tavrin::platform::WindowSpec;
using tavrin::platform::WindowSystem;

namespace {

struct Desk {
  WindowSystem windows;
  Display display{windows};
  tavrin::platform::WindowId screen = windows.create([] {
    WindowSpec spec;
    spec.rect = {0, 52, 480, 852};
    return spec;
  }());
};

}  // namespace

TEST(Surface, CreationFailsCleanly) {
  const int before = CSurface::live_count();
  CSurface s;
  EXPECT_FALSE(s.create(1, 480, 800));  // no display yet
  Desk desk;
  EXPECT_FALSE(s.create(0, 480, 800));
  EXPECT_FALSE(s.create(desk.screen, 0, 800));
  EXPECT_FALSE(s.create(desk.screen, 480, -1));
  EXPECT_FALSE(s.lock().valid());
  EXPECT_FALSE(s.present(0, 52));
  EXPECT_EQ(CSurface::live_count(), before);
  ASSERT_TRUE(s.create(desk.screen, 33, 33));
  EXPECT_EQ(CSurface::live_count(), before + 1);
  ASSERT_TRUE(s.create(desk.screen, 480, 800));  // replaces the previous one
  EXPECT_EQ(CSurface::live_count(), before + 1);
  s.free();
  EXPECT_EQ(CSurface::live_count(), before);
}

TEST(Surface, PresentCopiesTheWholeFrameOnceBelowTheTaskBar) {
  Desk desk;
  desk.display.fill({0, 0, 480, 800}, 0x0101);
  CSurface s;
  ASSERT_TRUE(s.create(desk.screen, 480, 800));
  PixelCanvas c = s.lock();
  fill_rect(c, 0x0000FF, {0, 0, 480, 800}, 255);
  s.unlock();
  const auto before = desk.display.presents();
  ASSERT_TRUE(s.present(0, 52));
  EXPECT_EQ(desk.display.presents(), before + 1);
  const auto& frame = desk.display.frame();
  EXPECT_EQ(frame[51 * 480], 0x0101);  // the task bar is left alone
  EXPECT_EQ(frame[52 * 480], 0xF800);
  EXPECT_EQ(frame[799 * 480 + 479], 0xF800);
}

TEST(Surface, ClearAndGrab) {
  Desk desk;
  desk.display.fill({0, 0, 480, 800}, 0x0101);
  desk.display.fill({272, 3, 273, 4}, 0xBEEF);
  CSurface icon;
  ASSERT_TRUE(icon.create(desk.screen, 33, 33));
  ASSERT_TRUE(icon.grab(270, 3));
  EXPECT_EQ(icon.lock().at(2, 0), 0xBEEF);
  EXPECT_EQ(icon.lock().at(0, 0), 0x0101);
  icon.clear(1);
  EXPECT_EQ(icon.lock().at(2, 0), 0);
  icon.clear(0);
  EXPECT_EQ(desk.display.frame(), std::vector<uint16_t>(480 * 800, 0));
}

TEST(Surface, PlatformTextThroughTheDeviceContext) {
  auto font = make_font(30);
  if (!font) GTEST_SKIP() << "no CJK face installed";
  std::vector<uint16_t> pixels(200 * 60, 0x1234);
  DeviceContext dc(PixelCanvas{60, 200, pixels.data()});
  EXPECT_EQ(dc.draw_text(u"确定", {0, 0, 200, 60}, kTextCaption), 0);  // no font selected
  dc.select_font(&*font);
  dc.set_text_colour(0x0000FF);
  dc.draw_text(u"确定", {50, 10, 150, 50}, kTextCaption);
  int inked = 0, outside = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x) {
      if (pixels[size_t(y) * 200 + x] == 0x1234) continue;
      ++inked;
      if (x < 50 || x >= 150 || y < 10 || y >= 50) ++outside;
    }
  EXPECT_GT(inked, 50);
  EXPECT_EQ(outside, 0);
}
