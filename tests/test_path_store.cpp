// The path store: edge records and the private heap, building a path edge by
// edge, copying, clearing, and walking the edges with the cursor.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "CPath/EdgeHeap.h"
#include "CPath/PathInternal.h"
#include "interfaces/VroGeo.h"

namespace {

// Opens the protected members to the tests.
class TestPath : public CPath {
 public:
  using CPath::CopyNavEdge;
  using CPath::DeleteNavEdge;
  using CPath::NavEdge;
  using CPath::NewNavEdge;

  NavEdge* Head() const { return pHead; }
  NavEdge* Tail() const { return pTail; }
  NavEdge* Cursor() const { return pCursor; }
  void* Heap() const { return hHeap; }
  VRO_READER* Reader() const { return hReader; }
  double MatchDist() const { return dMatchDist; }
  double AheadDist() const { return dAheadDist; }
  void SetDists(double dMatch, double dAhead) {
    dMatchDist = dMatch;
    dAheadDist = dAhead;
  }
  std::size_t Count() const {
    std::size_t n = 0;
    for (const NavEdge* p = pHead; p != nullptr; p = p->pNext) ++n;
    return n;
  }
};

// Counts the calls of its own Clear, which must run from BeginAddEdge.
class CountingPath : public CPath {
 public:
  int nClears = 0;
  void Clear() override {
    ++nClears;
    CPath::Clear();
  }
};

constexpr VRO_FEATURE_ID kNullId = {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0u}};
constexpr VRO_FEATURE_ID kId1 = {{1, 2, 3, 4}};
constexpr VRO_FEATURE_ID kId2 = {{5, 6, 7, 8}};

const tagLonLat kTwo[2] = {{13.40, 52.50}, {13.41, 52.51}};

bool SameId(const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Checks the links of a path both ways and returns the edges in order.
std::vector<const CPath::NavEdge*> CheckedEdges(const TestPath& path) {
  std::vector<const CPath::NavEdge*> v;
  const CPath::NavEdge* pPrev = nullptr;
  for (const CPath::NavEdge* p = path.Head(); p != nullptr; p = p->pNext) {
    EXPECT_EQ(p->pPrev, pPrev);
    v.push_back(p);
    pPrev = p;
  }
  EXPECT_EQ(path.Tail(), pPrev);
  return v;
}

// Adds n edges named E0, E1, ... with 2 + i points each.
void Build(CPath& path, int n) {
  for (int i = 0; i < n; ++i) {
    std::vector<tagLonLat> pts;
    for (int k = 0; k < 2 + i; ++k) pts.push_back({13.0 + 0.001 * (i + k), 52.0 + 0.0005 * k});
    char szName[16];
    char szRoadCode[16];
    std::snprintf(szName, sizeof szName, "E%d", i);
    std::snprintf(szRoadCode, sizeof szRoadCode, "R%d", 10 + i);
    ASSERT_EQ(path.AddEdge("R000", szRoadCode, szName, "7", static_cast<unsigned short>(pts.size()),
                           pts.data(), VRO_FEATURE_ID{{static_cast<std::uint32_t>(i), 0, 0, 9}},
                           100.0 + i),
              1);
  }
}

// ---- Edge records and the private heap ----

TEST(EdgeMemory, ZeroPointsGiveNullAndNoHeap) {
  TestPath path;
  EXPECT_EQ(path.NewNavEdge(0), nullptr);
  EXPECT_EQ(path.NewNavEdge(0, 5), nullptr);
  EXPECT_EQ(path.Heap(), nullptr);
}

TEST(EdgeMemory, NewEdgeHasRoomForPointsAndName) {
  TestPath path;
  TestPath::NavEdge* pBare = path.NewNavEdge(3);
  ASSERT_NE(pBare, nullptr);
  EXPECT_NE(path.Heap(), nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pBare) % alignof(TestPath::NavEdge), 0u);
  // Writing every point must stay inside the block (ASan checks).
  for (int i = 0; i < 3; ++i) pBare->pts[i] = {1.0 * i, 2.0 * i};
  EXPECT_EQ(pBare->pts[2].lat, 4.0);

  TestPath::NavEdge* pNoName = path.NewNavEdge(4, 0);
  ASSERT_NE(pNoName, nullptr);
  EXPECT_EQ(pNoName->szName, nullptr);
  EXPECT_EQ(pNoName->dReserved1, 0.0);
  EXPECT_EQ(pNoName->dReserved2, 0.0);

  TestPath::NavEdge* pNamed = path.NewNavEdge(2, 5);
  ASSERT_NE(pNamed, nullptr);
  EXPECT_EQ(pNamed->szName, reinterpret_cast<char*>(pNamed->pts + 2));
  EXPECT_EQ(pNamed->dReserved1, 0.0);
  EXPECT_EQ(pNamed->dReserved2, 0.0);
  pNamed->pts[1] = {9.0, 9.0};
  std::memcpy(pNamed->szName, "Brook", 6);
  EXPECT_STREQ(pNamed->szName, "Brook");
  EXPECT_EQ(pNamed->pts[1].lon, 9.0);

  path.DeleteNavEdge(pBare);
  path.DeleteNavEdge(nullptr);
  // The two remaining blocks are in no list: Clear releases them with the heap
  // (a leak would show under the sanitizer build).
  path.Clear();
  EXPECT_EQ(path.Heap(), nullptr);
}

TEST(EdgeMemory, ClearDestroysTheHeapAndTheNextAllocationMakesANewOne) {
  TestPath path;
  ASSERT_EQ(path.AddEdge("R000", "R1", "A", nullptr, 2, kTwo), 1);
  EXPECT_NE(path.Heap(), nullptr);
  path.Clear();
  EXPECT_EQ(path.Heap(), nullptr);
  EXPECT_EQ(path.Head(), nullptr);
  EXPECT_EQ(path.Tail(), nullptr);
  ASSERT_NE(path.NewNavEdge(2, 0), nullptr);
  EXPECT_NE(path.Heap(), nullptr);
  path.Clear();
  path.Clear();  // twice in a row is harmless
  EXPECT_EQ(path.Heap(), nullptr);
}

TEST(EdgeMemory, CopyOfAnEdgeOwnsItsNameAndKeepsItsFields) {
  TestPath src;
  ASSERT_EQ(src.AddEdge("R00+", "R12", "High Street", "40", 2, kTwo, kId1, 55.5), 1);
  ASSERT_EQ(src.AddEdge("R000", "R13", "", nullptr, 2, kTwo, kId2, 20.0), 1);
  TestPath dst;
  EXPECT_EQ(dst.CopyNavEdge(nullptr), nullptr);
  EXPECT_EQ(dst.Heap(), nullptr);

  TestPath::NavEdge* pNamed = dst.CopyNavEdge(src.Head());
  TestPath::NavEdge* pUnnamed = dst.CopyNavEdge(src.Tail());
  ASSERT_NE(pNamed, nullptr);
  ASSERT_NE(pUnnamed, nullptr);
  EXPECT_NE(dst.Heap(), nullptr);
  // The links are kept as they were; the copy is in no list.
  EXPECT_EQ(pNamed->pNext, src.Tail());
  EXPECT_EQ(pUnnamed->pPrev, src.Head());
  EXPECT_EQ(dst.Head(), nullptr);
  EXPECT_EQ(pUnnamed->szName, nullptr);
  ASSERT_NE(pNamed->szName, nullptr);
  EXPECT_NE(pNamed->szName, src.Head()->szName);
  EXPECT_EQ(pNamed->szName, reinterpret_cast<char*>(pNamed->pts + 2));

  // Nothing of the copy may refer to the source's memory.
  src.Clear();
  EXPECT_STREQ(pNamed->szName, "High Street");
  EXPECT_TRUE(SameId(pNamed->id, kId1));
  EXPECT_EQ(pNamed->bTwoWay, 0);
  EXPECT_EQ(pNamed->nCode, 12);
  EXPECT_EQ(pNamed->nRoadAttr, 40);
  EXPECT_EQ(pNamed->dEdgeLen, 55.5);
  EXPECT_EQ(pNamed->wPtNum, 2);
  EXPECT_EQ(pNamed->pts[1].lon, kTwo[1].lon);
  EXPECT_EQ(pNamed->dMaxLat, kTwo[1].lat);
  EXPECT_TRUE(SameId(pUnnamed->id, kId2));
  EXPECT_EQ(pUnnamed->dEdgeLen, 20.0);
  dst.DeleteNavEdge(pNamed);
  dst.DeleteNavEdge(pUnnamed);
}

// The heap traffic of a long drive: routes of a few hundred to a few
// thousand edges, edges appended at the back and released from the front (a
// reroute keeps the part ahead), now and then one from the middle; sizes of
// every class, the class limits, and blocks too large for a chunk. Every block
// keeps its bytes and is aligned for any object, and the heap never holds
// more than twice the most its blocks ever needed at once, plus a few chunks:
// freed blocks are reused, so the heap does not grow with the drive's length.
TEST(EdgeMemory, HeapBlocksKeepTheirBytesAndTheHeapDoesNotGrowWithTheDrive) {
  constexpr std::size_t kChunk = vx::kEdgeHeapChunkBytes;
  constexpr std::size_t kMax = vx::kEdgeHeapChunkBlockMax;
  struct Block {
    unsigned char* p;
    std::size_t n;
    unsigned char tag;
  };
  std::mt19937_64 rng(11);
  const std::size_t aEdges[] = {16, 1024, 1025, kMax, kMax + 1};
  auto pickSize = [&]() -> std::size_t {
    const unsigned nKind = rng() % 100;
    if (nKind < 80) return 48 + rng() % 1200;  // 2 to 70 points
    if (nKind < 94) return 1024 + rng() % (15 * 1024);
    if (nKind < 97) return aEdges[rng() % 5];
    return kMax + rng() % (96 * 1024);
  };
  auto intact = [](const Block& b) {
    for (std::size_t i = 0; i < b.n; ++i) {
      if (b.p[i] != static_cast<unsigned char>(b.tag + i)) return false;
    }
    return true;
  };
  void* hHeap = vx::EdgeHeapCreate();
  ASSERT_NE(hHeap, nullptr);
  std::deque<Block> live;
  std::size_t nSmallBytes = 0;
  std::size_t nPeakBytes = 0;
  double dWorst = 0.0;
  for (int nStep = 0; nStep < 300000; ++nStep) {
    const std::size_t nWindow = (nStep / 30000) % 2 == 0 ? 300 : 3000;
    if (live.size() < nWindow || rng() % 3 == 0) {
      Block b{nullptr, pickSize(), static_cast<unsigned char>(rng())};
      b.p = static_cast<unsigned char*>(vx::EdgeHeapAlloc(hHeap, b.n));
      ASSERT_NE(b.p, nullptr);
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(b.p) % alignof(std::max_align_t), 0u);
      for (std::size_t i = 0; i < b.n; ++i) b.p[i] = static_cast<unsigned char>(b.tag + i);
      nSmallBytes += b.n <= kMax ? b.n : 0;
      nPeakBytes = std::max(nPeakBytes, nSmallBytes);
      live.push_back(b);
      continue;
    }
    const std::size_t k = rng() % 8 == 0 ? rng() % live.size() : 0;
    ASSERT_TRUE(intact(live[k])) << "block of " << live[k].n << " bytes overwritten";
    nSmallBytes -= live[k].n <= kMax ? live[k].n : 0;
    vx::EdgeHeapFree(hHeap, live[k].p);
    live.erase(live.begin() + static_cast<std::ptrdiff_t>(k));
    if (nStep % 1000 == 0) {
      const double dHeld = static_cast<double>(vx::EdgeHeapChunks(hHeap) * kChunk);
      dWorst = std::max(dWorst, dHeld / static_cast<double>(nPeakBytes + 4 * kChunk));
    }
  }
  EXPECT_LT(dWorst, 2.0);
  for (const Block& b : live) {
    ASSERT_TRUE(intact(b));
    vx::EdgeHeapFree(hHeap, b.p);
  }
  // Empty again: at most the chunk being cut stays.
  EXPECT_LE(vx::EdgeHeapChunks(hHeap), 1u);
  vx::EdgeHeapDestroy(hHeap);
  EXPECT_LE(vx::EdgeHeapReservedChunks(), 32u);
}

// A cleared path's chunks wait for the next one, so a route rebuilt after
// Clear (a reroute) reuses memory already mapped instead of faulting it in.
TEST(EdgeMemory, ChunksOfAClearedPathServeTheNextBuild) {
  std::vector<tagLonLat> pts(60, tagLonLat{13.4, 52.5});
  TestPath path;
  auto build = [&] {
    for (int i = 0; i < 2000; ++i) {
      ASSERT_EQ(path.AddEdge("R000", "R1", "Road", nullptr, 60, pts.data(), kId1, 1.0), 1);
    }
  };
  build();
  const std::size_t nChunks = vx::EdgeHeapChunks(path.Heap());
  ASSERT_GT(nChunks, 4u);
  path.Clear();
  const std::size_t nReserved = vx::EdgeHeapReservedChunks();
  EXPECT_GE(nReserved, nChunks);
  build();
  EXPECT_EQ(vx::EdgeHeapReservedChunks(), nReserved - nChunks);
}

#if defined(__SANITIZE_ADDRESS__)
// Blocks share chunks, yet the sanitizer still sees every block on its own.
TEST(EdgeMemoryDeathTest, OverrunAndUseAfterFreeAreReported) {
  TestPath path;
  TestPath::NavEdge* pEdge = path.NewNavEdge(2, 4);
  ASSERT_NE(pEdge, nullptr);
  volatile char* pName = pEdge->szName;
  EXPECT_DEATH(pName[5] = 'x', "AddressSanitizer");
  path.DeleteNavEdge(pEdge);
  EXPECT_DEATH(static_cast<void>(*pName), "AddressSanitizer");
}
#endif

// ---- Building with AddEdge ----

TEST(AddEdge, FillsTheRecord) {
  TestPath path;
  const tagLonLat pts[2] = {{1, 2}, {3, -4}};
  ASSERT_EQ(path.AddEdge("R000", "R7", "Elm", "50", 2, pts, kId1, 12.5), 1);
  const TestPath::NavEdge* e = path.Head();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(path.Tail(), e);
  EXPECT_EQ(e->pPrev, nullptr);
  EXPECT_EQ(e->pNext, nullptr);
  EXPECT_EQ(e->nCode, 7);
  EXPECT_EQ(e->nRoadAttr, 50);
  EXPECT_EQ(e->bTwoWay, 1);
  EXPECT_EQ(e->dEdgeLen, 12.5);
  EXPECT_EQ(e->dReserved1, 0.0);
  EXPECT_EQ(e->dReserved2, 0.0);
  EXPECT_TRUE(SameId(e->id, kId1));
  EXPECT_EQ(e->dMinLon, 1);
  EXPECT_EQ(e->dMinLat, -4);
  EXPECT_EQ(e->dMaxLon, 3);
  EXPECT_EQ(e->dMaxLat, 2);
  // The name lies right behind the last point, in the same block.
  EXPECT_EQ(e->szName, reinterpret_cast<const char*>(e->pts + 2));
  EXPECT_STREQ(e->szName, "Elm");
}

TEST(AddEdge, CopiesThePointsAndKeepsTheCursor) {
  TestPath path;
  tagLonLat pts[3] = {{5, 5}, {6, 7}, {4, 6}};
  ASSERT_EQ(path.AddEdge("R000", "R1", "A", nullptr, 3, pts), 1);
  ASSERT_EQ(path.StartEdge(), 1);
  const TestPath::NavEdge* pCursor = path.Cursor();
  pts[1] = {0, 0};
  ASSERT_EQ(path.AddEdge("R000", "R2", "B", nullptr, 3, pts), 1);
  EXPECT_EQ(path.Cursor(), pCursor);
  EXPECT_EQ(path.Head()->pts[1].lon, 6);
  EXPECT_EQ(path.Head()->pts[1].lat, 7);
  EXPECT_EQ(path.Head()->dMinLon, 4);
  EXPECT_EQ(path.Head()->dMaxLat, 7);
  EXPECT_EQ(path.Tail()->pts[1].lon, 0);
}

TEST(AddEdge, RefusesTooFewPointsOrNullTextsWithoutAllocating) {
  TestPath path;
  const tagLonLat one[1] = {{1, 1}};
  EXPECT_EQ(path.AddEdge("R000", "R1", "A", "1", 1, one), 0);
  EXPECT_EQ(path.AddEdge("R000", "R1", "A", "1", 2, nullptr), 0);
  EXPECT_EQ(path.AddEdge("R000", "R1", "A", "1", 1, one, kId1), 0);
  EXPECT_EQ(path.AddEdge("R000", "R1", "A", "1", 2, nullptr, kId1), 0);
  EXPECT_EQ(path.AddEdge("R000", "R1", "A", "1", 1, one, kId1, 5.0), 0);
  EXPECT_EQ(path.AddEdge("R000", "R1", "A", "1", 0, one, 5.0), 0);
  EXPECT_EQ(path.AddEdge("R000", "R1", "A", "1", 2, nullptr, 5.0), 0);
  EXPECT_EQ(path.AddEdge(nullptr, "R1", "A", "1", 2, kTwo), 0);
  EXPECT_EQ(path.AddEdge("R000", nullptr, "A", "1", 2, kTwo), 0);
  EXPECT_EQ(path.AddEdge("R000", "R1", nullptr, "1", 2, kTwo), 0);
  EXPECT_EQ(path.Heap(), nullptr);
  EXPECT_EQ(path.Head(), nullptr);
  EXPECT_EQ(path.Tail(), nullptr);
}

TEST(AddEdge, RoadCodeText) {
  struct Case {
    const char* szStr1;
    int bAdded;
    short nCode;
  };
  const Case cases[] = {
      {"R7", 1, 7},          {"R 12", 1, 12}, {"R-3", 1, -3},   {"R+4", 1, 4},
      {"R7abc", 1, 7},       {"R007", 1, 7},  {"R65543", 1, 7}, {"R-1", 1, -1},
      {"R32768", 1, -32768}, {"r7", 0, 0},    {"R", 0, 0},      {"Rx1", 0, 0},
      {"R-", 0, 0},          {"", 0, 0},      {" R7", 0, 0},    {"R+-1", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szStr1);
    TestPath path;
    ASSERT_EQ(path.AddEdge("R000", c.szStr1, "A", nullptr, 2, kTwo), c.bAdded);
    if (c.bAdded) {
      EXPECT_EQ(path.Head()->nCode, c.nCode);
    } else {
      EXPECT_EQ(path.Head(), nullptr);
      EXPECT_EQ(path.Heap(), nullptr);
    }
  }
}

TEST(AddEdge, RoadAttributeNeverRefusesTheEdge) {
  const char* texts[] = {nullptr, "", "abc", "-", " 50", "-7x", "70000"};
  const short values[] = {0, 0, 0, 0, 50, -7, static_cast<short>(70000 - 65536)};
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    SCOPED_TRACE(i);
    TestPath path;
    ASSERT_EQ(path.AddEdge("R000", "R1", "A", texts[i], 2, kTwo), 1);
    EXPECT_EQ(path.Head()->nRoadAttr, values[i]);
  }
}

TEST(AddEdge, NumbersBeyondIntSaturate) {
  // Out of the range of int the number is taken as INT_MAX or INT_MIN by its
  // sign, and its low 16 bits are stored.
  TestPath path;
  ASSERT_EQ(path.AddEdge("R000", "R99999999999999999999", "A", "-99999999999999999999", 2, kTwo),
            1);
  EXPECT_EQ(path.Head()->nCode, static_cast<short>(INT_MAX & 0xFFFF));
  EXPECT_EQ(path.Head()->nRoadAttr, static_cast<short>(INT_MIN & 0xFFFF));
  ASSERT_EQ(path.AddEdge("R000", "R2147483648", "A", "2147483647", 2, kTwo), 1);
  EXPECT_EQ(path.Tail()->nCode, -1);
  EXPECT_EQ(path.Tail()->nRoadAttr, -1);
}

TEST(AddEdge, OneWaySign) {
  struct Case {
    const char* szCode;
    int bTwoWay;
  };
  const Case cases[] = {{"R00+", 0}, {"R00-", 0}, {"abc+x", 0}, {"R000", 1},
                        {"abc", 1},  {"abc*", 1}, {"", 1},      {"ab+", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szCode);
    TestPath path;
    ASSERT_EQ(path.AddEdge(c.szCode, "R1", "A", nullptr, 2, kTwo), 1);
    EXPECT_EQ(path.Head()->bTwoWay, c.bTwoWay);
  }
}

TEST(AddEdge, ShortCodeIsNotReadPastItsEnd) {
  // Buffers without slack: reading past the NUL shows under the sanitizer build.
  for (const char* text : {"", "a", "ab"}) {
    const std::size_t n = std::strlen(text) + 1;
    const std::unique_ptr<char[]> szCode(new char[n]);
    std::memcpy(szCode.get(), text, n);
    TestPath path;
    ASSERT_EQ(path.AddEdge(szCode.get(), "R1", "A", nullptr, 2, kTwo), 1);
    EXPECT_EQ(path.Head()->bTwoWay, 1);
  }
}

TEST(AddEdge, EmptyNameIsStoredAsNull) {
  TestPath path;
  ASSERT_EQ(path.AddEdge("R000", "R1", "", nullptr, 2, kTwo), 1);
  EXPECT_EQ(path.Head()->szName, nullptr);
}

TEST(AddEdge, LongestNameIsStoredWholeAndLongerIsRefused) {
  const std::string longest(65535, 'n');
  const std::string tooLong(65536, 'n');
  TestPath path;
  ASSERT_EQ(path.AddEdge("R000", "R1", longest.c_str(), nullptr, 2, kTwo), 1);
  EXPECT_EQ(std::strlen(path.Head()->szName), 65535u);
  EXPECT_EQ(path.AddEdge("R000", "R1", tooLong.c_str(), nullptr, 2, kTwo), 0);
  EXPECT_EQ(path.Count(), 1u);
  // A name that would wrap the 16-bit length to a small number.
  const std::string wraps(65536 + 3, 'w');
  EXPECT_EQ(path.AddEdge("R000", "R1", wraps.c_str(), nullptr, 2, kTwo), 0);
  EXPECT_EQ(path.Count(), 1u);
}

TEST(AddEdge, OverloadsStoreTheNullIdAndTheLineLength) {
  const tagLonLat pts[3] = {{13.40, 52.50}, {13.41, 52.50}, {13.41, 52.51}};
  const double dLine = LineLength(3, pts);
  ASSERT_GT(dLine, 1000.0);
  TestPath path;
  ASSERT_EQ(path.AddEdge("R000", "R1", "A", nullptr, 3, pts), 1);
  ASSERT_EQ(path.AddEdge("R000", "R1", "A", nullptr, 3, pts, kId1), 1);
  ASSERT_EQ(path.AddEdge("R000", "R1", "A", nullptr, 3, pts, kId2, 42.0), 1);
  ASSERT_EQ(path.AddEdge("R000", "R1", "A", nullptr, 3, pts, 43.0), 1);
  const auto edges = CheckedEdges(path);
  ASSERT_EQ(edges.size(), 4u);
  EXPECT_TRUE(SameId(edges[0]->id, kNullId));
  EXPECT_EQ(edges[0]->dEdgeLen, dLine);
  EXPECT_TRUE(SameId(edges[1]->id, kId1));
  EXPECT_EQ(edges[1]->dEdgeLen, dLine);
  EXPECT_TRUE(SameId(edges[2]->id, kId2));
  EXPECT_EQ(edges[2]->dEdgeLen, 42.0);
  EXPECT_TRUE(SameId(edges[3]->id, kNullId));
  EXPECT_EQ(edges[3]->dEdgeLen, 43.0);
}

TEST(AddEdge, AppendsInOrderWithLinksBothWays) {
  TestPath path;
  Build(path, 3);
  const auto edges = CheckedEdges(path);
  ASSERT_EQ(edges.size(), 3u);
  EXPECT_STREQ(edges[0]->szName, "E0");
  EXPECT_STREQ(edges[1]->szName, "E1");
  EXPECT_STREQ(edges[2]->szName, "E2");
  EXPECT_EQ(edges[1]->pPrev, edges[0]);
  EXPECT_EQ(edges[1]->pNext, edges[2]);
  EXPECT_EQ(edges[0]->pPrev, nullptr);
  EXPECT_EQ(edges[2]->pNext, nullptr);
  EXPECT_EQ(edges[2]->wPtNum, 4);
}

// The number reader gives what sscanf "%d" gives for every text whose number
// fits an int.
TEST(ReadDecimalInt, AgreesWithScanfInRange) {
  std::mt19937 rng(12345);
  const char spaces[] = " \t\n\v\f\r";
  const char tails[] = "x+-. za";  // no digit: the number stays in range
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  std::vector<std::string> texts = {
      "",        "-",   "+",   " ",   "x1",         "--1",         "+-1",
      "- 1",     "0",   "-0",  "+0",  "2147483647", "-2147483648", "00000000000000000012",
      "\t\n 77", "3.9", "1e5", "0x1F"};
  for (int i = 0; i < 20000; ++i) {
    std::string s;
    for (int k = pick(3); k > 0; --k) s += spaces[pick(6)];
    const int sign = pick(3);
    if (sign == 1) s += '-';
    if (sign == 2) s += '+';
    for (int k = pick(3); k > 0; --k) s += '0';
    const long long v = std::uniform_int_distribution<long long>(0, INT_MAX)(rng) >> pick(31);
    if (pick(20) != 0) s += std::to_string(v);
    for (int k = pick(3); k > 0; --k) s += tails[pick(7)];
    texts.push_back(s);
  }
  for (const std::string& s : texts) {
    SCOPED_TRACE(s);
    int nScanf = -12345;
    const int nScanned = std::sscanf(s.c_str(), "%d", &nScanf);
    int nOurs = -12345;
    const int bOurs = vx::ReadDecimalInt(s.c_str(), nOurs);
    EXPECT_EQ(bOurs, nScanned == 1 ? 1 : 0);
    EXPECT_EQ(nOurs, nScanf);
  }
}

// ---- Copying, clearing, BeginAddEdge ----

// Checks that copy holds the same edges as src, in its own records.
void ExpectDeepCopy(const TestPath& copy, const TestPath& src) {
  const auto a = CheckedEdges(copy);
  const auto b = CheckedEdges(src);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NE(a[i], b[i]);
    EXPECT_TRUE(SameId(a[i]->id, b[i]->id));
    EXPECT_EQ(a[i]->nCode, b[i]->nCode);
    EXPECT_EQ(a[i]->nRoadAttr, b[i]->nRoadAttr);
    EXPECT_EQ(a[i]->dEdgeLen, b[i]->dEdgeLen);
    EXPECT_EQ(a[i]->bTwoWay, b[i]->bTwoWay);
    ASSERT_EQ(a[i]->wPtNum, b[i]->wPtNum);
    EXPECT_EQ(std::memcmp(a[i]->pts, b[i]->pts, sizeof(tagLonLat) * a[i]->wPtNum), 0);
    ASSERT_NE(a[i]->szName, nullptr);
    EXPECT_EQ(a[i]->szName, reinterpret_cast<const char*>(a[i]->pts + a[i]->wPtNum));
    EXPECT_STREQ(a[i]->szName, b[i]->szName);
  }
  if (!a.empty()) {
    EXPECT_NE(copy.Heap(), nullptr);
    EXPECT_NE(copy.Heap(), src.Heap());
  }
}

TEST(PathCopy, CopyConstructorMakesADeepCopyWithNullCursor) {
  auto pSrc = std::make_unique<TestPath>();
  Build(*pSrc, 3);
  pSrc->SetVroReader(reinterpret_cast<VRO_READER*>(0x1234));
  pSrc->SetDists(30.0, 5000.0);
  ASSERT_EQ(pSrc->StartEdge(), 1);
  ASSERT_NE(pSrc->Cursor(), nullptr);
  TestPath copy(*pSrc);
  ExpectDeepCopy(copy, *pSrc);
  EXPECT_EQ(copy.Cursor(), nullptr);
  EXPECT_EQ(copy.Reader(), reinterpret_cast<VRO_READER*>(0x1234));
  EXPECT_EQ(copy.MatchDist(), 30.0);
  EXPECT_EQ(copy.AheadDist(), 5000.0);
  // The copy lives on when the source is gone (ASan sees any shared record).
  pSrc.reset();
  ASSERT_EQ(copy.StartEdge(), 1);
  unsigned short w = 0;
  tagLonLat* p = nullptr;
  int n = 0;
  while (copy.NextEdge(w, p) == 1) n += w;
  EXPECT_EQ(n, 2 + 3 + 4);
  EXPECT_STREQ(copy.Tail()->szName, "E2");
}

TEST(PathCopy, CopyOfAnEmptyPathHasNoHeap) {
  const TestPath src;
  TestPath copy(src);
  EXPECT_EQ(copy.Head(), nullptr);
  EXPECT_EQ(copy.Tail(), nullptr);
  EXPECT_EQ(copy.Heap(), nullptr);
}

TEST(PathCopy, AssignmentClearsTheTargetFirst) {
  TestPath src;
  Build(src, 2);
  src.SetDists(11.0, 22.0);
  TestPath dst;
  Build(dst, 5);
  ASSERT_EQ(dst.StartEdge(), 1);
  TestPath& r = (dst = src);
  EXPECT_EQ(&r, &dst);
  ExpectDeepCopy(dst, src);
  EXPECT_EQ(dst.Count(), 2u);
  EXPECT_EQ(dst.Cursor(), nullptr);
  EXPECT_EQ(dst.MatchDist(), 11.0);
  EXPECT_EQ(dst.AheadDist(), 22.0);
  // Both are released by their own destructors without a double free.
  src.Clear();
  EXPECT_STREQ(dst.Head()->szName, "E0");

  // Assigning an empty path empties the target and its heap.
  const TestPath empty;
  dst = empty;
  EXPECT_EQ(dst.Head(), nullptr);
  EXPECT_EQ(dst.Heap(), nullptr);
}

TEST(PathCopy, SelfAssignmentIsHarmless) {
  TestPath path;
  Build(path, 3);
  const TestPath::NavEdge* pHead = path.Head();
  void* pHeap = path.Heap();
  TestPath& alias = path;
  path = alias;
  EXPECT_EQ(path.Head(), pHead);
  EXPECT_EQ(path.Heap(), pHeap);
  EXPECT_EQ(CheckedEdges(path).size(), 3u);
  EXPECT_STREQ(path.Head()->szName, "E0");
}

TEST(PathClear, ResetsTheCursorAndKeepsTheSettings) {
  TestPath path;
  Build(path, 2);
  path.SetVroReader(reinterpret_cast<VRO_READER*>(0x99));
  path.SetDists(7.0, 8.0);
  ASSERT_EQ(path.StartEdge(), 1);
  path.Clear();
  EXPECT_EQ(path.Cursor(), nullptr);
  unsigned short w = 77;
  tagLonLat* p = nullptr;
  EXPECT_EQ(path.NextEdge(w, p), 0);
  EXPECT_EQ(w, 77);
  EXPECT_EQ(path.Reader(), reinterpret_cast<VRO_READER*>(0x99));
  EXPECT_EQ(path.MatchDist(), 7.0);
  EXPECT_EQ(path.AheadDist(), 8.0);
}

TEST(PathClear, BeginAddEdgeRunsTheDerivedClear) {
  CountingPath path;
  ASSERT_EQ(path.AddEdge("R000", "R1", "A", nullptr, 2, kTwo), 1);
  path.BeginAddEdge();
  EXPECT_EQ(path.nClears, 1);
  EXPECT_EQ(path.StartEdge(), 0);
}

// ---- Walking the edges ----

TEST(EdgeWalk, EmptyAndFreshPathsYieldNothing) {
  TestPath path;
  unsigned short w = 77;
  tagLonLat* p = nullptr;
  VRO_FEATURE_ID id = kId1;
  EXPECT_EQ(path.NextEdge(w, p), 0);
  EXPECT_EQ(path.StartEdge(), 0);
  EXPECT_EQ(path.NextEdge(w, p), 0);
  EXPECT_EQ(path.NextEdge(w, p, id), 0);
  EXPECT_EQ(w, 77);
  EXPECT_EQ(p, nullptr);
  EXPECT_TRUE(SameId(id, kId1));
}

TEST(EdgeWalk, HandsOutEveryEdgeInOrderThenStops) {
  TestPath path;
  Build(path, 4);
  ASSERT_EQ(path.AddEdge("R000", "R1", "", nullptr, 2, kTwo), 1);
  const auto edges = CheckedEdges(path);
  for (int round = 0; round < 2; ++round) {  // a second StartEdge restarts the walk
    ASSERT_EQ(path.StartEdge(), 1);
    for (std::size_t i = 0; i < edges.size(); ++i) {
      unsigned short w = 0;
      tagLonLat* p = nullptr;
      VRO_FEATURE_ID id = kId2;
      ASSERT_EQ(path.NextEdge(w, p, id), 1);
      EXPECT_EQ(p, edges[i]->pts);  // not a copy
      EXPECT_EQ(w, edges[i]->wPtNum);
      EXPECT_TRUE(SameId(id, edges[i]->id));
    }
    EXPECT_TRUE(SameId(edges.back()->id, kNullId));
    unsigned short w = 0;
    tagLonLat* p = nullptr;
    EXPECT_EQ(path.NextEdge(w, p), 0);
    EXPECT_EQ(path.NextEdge(w, p), 0);
  }
  // The two-argument form walks the same way.
  ASSERT_EQ(path.StartEdge(), 1);
  unsigned short w = 0;
  tagLonLat* p = nullptr;
  ASSERT_EQ(path.NextEdge(w, p), 1);
  ASSERT_EQ(path.NextEdge(w, p), 1);
  EXPECT_EQ(p, edges[1]->pts);
  EXPECT_EQ(path.Cursor(), edges[2]);
}

}  // namespace
