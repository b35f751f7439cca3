#pragma once
// The controller's line protocol, shared by the controller link and the
// controller simulator so both sides agree on one reply format per query.
//
// Request:  "~" + command + "\r\n"
// Reply:    "<free> <payload>\n"   <free> = free buffer slots in the controller
//
//   query          payload                         meaning
//   M105           T:<cur>/<target> B:<cur>/<target>   nozzle and bed, whole degrees C
//   M114           X:<x> Y:<y> Z:<z> E:<e>          position, mm, two decimals
//   M121           F | B                           every move ended | still moving
//   M119           X:<0|1> Y:<0|1> Z:<0|1>         end stop triggered (1) per axis
//   M113           FIL:1 | FIL:0                   filament present | run out
//   M117           SLOTS                           only the free-slot count matters (a shape
//                                                  no command's "ok" has, so a late copy of
//                                                  either can never pass for the other)
//   M130           PROBE:<0|1>                     probe fitted
//   anything else  ok
//
// Homing one axis: "G28 <axis>" (a single letter); the axis' end stop reads 1
// in M119 once the axis has reached home.
// Probe: "M141 T65" arms it, "M141 T219" disarms it; an armed probe stops a
// descending Z move at the bed and M114 then reports where it stopped.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace ControllerProtocol {

constexpr const char* SendFailed = "send failed.";
constexpr const char* FlowTimeout = "flow control timeout.";
// The command's bytes went out but no reply proved that the controller took it.
constexpr const char* Unconfirmed = "not confirmed.";
// The controller had no room (or the caller no time) for the command: it is
// kept, in order, and sent as soon as a slot frees. Not an error.
constexpr const char* Queued = "queued.";
// One of the link's own error texts above, not a reply of the controller:
// the command may not have reached the controller.
bool isLinkError(const QString& reply);
constexpr int DefaultBufferSlots = 16;

QString frame(const QString& command);                    // "~cmd\r\n"
QString reply(int freeSlots, const QString& payload);     // "<n> payload\n"

// The free count a reply starts with: 1 to 6 decimal digits after any blanks,
// ended by a blank or the line's end; -1 for anything else (a sign, more digits).
int freeSlots(const QString& reply);

// The same framing, reply and free-slot rules on bytes, for the print loop's
// hot path (no allocation per line).
void frameInto(std::string& out, std::string_view command);      // out = "~cmd\r\n"
void replyInto(std::string& out, int freeSlots, std::string_view payload);
int freeSlots(std::string_view reply);
// The plain "<n> ok" replies a line holds (more than one when line ends were
// lost); *syncReply tells whether a SyncQuery reply follows them in the line.
int okRepliesIn(std::string_view line, bool* syncReply);
// Whether a reply has the shape this protocol gives the command's reply, so a
// late answer to an earlier command is never taken for this one's.
bool replyFits(std::string_view command, std::string_view reply);
// Commands (not queries) are answered with the plain "ok": several of them may
// be in flight together, their replies taken in order.
bool answersOk(std::string_view command);
// The query that brings a link back in step after a fault: its reply has a
// shape no command's reply has, so every older reply is known to be behind it.
constexpr const char* SyncQuery = "M105";

struct Temperatures { int nozzle = 0, nozzleTarget = 0, bed = 0, bedTarget = 0; };
QString formatM105(const Temperatures& t);
std::optional<Temperatures> parseM105(const QString& reply);

struct Position { double x = 0, y = 0, z = 0, e = 0; };
QString formatM114(const Position& p);
// The whole position: X, Y and Z all read, or nothing.
std::optional<Position> parseM114(const QString& reply);
// The same reply axis by axis: an axis the reply lacks, or gives no number
// for, is not read (and stays 0 in at).
struct PositionReading {
    Position at;
    bool x = false, y = false, z = false;
    bool any() const { return x || y || z; }
};
PositionReading readM114(const QString& reply);

// The motion-end rule every page uses: second field, split at single blanks and trimmed, is "F".
QString formatM121(bool movesEnded);
bool motionEnded(const QString& m121Reply);

struct EndStops { bool x = false, y = false, z = false; };
QString formatM119(const EndStops& e);
std::optional<EndStops> parseM119(const QString& reply);

QString formatM113(bool filamentPresent);
// Present also when the controller could not tell ("Fail") or the reply is unreadable.
bool filamentPresent(const QString& m113Reply);

constexpr const char* CountQuery = "M117";
constexpr const char* CountPayload = "SLOTS";

QString formatM130(bool probeFitted);
bool probeFitted(const QString& m130Reply);

QString homeCommand(char axis);                           // "G28 Z"

// How long a wait on a move of mm millimetres at feed mm/min may last before
// the machine counts as stuck: twice the move's own time and 10 s more.
int moveLimitMs(double mm, double feedMmPerMin);
// Homing one axis ('X', 'Y' or 'Z') from anywhere, as a limit: the longest
// travel to an end stop at the slowest plausible homing speed (X, Y 56 s; Z 240 s).
int homingLimitMs(char axis);
// Machine seconds per real second; the simulator's time scale in tests.
void setMachineTimeScale(double scale);
double machineTimeScale();

}
