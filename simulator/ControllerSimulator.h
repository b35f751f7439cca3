#pragma once
// Stand-in for the motion and heater controller: answers the controller
// protocol on the master side of a pseudo-terminal, on a thread of its own.
#include "serial/ControllerProtocol.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class ControllerSimulator {
public:
    struct Options {
        int bufferSlots = 16;
        double timeScale = 1.0;          // simulated seconds per real second (tests use e.g. 50)
        double heatRate = 2.0;           // degrees C per simulated second
        int ambient = 25;
        double bedHeight = 0.0;          // where an armed probe stops a descending Z move
        bool filament = true;
        bool probeFitted = true;
        bool keepTranscript = true;      // off for long benchmark runs (receivedCount() still counts)
        double lineBytesPerSecond = 0;   // serial line speed each way (11520 = 115200 baud 8N1); 0: instant
        double homingSpeed[3] = {50.0, 50.0, 10.0};   // mm/s of a G28 move, X, Y, Z
        double unhomedTravel = 200.0;    // mm an axis travels to its end stop before its first homing
    };
    ControllerSimulator();
    explicit ControllerSimulator(const Options& options);
    ~ControllerSimulator();

    // Opens the pseudo-terminal, links it at linkPath (e.g. rootPath("/dev/ttyS2")) and
    // starts answering. The buffer-busy line is written to gpioValuePath when not empty.
    bool start(const QString& linkPath, const QString& gpioValuePath);
    void stop();

    // Every command line received, in order, without "~" and "\r\n".
    QStringList transcript() const;
    void clearTranscript();
    QStringList takeTranscript();                // returns the lines and clears them at once
    // Blocks (processing no Qt events) until the exact line has arrived (now or
    // before) or timeoutMs passed; true when seen.
    bool waitForLine(const QString& exact, int timeoutMs) const;

    // State the tests set or read.
    void setTemperatures(int nozzle, int bed);
    void pinNozzleTemperature(int value);        // -1 unpins
    void setFilament(bool present);
    void setBedHeight(double z);
    // Platform height map: an armed probe stops a descent at the height of the
    // map point nearest the head (in the coordinates M114 reports). An empty
    // map is the flat bed of setBedHeight() and Options::bedHeight.
    struct BedPoint { double x = 0, y = 0, z = 0; };
    void setBedHeightMap(const std::vector<BedPoint>& points);
    int nozzleTarget() const;
    int bedTarget() const;
    bool moving() const;
    // Logical position (what M114 reports), end stops, probe and buffer state.
    ControllerProtocol::Position position() const;
    ControllerProtocol::EndStops endStops() const;
    bool probeArmed() const;
    int freeSlots() const;
    int64_t receivedCount() const;
    // Motion commands that arrived while every buffer slot was taken (a link
    // that honours the flow control never causes one).
    int overflows() const;

    // Fault injection.
    void dropReplies(int count);                 // answer nothing to the next count commands
    void delayReplies(int ms, int count);        // answer late
    // Answer twice: the copy right behind the reply, or gapMs later on its own
    // (the next command may be taken before it).
    void duplicateReplies(int count, int gapMs = 0);
    // A slow controller: every reply comes minMs..maxMs late, in order, while
    // commands are still taken and carried out (0, 0 turns it off).
    void replyLatency(int minMs, int maxMs);
    // Commands received while a reply to an earlier one was still on its way.
    QStringList receivedBeforeEarlierReplies() const;
    void garbleReplies(int count);               // answer with unreadable bytes
    void partialReplies(int count);              // answer without the final "\n"
    void holdBufferFull(int ms);                 // report 0 free slots and hold the busy line
    // Close the line as if the cable were pulled, right after the next command
    // has been taken (it is recorded and carried out, its reply never sent).
    // Lines already on their way behind it are still taken, without replies,
    // until the input has been quiet for 100 ms; then the line closes.
    // With reconnectAfterMs >= 0 a new line is linked at the same path after that time.
    // With swallowInFlight the lines on their way behind that command are lost instead.
    void hangUp(int reconnectAfterMs = -1, bool swallowInFlight = false);
    void movesNeverEnd(bool on);                 // M121 keeps answering "B"
    // Answer nothing to the next count commands that begin with prefix (e.g. "M114").
    void dropRepliesTo(const QString& prefix, int count);
    // Answer the next count commands that begin with prefix with payload in place
    // of their own reply (the free count stays the controller's).
    void overrideRepliesTo(const QString& prefix, const QString& payload, int count = 1);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
