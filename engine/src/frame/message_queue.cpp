#include "frame/message_queue.h"

#include <cstdlib>
#include <cstring>

namespace tavrin {

void MessageQueue::push(fx_msg* msg, Release on_release) {
  if (!msg) return;
  std::lock_guard lock(mu_);
  queue_.push_back({msg, std::move(on_release)});
}

fx_msg* MessageQueue::take(long contact_id) {
  if (contact_id == 0) return nullptr;
  std::lock_guard lock(mu_);
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (it->msg->contact_id == contact_id) {
      fx_msg* msg = it->msg;
      if (it->on_release) taken_.emplace(msg, std::move(it->on_release));
      queue_.erase(it);
      return msg;
    }
  }
  return nullptr;
}

void MessageQueue::released(fx_msg* msg) {
  Release action;
  {
    std::lock_guard lock(mu_);
    if (taken_.empty()) return;
    auto it = taken_.find(msg);
    if (it == taken_.end()) return;
    action = std::move(it->second);
    taken_.erase(it);
  }
  action();  // outside the lock: the lock is a leaf
}

void MessageQueue::clear() {
  std::deque<Entry> old;
  {
    std::lock_guard lock(mu_);
    old.swap(queue_);
    taken_.clear();
  }
  for (Entry& e : old) free_fx_msg(e.msg);
}

size_t MessageQueue::size() {
  std::lock_guard lock(mu_);
  return queue_.size();
}

static char* dup_or_null(const char* s) {
  return s ? strdup(s) : nullptr;
}

fx_msg* new_fx_msg(long contact_id, const char* text, const char* content_type, const char* date,
                   long source_id) {
  auto* msg = static_cast<fx_msg*>(calloc(1, sizeof(fx_msg)));
  if (!msg) return nullptr;
  msg->contact_id = contact_id;
  msg->text = dup_or_null(text);
  msg->content_type = dup_or_null(content_type);
  msg->date = dup_or_null(date);
  msg->source_id = source_id;
  return msg;
}

void free_fx_msg(fx_msg* msg) {
  if (!msg) return;
  free(msg->text);
  free(msg->content_type);
  free(msg->date);
  free(msg);
}

}  // namespace tavrin
