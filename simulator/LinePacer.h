#pragma once
// One direction of a serial line of a set speed: bytes handed to it at one
// moment come out one after the other at the line's pace, as they would cross
// a real UART. With no speed set they pass at once.
#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

class LinePacer {
public:
    using Clock = std::chrono::steady_clock;
    explicit LinePacer(double bytesPerSecond = 0.0);

    bool paced() const { return m_rate > 0.0; }
    // Hands n bytes to the line at now; unpaced, they go straight to out.
    void send(const char* data, size_t n, Clock::time_point now, std::string& out);
    // Appends to out the bytes that have crossed the line by now.
    void release(Clock::time_point now, std::string& out);
    // When the next line end (or, without one, the last byte) will have crossed.
    std::optional<Clock::time_point> nextLineAt() const;
    void clear();   // the line is gone, and with it what was on its way

private:
    using Seconds = std::chrono::duration<double>;
    struct Chunk {
        std::string bytes;
        Clock::time_point start;   // when bytes[0] begins to cross
    };
    Clock::time_point doneAt(const Chunk& c, size_t count) const;

    double m_rate;
    std::deque<Chunk> m_chunks;
    Clock::time_point m_busyUntil{};
};
