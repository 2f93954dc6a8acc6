#include "frame/list_ops.h"

#include <cstdlib>

namespace tavrin {

static fx_list* new_node(void* data) {
  auto* node = static_cast<fx_list*>(calloc(1, sizeof(fx_list)));
  if (node) node->data = data;
  return node;
}

fx_list* list_append(fx_list* head, void* data) {
  fx_list* node = new_node(data);
  if (!node) return head;
  if (!head) return node;
  fx_list* last = head;
  while (last->next) last = last->next;
  last->next = node;
  return head;
}

fx_list* list_prepend(fx_list* head, void* data) {
  fx_list* node = new_node(data);
  if (!node) return head;
  node->next = head;
  return node;
}

fx_list* list_remove(fx_list* head, const void* data) {
  for (fx_list** link = &head; *link; link = &(*link)->next) {
    if ((*link)->data == data) {
      fx_list* gone = *link;
      *link = gone->next;
      free(gone);
      break;
    }
  }
  return head;
}

fx_list* list_copy(const fx_list* head) {
  fx_list* copy = nullptr;
  fx_list** tail = &copy;
  for (; head; head = head->next) {
    *tail = new_node(head->data);
    if (!*tail) break;
    tail = &(*tail)->next;
  }
  return copy;
}

fx_list* list_free(fx_list* head) {
  while (head) {
    fx_list* next = head->next;
    free(head);
    head = next;
  }
  return nullptr;
}

int list_length(const fx_list* head) {
  int n = 0;
  for (; head; head = head->next) ++n;
  return n;
}

}  // namespace tavrin
