// The README's example: one edge, its guidance item printed.
#include <cstdio>

#include "CPath/CPath.h"

int main() {
  CPath path;
  const tagLonLat pts[2] = {{13.37, 52.51}, {13.38, 52.51}};
  path.AddEdge("R000", "R5", "Station Road", "50", 2, pts);
  PathGuid guid;
  for (path.StartGuid(); path.NextGuid(guid);) std::printf("%s %.1f m\n", guid.szName, guid.dDist);
}
