#pragma once
// Tells a busy machine from a stuck one. Fed with every command the link
// writes and every reply it takes, it knows when the controller last showed
// progress (a buffer slot freed, the head at a new position, a heater nearing
// the target of a heat wait the controller holds) and how long the dwells and
// heat waits the controller may still hold can keep it without any. A wait on
// the machine counts only time without progress.
//
// What the controller holds: every reply's free count says how many commands
// its buffer holds at that moment; they are the last ones sent that take a
// slot (moves, homing, dwells, heat waits), counted back from the command
// answered. The buffer's size is the largest count seen (an empty buffer).
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>

class MachineProgress {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // clock: for tests; the steady clock otherwise.
    explicit MachineProgress(std::function<TimePoint()> clock = {});

    // A command whose bytes went to the controller.
    void commandSent(std::string_view command);
    // A reply taken for a command. command is empty for a print line in
    // flight (answered "ok", replies taken in order).
    void replyTaken(std::string_view command, std::string_view reply);

    // When the machine last showed progress (at first: when this was made).
    TimePoint lastProgress() const;
    // Until when the dwells and heat waits the controller may still hold can
    // keep it without progress (a dwell its own time, from when it was sent
    // or the last progress, whichever is later, several queued adding up; a
    // heat wait a settling allowance); lastProgress() when it holds none.
    TimePoint busyUntil() const;
    // What of that still lies ahead, in milliseconds.
    int64_t allowanceMs() const;
    // From when a wait with this limit may call the machine stuck: the limit
    // after the later of the last progress and busyUntil().
    TimePoint stuckAfter(int limitMs) const;
    // No progress for limitMs beyond the allowance.
    bool quietFor(int limitMs) const { return now() > stuckAfter(limitMs); }
    // A heat wait may hold the controller: its heater's readings show progress.
    bool heatWaitPending() const;

    // Machine time a heat wait may take once its heater is there (residency,
    // overshoot), before the time scale.
    static constexpr double HeatSettleMs = 30000;

private:
    enum class Kind { Move, Dwell, HeatNozzle, HeatBed };
    struct Queued {
        Kind kind = Kind::Move;
        int64_t seq = 0;        // order of sending, among every command
        int64_t allowMs = 0;    // real time it may hold the controller without progress
        TimePoint sent;
    };
    TimePoint now() const { return m_clock ? m_clock() : Clock::now(); }
    void progressed() { m_lastProgress = now(); }
    // The tracked commands the controller may still hold, oldest first (lock held).
    template <class F> void forEachHeld(F f) const;
    TimePoint busyUntilLocked() const;
    bool heldKind(Kind kind) const;

    std::function<TimePoint()> m_clock;
    mutable std::mutex m_mutex;
    std::deque<Queued> m_queued;   // the last commands sent that take a buffer slot
    int64_t m_sentSeq = 0;         // commands sent
    int64_t m_answeredSeq = 0;     // the last of them answered
    int m_lastFree = -1;           // free count of the last reply
    int m_maxFree = -1;            // the largest count seen: the buffer's size
    TimePoint m_lastProgress;
    bool m_havePosition = false;
    double m_position[4] = {0, 0, 0, 0};
    int m_nozzleGap = -1, m_bedGap = -1;   // degrees to the target at the last reading, -1 without a target
};
