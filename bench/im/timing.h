// What the processes of bench_im_chat share: one block of memory mapped
// before the fork, in which the sending process writes the time each line
// left and the receiving process the time it arrived, one track for chat
// lines, one for the wire reference and one for the plain ping-pong. Nothing is printed, piped or
// woken while lines are in flight; the parent reads the tracks after a run. Each slot has one
// writer; a track's `arrived` is the only datum two processes write in the same run (the receiver
// adds, the sender reads).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <vector>

namespace bench::im {

inline long long now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Track {
  std::atomic<long> arrived{0};  // lines the receiver saw since the run began
  long capacity = 0;             // slots in each array
  long long* sent = nullptr;     // sent[i]: line i handed to the engine / socket
  long long* got = nullptr;      // got[i]: line i seen by the receiver

  void clear();  // zeroes both arrays and `arrived` (between runs)
  // got[i] - sent[i] in microseconds for the first n lines; false when a
  // line has no arrival (lost) or arrived before it was sent.
  bool latencies(long n, std::vector<double>& out_us) const;
};

struct Timing {
  Track chat, wire, ping;  // chat lines, the wire reference, the plain ping-pong
  // Maps the block for `lines` slots a track, shared with children forked later.
  static Timing* map_shared(long lines);
};

double percentile(std::vector<double> v, double q);

}  // namespace bench::im
