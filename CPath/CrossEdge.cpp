// Junction description: the roads that leave the manoeuvre point of a match,
// with the turn angle into each, read through the map reader and filtered by
// one-way marks, turn restrictions and levels.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "BaseLib/CContainer.h"
#include "CPath/CPath.h"
#include "CPath/PathInternal.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroTexts.h"

namespace {

using TurnList = BaseLib::CContainer<unsigned long>;

// The reader's text buffers, each one byte longer than the size the reader
// is given to fill. The extra byte is set to NUL after every reader call, so
// a text the reader leaves unterminated ends at its buffer's size.
struct ReaderTexts {
  char szCode[vro::kCodeSize + 1] = {};
  char szStr1[vro::kStr1Size + 1] = {};
  char szStr2[vro::kNameSize + 1] = {};

  void Terminate() {
    szCode[vro::kCodeSize] = '\0';
    szStr1[vro::kStr1Size] = '\0';
    szStr2[vro::kNameSize] = '\0';
  }
  // The mark of the code, or NUL for a code shorter than four characters.
  char Mark() const { return vro::CodeMark(szCode); }
  bool NameIs(const char* szName) const { return std::strcmp(szStr1, szName) == 0; }
};

// The next attribute of the reader's selected feature; false when none is left.
bool NextAttr(VRO_READER* hReader, ReaderTexts& t) {
  const int r = VroReaderNextAttr(hReader, t.szCode, t.szStr1, t.szStr2);
  t.Terminate();
  return r != 0;
}

// Appends to ids the edge numbers that a turn restriction list forbids:
// items separated by ';'; an item counts when its sign is '-' (the default)
// and its identifier text is not empty, holds no '-' and starts with a
// decimal number.
void AddTurnIds(std::string_view list, TurnList& ids) {
  while (!list.empty()) {
    const std::size_t nEnd = list.find(';');
    std::string_view item = list.substr(0, nEnd);
    list = nEnd == std::string_view::npos ? std::string_view() : list.substr(nEnd + 1);
    if (item.empty()) {
      continue;
    }
    char cSign = '-';
    std::string_view id;
    const std::size_t nDollar = item.find('$');
    if (nDollar != std::string_view::npos) {
      id = item.substr(nDollar + 1);
      if (item[0] == '+' || item[0] == '-') {
        cSign = item[0];
      }
    } else if (item[0] == '+' || item[0] == '-') {
      cSign = item[0];
      id = item.substr(1);
    } else {
      id = item;
    }
    if (id.empty() || cSign != '-' || id.find('-') != std::string_view::npos) {
      continue;
    }
    // The number ends at the first non-digit, so at the latest at the ';'
    // or the end of the list, which is a NUL-terminated buffer.
    int nId = 0;
    if (!vx::ReadDecimalInt(id.data(), nId)) {
      continue;
    }
    // A full container drops the identifier; the parse goes on.
    ids.Add(static_cast<unsigned long>(static_cast<std::uint32_t>(nId)));
  }
}

// True when the list holds dwId.
bool HasTurnId(TurnList& ids, std::uint32_t dwId) {
  if (ids.SetPos(0) != 1) {
    return false;
  }
  unsigned long dwTurnID = 0;
  while (ids.GetNext(dwTurnID) == 1) {
    if (dwTurnID == dwId) {
      return true;
    }
  }
  return false;
}

// d * 100000 truncated toward zero into n, when the result and its
// neighbours two units either side fit a 32-bit integer.
bool ToBinUnits(double d, std::int32_t& n) {
  const double v = std::trunc(d * 100000.0);
  if (!(v >= INT32_MIN + 2.0 && v <= INT32_MAX - 2.0)) {
    return false;
  }
  n = static_cast<std::int32_t>(v);
  return true;
}

unsigned short BinBearing(const Bin_LonLat& a, const Bin_LonLat& b) {
  return g_AngleNum.GetAngle(a.lon, a.lat, b.lon, b.lat);
}

bool SameBin(const Bin_LonLat& a, const Bin_LonLat& b) { return a.lon == b.lon && a.lat == b.lat; }

}  // namespace

// Over the size limits: the junction description is one sequence of reader calls whose order is
// part of the contract; it is to be split into steps that keep that order.
// NOLINTNEXTLINE(readability-function-size,readability-function-cognitive-complexity)
int CPath::GetCrossEdge(VRO_READER* hReader, const NavGuid& guid, VRO_FEATURE_ID* pIDs,
                        double* pAngles, unsigned short wMaxNum, int bTurnCheck, int bLevelCheck,
                        const char* pszCat, char cPri1, char cPri2) {
  if (hReader == nullptr || pIDs == nullptr || pAngles == nullptr || wMaxNum == 0 ||
      guid.wPtNum < 2 || guid.pPts == nullptr) {
    return 0;
  }
  // A junction point that no 32-bit map point can match is a bad argument too.
  Bin_LonLat ptTurn;
  if (!ToBinUnits(guid.ptEnd.lon, ptTurn.lon) || !ToBinUnits(guid.ptEnd.lat, ptTurn.lat)) {
    return 0;
  }
  const Bin_LonLat p1 = {ptTurn.lon - 2, ptTurn.lat - 2};
  const Bin_LonLat p2 = {ptTurn.lon + 2, ptTurn.lat + 2};

  char szCat[8] = {};
  for (int k = 0; k < 7; ++k) {
    if (pszCat == nullptr) {
      szCat[k] = static_cast<char>('1' + k);
    } else if (pszCat[k] == '\0') {
      break;
    } else {
      szCat[k] = pszCat[k];
    }
  }

  TurnList TurnIDs(10);
  TurnIDs.RemoveAll();

  const unsigned short aIn = vx::Bearing(guid.pPts[guid.wPtNum - 2], guid.pPts[guid.wPtNum - 1]);

  ReaderTexts t;
  int nFromLvl = 0;
  if (bLevelCheck != 0 &&
      VroFeatureOneAttr(hReader, guid.idEdge, 0, t.szCode, t.szStr1, t.szStr2) != 0) {
    t.Terminate();
    while (NextAttr(hReader, t)) {
      if (t.Mark() != '-') {
        continue;
      }
      if (t.NameIs("LVL")) {
        vx::ReadDecimalInt(t.szStr2, nFromLvl);
      } else if (t.NameIs("TRN")) {
        AddTurnIds(t.szStr2, TurnIDs);
      }
    }
  }

  VroReaderPriLimit(hReader, cPri1, cPri2);
  VroReaderCatLimit(hReader, '0', "");
  VroReaderCatLimit(hReader, '2', "");
  VroReaderCatLimit(hReader, '1', szCat);
  VroReaderRectLimit(hReader, p1, p2);
  VroReaderReset(hReader, nullptr, 1);

  unsigned short i = 0;
  while (i < wMaxNum) {
    Bin_LonLat* pPts = nullptr;
    const int r = VroReaderNextFeature(hReader, t.szCode, t.szStr1, t.szStr2, pIDs[i], pPts);
    t.Terminate();
    if (r < 1) {
      break;
    }
    if (VroReaderIsSameFeature(hReader, pIDs[i], guid.idEdge) != 0) {
      continue;
    }
    // A single point gives no direction to leave the junction in.
    if (r < 2 || pPts == nullptr) {
      continue;
    }
    char cRefuse = 0;
    char cAttrMark = 0;
    unsigned short aOut = 0;
    if (SameBin(pPts[0], ptTurn)) {
      cRefuse = '-';
      cAttrMark = '+';
      aOut = BinBearing(pPts[0], pPts[1]);
    } else if (SameBin(pPts[r - 1], ptTurn)) {
      cRefuse = '+';
      cAttrMark = '-';
      aOut = BinBearing(pPts[r - 1], pPts[r - 2]);
    } else {
      continue;
    }
    if (bTurnCheck != 0 && t.Mark() == cRefuse) {
      continue;
    }
    if (bTurnCheck != 0 || bLevelCheck != 0) {
      int nToLvl = 0;
      int nSrcEdgeID = 0;
      while (NextAttr(hReader, t)) {
        if (t.NameIs("LVL")) {
          if (bLevelCheck != 0 && t.Mark() == cAttrMark) {
            vx::ReadDecimalInt(t.szStr2, nToLvl);
          }
        } else if (t.NameIs("EID")) {
          vx::ReadDecimalInt(t.szStr2, nSrcEdgeID);
        }
      }
      if (bLevelCheck != 0 && nToLvl != nFromLvl) {
        continue;
      }
      if (bTurnCheck != 0 && HasTurnId(TurnIDs, static_cast<std::uint32_t>(nSrcEdgeID))) {
        continue;
      }
    }
    pAngles[i] = vx::TurnTenths(aIn, aOut) * 0.1;
    ++i;
  }
  return i;
}
