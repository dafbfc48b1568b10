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
  double lon;
  double lat;
};

/// A map feature identifier, copied whole and never interpreted.
/// The null id has words 0..2 all ones and word 3 zero.
struct VRO_FEATURE_ID {
  std::uint32_t dw[4];
};

/// The map reader's point: units of 0.00001 degree.
struct Bin_LonLat {
  std::int32_t lon;
  std::int32_t lat;
};

/// Opaque handle of a map reader; owned by the application.
struct VRO_READER;
/// Opaque handle of a route engine; owned by the application.
struct VRO_ROUTE;

#endif
