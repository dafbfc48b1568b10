// The texts the reader hands out: feature codes, road texts and the LVL, EID
// and TRN attributes.
#include <algorithm>
#include <cstring>

#include "map/ReaderState.h"

namespace vxmap {
namespace {

char MirrorMark(char cMark, bool bReversed) {
  if (!bReversed) return cMark;
  return cMark == '+' ? '-' : cMark == '-' ? '+' : cMark;
}

ReaderAttr MakeAttr(const char* szName, char cMark, std::string sValue) {
  ReaderAttr a;
  std::memcpy(a.szCode, szName, 3);
  a.szCode[3] = cMark;
  a.szCode[4] = '\0';
  a.sName = szName;
  a.sValue = std::move(sValue);
  return a;
}

// Appends the TRN attributes of feature k at network node nNode with mark
// cMark: one "-$<EID>" item per forbidden turn, items joined by ";", spread
// over as many attributes as the value size needs.
void AddTurnAttrs(const RoadNetwork& net, std::uint32_t k, std::uint32_t nNode, char cMark,
                  std::vector<ReaderAttr>& attrs) {
  const ForbiddenTurn probe{k, nNode, 0};
  auto it = std::lower_bound(net.forbidden.begin(), net.forbidden.end(), probe,
                             [](const ForbiddenTurn& a, const ForbiddenTurn& b) {
                               return a.nFrom != b.nFrom ? a.nFrom < b.nFrom : a.nVia < b.nVia;
                             });
  std::string sValue;
  for (; it != net.forbidden.end() && it->nFrom == k && it->nVia == nNode; ++it) {
    std::string sItem = "-$";
    sItem += std::to_string(std::uint64_t{it->nTo} + 1);
    if (!sValue.empty() && sValue.size() + 1 + sItem.size() > kStr2Size - 1) {
      attrs.push_back(MakeAttr("TRN", cMark, std::move(sValue)));
      sValue.clear();
    }
    if (!sValue.empty()) sValue += ';';
    sValue += sItem;
  }
  if (!sValue.empty()) attrs.push_back(MakeAttr("TRN", cMark, std::move(sValue)));
}

}  // namespace

void CopyText(char* dst, std::size_t nSize, const std::string& src) {
  if (dst == nullptr || nSize == 0) return;
  std::size_t n = std::min(src.size(), nSize - 1);
  if (n < src.size()) {
    // Do not cut a multi-byte character: step back over continuation bytes.
    while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0u) == 0x80u) --n;
  }
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

void WriteFeatureTexts(const RoadNetwork& net, std::uint32_t k, bool bReversed, char* szCode,
                       char* szStr1, char* szStr2) {
  const Feature& f = net.features[k];
  const char cMark = f.nOneWay > 0 ? '+' : f.nOneWay < 0 ? '-' : '0';
  const char szFeatureCode[kCodeSize] = {'R',
                                         static_cast<char>('0' + f.nRoadClass),
                                         f.bRoundabout ? 'C' : '0',
                                         MirrorMark(cMark, bReversed),
                                         f.bRoutable ? '0' : 'X',
                                         '\0'};
  CopyText(szCode, kCodeSize, szFeatureCode);
  std::string sRoadCode = "R";
  sRoadCode += std::to_string(f.nRoadClass);
  CopyText(szStr1, kStr1Size, sRoadCode);
  CopyText(szStr2, kStr2Size, net.names[f.nName]);
}

void BuildAttributes(const RoadNetwork& net, std::uint32_t k, bool bReversed,
                     std::vector<ReaderAttr>& attrs) {
  attrs.clear();
  const Feature& f = net.features[k];
  const int nLevelStart = bReversed ? f.nLevelLast : f.nLevelFirst;
  const int nLevelEnd = bReversed ? f.nLevelFirst : f.nLevelLast;
  const std::uint32_t nNodeStart = bReversed ? f.nToNode : f.nFromNode;
  const std::uint32_t nNodeEnd = bReversed ? f.nFromNode : f.nToNode;
  attrs.push_back(MakeAttr("LVL", '+', std::to_string(nLevelStart)));
  attrs.push_back(MakeAttr("LVL", '-', std::to_string(nLevelEnd)));
  attrs.push_back(MakeAttr("EID", '0', std::to_string(std::uint64_t{k} + 1)));
  AddTurnAttrs(net, k, nNodeStart, '+', attrs);
  AddTurnAttrs(net, k, nNodeEnd, '-', attrs);
}

}  // namespace vxmap
