// Heap accounting for benchmarks: every allocation carries its size in front
// of it, so a benchmark can read the most heap held at once since it started
// counting. Include in one source file of a benchmark program only: it
// replaces the global operator new and delete.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace bench {

inline std::atomic<int64_t> liveBytes{0};
inline std::atomic<int64_t> peakBytes{0};

// Starts a new peak from what is held now, and returns that.
inline int64_t StartHeapPeak() {
  const int64_t live = liveBytes.load();
  peakBytes = live;
  return live;
}

// The most heap held at once since StartHeapPeak.
inline int64_t HeapPeak() {
  return peakBytes.load();
}

namespace detail {

constexpr size_t kHeader = alignof(std::max_align_t);

inline void* Allocate(size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<size_t*>(block) = size;
  const int64_t live = liveBytes += static_cast<int64_t>(size);
  int64_t peak = peakBytes.load();
  while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
  }
  return block + kHeader;
}

inline void Release(void* pointer) {
  if (pointer == nullptr) return;
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  liveBytes -= static_cast<int64_t>(*reinterpret_cast<size_t*>(block));
  std::free(block);
}

}  // namespace detail
}  // namespace bench

void* operator new(size_t size) {
  return bench::detail::Allocate(size);
}
void* operator new[](size_t size) {
  return bench::detail::Allocate(size);
}
void operator delete(void* pointer) noexcept {
  bench::detail::Release(pointer);
}
void operator delete[](void* pointer) noexcept {
  bench::detail::Release(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
  bench::detail::Release(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
  bench::detail::Release(pointer);
}
