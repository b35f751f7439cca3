#include "Files/ResumeLineRecorder.h"

#include "Files/ResumePrintConfig.h"

ResumeLineRecorder::ResumeLineRecorder(std::chrono::milliseconds interval, Writer writer)
    : m_interval(interval),
      m_writer(writer ? std::move(writer)
                      : Writer([](int line) { FILESNAMESPACE::ResumePrintConfigSaveFile().setResumePrintNumber(line); }))
{
}

ResumeLineRecorder::~ResumeLineRecorder()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    writePending();
}

void ResumeLineRecorder::record(int line)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_line = line;
        // Only a new pending value needs the writer's attention: while one is
        // pending it already waits for its time.
        wake = !m_pending;
        m_pending = true;
        if (!m_thread.joinable() && !m_stopping)
            m_thread = std::thread([this] { run(); });
    }
    if (wake)
        m_wake.notify_one();
}

void ResumeLineRecorder::flush() { writePending(); }

void ResumeLineRecorder::writeNow(int line)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_line = line;
        m_pending = true;
    }
    writePending();
}

void ResumeLineRecorder::writePending()
{
    // The value is taken under the write lock, so writes land in the order the
    // values were taken and an older value can never overwrite a newer one.
    std::lock_guard<std::mutex> write(m_writeLock);
    int line = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pending)
            return;
        line = m_line;
        m_pending = false;
    }
    m_writer(line);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastWrite = Clock::now();
}

void ResumeLineRecorder::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        if (!m_pending) {
            m_wake.wait(lock);
            continue;
        }
        const Clock::time_point due = m_lastWrite + m_interval;
        if (Clock::now() < due) {
            m_wake.wait_until(lock, due);
            continue;
        }
        lock.unlock();
        writePending();
        lock.lock();
    }
}
