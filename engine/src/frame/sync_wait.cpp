#include "frame/sync_wait.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "message_words.h"

namespace tavrin {

namespace {

struct ResultWord {
  std::vector<int> finals;  // set before the word is handed out, read-only after
  std::atomic<int> code{0};
};

void result_cb(int code, intptr_t p1, intptr_t p2, void* user) {
  release_message(code, p1, p2);  // the word keeps nothing the message hands over
  auto* word = static_cast<ResultWord*>(user);
  if (std::find(word->finals.begin(), word->finals.end(), code) == word->finals.end()) return;
  int none = 0;
  word->code.compare_exchange_strong(none, code);
}

}  // namespace

int wait_for_result(const WaitSpec& spec, const std::function<int(const ReplyTo&)>& start) {
  auto word = std::make_shared<ResultWord>();
  word->finals.assign(spec.finals.begin(), spec.finals.end());
  if (!start(ReplyTo{result_cb, word.get(), word})) return 0;
  for (int i = 0;; ++i) {
    const int code = word->code.load();
    if (code != 0)
      return std::find(spec.success.begin(), spec.success.end(), code) != spec.success.end();
    if (i == spec.polls) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace tavrin
