// The scrolling core every list shares (the contact tree, chat lines, the
// log viewer, plain lists): the offset, the drag that moves it, the flick
// velocity and its coasting, and the bounce at either end. The numbers are
// the client's feel and are the same for every list:
//   a flick coasts only when |velocity| > 0.5 px/ms; each step moves by
//   velocity x 100 and keeps 95% of the velocity until it is below 0.2;
//   a bounce overshoots by velocity x 60 per frame for at most 180 pixels
//   and springs back 40 pixels per frame.
// The list draws; the scroller tells it when (frame()), and owns the
// inertia thread that paces the coasting. UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "controls/InertiaThread.h"
#include "platform/geometry.h"

namespace tavrin::controls {

class KineticScroller {
 public:
  static constexpr double kCoastVelocity = 0.5;
  static constexpr double kStopVelocity = 0.2;
  static constexpr double kDecay = 0.95;
  static constexpr double kStepScale = 100;
  static constexpr double kBounceScale = 60;
  static constexpr int kOvershoot = 180;
  static constexpr int kSpringStep = 40;
  static constexpr int kFrameMs = 8;

  // frame: draw the list at offset() and present it.
  explicit KineticScroller(std::function<void()> frame) : frame_(std::move(frame)) {}

  // Starts the (suspended) inertia thread sending message with id to owner.
  void start_thread(uint32_t message, uintptr_t id, platform::WindowId owner);
  void retarget(platform::WindowId owner, uintptr_t id);
  void stop_thread();
  InertiaThread* thread() { return thread_.get(); }

  // A resting offset past the new end is pulled back to it.
  void set_extent(int content_height, int view_height);
  int content_height() const { return content_; }
  int view_height() const { return view_; }
  // The offset shown: the resting offset plus a drag in progress.
  int offset() const { return base_ + drag_; }
  int resting_offset() const { return base_; }
  void set_offset(int offset) { base_ = offset, drag_ = 0; }
  double velocity() const { return velocity_; }
  bool coasting() const { return coasting_; }

  // Stylus down: stops any coasting and remembers where and when.
  void press(platform::Point p);
  // The content follows the stylus.
  void follow(platform::Point p);
  // Stylus up after a drag: keep the travel, then bounce, coast or rest.
  void release(platform::Point p);
  // Stylus up without a drag: the content goes back where it was.
  void cancel();
  // One coasting step, from the owner's handler of the thread's message.
  void step();
  platform::Point down_point() const { return down_; }

 private:
  void stop_coasting();
  void bounce_top();
  void bounce_bottom();
  void animate_frame();

  std::function<void()> frame_;
  std::unique_ptr<InertiaThread> thread_;
  int content_ = 0, view_ = 0;
  int base_ = 0, drag_ = 0;
  double velocity_ = 0;
  bool coasting_ = false;
  platform::Point down_;
  int64_t down_time_ = 0;
};

}  // namespace tavrin::controls
