// The program's allocation functions: as the standard ones, on malloc and
// free, and blocks of 8 MiB and more are backed by transparent huge pages.
// The large blocks of a generation are the row list's document (up to
// 139 MB) and its line index, allocated inside Scintilla where no per-buffer
// hint reaches; with huge pages a full 14-match generation takes about 12,000
// page faults instead of 151,000. Replacing the global operator new is the
// standard's own hook, and it covers every library of the process.
//
// Every form is replaced, each new with the delete that matches it, so that
// no block is ever freed by an allocator other than the one that made it (a
// sanitizer would rightly refuse the mix). Elsewhere than Linux the advice
// does nothing, and the standard functions stay.
#if defined(__linux__)

#include <cstdlib>
#include <new>

#include "io/huge_pages.h"

namespace {

constexpr std::size_t kLargeBlock = std::size_t{8} << 20;

// malloc, or with an alignment above malloc's own, posix_memalign; both are
// given back with free.
void* TryAllocate(std::size_t bytes, std::size_t alignment) {
  if (bytes == 0) bytes = 1;
  void* memory = nullptr;
  if (alignment <= __STDCPP_DEFAULT_NEW_ALIGNMENT__) {
    memory = std::malloc(bytes);
  } else if (::posix_memalign(&memory, alignment, bytes) != 0) {
    memory = nullptr;
  }
  if (memory != nullptr && bytes >= kLargeBlock) spelkub::AdviseHugePages(memory, bytes);
  return memory;
}

// As operator new: the new handler is called until it frees memory or gives up.
void* Allocate(std::size_t bytes, std::size_t alignment) {
  for (;;) {
    if (void* memory = TryAllocate(bytes, alignment)) return memory;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* AllocateOrNull(std::size_t bytes, std::size_t alignment) noexcept {
  try {
    return Allocate(bytes, alignment);
  } catch (...) {
    return nullptr;
  }
}

constexpr std::size_t kDefault = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

std::size_t Alignment(std::align_val_t alignment) {
  return static_cast<std::size_t>(alignment);
}

}  // namespace

void* operator new(std::size_t bytes) {
  return Allocate(bytes, kDefault);
}
void* operator new[](std::size_t bytes) {
  return Allocate(bytes, kDefault);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return AllocateOrNull(bytes, kDefault);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return AllocateOrNull(bytes, kDefault);
}
void* operator new(std::size_t bytes, std::align_val_t alignment) {
  return Allocate(bytes, Alignment(alignment));
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
  return Allocate(bytes, Alignment(alignment));
}
void* operator new(std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateOrNull(bytes, Alignment(alignment));
}
void* operator new[](std::size_t bytes, std::align_val_t alignment,
                     const std::nothrow_t&) noexcept {
  return AllocateOrNull(bytes, Alignment(alignment));
}

void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
  std::free(memory);
}

#endif  // __linux__
