// The program's allocation functions, every form of new with its own delete:
// blocks come back usable, aligned as asked, and go back to the allocator
// that made them (an AddressSanitizer build refuses any mismatch).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

bool AlignedTo(const void* memory, size_t alignment) {
  return reinterpret_cast<uintptr_t>(memory) % alignment == 0;
}

struct alignas(64) CacheLine {
  unsigned char bytes[64];
};

struct alignas(4096) Page {
  unsigned char bytes[4096];
};

TEST(LargeAllocations, EveryFormOfNewGoesBackThroughItsOwnDelete) {
  for (const size_t bytes : {size_t{0}, size_t{1}, size_t{100}, size_t{9} << 20}) {
    SCOPED_TRACE(bytes);
    void* single = ::operator new(bytes);
    std::memset(single, 1, bytes);
    ::operator delete(single);
    void* sized = ::operator new(bytes);
    ::operator delete(sized, bytes);
    void* array = ::operator new[](bytes);
    std::memset(array, 2, bytes);
    ::operator delete[](array);
    void* sizedArray = ::operator new[](bytes);
    ::operator delete[](sizedArray, bytes);
    void* quiet = ::operator new(bytes, std::nothrow);
    ASSERT_NE(quiet, nullptr);
    ::operator delete(quiet, std::nothrow);
    void* quietArray = ::operator new[](bytes, std::nothrow);
    ASSERT_NE(quietArray, nullptr);
    ::operator delete[](quietArray, std::nothrow);
  }
}

TEST(LargeAllocations, AlignedFormsGiveTheAlignmentAsked) {
  for (const size_t alignment : {size_t{32}, size_t{64}, size_t{4096}, size_t{2} << 20}) {
    SCOPED_TRACE(alignment);
    const auto align = static_cast<std::align_val_t>(alignment);
    for (const size_t bytes : {size_t{1}, size_t{5000}, size_t{9} << 20}) {
      void* single = ::operator new(bytes, align);
      EXPECT_TRUE(AlignedTo(single, alignment));
      std::memset(single, 3, bytes);
      ::operator delete(single, align);
      void* sized = ::operator new(bytes, align);
      ::operator delete(sized, bytes, align);
      void* array = ::operator new[](bytes, align);
      EXPECT_TRUE(AlignedTo(array, alignment));
      ::operator delete[](array, align);
      void* sizedArray = ::operator new[](bytes, align);
      ::operator delete[](sizedArray, bytes, align);
      void* quiet = ::operator new(bytes, align, std::nothrow);
      ASSERT_NE(quiet, nullptr);
      EXPECT_TRUE(AlignedTo(quiet, alignment));
      ::operator delete(quiet, align, std::nothrow);
      void* quietArray = ::operator new[](bytes, align, std::nothrow);
      ASSERT_NE(quietArray, nullptr);
      ::operator delete[](quietArray, align, std::nothrow);
    }
  }
}

// The forms the compiler picks itself for new and delete expressions.
TEST(LargeAllocations, NewAndDeleteExpressionsMatch) {
  auto line = std::make_unique<CacheLine>();
  EXPECT_TRUE(AlignedTo(line.get(), 64));
  auto pages = std::make_unique<Page[]>(3);
  EXPECT_TRUE(AlignedTo(pages.get(), 4096));
  std::vector<std::string> texts(1000, std::string(100, 'x'));
  std::vector<char> large(size_t{16} << 20, 'r');
  EXPECT_EQ(large[large.size() - 1], 'r');
  EXPECT_EQ(texts[999].size(), 100u);
}

}  // namespace
