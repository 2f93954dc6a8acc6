// Test helper: the largest single operator new since the last reset, to show
// that a length announced by the peer is never allocated up front.
#ifndef TAVRIN_TESTS_CODEC_ALLOCATION_PROBE_H
#define TAVRIN_TESTS_CODEC_ALLOCATION_PROBE_H

#include <cstddef>

std::size_t largest_allocation();
void reset_largest_allocation();

#endif  // TAVRIN_TESTS_CODEC_ALLOCATION_PROBE_H
