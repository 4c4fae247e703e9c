// Memory that runs out on cue: the global operator new fails (throws std::bad_alloc) from a
// chosen call on, as in a process whose memory is gone, until the test lets it succeed again.
// It replaces the global operator new and delete, so include it in one source file of a test
// binary only.
#pragma once

#include <cstdlib>
#include <new>

namespace test_support {

// Calls that still succeed before every later one fails; negative: none fails.
inline long allocationsLeft = -1;
// Calls made since the test last cleared it.
inline long allocationCalls = 0;

// While it lives, memory runs out after `succeeding` more allocations.
class MemoryRunsOutAfter {
 public:
  explicit MemoryRunsOutAfter(long succeeding) {
    allocationCalls = 0;
    allocationsLeft = succeeding;
  }
  ~MemoryRunsOutAfter() { allocationsLeft = -1; }
  MemoryRunsOutAfter(const MemoryRunsOutAfter&) = delete;
  MemoryRunsOutAfter& operator=(const MemoryRunsOutAfter&) = delete;
};

}  // namespace test_support

void* operator new(std::size_t size) {
  ++test_support::allocationCalls;
  if (test_support::allocationsLeft == 0) throw std::bad_alloc();
  if (test_support::allocationsLeft > 0) --test_support::allocationsLeft;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++test_support::allocationCalls;
  return test_support::allocationsLeft == 0 ? nullptr : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
