#include "roster/list_chain.h"

#include <cstdlib>
#include <new>

#include "frame/list_ops.h"

namespace tavrin::contacts {

fx_list* new_node(void* data) {
  auto* node = static_cast<fx_list*>(std::calloc(1, sizeof(fx_list)));
  if (node == nullptr) throw std::bad_alloc();
  node->data = data;
  return node;
}

void free_nodes(fx_list* head) {
  tavrin::list_free(head);
}

void ChainBuilder::append(void* data) {
  link(new_node(data));
}

}  // namespace tavrin::contacts
