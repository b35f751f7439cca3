#pragma once
// Machine rules that several pages share: the homed position and its
// coordinate set, the nozzle temperature ceiling, the heated window of the
// filament pages and the motion-end question. Pages call these; none of them
// keeps its own copy.
#include <QDeadlineTimer>
#include <QString>

#include <chrono>
#include <functional>

class SerialObject;

// The machine's build volume and where homing leaves the head.
namespace HomedPosition {
constexpr const char* BuildVolume = "190 X 195 X 200";   // width X depth X height, mm
constexpr double HomedZ = 215.0;                         // mm, before the nozzle offset
constexpr int HomingMargin = 5;                          // mm, added to half width and depth

int buildWidth();          // 190
int buildDepth();          // 195
// 215 minus the stored nozzle offset, two decimals ("212.00"); also the park height.
QString homedZText();
// "G92 X100 Y102 Z212.00 A0 B0"
QString coordinateSetCommand();
// The levelling page's own form: fixed X and Y, Z with one decimal, no A and B:
// "G92 X100 Y100 Z212.0".
QString levellingCoordinateSetCommand();
}

// Declares the homed position to the controller: "G90" (when withG90), then
// the "G92" line of HomedPosition::coordinateSetCommand(). False when the link
// could not confirm that the controller took them.
bool sendHomedCoordinates(SerialObject* link, bool withG90);

namespace MachineRules {

// A nozzle reading above this stops whatever drives the machine.
constexpr int NozzleCeiling = 280;
inline bool nozzleTooHot(int current) { return current > NozzleCeiling; }

// The filament pages heat the nozzle to this and count it hot inside the window.
constexpr int FilamentTemp = 230;
inline bool inHeatedWindow(int current, int target = FilamentTemp)
{
    return target - 2 <= current && current <= target + 19;
}

// Asks "M121" once; true when every move has ended. An error text counts as moving.
bool motionEnded(SerialObject* link);

// The abnormal-temperature stop of the tool pages: "M112" at once, then both
// heaters off.
void emergencyStop(SerialObject* link);

// Why a wait on the machine gave up: the controller says it still moves, or
// it does not answer (or did not confirm a command).
// Or its replies could not be read.
enum class Trouble { Stuck, Silent, Unreadable };

// A wait on moves, limited by the moves' own time plus a margin
// (ControllerProtocol::moveLimitMs), counting only time without progress:
// stuck once the limit has passed since the wait started, since the machine
// last showed progress (SerialObject::progress(): a slot freed, a new
// position, a heater nearing the target of a heat wait) and since the dwells
// and heat waits it was sent may have ended, with the controller still
// reporting motion. While nothing shows progress for half the limit, the poll
// also asks the position (and the heaters during a heat wait). Silent once
// every poll has failed for the margin alone, however long the moves.
class MoveWait {
public:
    enum Result { Moving, Ended, GaveUp };
    // Starts (or restarts) the wait with this limit.
    void start(int limitMs);
    // Keeps the later of the running deadline and a new limit from now.
    void extend(int limitMs);
    void stop() { m_active = false; }
    bool active() const { return m_active; }
    // Asks "M121" once. GaveUp ends the wait; trouble() tells why.
    Result poll(SerialObject* link);
    // poll() for a page: true once the moves have ended; on giving up,
    // gaveUp is told why.
    bool ended(SerialObject* link, const std::function<void(Trouble)>& gaveUp)
    {
        const Result result = poll(link);
        if (result == GaveUp)
            gaveUp(m_trouble);
        return result == Ended;
    }
    Trouble trouble() const { return m_trouble; }

private:
    using Clock = std::chrono::steady_clock;
    bool m_active = false;
    Clock::time_point m_floor;      // never stuck before: the limit from the start
    Clock::time_point m_nextLook;   // when the poll may ask position and heaters again
    QDeadlineTimer m_silentSince;   // running while polls fail
    int m_limitMs = 0;
    bool m_failing = false;
    Trouble m_trouble = Trouble::Stuck;
};

// Whether the controller answers at all: a wait or a homing run that gave up
// is put down to it (Silent) or to the machine (Stuck).
Trouble troubleNow(SerialObject* link);

// Sends a one-shot step's command; false when the link could not confirm
// that the controller took it, so the step must not count as done.
bool sendConfirmed(SerialObject* link, const QString& command);

}
