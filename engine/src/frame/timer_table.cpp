#include "frame/timer_table.h"

#include <algorithm>
#include <climits>

namespace tavrin {

int TimerTable::add(uint32_t key1, uint32_t key2, uint32_t interval, TimerHandler handler,
                    void* argument) {
  std::lock_guard lock(mu_);
  if (count_ >= kCapacity || contains(key1, key2)) return 0;
  // Ticks that fell before this timer existed are not its own.
  catch_up(Clock::now());
  auto entry = std::make_unique<Entry>();
  entry->key1 = key1;
  entry->key2 = key2;
  entry->interval = interval;
  entry->elapsed = 0;
  entry->handler = handler == kNoTimerHandler ? nullptr : handler;
  entry->argument = argument == kNoTimerArgument ? nullptr : argument;
  entry->serial = next_serial_++;
  entries_[count_++] = std::move(entry);
  // The timer thread replans only when this one falls due before its wake.
  if (clock_started_ && handler != kNoTimerHandler && handler != nullptr &&
      next_tick_ + (interval == 0 ? 0 : interval - 1) * kTick < planned_)
    wake();
  return 1;
}

void TimerTable::remove_at(int position) {
  entries_[position] = std::move(entries_[count_ - 1]);
  --count_;
}

int TimerTable::remove(uint32_t key1, uint32_t key2) {
  std::lock_guard lock(mu_);
  for (int i = 0; i < count_;) {
    if (entries_[i]->key1 == key1 && entries_[i]->key2 == key2)
      remove_at(i);  // the moved entry is checked in the same position
    else
      ++i;
  }
  return 1;
}

void TimerTable::clear() {
  std::lock_guard lock(mu_);
  for (int i = 0; i < count_; ++i) entries_[i].reset();
  count_ = 0;
}

int TimerTable::find_serial(uint64_t serial) const {
  for (int i = 0; i < count_; ++i)
    if (entries_[i]->serial == serial) return i;
  return -1;
}

void TimerTable::advance(uint32_t n) {
  std::lock_guard lock(mu_);
  for (int i = 0; i < count_; ++i) {
    Entry& e = *entries_[i];
    e.elapsed += n;
    if (e.elapsed < e.interval) continue;
    e.elapsed -= e.interval;
    if (!e.handler) {
      // Nothing to run; keep its count in range however long the sleep was.
      if (e.interval > 0) e.elapsed %= e.interval;
      continue;
    }
    const uint64_t serial = e.serial;
    const int keep = e.handler(e.argument);
    // The handler may have added, removed or cleared timers (its own one
    // included); find its entry again rather than trusting position i.
    if (keep) continue;
    const int at = find_serial(serial);
    if (at < 0) continue;
    mu_.unlock();  // let waiting threads in between two handlers
    mu_.lock();
    const int again = find_serial(serial);
    if (again >= 0) remove_at(again);
    // The entry moved into the freed position waits until the next pass.
  }
}

void TimerTable::tick() {
  {
    std::lock_guard lock(mu_);
    ++ticks_;
  }
  // Taken once, not nested, so that a handler's release of the timer lock
  // (and the release between two handlers) really lets other threads in.
  advance(1);
}

uint32_t TimerTable::tick_count() {
  std::lock_guard lock(mu_);
  catch_up(Clock::now());
  return ticks_;
}

uint32_t TimerTable::ticks_to_next_due() const {
  uint32_t least = UINT32_MAX;
  for (int i = 0; i < count_; ++i) {
    const Entry& e = *entries_[i];
    if (!e.handler) continue;
    least = std::min(least, e.elapsed >= e.interval ? 0u : e.interval - e.elapsed);
  }
  return least;
}

void TimerTable::catch_up(Clock::time_point now) {
  if (!clock_started_ || now < next_tick_) return;
  uint64_t fallen = 1 + uint64_t((now - next_tick_) / kTick);
  const uint32_t due = ticks_to_next_due();
  // A late timer thread runs the expiring tick itself, with its handlers.
  fallen = std::min<uint64_t>(fallen, due == 0 ? 0 : due - 1);
  if (fallen == 0) return;
  for (int i = 0; i < count_; ++i) entries_[i]->elapsed += uint32_t(fallen);
  ticks_ += uint32_t(fallen);
  next_tick_ += int64_t(fallen) * kTick;
}

void TimerTable::start_clock(Clock::time_point now) {
  std::lock_guard lock(mu_);
  clock_started_ = true;
  next_tick_ = now + kTick;
  planned_ = Clock::time_point::min();
}

void TimerTable::stop_clock() {
  std::lock_guard lock(mu_);
  clock_started_ = false;
}

TimerTable::Clock::time_point TimerTable::run_due(Clock::time_point now) {
  uint64_t fallen = 0;
  {
    std::lock_guard lock(mu_);
    if (now >= next_tick_) {
      fallen = 1 + uint64_t((now - next_tick_) / kTick);
      ticks_ += uint32_t(fallen);
      next_tick_ += int64_t(fallen) * kTick;
    }
  }
  // Not nested in the lock above, so that the release between two handlers
  // really lets other threads in.
  while (fallen > 0) {
    const uint32_t step = uint32_t(std::min<uint64_t>(fallen, UINT32_MAX));
    advance(step);
    fallen -= step;
  }
  std::lock_guard lock(mu_);
  const uint32_t due = ticks_to_next_due();
  planned_ =
      due == UINT32_MAX ? Clock::time_point::max() : next_tick_ + (due == 0 ? 0 : due - 1) * kTick;
  return planned_;
}

void TimerTable::wait_until(Clock::time_point deadline) {
  std::unique_lock lock(wake_mu_);
  if (deadline == Clock::time_point::max())
    wake_cv_.wait(lock, [this] { return changed_; });
  else
    wake_cv_.wait_until(lock, deadline, [this] { return changed_; });
  changed_ = false;
}

void TimerTable::wake() {
  {
    std::lock_guard lock(wake_mu_);
    changed_ = true;
  }
  wake_cv_.notify_one();
}

int TimerTable::count() {
  std::lock_guard lock(mu_);
  return count_;
}

bool TimerTable::contains(uint32_t key1, uint32_t key2) {
  std::lock_guard lock(mu_);
  for (int i = 0; i < count_; ++i)
    if (entries_[i]->key1 == key1 && entries_[i]->key2 == key2) return true;
  return false;
}

bool TimerTable::key_at(int position, uint32_t* key1, uint32_t* key2) {
  std::lock_guard lock(mu_);
  if (position < 0 || position >= count_) return false;
  *key1 = entries_[position]->key1;
  *key2 = entries_[position]->key2;
  return true;
}

}  // namespace tavrin
