// Test maps drawn as text. In a drawing such as
//
//         c
//         |
//     a---b---d
//         |
//         e
//
// every letter or digit is a node on a metre grid; every other character only
// guides the eye. Ways are named by their nodes in order ("abd", "cbe") and
// carry OpenStreetMap tags; relations reference ways by those names and nodes
// by their letter. SketchMap writes the map as OpenStreetMap XML; SketchReader
// opens it with the real map reader and route engine and answers in the
// drawing's own terms: the route from a to d as the nodes it drives, the roads
// a junction offers with their turn angles.
//
//   SketchMap m(R"(
//         c
//         |
//     a---b---d
//         |
//         e
//   )");
//   m.Ways("ab 'Elm Street'; bd 'Elm Street'; cb; be oneway=yes")
//       .Relation("restriction=no_left_turn from:ab via:b to:cb");
//   const SketchReader s(m);
//   EXPECT_EQ(s.Route('a', 'd'), "ab bd");
//   EXPECT_EQ(s.Route('e', 'a'), "no route");       // be is one-way
//   EXPECT_EQ(s.Cross("ab"), "bd 0, be 270");       // no left turn into cb
//   EXPECT_EQ(s.Cross("db"), "ba 0, be 90, bc 270");
#ifndef VX_TESTS_SKETCHMAP_H
#define VX_TESTS_SKETCHMAP_H

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroTypes.h"

namespace vxtest {

/// Where a drawing lies on the earth: the first column of its first line at
/// origin; columns step east by dColumnMetres, lines south by dLineMetres,
/// each step rounded to whole map units (0.00001 degree, on a sphere of
/// 6371 km), so that nodes on one line share their latitude and nodes in one
/// column their longitude exactly. The default keeps a drawing's proportions:
/// "a---b" and a two-line "|" are both 40 m.
struct SketchGrid {
  double dColumnMetres = 10.0;
  double dLineMetres = 20.0;
  tagLonLat origin = {13.4, 52.5};
};

/// A map drawn as text, built up by the calls below; each call throws
/// std::invalid_argument on a mistake in the sketch (an unknown or repeated
/// letter, a way of one node, a member that names no way).
class SketchMap {
 public:
  /// Reads the nodes of an ASCII drawing (ways are given by Ways()).
  explicit SketchMap(std::string_view sDrawing, const SketchGrid& grid = {});

  /// Adds ways, separated by ";": each is its nodes in order, then its tags,
  /// a word each: key=value, a bare word for the highway type, a quoted text
  /// for the name; texts with blanks go in "..." or '...'. A way without a
  /// type is highway=residential. Ways get the ids 1, 2, ... in order.
  /// Example: Ways("abd 'Elm Street'; cbe primary oneway=yes").
  SketchMap& Ways(std::string_view sWays);
  /// Adds tags (key=value words, as for ways) to node cNode.
  SketchMap& Node(char cNode, std::string_view sTags);
  /// Adds node cNode (not in the drawing) on the very point of node cAt, as
  /// a node of its own: a bridge end above a street's junction, say.
  SketchMap& Place(char cNode, char cAt);
  /// Adds a relation: key=value tags and role:member words, members in the
  /// order given; a member of one letter is that node, a longer one the way
  /// of those nodes ("from:ab via:b to:bc", "via:bc" for a via way). The type
  /// is restriction unless a type= tag says otherwise.
  SketchMap& Relation(std::string_view sText);

  /// The map as OpenStreetMap XML: nodes by letter (id = its character
  /// code), ways and relations in the order added. The same sketch and calls
  /// give the same text, byte for byte.
  std::string Xml() const;
  /// The point of a node in map units.
  Bin_LonLat Point(char cNode) const;
  /// The node names of the ways, in the order added (way i has id i + 1).
  const std::vector<std::string>& WayNodes() const { return m_wayNodes; }

 private:
  using Tags = std::vector<std::pair<std::string, std::string>>;
  struct Member {
    bool bWay;
    long nRef;
    std::string sRole;
  };
  struct Relations {
    Tags tags;
    std::vector<Member> members;
  };
  void AddNode(char cNode, const Bin_LonLat& pt);

  std::map<char, Bin_LonLat> m_points;
  std::map<char, Tags> m_nodeTags;
  std::vector<std::string> m_wayNodes;
  std::vector<Tags> m_wayTags;
  std::vector<Relations> m_relations;
};

/// A sketch opened with the real map reader and route engine, over an
/// OpenStreetMap file written to the temporary directory. Owns the file, the
/// reader and the engine; removes and closes them when destroyed. The
/// features are matched to the sketch's ways through the reader's network
/// (network/ReaderNetwork.h), so only Cross() searches the reader, and it leaves the
/// search limits GetCrossEdge sets. Route() leaves the engine's blocks.
class SketchReader {
 public:
  /// Opens the map; throws std::runtime_error when the reader or the engine
  /// refuses it (with the reader's reason).
  explicit SketchReader(const SketchMap& map);
  ~SketchReader();
  SketchReader(const SketchReader&) = delete;
  SketchReader& operator=(const SketchReader&) = delete;

  VRO_READER* Reader() const { return m_hReader; }
  VRO_ROUTE* Engine() const { return m_hRoute; }
  /// The written OpenStreetMap file (for vxnav drive --map, say).
  const std::string& File() const { return m_sFile; }

  /// The point of a node in degrees, exactly the map point the reader holds.
  tagLonLat At(char cNode) const;
  /// The point a fraction t of the way from node a to node b.
  tagLonLat Between(char a, char b, double t = 0.5) const;
  /// The feature that holds the stretch sTravel ("ab": from a to b), with
  /// the direction flag when that runs against the feature's digitisation.
  /// Throws std::invalid_argument when no feature or more than one holds it.
  VRO_FEATURE_ID Feature(std::string_view sTravel) const;

  /// The route the engine finds (VroRouteFindPath's arguments), edge by
  /// edge, separated by blanks; each edge the nodes its points lie on, "*"
  /// for a point on no node (a start or target between nodes), and "!" after
  /// an edge whose direction flag contradicts the order of its points.
  /// Examples: "ab bd", "*b bd*"; "" for a route without edges, "no route".
  std::string Route(const tagLonLat& from, const tagLonLat& to, double dAngle = -1.0,
                    const char* szMode = "shortest", double dTurnPenalty = 0.0,
                    double dDeadEndPenalty = 0.0) const;
  /// The shortest route from node a to node b.
  std::string Route(char a, char b) const { return Route(At(a), At(b)); }
  /// A path holding the engine's route (Route's arguments; empty when there
  /// is none), read by this reader.
  CPath RoutePath(const tagLonLat& from, const tagLonLat& to, double dAngle = -1.0,
                  const char* szMode = "shortest") const;
  /// The edges of a path as Route writes them.
  std::string PathText(const CPath& path) const;

  /// The roads CPath::GetCrossEdge lists at the end of sArrival ("ab":
  /// driving from a into b), every road class: each as its first two nodes
  /// from the junction and its turn angle in whole degrees, by angle then
  /// name, e.g. "bd 0, bc 90, be 270"; "" when none.
  std::string Cross(std::string_view sArrival, int bTurnCheck = 1, int bLevelCheck = 1) const;

 private:
  // The feature holding sTravel, its nodes in the order of travel and whether
  // that runs against its digitisation.
  struct Travel {
    std::uint32_t nFeature;
    bool bReversed;
    std::string sNodes;
  };
  Travel FindTravel(std::string_view sTravel) const;
  void Close();
  // The nodes a route edge's points lie on (see Route).
  std::string EdgeNodes(const VRO_FEATURE_ID& id, int nPts, const tagLonLat* pPts) const;
  std::string Oriented(std::uint32_t nFeature, bool bReversed) const;

  SketchMap m_map;
  std::string m_sFile;
  VRO_READER* m_hReader = nullptr;
  VRO_ROUTE* m_hRoute = nullptr;
  std::vector<std::string> m_featureNodes;  // per feature, its nodes as digitised
};

}  // namespace vxtest

#endif
