// fx_list helpers of the contact code beside the engine's list operations
// (frame/list_ops.h): building a chain in order with a tail pointer
// (appending stays O(1), where list_append walks to the end) and freeing a
// chain with its records. Lists handed to the client are these
// same chains; the client never changes them.
#pragma once

#include "libtavrin.h"
#include "roster/records.h"

namespace tavrin::contacts {

// New node holding data. Throws std::bad_alloc.
fx_list* new_node(void* data);
// Frees the nodes only, not their data.
void free_nodes(fx_list* head);

// Frees every node and its record.
template <class T>
void free_chain(fx_list* head) {
  while (head != nullptr) {
    fx_list* next = head->next;
    RecordDeleter{}(static_cast<T*>(head->data));
    head->next = nullptr;
    free_nodes(head);
    head = next;
  }
}

// The two ends of a chain built in order; the builders below decide what
// they free of it until it is released.
class ChainEnds {
 public:
  fx_list* head() const { return head_; }
  bool empty() const { return head_ == nullptr; }
  fx_list* release() {
    fx_list* h = head_;
    head_ = tail_ = nullptr;
    return h;
  }

 protected:
  ChainEnds() = default;
  ~ChainEnds() = default;
  void link(fx_list* node) {
    if (tail_ == nullptr)
      head_ = node;
    else
      tail_->next = node;
    tail_ = node;
  }

  fx_list* head_ = nullptr;
  fx_list* tail_ = nullptr;
};

// Builds a chain in order. Owns its nodes (not their data) until released.
class ChainBuilder : public ChainEnds {
 public:
  ChainBuilder() = default;
  ChainBuilder(const ChainBuilder&) = delete;
  ChainBuilder& operator=(const ChainBuilder&) = delete;
  ~ChainBuilder() { free_nodes(head_); }

  void append(void* data);
};

// A chain that owns its records too until released (parsers build these).
template <class T>
class OwnedChain : public ChainEnds {
 public:
  OwnedChain() = default;
  OwnedChain(const OwnedChain&) = delete;
  OwnedChain& operator=(const OwnedChain&) = delete;
  OwnedChain(OwnedChain&& o) noexcept {
    head_ = o.head_;
    tail_ = o.tail_;
    o.head_ = o.tail_ = nullptr;
  }
  ~OwnedChain() { free_chain<T>(head_); }

  void append(std::unique_ptr<T, RecordDeleter> record) {
    fx_list* node = new_node(record.get());
    record.release();
    link(node);
  }
};

}  // namespace tavrin::contacts
