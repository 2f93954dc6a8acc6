#include "im/result_wait.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tavrin::im {

namespace {

struct ResultWord {
  std::vector<int> finals;
  std::atomic<int> code{0};
};

void result_cb(int code, intptr_t p1, intptr_t, void* user) {
  auto* word = static_cast<ResultWord*>(user);
  if (passes_record(code)) fx_destroy_msg(reinterpret_cast<fx_msg*>(p1));
  if (std::find(word->finals.begin(), word->finals.end(), code) == word->finals.end()) return;
  int none = 0;
  word->code.compare_exchange_strong(none, code);
}

}  // namespace

int wait_for_result(const WaitSpec& spec, const std::function<int(const Reply&)>& start) {
  auto word = std::make_shared<ResultWord>();
  word->finals.assign(spec.finals.begin(), spec.finals.end());
  const Reply reply{result_cb, word.get(), word};
  if (!start(reply)) return 0;
  for (int i = 0; i <= spec.polls; ++i) {
    const int code = word->code.load();
    if (code != 0)
      return std::find(spec.success.begin(), spec.success.end(), code) != spec.success.end();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

}  // namespace tavrin::im
