// The map reader: eight calls the path library makes, and the calls that open
// and close our own reader over an OpenStreetMap file.
#ifndef VX_INTERFACES_VROREAD_H
#define VX_INTERFACES_VROREAD_H

#include "interfaces/VroTypes.h"

/// Selects the attributes of feature id for the following VroReaderNextAttr
/// calls; nonzero when the feature exists. Writes the feature's code and texts.
VRO_API int VroFeatureOneAttr(VRO_READER*, const VRO_FEATURE_ID& id, int nArg, char* szCode,
                              char* szStr1, char* szStr2);
/// Next attribute of the selected feature (code[6], name[21], value[301]); 0 when none is left.
VRO_API int VroReaderNextAttr(VRO_READER*, char* szCode, char* szStr1, char* szStr2);
/// Later searches keep to road classes cPri1..cPri2.
VRO_API int VroReaderPriLimit(VRO_READER*, char cPri1, char cPri2);
/// Later searches take from category cCat only the classes listed in szCats.
VRO_API int VroReaderCatLimit(VRO_READER*, char cCat, const char* szCats);
/// Later searches return only features whose box meets the rectangle p1..p2.
VRO_API int VroReaderRectLimit(VRO_READER*, const Bin_LonLat& p1, const Bin_LonLat& p2);
/// Starts a new feature search under the limits set.
VRO_API int VroReaderReset(VRO_READER*, const char* szArg, int nArg);
/// Next feature of the search: its point count (> 0), texts, id and points
/// (valid until the next call); 0 when the search is exhausted.
VRO_API int VroReaderNextFeature(VRO_READER*, char* szCode, char* szStr1, char* szStr2,
                                 VRO_FEATURE_ID& id, Bin_LonLat*& pPts);
/// Nonzero when a and b denote the same map feature.
VRO_API int VroReaderIsSameFeature(VRO_READER*, const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b);

/// Opens an OpenStreetMap file (.osm, .osm.pbf, .osm.bz2); null on failure.
/// The caller owns the reader and closes it with VroReaderClose.
VRO_API VRO_READER* VroReaderOpen(const char* szMapFile);
/// Why the last VroReaderOpen on this thread failed; empty after a success.
VRO_API const char* VroReaderLastError();
/// Closes a reader opened by VroReaderOpen; null is ignored.
VRO_API void VroReaderClose(VRO_READER*);

#endif
