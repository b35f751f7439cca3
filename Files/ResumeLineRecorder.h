#pragma once
// The line a power-off resume starts from, kept while a job streams. The
// record is written (atomically, with its syncs) on a thread of its own and at
// most once per interval, so the stream never waits for the storage; pause and
// the end of a job write at once.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class ResumeLineRecorder {
public:
    using Writer = std::function<void(int line)>;
    // writer stores one value; by default the resume record keeper's line number.
    explicit ResumeLineRecorder(std::chrono::milliseconds interval = std::chrono::seconds(1), Writer writer = {});
    ~ResumeLineRecorder();   // a line still pending is written first

    // Takes the newest line and returns at once.
    void record(int line);
    // Writes the newest line now unless it is written already, and returns when it is.
    void flush();
    // Writes this line now in place of any pending one (the end of a job writes 0).
    void writeNow(int line);

private:
    using Clock = std::chrono::steady_clock;
    void run();
    void writePending();

    const std::chrono::milliseconds m_interval;
    const Writer m_writer;
    std::mutex m_writeLock;   // one write at a time, the newest value last
    std::mutex m_mutex;       // guards what follows
    std::condition_variable m_wake;
    int m_line = 0;
    bool m_pending = false;
    bool m_stopping = false;
    Clock::time_point m_lastWrite{};
    std::thread m_thread;
};
