// Replaces the global operator new/delete of the test program (kept in its own
// file so that no caller sees both halves inlined).
#include "allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> g_largest{0};
}  // namespace

std::size_t largest_allocation() {
  return g_largest.load();
}
void reset_largest_allocation() {
  g_largest = 0;
}

void* operator new(std::size_t n) {
  std::size_t seen = g_largest.load();
  while (n > seen && !g_largest.compare_exchange_weak(seen, n)) {
  }
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  return operator new(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
