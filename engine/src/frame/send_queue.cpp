#include "frame/send_queue.h"

#include <climits>

#include "frame/waker.h"

namespace tavrin {

void SendQueue::push(std::string text) {
  if (text.empty()) return;
  {
    std::lock_guard lock(mu_);
    texts_.push_back(std::move(text));
  }
  waker_.wake();
}

void SendQueue::push(std::string text, const NetDriver& driver) {
  if (text.empty()) return;
  uint64_t generation = 0;
  bool queued = false;
  {
    std::lock_guard lock(mu_);
    queued = !driver.try_send || sending_ || !texts_.empty();
    if (queued)
      texts_.push_back(std::move(text));  // whoever sends now, or the worker, takes it on
    else
      sending_ = true;
    generation = generation_;
  }
  if (queued) {
    waker_.wake();
    return;
  }
  const int n = driver.try_send(text.data(), text.size() > INT_MAX ? INT_MAX : int(text.size()));
  const size_t sent = n > 0 ? size_t(n) : 0;
  {
    std::lock_guard lock(mu_);
    sending_ = false;
    if (sent < text.size() && generation == generation_) {
      // Others only appended behind it meanwhile: the front keeps the order.
      texts_.push_front(std::move(text));
      front_sent_ = sent;
    }
    if (texts_.empty()) return;
  }
  waker_.wake();
}

void SendQueue::flush(const NetDriver& driver) {
  for (;;) {
    std::string text;
    size_t sent;
    uint64_t generation;
    {
      std::lock_guard lock(mu_);
      // A caller sending its own text wakes the worker again if it leaves any.
      if (texts_.empty() || sending_) return;
      text = std::move(texts_.front());
      texts_.pop_front();
      sent = front_sent_;
      front_sent_ = 0;
      generation = generation_;
      sending_ = true;
    }
    const size_t left = text.size() - sent;
    const int n = driver.send(text.data() + sent, left > INT_MAX ? INT_MAX : int(left));
    if (n > 0) sent += size_t(n);
    std::lock_guard lock(mu_);
    sending_ = false;
    if (sent < text.size()) {
      // Nobody else took texts out meanwhile, so putting it back at the
      // front keeps the order even when others appended.
      if (generation == generation_) {
        texts_.push_front(std::move(text));
        front_sent_ = sent;
      }
      if (n < 1) return;  // the driver took nothing: try again next pass
    }
  }
}

void SendQueue::clear() {
  std::lock_guard lock(mu_);
  texts_.clear();
  front_sent_ = 0;
  ++generation_;
}

bool SendQueue::empty() {
  std::lock_guard lock(mu_);
  return texts_.empty();
}

size_t SendQueue::size() {
  std::lock_guard lock(mu_);
  return texts_.size();
}

}  // namespace tavrin
