// Ids of the demo world, and a recorder of the engine's messages that
// copies what it needs of every message at once and frees the sent-message
// records that a final result hands over, so that the sanitizer runs see
// exactly the ownership the interface promises.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "libtavrin.h"
#include "message_words.h"

namespace tavrin::test {

inline constexpr long kAlice = 100000001;
inline constexpr long kBob = 100000002;
inline constexpr long kMallory = 100000007;
inline constexpr long kFans = 123456;  // group chat of Alice, Bob, Carol and Echo

struct Seen {
  int code = 0;
  intptr_t p1 = 0;
  long p2 = 0;
  std::string text;  // the line (16, 17) or the record's text (send results)
};

class ImRecorder {
 public:
  static void callback(int code, intptr_t p1, intptr_t p2, void* user) {
    auto* self = static_cast<ImRecorder*>(user);
    Seen s{code, p1, long(p2), {}};
    if ((code == FX_MSG_CHAT_MESSAGE || code == FX_MSG_CHAT_MESSAGE_SO) && p1)
      s.text = reinterpret_cast<const char*>(p1);
    if (carries_record(code) && p1) {
      auto* m = reinterpret_cast<fx_msg*>(p1);
      s.text = m->text ? m->text : "";
      if (hands_over_record(code)) fx_destroy_msg(m);
    }
    std::lock_guard lock(self->mu_);
    self->seen_.push_back(s);
    self->cv_.notify_all();
  }
  static bool carries_record(int code) {
    switch (code) {
      case 32:
      case 33:
      case 34:
      case 36:
      case 52:
      case 53:
      case 54:
      case 148:
      case 149:
      case 150:
      case 151:
      case 152:
      case 153:
      case 154:
        return true;
      default:
        return false;
    }
  }
  // The n-th message with the code (and p2 unless -1).
  bool wait_for(int code, long p2 = -1, Seen* out = nullptr, size_t nth = 1,
                std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, limit, [&] {
      size_t n = 0;
      for (const auto& s : seen_)
        if (s.code == code && (p2 == -1 || s.p2 == p2) && ++n == nth) {
          if (out) *out = s;
          return true;
        }
      return false;
    });
  }
  // The texts of every message with the code, in arrival order.
  std::vector<std::string> texts(int code) {
    std::lock_guard lock(mu_);
    std::vector<std::string> out;
    for (const auto& s : seen_)
      if (s.code == code) out.push_back(s.text);
    return out;
  }
  size_t count(int code, long p2 = -1) {
    std::lock_guard lock(mu_);
    size_t n = 0;
    for (const auto& s : seen_)
      if (s.code == code && (p2 == -1 || s.p2 == p2)) ++n;
    return n;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Seen> seen_;
};

}  // namespace tavrin::test
