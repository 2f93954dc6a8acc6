#include "timing.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace bench::im {

static_assert(std::atomic<long>::is_always_lock_free, "shared between processes");

Timing* Timing::map_shared(long lines) {
  const size_t bytes = sizeof(Timing) + 6 * size_t(lines) * sizeof(long long);
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  auto* t = new (block) Timing;
  auto* slots = reinterpret_cast<long long*>(static_cast<char*>(block) + sizeof(Timing));
  for (Track* track : {&t->chat, &t->wire, &t->ping}) {
    track->capacity = lines;
    track->sent = slots;
    track->got = slots + lines;
    slots += 2 * lines;
  }
  return t;  // lives until the process ends
}

void Track::clear() {
  std::memset(sent, 0, size_t(capacity) * sizeof(long long));
  std::memset(got, 0, size_t(capacity) * sizeof(long long));
  arrived = 0;
}

bool Track::latencies(long n, std::vector<double>& out_us) const {
  out_us.clear();
  out_us.reserve(size_t(n));
  for (long i = 0; i < n && i < capacity; ++i) {
    if (sent[i] == 0 || got[i] < sent[i]) return false;
    out_us.push_back(double(got[i] - sent[i]) / 1000.0);
  }
  return long(out_us.size()) == n;
}

double percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

}  // namespace bench::im
