// Reading OpenStreetMap way tags into road class, direction, speed and level.
#include "map/OsmTags.h"

#include <cstring>
#include <initializer_list>

namespace vxmap {
namespace {

bool Is(const char* szValue, const char* szWanted) {
  return szValue != nullptr && std::strcmp(szValue, szWanted) == 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads an optionally signed decimal integer that must fill the whole text;
// false for an empty text, other characters or more than four digits.
bool ReadWholeInt(const char* sz, int& nValue) {
  if (sz == nullptr) return false;
  bool bNeg = false;
  if (*sz == '-' || *sz == '+') bNeg = *sz++ == '-';
  int nDigits = 0;
  int n = 0;
  for (; IsDigit(*sz); ++sz) {
    if (++nDigits > 4) return false;
    n = n * 10 + (*sz - '0');
  }
  if (nDigits == 0 || *sz != '\0') return false;
  nValue = bNeg ? -n : n;
  return true;
}

}  // namespace

int RoadClassOf(const char* szHighway) {
  if (szHighway == nullptr) return 0;
  static const struct {
    const char* szName;
    int nClass;
  } kTable[] = {
      {"motorway", 1},      {"motorway_link", 1}, {"trunk", 2},        {"trunk_link", 2},
      {"primary", 3},       {"primary_link", 3},  {"secondary", 4},    {"secondary_link", 4},
      {"tertiary", 5},      {"tertiary_link", 5}, {"unclassified", 6}, {"residential", 6},
      {"living_street", 7}, {"service", 7},       {"road", 7},
  };
  for (const auto& row : kTable) {
    if (std::strcmp(szHighway, row.szName) == 0) return row.nClass;
  }
  return 0;
}

bool IsRoundabout(const char* szJunction) {
  return Is(szJunction, "roundabout") || Is(szJunction, "circular");
}

int OneWayOf(const char* szOneWay, const char* szJunction, const char* szHighway, bool& bRoutable) {
  bRoutable = true;
  if (Is(szOneWay, "yes") || Is(szOneWay, "true") || Is(szOneWay, "1")) return 1;
  if (Is(szOneWay, "-1") || Is(szOneWay, "reverse")) return -1;
  if (Is(szOneWay, "no") || Is(szOneWay, "false") || Is(szOneWay, "0")) return 0;
  if (Is(szOneWay, "alternating")) return 0;
  if (Is(szOneWay, "reversible")) {
    bRoutable = false;
    return 0;
  }
  if (IsRoundabout(szJunction)) return 1;
  if (Is(szHighway, "motorway") || Is(szHighway, "motorway_link")) return 1;
  return 0;
}

std::uint16_t ParseMaxSpeed(const char* szMaxSpeed) {
  if (szMaxSpeed == nullptr || !IsDigit(*szMaxSpeed)) return 0;
  int nValue = 0;
  const char* p = szMaxSpeed;
  for (; IsDigit(*p); ++p) {
    nValue = nValue * 10 + (*p - '0');
    if (nValue > 500) return 0;
  }
  while (*p == ' ') ++p;
  if (*p == '\0' || std::strcmp(p, "km/h") == 0 || std::strcmp(p, "kmh") == 0 ||
      std::strcmp(p, "kph") == 0) {
    return static_cast<std::uint16_t>(nValue);
  }
  if (std::strcmp(p, "mph") == 0) {
    // 1 mile = 1.609344 km; rounded to the nearest km/h in integers.
    return static_cast<std::uint16_t>((nValue * 1609344 + 500000) / 1000000);
  }
  return 0;
}

int LevelOf(const char* szLayer, const char* szBridge, const char* szTunnel) {
  int nLayer = 0;
  if (ReadWholeInt(szLayer, nLayer) && nLayer >= -9 && nLayer <= 9) return nLayer;
  if (szBridge != nullptr && !Is(szBridge, "no")) return 1;
  if (szTunnel != nullptr && !Is(szTunnel, "no")) return -1;
  return 0;
}

bool CarAccessDenied(const char* szMotorcar, const char* szMotorVehicle, const char* szVehicle,
                     const char* szAccess) {
  for (const char* sz : {szMotorcar, szMotorVehicle, szVehicle, szAccess}) {
    if (sz != nullptr) return Is(sz, "no") || Is(sz, "private");
  }
  return false;
}

}  // namespace vxmap
