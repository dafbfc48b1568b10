// The texts that cross between the path library, the map reader and the route
// engine, written down once: the sizes of their buffers, the two feature-code
// formats (the reader's and the engine's), the road code text, and cutting a
// text at a UTF-8 character boundary. Header only; an application that brings
// its own reader or engine may use it as well.
//
// The reader's feature code, char[kCodeSize], five characters:
//   index 0  'R'
//   index 1  road class '1' (motorway) .. '7' (residential, service)
//   index 2  form: 'C' a road of a roundabout, '0' any other
//   index 3  one-way mark: '+' drivable only from the first point to the last,
//            '-' only from the last to the first, '0' both ways
//   index 4  '0', or 'X' for a road the route engine must not use
//   e.g. "R50+0".
// The engine's edge code, char[kCodeSize], five characters:
//   index 0, 1  "RD"
//   index 2     road class '1' .. '7'
//   index 3     one-way mark: '+' drivable only in the direction of travel
//               (from the first delivered point to the last), '0' both ways
//   index 4     'F' driven along the feature's digitisation, 'B' against it
//   e.g. "RD5+F".
// In both the one-way mark stands at index 3, where the path library reads it.
#ifndef VX_INTERFACES_VROTEXTS_H
#define VX_INTERFACES_VROTEXTS_H

#include <cstddef>
#include <cstring>

namespace vro {

/// Buffer sizes of the reader's and the engine's texts, terminating NUL included.
constexpr std::size_t kCodeSize = 6;    ///< feature or edge code; an attribute's code
constexpr std::size_t kStr1Size = 21;   ///< road code text ("R5"); an attribute's name
constexpr std::size_t kNameSize = 301;  ///< road name (UTF-8); an attribute's value
constexpr std::size_t kAttrSize = 100;  ///< the engine's road attribute (maxspeed, km/h)

/// Index of the one-way mark in both code formats.
constexpr std::size_t kMarkIndex = 3;

/// The number of bytes of the NUL-terminated szSrc that fit a buffer of nSize
/// bytes with its NUL: the whole text when it is shorter than nSize, else
/// nSize - 1 bytes stepped back to the start of the UTF-8 character that would
/// not fit whole. Reads at most nSize bytes of szSrc. 0 for nSize 0.
inline std::size_t Utf8FitLength(const char* szSrc, std::size_t nSize) {
  if (nSize == 0) {
    return 0;
  }
  std::size_t n = 0;
  while (n < nSize && szSrc[n] != '\0') {
    ++n;
  }
  if (n < nSize) {
    return n;
  }
  n = nSize - 1;
  // szSrc[n] is the first byte left out; while it continues a character, that
  // character's earlier bytes go too.
  while (n > 0 && (static_cast<unsigned char>(szSrc[n]) & 0xC0u) == 0x80u) {
    --n;
  }
  return n;
}

/// Copies szSrc (null counts as empty) into szDst of nSize bytes, cut as
/// Utf8FitLength says, and terminates it. Does nothing when szDst is null or
/// nSize is 0.
inline void CopyTextUtf8(char* szDst, std::size_t nSize, const char* szSrc) {
  if (szDst == nullptr || nSize == 0) {
    return;
  }
  const std::size_t n = szSrc != nullptr ? Utf8FitLength(szSrc, nSize) : 0;
  if (n > 0) {
    std::memmove(szDst, szSrc, n);
  }
  szDst[n] = '\0';
}

/// The one-way mark of a code in either format: its character at kMarkIndex,
/// or '\0' for a null code or one shorter than four characters. Reads at most
/// four bytes.
inline char CodeMark(const char* szCode) {
  if (szCode == nullptr) {
    return '\0';
  }
  for (std::size_t i = 0; i < kMarkIndex; ++i) {
    if (szCode[i] == '\0') {
      return '\0';
    }
  }
  return szCode[kMarkIndex];
}

/// The reader's feature code, read.
struct FeatureCode {
  int nClass = 0;            ///< 1..7
  bool bRoundabout = false;  ///< form 'C'
  int nOneWay = 0;           ///< +1 first to last only, -1 last to first only, 0 both
  bool bRoutable = true;     ///< last character not 'X'
};

/// Reads a feature code of the reader's format; false (code untouched) for a
/// null text or one that is not 'R', a class digit and three more characters.
inline bool ParseFeatureCode(const char* szCode, FeatureCode& code) {
  if (szCode == nullptr || szCode[0] != 'R' || szCode[1] < '1' || szCode[1] > '7' ||
      szCode[2] == '\0' || szCode[3] == '\0' || szCode[4] == '\0') {
    return false;
  }
  code.nClass = szCode[1] - '0';
  code.bRoundabout = szCode[2] == 'C';
  code.nOneWay = szCode[3] == '+' ? 1 : szCode[3] == '-' ? -1 : 0;
  code.bRoutable = szCode[4] != 'X';
  return true;
}

/// Writes code in the reader's format into szCode (kCodeSize bytes); a class
/// outside 1..7 is written as '0'.
inline void FormatFeatureCode(const FeatureCode& code, char* szCode) {
  szCode[0] = 'R';
  szCode[1] = code.nClass >= 1 && code.nClass <= 7 ? static_cast<char>('0' + code.nClass) : '0';
  szCode[2] = code.bRoundabout ? 'C' : '0';
  szCode[3] = code.nOneWay > 0 ? '+' : code.nOneWay < 0 ? '-' : '0';
  szCode[4] = code.bRoutable ? '0' : 'X';
  szCode[5] = '\0';
}

/// The engine's edge code, read.
struct EdgeCode {
  int nClass = 0;          ///< 1..7
  bool bOneWay = false;    ///< mark '+': drivable only in the direction of travel
  bool bReversed = false;  ///< 'B': driven against the feature's digitisation
};

/// Reads an edge code of the engine's format; false (code untouched) for a
/// null text or one that is not "RD", a class digit and two more characters.
inline bool ParseEdgeCode(const char* szCode, EdgeCode& code) {
  if (szCode == nullptr || szCode[0] != 'R' || szCode[1] != 'D' || szCode[2] < '1' ||
      szCode[2] > '7' || szCode[3] == '\0' || szCode[4] == '\0') {
    return false;
  }
  code.nClass = szCode[2] - '0';
  code.bOneWay = szCode[3] == '+';
  code.bReversed = szCode[4] == 'B';
  return true;
}

/// Writes code in the engine's format into szCode (kCodeSize bytes); a class
/// outside 1..7 is written as '0'.
inline void FormatEdgeCode(const EdgeCode& code, char* szCode) {
  szCode[0] = 'R';
  szCode[1] = 'D';
  szCode[2] = code.nClass >= 1 && code.nClass <= 7 ? static_cast<char>('0' + code.nClass) : '0';
  szCode[3] = code.bOneWay ? '+' : '0';
  szCode[4] = code.bReversed ? 'B' : 'F';
  szCode[5] = '\0';
}

/// The road class of a road code text "R<class>" (szStr1 of the reader and
/// the engine): 1..7, or 0 for a null text or any other text.
inline int RoadClassOfText(const char* szStr1) {
  if (szStr1 == nullptr || szStr1[0] != 'R' || szStr1[1] < '1' || szStr1[1] > '7' ||
      szStr1[2] != '\0') {
    return 0;
  }
  return szStr1[1] - '0';
}

}  // namespace vro

#endif
