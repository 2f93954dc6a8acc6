// What benches that time two pieces of work in turns share: the calling
// thread's CPU clock (other processes' load does not count in it) and a
// percentile of the times or ratios collected.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tavrin::bench {

inline double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The value at fraction p (0 the least, 0.5 the median, 1 the most) of a
// non-empty sample, nearest rank.
inline double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::size_t(p * double(v.size() - 1) + 0.5)];
}

}  // namespace tavrin::bench
