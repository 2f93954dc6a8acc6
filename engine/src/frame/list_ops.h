// Operations on the engine's fx_list (data, next). A list is its first node;
// empty is null. Every operation returns the new first node. Nodes are
// engine-allocated (zero-filled); no operation frees or copies the data.
#pragma once

#include "libtavrin.h"

namespace tavrin {

fx_list* list_append(fx_list* head, void* data);  // walks to the last node
fx_list* list_prepend(fx_list* head, void* data);
fx_list* list_remove(fx_list* head, const void* data);  // first node with that data
fx_list* list_copy(const fx_list* head);                // new nodes, same data pointers
fx_list* list_free(fx_list* head);                      // frees the nodes; returns null
int list_length(const fx_list* head);

}  // namespace tavrin
