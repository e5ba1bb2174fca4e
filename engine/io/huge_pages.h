// A hint for large buffers about to be filled: back them with transparent huge
// pages, one page fault per 2 MiB instead of one per 4 KiB. Only a hint: the
// kernel may ignore it, and elsewhere than Linux it does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace spelkub {

inline void AdviseHugePages(void* data, size_t bytes) {
#if defined(__linux__)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  // Only whole huge pages inside the buffer; the rest stays as it is.
  const auto start = reinterpret_cast<uintptr_t>(data);
  const uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  // The aligned start as a pointer into the buffer, not made from the number.
  if (end > begin)
    ::madvise(static_cast<char*>(data) + (begin - start), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace spelkub
