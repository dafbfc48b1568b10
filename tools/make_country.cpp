// make_country: writes a synthetic country (mapgen/CountryMap.h) as an
// OpenStreetMap file. Usage: make_country OUT [FEATURES] [SEED]; FEATURES is
// the approximate feature count after the split at junctions (default
// 10,300,000, a country the size of Germany).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "mapgen/CountryMap.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: make_country OUT.osm.pbf [FEATURES] [SEED]\n");
    return 2;
  }
  const unsigned long long nFeatures = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10300000;
  const unsigned long nSeed = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1;
  try {
    const vxgen::CountryOptions o =
        vxgen::CountryOfSize(nFeatures, static_cast<std::uint32_t>(nSeed));
    const vxgen::CountryStats s = vxgen::WriteCountry(argv[1], o);
    std::printf("%s: %d x %d towns, %llu nodes, %llu ways, %llu restrictions\n", argv[1], o.nTownsX,
                o.nTownsY, static_cast<unsigned long long>(s.nNodes),
                static_cast<unsigned long long>(s.nWays),
                static_cast<unsigned long long>(s.nRelations));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_country: %s\n", e.what());
    return 1;
  }
  return 0;
}
