// The map reader: eight calls the path library makes, and the calls that open
// and close our own reader over an OpenStreetMap file or a compiled map.
//
// Our reader (libVroRead) holds the car-drivable roads of the file, cut into
// features at junctions and dead ends (see map/OsmImport.h). Every call takes
// the reader first; with a null reader it does nothing and returns 0.
//
// Features. A feature id is never the null id and is the same each time the
// same file is opened. It carries a direction flag: the id of a feature driven
// from its last point to its first (vxnet::FeatureIdOf(n, true)) names the same
// feature (VroReaderIsSameFeature ignores the flag) but VroFeatureOneAttr
// presents it as seen in the direction of travel. Searches hand out ids
// without the flag.
//
// Texts (buffer sizes, in interfaces/VroTexts.h, include the NUL; nothing
// longer is ever written, and a null buffer is left alone):
// - feature code, char[6]: five characters "R" class form mark routable, e.g.
//   "R60+0" (the format is documented, and read by vro::ParseFeatureCode, in
//   interfaces/VroTexts.h). A roundabout road (form "C") is one tagged
//   junction=roundabout or circular in OpenStreetMap; "X" marks a road the
//   route engine must not use (oneway=reversible).
// - szStr1, char[21]: the road code text, "R" and the class number, e.g. "R6".
// - szStr2, char[301]: the road name in UTF-8, "" when the road has none; a
//   longer name is cut at a character boundary.
//
// Attributes (VroReaderNextAttr), in this order:
// - "LVL", code "LVL+": the level at the first point; code "LVL-": the level
//   at the last point. A decimal integer: 0 on the ground, the OpenStreetMap
//   layer, else 1 on a bridge and -1 in a tunnel; where roads are joined at a
//   node they share one level there.
// - "EID", code "EID0": the edge number, the feature index + 1, decimal.
// - "TRN", code "TRN+" (first point) or "TRN-" (last point), only where turns
//   are forbidden: the roads that may not be entered from this feature through
//   that end, as items "-$<EID>" joined by ";", e.g. "-$120;-$121". A list that
//   does not fit in 300 bytes continues in further "TRN" attributes of the same
//   code. The forbidden turns come from the file's turn restrictions that bind
//   a car at all times, each forbidding only the turn it names (rules in
//   docs/restrictions.md); restrictions over via ways are not single turns at
//   a junction and are not listed: they are kept for the route engine alone.
#ifndef VX_INTERFACES_VROREAD_H
#define VX_INTERFACES_VROREAD_H

#include "interfaces/VroTexts.h"
#include "interfaces/VroTypes.h"

/// Selects the attributes of feature id for the following VroReaderNextAttr
/// calls; nonzero when the feature exists. Writes the feature's code and texts.
/// On an id with the direction flag the code's one-way mark is mirrored and
/// the attributes are those of the direction of travel: the ends are swapped
/// ("LVL+" and "TRN+" describe the digitised last point) and the marks follow
/// the travel. nArg is not used. On 0 no attribute is selected.
VRO_API int VroFeatureOneAttr(VRO_READER*, const VRO_FEATURE_ID& id, int nArg, char* szCode,
                              char* szStr1, char* szStr2);
/// Next attribute of the selected feature (code[6], name[21], value[301]); 0 when none is left.
/// The selection is made by VroFeatureOneAttr and VroReaderNextFeature and is
/// dropped by VroReaderReset.
VRO_API int VroReaderNextAttr(VRO_READER*, char* szCode, char* szStr1, char* szStr2);
/// Later searches keep to road classes cPri1..cPri2: a feature is found when
/// its class character ("1".."7") lies in the range, bounds included; the two
/// bounds may come in either order. Initially "1".."7". Returns 1.
VRO_API int VroReaderPriLimit(VRO_READER*, char cPri1, char cPri2);
/// Later searches take from category cCat only the classes listed in szCats.
/// Category "1" holds the roads, listed by their class characters "1".."7"
/// (other characters are ignored; an empty list selects no road). Categories
/// "0" and "2" are other kinds of feature, which a roads-only map does not
/// hold: their lists are accepted and select nothing. Initially every road.
/// Returns 0, changing nothing, for another category or a null list.
VRO_API int VroReaderCatLimit(VRO_READER*, char cCat, const char* szCats);
/// Later searches return only features whose box meets the rectangle p1..p2
/// (corners in either order, edges included). Until the first call a search
/// covers the whole map. Served by a grid index. Returns 1.
VRO_API int VroReaderRectLimit(VRO_READER*, const Bin_LonLat& p1, const Bin_LonLat& p2);
/// Starts a new feature search under the limits set. Limits changed later
/// apply to the next reset, not to the search under way. The arguments are
/// not used. Returns 1.
VRO_API int VroReaderReset(VRO_READER*, const char* szArg, int nArg);
/// Next feature of the search: its point count (> 0), texts, id and points
/// (valid until the next call); 0 when the search is exhausted.
/// Features come in ascending index order, each once. The points are the
/// reader's copy, at least two, in digitised order; writing into them does
/// not change the map. The feature's attributes become selected. Returns 0,
/// writing nothing, before the first VroReaderReset and after the last feature.
VRO_API int VroReaderNextFeature(VRO_READER*, char* szCode, char* szStr1, char* szStr2,
                                 VRO_FEATURE_ID& id, Bin_LonLat*& pPts);
/// Nonzero when a and b denote the same map feature (the direction flag does
/// not count); 0 when either is not a feature id of this reader (the null id).
VRO_API int VroReaderIsSameFeature(VRO_READER*, const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b);

/// Opens a map: a compiled map file (written by `vxnav build-map`, recognised
/// by its header, mapped read-only and shared, docs/map-format.md) or an
/// OpenStreetMap file (.osm, .osm.pbf, .osm.bz2, imported). Both give the
/// same answers to every call. Null on failure. The caller owns the reader
/// and closes it with VroReaderClose.
/// Fails for a missing, unreadable or malformed file, for a compiled map that
/// is truncated, corrupt or of a newer format version, and for a file without
/// any car-drivable road. One reader serves one thread at a time.
VRO_API VRO_READER* VroReaderOpen(const char* szMapFile);
/// Why the last VroReaderOpen on this thread failed; empty after a success.
/// The text stays valid until the next VroReaderOpen on this thread.
VRO_API const char* VroReaderLastError();
/// Closes a reader opened by VroReaderOpen; null is ignored.
VRO_API void VroReaderClose(VRO_READER*);

#endif
