// The path library's one exported class, CPath: a route held as a doubly
// linked list of road edges, with guidance, position matching, junction
// description and rerouting. Also the guidance records PathGuid and NavGuid.
#ifndef VX_CPATH_CPATH_H
#define VX_CPATH_CPATH_H

#include "interfaces/VroTypes.h"

namespace vx {
class MatchIndex;
}

#if defined(__GNUC__)
#define VX_CPATH_API __attribute__((visibility("default")))
#else
#define VX_CPATH_API
#endif

/// One guidance item: an edge up to its end point and the turn onto the edge
/// that follows. Owned by the application; the library fills and reads it.
struct PathGuid {
  VRO_FEATURE_ID idEdge;      ///< feature of the item's edge
  char szName[301];           ///< road name, at most 300 characters; empty when none
  short nCode;                ///< road code number of the edge
  short nRoadAttr;            ///< road attribute number of the edge
  unsigned short wPtNum;      ///< point count of the edge
  tagLonLat* pPts;            ///< the edge's own points inside the path (not a copy)
  double dReserved1;          ///< copy of the edge's reserved value; 0
  double dReserved2;          ///< copy of the edge's second reserved value; 0
  double dDist;               ///< metres to the manoeuvre point
  double dTurnAngle;          ///< turn at the end, 0..360 degrees counterclockwise; -1 when none
  tagLonLat ptEnd;            ///< the manoeuvre point; (180, 90) when missing
  VRO_FEATURE_ID idNext;      ///< feature of the following edge; the null id when none
  char szNextName[301];       ///< road name of the following edge
  short nNextCode;            ///< road code number of the following edge; 0 when none
  unsigned short wNextPtNum;  ///< point count of the following edge; 0 when none
  short nNextRoadAttr;        ///< road attribute number of the following edge
  tagLonLat* pNextPts;        ///< the following edge's points inside the path; null when none
};

/// The match of a position: the guidance item of the current edge and the
/// path points around the matched position.
struct NavGuid : PathGuid {
  tagLonLat ptBefore;  ///< path point behind the matched position
  tagLonLat ptClose;   ///< the matched position
  tagLonLat ptAfter;   ///< path point ahead of the matched position
};

/// A route as a doubly linked list of edges in the order of travel. Owns its
/// edges and their private heap; does not own the map reader or route engine.
/// One thread at a time per object.
class VX_CPATH_API CPath {
 public:
  /// One road edge: identifier, texts as numbers, length, box, links, points.
  /// Allocated in one block with its points and its name.
  struct NavEdge {
    VRO_FEATURE_ID id;      ///< the map feature it was made from; the null id when none
    int bTwoWay;            ///< 0 when its code carries a one-way mark ('+' or '-'), else 1
    short nCode;            ///< road code number ("R5" gives 5), its low 16 bits
    char* szName;           ///< road name in its block; null when the edge has none
    short nRoadAttr;        ///< road attribute number (the engine's maxspeed), low 16 bits
    double dEdgeLen;        ///< length in metres, given or computed
    double dReserved1;      ///< reserved, 0
    double dReserved2;      ///< reserved, 0
    double dMinLon;         ///< bounding box of the points: least longitude
    double dMinLat;         ///< least latitude
    double dMaxLon;         ///< greatest longitude
    double dMaxLat;         ///< greatest latitude
    NavEdge* pPrev;         ///< the edge before, null for the first
    NavEdge* pNext;         ///< the edge after, null for the last
    unsigned short wPtNum;  ///< number of points, at least 2
    tagLonLat pts[1];       ///< the points in the order of travel (wPtNum of them)
  };

  /// An empty path without map reader.
  CPath();
  /// Deep copy into the new path's own heap; the copy's cursor starts null.
  CPath(const CPath& other);
  /// Clears this path, then deep-copies other; self-assignment does nothing.
  CPath& operator=(const CPath& other);
  /// Releases every edge and the heap.
  virtual ~CPath();
  /// Releases every edge and the heap; the cursor becomes null. The heap's
  /// memory is kept by the process, up to 8 MiB, for the next path's heap.
  virtual void Clear();

  /// Clears the path (through the virtual Clear) before a new build.
  void BeginAddEdge();
  /// Stores the map reader handle; not owned.
  void SetVroReader(VRO_READER* hReader);

  /// Appends an edge; 1 when done, 0 when refused (the path is unchanged).
  /// The texts and points are copied.
  int AddEdge(const char* szCode, const char* szStr1, const char* szStr2, const char* szRoadAttr,
              unsigned short wPtNum, const tagLonLat* const pPts);
  /// As AddEdge above, with the edge's map feature id.
  int AddEdge(const char* szCode, const char* szStr1, const char* szStr2, const char* szRoadAttr,
              unsigned short wPtNum, const tagLonLat* const pPts, const VRO_FEATURE_ID& id);
  /// As AddEdge above, with the feature id and the length in metres (not computed).
  int AddEdge(const char* szCode, const char* szStr1, const char* szStr2, const char* szRoadAttr,
              unsigned short wPtNum, const tagLonLat* const pPts, const VRO_FEATURE_ID& id,
              double dEdgeLen);
  /// As AddEdge above, with the length in metres (not computed) and no feature id.
  int AddEdge(const char* szCode, const char* szStr1, const char* szStr2, const char* szRoadAttr,
              unsigned short wPtNum, const tagLonLat* const pPts, double dEdgeLen);

  /// Puts the cursor on the first edge; 1 when there is one.
  int StartEdge() const;
  /// Hands out the cursor's edge (points stay owned by the path) and moves on.
  int NextEdge(unsigned short& wPtNum, tagLonLat*& pPts) const;
  /// As NextEdge above, with the edge's feature id.
  int NextEdge(unsigned short& wPtNum, tagLonLat*& pPts, VRO_FEATURE_ID& id) const;

  /// Matches a position fix: 0 nothing to match, 1 on the path, 2 arrived,
  /// 3 off the path. Fills nav; leaves the cursor after the current edge.
  /// dAngle is the direction of travel in degrees counterclockwise from east;
  /// a negative value, NaN, or a value whose tenths of a degree do not fit
  /// 16 bits (6553.6 or more, infinities included) means no direction.
  int TestPoint(const tagLonLat& pt, double dTol, NavGuid& nav, double dAngle,
                const PathGuid* const pGuid) const;

  /// Puts the cursor on the first edge for guidance; 1 when there is one.
  int StartGuid() const;
  /// The guidance item of the cursor's edge; moves on. 0 at the end.
  int NextGuid(PathGuid& guid) const;
  /// The item after guid, without moving the cursor; 0 when there is none.
  int GetNextGuid(const PathGuid& guid, PathGuid& next) const;

  /// The roads that leave the manoeuvre point of guid, with the turn angle
  /// into each, read from the map reader. Returns the count written.
  static int GetCrossEdge(VRO_READER* hReader, const NavGuid& guid, VRO_FEATURE_ID* pIDs,
                          double* pAngles, unsigned short wMaxNum, int bTurnCheck, int bLevelCheck,
                          const char* pszCat, char cPri1, char cPri2);

  /// Rebuilds the path from pt through the route engine, keeping the old path
  /// from a rejoin edge 50 km ahead on. 1 when rebuilt, 0 when unchanged.
  int QuickRoute(VRO_ROUTE* hRoute, const tagLonLat& pt, double dAngle, double dRouteArg1,
                 const char* szRouteArg, double dRouteArg2);
  /// As QuickRoute, with the look-ahead dAhead metres (50 km when not positive).
  int QuickRoute2(VRO_ROUTE* hRoute, const tagLonLat& pt, double dAngle, double dRouteArg1,
                  const char* szRouteArg, double dRouteArg2, double dAhead);
  /// Rebuilds the path from pt avoiding the edge dBlockDist metres ahead.
  int BlockRoute(VRO_ROUTE* hRoute, double dBlockDist, double dTol, const tagLonLat& pt,
                 double dAngle, double dRouteArg1, const char* szRouteArg, double dRouteArg2);

 protected:
  /// An uninitialised edge with room for wPtNum points and no name, or null.
  NavEdge* NewNavEdge(unsigned short wPtNum);
  /// An edge with room for wPtNum points and a name of wNameLen characters;
  /// szName and the reserved values set. Null on failure.
  NavEdge* NewNavEdge(unsigned short wPtNum, unsigned short wNameLen);
  /// Releases one edge's block; the caller unlinks it first.
  void DeleteNavEdge(NavEdge* pEdge);
  /// A copy of an edge in this path's heap (links kept, not listed), or null.
  NavEdge* CopyNavEdge(const NavEdge* const pEdge);
  /// The edge, from pStart (or the first) on, nearest to pt, preferring
  /// segments within 45 degrees of dAngle (no direction as for the public
  /// TestPoint). Null only for an empty path or dTol not greater than 0.
  NavEdge* TestPoint(const tagLonLat& pt, double dTol, unsigned short& wPtInx, tagLonLat& ptClose,
                     double dAngle, const NavEdge* const pStart) const;
  /// The edge that starts at the first node dAheadDist ahead of pt's match.
  NavEdge* FindNode(const tagLonLat& pt, double dAngle) const;

  VRO_READER* hReader;       ///< the map reader given by SetVroReader; not owned
  NavEdge* pHead;            ///< the first edge, null when the path is empty
  NavEdge* pTail;            ///< the last edge, null when the path is empty
  mutable NavEdge* pCursor;  ///< the iteration cursor of StartEdge/NextEdge and guidance
  double dMatchDist;         ///< FindNode's match tolerance in metres
  double dAheadDist;         ///< FindNode's look-ahead in metres
  void* hHeap;               ///< the private edge heap, null until the first edge

 private:
  /// Rebuilds the boxes index that speeds up matching from the edge list.
  /// Any code that relinks, removes or inserts edges other than by AddEdge
  /// or Clear must call it afterwards.
  void RebuildMatchIndex();
  /// Adds the edge just appended at the tail to the index.
  void AppendMatchIndex(const NavEdge* pEdge);
  /// Releases the index.
  void DropMatchIndex();

  vx::MatchIndex* pMatchIndex;
  /// Has the engine route from pt to the first point of pNode (to the last
  /// point of the path when pNode is null) and puts the engine's edges in
  /// place of the edges before pNode (of every edge when null). 1 when done,
  /// with the engine's route still held; 0 when the engine found no route,
  /// with the path unchanged.
  int RerouteBefore(VRO_ROUTE* hRoute, const tagLonLat& pt, NavEdge* pNode, double dAngle,
                    double dRouteArg1, const char* szRouteArg, double dRouteArg2);
};

#endif
