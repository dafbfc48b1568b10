// The texts the reader hands out: feature codes, road texts and the LVL, EID
// and TRN attributes.
#include <algorithm>
#include <cstring>

#include "map/ReaderState.h"

namespace vxmap {
namespace {

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
void AddTurnAttrs(const vxnet::NetworkView& net, std::uint32_t k, std::uint32_t nNode, char cMark,
                  std::vector<ReaderAttr>& attrs) {
  const vxnet::ForbiddenTurn probe{k, nNode, 0};
  auto it = std::lower_bound(net.forbidden.begin(), net.forbidden.end(), probe,
                             [](const vxnet::ForbiddenTurn& a, const vxnet::ForbiddenTurn& b) {
                               return a.nFrom != b.nFrom ? a.nFrom < b.nFrom : a.nVia < b.nVia;
                             });
  std::string sValue;
  for (; it != net.forbidden.end() && it->nFrom == k && it->nVia == nNode; ++it) {
    std::string sItem = "-$";
    sItem += std::to_string(std::uint64_t{it->nTo} + 1);
    if (!sValue.empty() && sValue.size() + 1 + sItem.size() > vro::kNameSize - 1) {
      attrs.push_back(MakeAttr("TRN", cMark, std::move(sValue)));
      sValue.clear();
    }
    if (!sValue.empty()) sValue += ';';
    sValue += sItem;
  }
  if (!sValue.empty()) attrs.push_back(MakeAttr("TRN", cMark, std::move(sValue)));
}

}  // namespace

void WriteFeatureTexts(const vxnet::NetworkView& net, std::uint32_t k, bool bReversed, char* szCode,
                       char* szStr1, char* szStr2) {
  const vxnet::Feature& f = net.features[k];
  const int nOneWay = f.nOneWay == 0 ? 0 : (f.nOneWay > 0) != bReversed ? 1 : -1;
  char szFeatureCode[vro::kCodeSize];
  vro::FormatFeatureCode({f.nRoadClass, f.IsRoundabout(), nOneWay, f.IsRoutable()}, szFeatureCode);
  vro::CopyTextUtf8(szCode, vro::kCodeSize, szFeatureCode);
  std::string sRoadCode = "R";  // (appended: GCC 12 misreports "R" + text)
  sRoadCode += std::to_string(f.nRoadClass);
  vro::CopyTextUtf8(szStr1, vro::kStr1Size, sRoadCode.c_str());
  vro::CopyTextUtf8(szStr2, vro::kNameSize, net.NameOf(f.nName));
}

void BuildAttributes(const vxnet::NetworkView& net, std::uint32_t k, bool bReversed,
                     std::vector<ReaderAttr>& attrs) {
  attrs.clear();
  const vxnet::Feature& f = net.features[k];
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
