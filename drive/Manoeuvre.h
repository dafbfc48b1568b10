// Manoeuvres as a driver hears them: the class of a turn from its angle, the
// distances spoken, and the texts of the announcements.
#ifndef VX_DRIVE_MANOEUVRE_H
#define VX_DRIVE_MANOEUVRE_H

#include <string>

namespace vxdrive {

/// How sharp a turn is. Bands on the deviation from straight on, in degrees:
/// straight below 20, slight from 20 to below 45, turn from 45 to below 135,
/// sharp from 135 to below 170, U-turn from 170 to 180.
enum class TurnKind { kStraight, kSlight, kTurn, kSharp, kUTurn };

/// Side of a turn: left for angles between 0 and 180 (counterclockwise),
/// right for angles between 180 and 360; none for straight on and U-turns.
enum class TurnSide { kNone, kLeft, kRight };

/// The class of one turn.
struct TurnClass {
  TurnKind kind;
  TurnSide side;
};

/// Classes a turn angle in degrees as the path library reports it (0 straight
/// on, 90 left, 180 back, 270 right; any real number is folded into 0..360).
/// A negative or non-finite angle (no following road) is straight.
TurnClass ClassifyTurn(double dTurnAngle);

/// Short name of a class for logs and outputs: "straight", "slight left",
/// "left", "sharp right", "U-turn".
std::string TurnClassName(const TurnClass& turn);

/// The instruction of a turn without distance: "turn left", "turn slightly
/// right", "turn sharply left", "make a U-turn", "continue straight", with
/// " onto NAME" when the road taken has a name.
std::string TurnInstruction(const TurnClass& turn, const std::string& sRoad);

/// The instruction at a roundabout, counting the exits a driver may take
/// from where the vehicle is: "enter the roundabout and take the 2nd exit onto
/// Elm Street" before it (bEnter), "take the 2nd exit onto ..." within it,
/// where the first exit is "take the next exit onto ...". Without a road
/// name the " onto ..." is left out.
std::string RoundaboutInstruction(bool bEnter, int nExit, const std::string& sRoad);

/// A distance as spoken: to 10 m below 200 m, to 50 m below 1 km, tenths of a
/// kilometre below 10 km, whole kilometres above; never less than "10 m".
std::string SpokenDistance(double dMetres);

/// "In 300 m turn left onto Elm Street".
std::string PrepareText(double dMetres, const std::string& sInstruction);

/// "Now turn right".
std::string NowText(const std::string& sInstruction);

/// "Continue for 2.1 km".
std::string ContinueText(double dMetres);

/// "In 200 m you reach your destination".
std::string DestinationAheadText(double dMetres);

/// Distances at which a manoeuvre is announced, for a road speed in m/s.
struct AnnounceDistances {
  double dPrepare;  ///< the "In ..." announcement: 20 s of driving, 150 m to 1000 m
  double dNow;      ///< the "Now ..." announcement: 4 s of driving, 25 m to 120 m
};

/// The announcement distances for a road speed in m/s (non-finite or
/// negative speeds count as 0).
AnnounceDistances DistancesForSpeed(double dSpeed);

/// Speed in km/h on a road: its maximum speed when known (above 0), else the
/// default of its class 1 (motorway) to 7 (residential, service); 30 for an
/// unknown class.
double RoadSpeedKmh(int nMaxSpeed, int nClass);

/// Whether a guidance item is announced as a manoeuvre: the end of the route,
/// or any turn that is not straight on, except a slight bend that stays on a
/// road of the same name (the road itself bends there).
bool IsManoeuvre(double dTurnAngle, const char* szName, const char* szNextName);

}  // namespace vxdrive

#endif
