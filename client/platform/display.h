// The 480 x 800 display: one RGB565 frame that windows present into. The
// top 52 rows belong to the shell's task bar and, while the soft input
// panel is up, the panel's rows (above the soft-key bar) belong to it: a
// window's present() never draws over them, so those overlays stay whole
// however the screens below repaint.
//
// A FrameSink (the SDL backend) is told after every change so that a real
// window shows each frame at once; animations present and sleep on the UI
// thread. UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/messages.h"
#include "platform/pixel_buffer.h"

namespace tavrin::platform {

class WindowSystem;

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void show_frame(const uint16_t* pixels, int width, int height) = 0;
};

class Display {
 public:
  static constexpr int kWidth = 480;
  static constexpr int kHeight = 800;
  static constexpr int kTaskBarHeight = 52;

  explicit Display(WindowSystem& windows);
  ~Display();
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // The display of this process, or null.
  static Display* instance();

  // Copies width x height pixels (stride in pixels) to (x, y), clipped to
  // the display and to the part the window may draw on.
  void present(WindowId window, int x, int y, const uint16_t* pixels, int width, int height,
               int stride);
  // Copies a display area out (what a window shows "behind" it).
  void read(Rect area, uint16_t* out, int stride) const;
  void fill(Rect area, uint16_t colour);  // for overlays and tests

  const std::vector<uint16_t>& frame() const { return frame_; }
  PixelBuffer565 frame_buffer() { return {frame_.data(), kWidth, kHeight, kWidth}; }
  [[nodiscard]] bool save_png(const std::string& path) const;
  uint64_t presents() const { return presents_; }  // counts changes, for tests

  // Rows kept for the task bar (0 when hidden) and the rows of the input
  // panel, [top, bottom) (top kHeight when hidden); set by those overlays.
  void set_task_bar_rows(int rows);
  void set_panel_rows(int top, int bottom);
  void set_panel_top(int top) { set_panel_rows(top, kHeight); }
  int task_bar_rows() const { return task_bar_rows_; }
  int panel_top() const { return panel_top_; }
  int panel_bottom() const { return panel_bottom_; }

  void set_sink(FrameSink* sink) { sink_ = sink; }  // not owned
  void flush();

 private:
  enum class Layer { kWindow, kTaskBar, kPanel };
  Layer layer_of(WindowId window) const;

  WindowSystem& windows_;
  std::vector<uint16_t> frame_;
  int task_bar_rows_ = kTaskBarHeight;
  int panel_top_ = kHeight;
  int panel_bottom_ = kHeight;
  FrameSink* sink_ = nullptr;
  uint64_t presents_ = 0;
};

}  // namespace tavrin::platform
