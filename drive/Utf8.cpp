// UTF-8 validation with replacement of broken sequences.
#include "drive/Utf8.h"

namespace vxdrive {

// Over the complexity limit: the decoder's cases (lead byte, length,
// overlong forms, surrogates, continuation) read best together.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned lo = 0x80;
    unsigned hi = 0xBF;  // allowed range of the second byte
    if (c < 0x80) {
      n = 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3;
      lo = c == 0xE0 ? 0xA0 : 0x80;
      hi = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4;
      lo = c == 0xF0 ? 0x90 : 0x80;
      hi = c == 0xF4 ? 0x8F : 0xBF;
    }
    bool bOk = n > 0 && i + n <= s.size();
    for (std::size_t k = 1; bOk && k < n; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      bOk = k == 1 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xBF);
    }
    if (bOk) {
      out.append(s.substr(i, n));
      i += n;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

}  // namespace vxdrive
