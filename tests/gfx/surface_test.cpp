// Surfaces against a fake display: creation failures, presenting whole
// frames clipped to the display and the window, clearing, grabbing.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/CSurface.h"
#include "gfx/Primitives.h"

using namespace tavrin::gfx;

namespace {

class FakeDisplay : public Display {
 public:
  FakeDisplay() : frame(480 * 800, 0x0101) {}
  PixelCanvas lock_primary() override {
    ++locks;
    return {800, 480, frame.data()};
  }
  void unlock_primary(const Rect& changed) override { last_changed = changed; }
  bool restore_if_lost() override {
    if (lost) ++restores;
    lost = false;
    return true;
  }
  std::vector<uint16_t> frame;
  Rect last_changed;
  bool lost = false;
  int locks = 0, restores = 0;
};

class FakeWindow : public SurfaceHost {
 public:
  explicit FakeWindow(Display* d, Rect clip = {0, 0, 480, 800}) : display_(d), clip_(clip) {}
  Display* display() override { return display_; }
  Rect clip_rect() const override { return clip_; }

 private:
  Display* display_;
  Rect clip_;
};

}  // namespace

TEST(Surface, CreationFailsCleanly) {
  FakeDisplay display;
  FakeWindow window(&display), headless(nullptr);
  const int before = CSurface::live_count();
  CSurface s;
  EXPECT_FALSE(s.create(nullptr, 480, 800));
  EXPECT_FALSE(s.create(&headless, 480, 800));
  EXPECT_FALSE(s.create(&window, 0, 800));
  EXPECT_FALSE(s.create(&window, 480, -1));
  EXPECT_FALSE(s.lock().valid());
  EXPECT_FALSE(s.present(0, 52));
  EXPECT_EQ(CSurface::live_count(), before);
  ASSERT_TRUE(s.create(&window, 33, 33));
  EXPECT_EQ(CSurface::live_count(), before + 1);
  ASSERT_TRUE(s.create(&window, 480, 800));  // replaces the previous one
  EXPECT_EQ(CSurface::live_count(), before + 1);
  s.free();
  EXPECT_EQ(CSurface::live_count(), before);
}

TEST(Surface, PresentCopiesTheWholeFrameOnceClippedToDisplayAndWindow) {
  FakeDisplay display;
  FakeWindow window(&display, {0, 52, 480, 800});
  CSurface s;
  ASSERT_TRUE(s.create(&window, 480, 800));
  PixelCanvas c = s.lock();
  fill_rect(c, 0x0000FF, {0, 0, 480, 800}, 255);
  s.unlock();
  display.lost = true;
  ASSERT_TRUE(s.present(0, 52));
  EXPECT_EQ(display.restores, 1);
  EXPECT_EQ(display.locks, 1);
  EXPECT_EQ(display.last_changed, (Rect{0, 52, 480, 800}));
  EXPECT_EQ(display.frame[51 * 480], 0x0101);  // the task bar is left alone
  EXPECT_EQ(display.frame[52 * 480], 0xF800);
  EXPECT_EQ(display.frame[799 * 480 + 479], 0xF800);

  // A small surface half off the display.
  CSurface small;
  FakeWindow anywhere(&display);
  ASSERT_TRUE(small.create(&anywhere, 10, 10));
  small.clear(1);
  ASSERT_TRUE(small.present(475, -5));
  EXPECT_EQ(display.last_changed, (Rect{475, 0, 480, 5}));
  EXPECT_EQ(display.frame[4 * 480 + 479], 0);
  EXPECT_EQ(display.frame[5 * 480 + 479], 0x0101);
}

TEST(Surface, ClearAndGrab) {
  FakeDisplay display;
  FakeWindow window(&display);
  display.frame[3 * 480 + 272] = 0xBEEF;
  CSurface icon;
  ASSERT_TRUE(icon.create(&window, 33, 33));
  ASSERT_TRUE(icon.grab(270, 3));
  EXPECT_EQ(icon.lock().at(2, 0), 0xBEEF);
  EXPECT_EQ(icon.lock().at(0, 0), 0x0101);
  icon.clear(1);
  EXPECT_EQ(icon.lock().at(2, 0), 0);
  icon.clear(0);
  EXPECT_EQ(display.frame, std::vector<uint16_t>(480 * 800, 0));
}
