// Records shared by the path library and the three external libraries it calls:
// the geographic point, the map's feature identifier, the map reader's integer
// point and the opaque handles of the map reader and the route engine.
#ifndef VX_INTERFACES_VROTYPES_H
#define VX_INTERFACES_VROTYPES_H

#include <cstdint>

// Symbols of the external libraries keep default visibility, so that an
// application may bring its own definitions in their place.
#if defined(__GNUC__)
#define VRO_API __attribute__((visibility("default")))
#else
#define VRO_API
#endif

/// A point on the earth: longitude then latitude, in degrees.
struct tagLonLat {
  double lon;  ///< longitude in degrees, east positive
  double lat;  ///< latitude in degrees, north positive
};

/// A map feature identifier, copied whole and never interpreted.
/// The null id has words 0..2 all ones and word 3 zero.
struct VRO_FEATURE_ID {
  std::uint32_t dw[4];  ///< the four words, meaningful only to the map reader
};

/// The map reader's point: units of 0.00001 degree.
struct Bin_LonLat {
  std::int32_t lon;  ///< longitude in units of 0.00001 degree
  std::int32_t lat;  ///< latitude in units of 0.00001 degree
};

/// Opaque handle of a map reader; owned by the application.
struct VRO_READER;
/// Opaque handle of a route engine; owned by the application.
struct VRO_ROUTE;

#endif
