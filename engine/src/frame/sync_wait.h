// The waiting of the synchronous fs_ forms, in one place. The form starts
// its fx_ request with the reply of a private result word: its callback
// frees what each message hands over (message_words.h) and keeps the
// first code that ends the wait, while the calling thread looks at the word
// every 10 ms up to a limit. The word sits behind the reply's hold, so it
// stays valid for as long as any request context may still post to it (a
// result may arrive after the form gave up) and is freed with the last one.
//
// Called on the client's thread; never on a thread the callback needs.
#pragma once

#include <functional>
#include <initializer_list>

#include "frame/callbacks.h"

namespace tavrin {

struct WaitSpec {
  std::initializer_list<int> finals;   // codes that end the wait
  std::initializer_list<int> success;  // finals that count as success
  int polls;                           // of 10 ms each
};

// 1 when start returned non-zero and a success code arrived in time.
int wait_for_result(const WaitSpec& spec, const std::function<int(const ReplyTo&)>& start);

}  // namespace tavrin
