#include "frame/message_queue.h"

#include <cstdlib>
#include <cstring>

namespace tavrin {

void MessageQueue::push(fx_msg* msg) {
  if (!msg) return;
  std::lock_guard lock(mu_);
  queue_.push_back(msg);
}

fx_msg* MessageQueue::take(long contact_id) {
  if (contact_id == 0) return nullptr;
  std::lock_guard lock(mu_);
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if ((*it)->contact_id == contact_id) {
      fx_msg* msg = *it;
      queue_.erase(it);
      return msg;
    }
  }
  return nullptr;
}

void MessageQueue::clear() {
  std::deque<fx_msg*> old;
  {
    std::lock_guard lock(mu_);
    old.swap(queue_);
  }
  for (fx_msg* msg : old) fx_destroy_msg(msg);
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

}  // namespace tavrin
