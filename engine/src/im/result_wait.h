// ResultWait: the waiting of the fs_ forms. The form starts its fx_ request
// with a reply whose callback writes a private result word; the word sits
// behind the reply's hold, so it stays valid for as long as any pending
// send, delayed send or SMS context may still post to it (a result may
// arrive after the form gave up), and is freed with the last of them. The
// callback frees a sent-message record that a final result hands over.
// Called on the client's thread; never on a thread the callback needs.
#pragma once

#include <functional>
#include <initializer_list>

#include "im/reply.h"

namespace tavrin::im {

struct WaitSpec {
  std::initializer_list<int> finals;   // codes that end the wait
  std::initializer_list<int> success;  // finals that count as success
  int polls;                           // of 10 ms each
};

// 1 when start returned non-zero and a success code arrived in time.
int wait_for_result(const WaitSpec& spec, const std::function<int(const Reply&)>& start);

}  // namespace tavrin::im
