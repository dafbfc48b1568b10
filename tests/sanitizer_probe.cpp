// A program with one deliberate fault, chosen by its argument: "leak" loses a
// block, "overflow" overflows a signed int. Sanitizer builds register it as a
// test that must fail, so a run whose leak or undefined behaviour checks are
// switched off (in the flags or in ASAN_OPTIONS/UBSAN_OPTIONS) is noticed.
#include <climits>
#include <cstdio>
#include <cstring>

// Allocates a block and forgets its address; returns a value read from it.
__attribute__((noinline)) int LoseBlock() {
  int* pBlock = new int[4]{1, 2, 3, 4};
  const int n = pBlock[3];
  pBlock = nullptr;
  return n;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "leak") == 0) {
    std::printf("%d\n", LoseBlock());
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "overflow") == 0) {
    volatile int n = INT_MAX;
    n = n + argc;
    std::printf("%d\n", n);
    return 0;
  }
  return 2;
}
