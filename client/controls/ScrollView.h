// The part of every kinetic list that is not its content: the view
// rectangle on the screen, the composition surface and background, the
// stylus handling (tap, horizontal stroke or drag), and the scrolling core
// with its inertia thread. A list derives from it and supplies its rows:
// hit-testing, content height, drawing and what a tap means.
//
// A list is not a window: its owner passes the stylus messages on in
// display coordinates (window y + 52 for a full screen), calls
// inertia_step() on the list's step message and paints it after each frame;
// a Screen does all three for the lists handed to it with add_list. The
// list presents as the owner window. UI thread only.
#pragma once

#include <cstdint>

#include "controls/Backdrop.h"
#include "controls/KineticScroller.h"
#include "gfx/CSurface.h"
#include "gfx/PixelCanvas.h"
#include "platform/geometry.h"
#include "platform/window_system.h"

namespace tavrin::controls {

class ScrollView {
 public:
  // Horizontal travel over an item that makes a stroke, not a tap.
  static constexpr int kStrokeTravel = 101;

  explicit ScrollView(uint32_t step_message);
  virtual ~ScrollView();
  ScrollView(const ScrollView&) = delete;
  ScrollView& operator=(const ScrollView&) = delete;

  // Places the list at (left, top)-(right, bottom) on the screen and starts
  // its inertia thread, suspended.
  bool create(platform::WindowId owner, int left, int top, int right, int bottom, int flag = 0);
  // Ends the thread (waiting for it) and frees the surfaces.
  void destroy();
  void set_id(uintptr_t id);
  uintptr_t id() const { return id_; }
  uint32_t step_message() const { return step_message_; }
  void set_owner(platform::WindowId owner);
  platform::WindowId owner() const { return owner_; }
  const gfx::Rect& view() const { return view_; }

  // The picture behind the list: the owner's surface, whose top-left lies
  // at surface_origin on the screen. Without one, the display under the
  // list is taken when it first paints.
  void set_background(gfx::CSurface* surface, platform::Point surface_origin);

  // Stylus in screen coordinates; true when the list takes it.
  bool stylus(platform::StylusAction action, platform::Point p);
  bool stylus_down(platform::Point p);
  bool stylus_move(platform::Point p);
  bool stylus_up(platform::Point p);
  void inertia_step() { scroller_.step(); }

  // Lays the rows out again (after adding or folding) and repaints.
  void relayout();
  // Draws one frame at the current offset and presents it.
  void paint();

  KineticScroller& scroller() { return scroller_; }
  bool dragged() const { return dragged_; }

 protected:
  struct Hit {
    int section = -1;
    int item = -1;
    friend bool operator==(const Hit&, const Hit&) = default;
  };
  virtual Hit hit_test(int content_y) const = 0;
  virtual int layout_content() = 0;  // lays the rows out; the content height
  virtual void draw_content(gfx::PixelCanvas& canvas, int offset) = 0;
  // A tap (no drag) on `hit`; dx is the horizontal travel (up x - down x).
  virtual void tapped(Hit hit, int dx, platform::Point up) = 0;

 private:
  const uint32_t step_message_;
  platform::WindowId owner_ = 0;
  uintptr_t id_ = 0;
  gfx::Rect view_;
  gfx::CSurface surface_;
  gfx::CSurface* background_ = nullptr;
  platform::Point background_origin_;
  Backdrop backdrop_;
  bool backdrop_taken_ = false;
  KineticScroller scroller_;
  bool pressing_ = false;
  bool dragged_ = false;
  Hit pressed_, hovered_;
};

}  // namespace tavrin::controls
