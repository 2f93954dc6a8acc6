#include "frame/timer_table.h"

namespace tavrin {

int TimerTable::add(uint32_t key1, uint32_t key2, uint32_t interval, TimerHandler handler,
                    void* argument) {
  std::lock_guard lock(mu_);
  if (count_ >= kCapacity || contains(key1, key2)) return 0;
  auto entry = std::make_unique<Entry>();
  entry->key1 = key1;
  entry->key2 = key2;
  entry->interval = interval;
  entry->elapsed = 0;
  entry->handler = handler == kNoTimerHandler ? nullptr : handler;
  entry->argument = argument == kNoTimerArgument ? nullptr : argument;
  entry->serial = next_serial_++;
  entries_[count_++] = std::move(entry);
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
    if (!e.handler) continue;
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
  return ticks_;
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
