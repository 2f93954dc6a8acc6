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

void SendQueue::flush(const NetDriver& driver) {
  for (;;) {
    std::string text;
    size_t sent;
    uint64_t generation;
    {
      std::lock_guard lock(mu_);
      if (texts_.empty()) return;
      text = std::move(texts_.front());
      texts_.pop_front();
      sent = front_sent_;
      front_sent_ = 0;
      generation = generation_;
    }
    // Only this thread takes texts out, so putting one back at the front
    // keeps the order even when others appended meanwhile.
    const size_t left = text.size() - sent;
    const int n = driver.send(text.data() + sent, left > INT_MAX ? INT_MAX : int(left));
    if (n > 0) sent += size_t(n);
    if (sent < text.size()) {
      std::lock_guard lock(mu_);
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
