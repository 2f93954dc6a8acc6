#include "im/dialog_table.h"

#include <algorithm>

namespace tavrin::im {

PendingSend* Dialog::find(int32_t sequence) {
  for (auto& p : pending)
    if (p.sequence == sequence) return &p;
  return nullptr;
}

std::optional<PendingSend> Dialog::take(int32_t sequence) {
  for (auto it = pending.begin(); it != pending.end(); ++it) {
    if (it->sequence != sequence) continue;
    PendingSend out = std::move(*it);
    pending.erase(it);
    return out;
  }
  return std::nullopt;
}

Dialog* DialogTable::by_contact(long contact_id) {
  for (auto& d : dialogs_)
    if (d->contact_id == contact_id) return d.get();
  return nullptr;
}

Dialog* DialogTable::by_call(int32_t call_id) {
  for (auto& d : dialogs_)
    if (d->call_id == call_id) return d.get();
  return nullptr;
}

Dialog& DialogTable::put(long contact_id, int32_t call_id, bool open,
                         std::unique_ptr<Dialog>* replaced) {
  std::unique_ptr<Dialog> old = take(contact_id);
  if (replaced) *replaced = std::move(old);
  auto d = std::make_unique<Dialog>();
  d->contact_id = contact_id;
  d->call_id = call_id;
  d->open = open;
  dialogs_.push_back(std::move(d));
  return *dialogs_.back();
}

std::unique_ptr<Dialog> DialogTable::take(long contact_id) {
  for (auto it = dialogs_.begin(); it != dialogs_.end(); ++it) {
    if ((*it)->contact_id != contact_id) continue;
    std::unique_ptr<Dialog> out = std::move(*it);
    dialogs_.erase(it);
    return out;
  }
  return nullptr;
}

std::vector<std::unique_ptr<Dialog>> DialogTable::take_all() {
  std::vector<std::unique_ptr<Dialog>> out;
  out.swap(dialogs_);
  return out;
}

DelayedTask* DialogTable::task(uint32_t timer_id) {
  for (auto& t : tasks_)
    if (t.timer_id == timer_id) return &t;
  return nullptr;
}

std::optional<DelayedTask> DialogTable::take_task(uint32_t timer_id) {
  for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
    if (it->timer_id != timer_id) continue;
    DelayedTask out = std::move(*it);
    tasks_.erase(it);
    return out;
  }
  return std::nullopt;
}

std::vector<DelayedTask> DialogTable::take_tasks(long contact_id) {
  std::vector<DelayedTask> out;
  for (auto it = tasks_.begin(); it != tasks_.end();) {
    if (it->contact_id == contact_id) {
      out.push_back(std::move(*it));
      it = tasks_.erase(it);
    } else {
      ++it;
    }
  }
  return out;
}

std::deque<DelayedTask> DialogTable::take_all_tasks() {
  std::deque<DelayedTask> out;
  out.swap(tasks_);
  return out;
}

size_t DialogTable::waiting_lines(long contact_id) {
  size_t n = 0;
  if (Dialog* d = by_contact(contact_id))
    n += size_t(std::count_if(d->pending.begin(), d->pending.end(),
                              [](const PendingSend& p) { return p.record != nullptr; }));
  for (const auto& t : tasks_)
    if (t.contact_id == contact_id && !t.nudge) ++n;
  return n;
}

DialogTable& dialog_table() {
  static DialogTable* const table = new DialogTable;  // lives as long as the engine threads
  return *table;
}

}  // namespace tavrin::im
