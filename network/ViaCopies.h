// Turn restrictions over via roads in the route graph, as copies of
// half-edges. A route may never drive the half-edges of a kViaNo record one
// after the other (from, via..., to), nor leave the via half-edges of a
// kViaOnly record, driven right after its from, by any half-edge but the to
// of such a record with the same from and via. Whether a turn is allowed then
// depends on the way driven before it, so the graph's states carry that way
// as far as it matters: a copy of half-edge h is h driven at the end of a
// beginning (from, via...) of some record's sequence, the longest such
// beginning the way driven so far ends with. Copies are the states after the
// 2F half-edges (state 2F + i is copy i). Their steps say where a turn from a
// state leads when that is not the plain half-edge turned into: to a copy, or
// nowhere (the turn would complete a forbidden sequence). The states and
// steps are those of a string-matching automaton over the records' sequences
// (Aho and Corasick), so a route over them drives no forbidden sequence,
// whatever the records share: a common beginning gives common copies, and a
// record whose sequence begins inside another's is followed from within it.
#ifndef VX_NETWORK_VIACOPIES_H
#define VX_NETWORK_VIACOPIES_H

#include "network/RoadNetwork.h"

namespace vxnet {

/// Fills g.copies and g.steps for the via restrictions of net and flags
/// (kViaStart) the features whose half-edges have steps; g's flags and
/// leaving lists must be built for net. A record with a half-edge out of
/// range (2F and above), a from or via half-edge that cannot be driven, or
/// half-edges that do not follow one another node to node is passed over:
/// no route can drive it. Throws
/// std::length_error when the states would reach kMaxStates, std::bad_alloc.
void BuildViaCopies(const NetworkView& net, GraphData& g);

}  // namespace vxnet

#endif
