// Writing texts into caller buffers the way the scripted map reader and
// route engine of the tests do.
#ifndef VX_TESTS_FAKETEXT_H
#define VX_TESTS_FAKETEXT_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>

/// Copies s into a buffer of nCap bytes; a text of exactly nCap characters
/// is left without a NUL, as a careless reader or engine would.
inline void PutText(char* dst, std::size_t nCap, const std::string& s) {
  ASSERT_LE(s.size(), nCap);
  std::memcpy(dst, s.data(), s.size());
  if (s.size() < nCap) {
    dst[s.size()] = '\0';
  }
}

#endif
