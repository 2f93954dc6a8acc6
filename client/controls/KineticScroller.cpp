#include "controls/KineticScroller.h"

#include <algorithm>
#include <cmath>

#include "controls/AnimationClock.h"

namespace tavrin::controls {

void KineticScroller::start_thread(uint32_t message, uintptr_t id, platform::WindowId owner) {
  stop_thread();
  thread_ = std::make_unique<InertiaThread>(message, id, owner);
}

void KineticScroller::retarget(platform::WindowId owner, uintptr_t id) {
  if (thread_) thread_->set_target(owner, id);
}

void KineticScroller::stop_thread() {
  coasting_ = false;
  if (thread_) thread_->stop();
  thread_.reset();
}

void KineticScroller::set_extent(int content_height, int view_height) {
  content_ = std::max(0, content_height);
  view_ = std::max(0, view_height);
  // Content that shrank (a section folded, rows removed) pulls a list
  // scrolled past its new end back, so no empty gap is left below.
  const int end = std::max(0, content_ - view_);
  if (base_ > end && !coasting_) base_ = end;
}

void KineticScroller::stop_coasting() {
  coasting_ = false;
  if (thread_) thread_->suspend();
}

void KineticScroller::press(platform::Point p) {
  stop_coasting();
  down_ = p;
  down_time_ = now_ms();
  drag_ = 0;
}

void KineticScroller::follow(platform::Point p) {
  drag_ = down_.y - p.y;
}

void KineticScroller::cancel() {
  drag_ = 0;
}

void KineticScroller::release(platform::Point p) {
  // A stroke within one clock tick counts as one millisecond long, so the
  // velocity stays finite.
  const int64_t elapsed = std::max<int64_t>(1, now_ms() - down_time_);
  velocity_ = double(down_.y - p.y) / double(elapsed);
  base_ += down_.y - p.y;
  drag_ = 0;
  if (base_ < 0) {
    bounce_top();
  } else if (base_ + view_ > content_) {
    bounce_bottom();
  } else {
    frame_();
    if (std::fabs(velocity_) > kCoastVelocity) {
      coasting_ = true;
      if (thread_) thread_->resume();
    }
  }
}

void KineticScroller::step() {
  if (!coasting_) return;  // a step the thread sent just before it was stopped
  base_ += int(velocity_ * kStepScale);
  if (base_ < 0) {
    stop_coasting();
    bounce_top();
  } else if (base_ + view_ > content_) {
    stop_coasting();
    bounce_bottom();
  } else {
    animate_frame();
    velocity_ *= kDecay;
    if (std::fabs(velocity_) < kStopVelocity) stop_coasting();
  }
}

void KineticScroller::animate_frame() {
  frame_();
  wait_frame(kFrameMs);
}

void KineticScroller::bounce_top() {
  while (base_ > -kOvershoot && velocity_ <= -kStopVelocity) {
    base_ += int(velocity_ * kBounceScale);
    animate_frame();
    velocity_ *= kDecay;
  }
  while (base_ < 0) {
    base_ = std::min(0, base_ + kSpringStep);
    animate_frame();
  }
  velocity_ = 0;
}

void KineticScroller::bounce_bottom() {
  const int end = std::max(0, content_ - view_);
  while (base_ < end + kOvershoot && velocity_ >= kStopVelocity) {
    base_ += int(velocity_ * kBounceScale);
    animate_frame();
    velocity_ *= kDecay;
  }
  while (base_ > end) {
    base_ = std::max(end, base_ - kSpringStep);
    animate_frame();
  }
  velocity_ = 0;
}

}  // namespace tavrin::controls
