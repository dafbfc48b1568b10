// A synthetic country-like road map written as an OpenStreetMap file, for
// tests and benchmarks that need maps of any size without committing one:
// towns of residential streets on a grid, primary and secondary roads between
// them, two-carriageway motorways every few town rows and columns (joined to
// primary roads, bridged over secondary ones), curvy ways with nodes every 30
// to 80 m, one-way streets, turn restrictions, names, speed limits, bridges
// and roundabouts. Each town has turn restrictions of every form the importer
// reads: over a via node and over two via ways (a connector cutting a corner
// block), with several from or to ways (no_entry, no_exit), members running
// through the junction, and one a car does not obey (on red, for lorries,
// conditional or except cars, in turn).
#ifndef VX_MAPGEN_COUNTRYMAP_H
#define VX_MAPGEN_COUNTRYMAP_H

#include <cstdint>
#include <string>

namespace vxgen {

/// The shape of the country.
struct CountryOptions {
  int nTownsX = 3;              ///< towns west to east
  int nTownsY = 3;              ///< towns south to north
  int nTownStreets = 8;         ///< streets per direction in a town (at least 5)
  double dTownSpacingKm = 5.0;  ///< between town centres
  double dBlockKm = 0.11;       ///< between a town's streets
  int nMotorwayEvery = 4;       ///< a motorway between every nth row and column of towns
  std::uint32_t nSeed = 1;      ///< the same seed writes the same file
  double dOriginLon = 6.0;      ///< the first town's centre
  double dOriginLat = 47.5;
};

/// What was written.
struct CountryStats {
  std::uint64_t nNodes = 0;
  std::uint64_t nWays = 0;
  std::uint64_t nRelations = 0;  ///< turn restrictions
};

/// Options giving about nFeatures features after the split at junctions
/// (19 streets a town, towns on a square).
CountryOptions CountryOfSize(std::uint64_t nFeatures, std::uint32_t nSeed = 1);

/// Writes the country to sPath, whose extension gives the format (.osm.pbf,
/// .osm, .osm.bz2); an existing file is replaced. Throws std::exception when
/// the options are out of range or the file cannot be written.
CountryStats WriteCountry(const std::string& sPath, const CountryOptions& options);

}  // namespace vxgen

#endif
