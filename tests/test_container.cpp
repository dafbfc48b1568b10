// The id container: block growth, the read cursor, reuse after RemoveAll,
// and every allocation failure leaving the contents as they were.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "BaseLib/CContainer.h"

namespace {

// Non-throwing array allocations made while armed, and the one (counted
// from 1) that is to fail; 0 fails none.
int g_nAllocs = 0;
int g_nFailAt = 0;
bool g_bArmed = false;

// Counts the allocations of the scope and fails the nFailAt-th of them.
class AllocWatch {
 public:
  explicit AllocWatch(int nFailAt = 0) {
    g_nAllocs = 0;
    g_nFailAt = nFailAt;
    g_bArmed = true;
  }
  ~AllocWatch() { g_bArmed = false; }
  int Count() const { return g_nAllocs; }
};

using Ids = BaseLib::CContainer<unsigned long>;

std::vector<unsigned long> ReadAll(Ids& c) {
  std::vector<unsigned long> v;
  unsigned long x = 0;
  if (c.SetPos(0) == 0) {
    return v;
  }
  while (c.GetNext(x) == 1) {
    v.push_back(x);
  }
  return v;
}

}  // namespace

void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  if (g_bArmed && ++g_nAllocs == g_nFailAt) {
    return nullptr;
  }
  try {
    return ::operator new[](n);
  } catch (...) {
    return nullptr;
  }
}

TEST(Container, ElementsAreThirtyTwoBits) {
  Ids c(4);
  static_assert(sizeof(*c.GetAt(0)) == 4);
  ASSERT_EQ(c.Add(0xFFFFFFFFul), 1);
  ASSERT_EQ(c.Add(7ul), 1);
  EXPECT_EQ(ReadAll(c), (std::vector<unsigned long>{0xFFFFFFFFul, 7ul}));
}

TEST(Container, NonPositiveBlockSizeMeansTen) {
  for (int nSize : {0, -5}) {
    Ids c(nSize);
    std::vector<std::uint32_t*> addr;
    for (unsigned long k = 0; k < 10; ++k) {
      ASSERT_EQ(c.Add(k), 1);
      addr.push_back(c.GetAt(static_cast<unsigned>(k)));
    }
    EXPECT_EQ(c.GetAt(10), nullptr) << nSize;
    {
      AllocWatch watch;
      ASSERT_EQ(c.Add(10ul), 1);
      EXPECT_EQ(watch.Count(), 1) << "the 11th element takes one new block";
    }
    ASSERT_NE(c.GetAt(10), nullptr);
    for (unsigned k = 0; k < 10; ++k) {
      EXPECT_EQ(c.GetAt(k), addr[k]);
      EXPECT_EQ(*addr[k], k);
    }
  }
}

TEST(Container, CursorReadsInOrderThenStops) {
  Ids c(3);
  unsigned long x = 99;
  EXPECT_EQ(c.SetPos(0), 0);
  EXPECT_EQ(c.GetNext(x), 0);
  EXPECT_EQ(x, 99ul);
  EXPECT_EQ(c.GetAt(0), nullptr);
  for (unsigned long v : {5ul, 6ul, 7ul, 8ul, 9ul}) {
    ASSERT_EQ(c.Add(v), 1);
  }
  EXPECT_EQ(ReadAll(c), (std::vector<unsigned long>{5, 6, 7, 8, 9}));
  EXPECT_EQ(c.GetNext(x), 0);
  EXPECT_EQ(c.SetPos(3), 1);
  ASSERT_EQ(c.GetNext(x), 1);
  EXPECT_EQ(x, 8ul);
  EXPECT_EQ(c.SetPos(5), 0);
  x = 99;
  EXPECT_EQ(c.GetNext(x), 0);
  EXPECT_EQ(x, 99ul);
  // The cursor does not follow Add: after a scan a new element is read next.
  ASSERT_EQ(c.Add(10ul), 1);
  ASSERT_EQ(c.GetNext(x), 1);
  EXPECT_EQ(x, 10ul);
}

TEST(Container, RemoveAllReusesBlocks) {
  Ids c(4);
  for (unsigned long v = 0; v < 9; ++v) {
    ASSERT_EQ(c.Add(v), 1);
  }
  std::uint32_t* pFirst = c.GetAt(0);
  c.RemoveAll();
  EXPECT_EQ(c.SetPos(0), 0);
  {
    AllocWatch watch;
    for (unsigned long v : {40ul, 41ul, 42ul, 43ul, 44ul}) {
      ASSERT_EQ(c.Add(v), 1);
    }
    EXPECT_EQ(watch.Count(), 0);
  }
  EXPECT_EQ(c.GetAt(0), pFirst);
  EXPECT_EQ(ReadAll(c), (std::vector<unsigned long>{40, 41, 42, 43, 44}));
}

TEST(Container, GrowsIndexWithoutMovingElements) {
  Ids c(1);
  std::vector<std::uint32_t*> addr;
  for (unsigned long v = 0; v < 200; ++v) {
    ASSERT_EQ(c.Add(v * 3), 1);
    addr.push_back(c.GetAt(static_cast<unsigned>(v)));
  }
  std::vector<unsigned long> all = ReadAll(c);
  ASSERT_EQ(all.size(), 200u);
  for (unsigned k = 0; k < 200; ++k) {
    EXPECT_EQ(all[k], k * 3ul);
    EXPECT_EQ(c.GetAt(k), addr[k]);
  }
}

TEST(Container, FailedAllocationKeepsContents) {
  {
    Ids c(2);
    AllocWatch watch(1);  // the index
    EXPECT_EQ(c.Add(1ul), 0);
    EXPECT_EQ(c.SetPos(0), 0);
    EXPECT_EQ(c.GetAt(0), nullptr);
  }
  {
    Ids c(2);
    {
      AllocWatch watch(2);  // the index is had, the block is not
      EXPECT_EQ(c.Add(1ul), 0);
    }
    EXPECT_EQ(c.GetAt(0), nullptr);
    AllocWatch watch;
    EXPECT_EQ(c.Add(1ul), 1);
    EXPECT_EQ(watch.Count(), 1) << "the grown index is kept";
  }
  {
    Ids c(2);
    ASSERT_EQ(c.Add(1ul), 1);
    ASSERT_EQ(c.Add(2ul), 1);
    {
      AllocWatch watch(1);
      EXPECT_EQ(c.Add(3ul), 0);
    }
    EXPECT_EQ(ReadAll(c), (std::vector<unsigned long>{1, 2}));
    EXPECT_EQ(c.Add(3ul), 1);
    EXPECT_EQ(ReadAll(c), (std::vector<unsigned long>{1, 2, 3}));
  }
}

TEST(Container, AllocBlocksKeepsBlocksBeforeAFailure) {
  Ids c(5);
  std::uint32_t* pFirst = nullptr;
  {
    AllocWatch watch(4);  // index, block 1, block 2, then block 3 fails
    pFirst = c.AllocBlocks(3);
    EXPECT_EQ(watch.Count(), 4);
  }
  ASSERT_NE(pFirst, nullptr);
  EXPECT_EQ(c.GetAt(0), pFirst);
  EXPECT_NE(c.GetAt(9), nullptr);
  EXPECT_EQ(c.GetAt(10), nullptr);
  EXPECT_EQ(c.AllocBlocks(0), nullptr);
  // Elements fill the blocks already there before another is needed.
  AllocWatch watch;
  for (unsigned long v = 0; v < 10; ++v) {
    ASSERT_EQ(c.Add(v), 1);
  }
  EXPECT_EQ(watch.Count(), 0);
}

TEST(Container, OversizedBlockCountsAsFailure) {
  Ids c(INT_MAX);  // INT_MAX 32-bit elements exceed a 32-bit byte size
  AllocWatch watch;
  EXPECT_EQ(c.Add(1ul), 0);
  EXPECT_EQ(watch.Count(), 1) << "only the index is requested";
  EXPECT_EQ(c.SetPos(0), 0);
}

TEST(Container, FreeAllReleasesEverything) {
  Ids c(2);
  for (unsigned long v = 0; v < 5; ++v) {
    ASSERT_EQ(c.Add(v), 1);
  }
  c.FreeAll();
  EXPECT_EQ(c.GetAt(0), nullptr);
  EXPECT_EQ(c.SetPos(0), 0);
  ASSERT_EQ(c.Add(8ul), 1);
  EXPECT_EQ(ReadAll(c), (std::vector<unsigned long>{8}));
}
