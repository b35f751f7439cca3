#include "simulator/LinePacer.h"

#include <algorithm>
#include <cmath>

LinePacer::LinePacer(double bytesPerSecond) : m_rate(bytesPerSecond > 0.0 ? bytesPerSecond : 0.0) {}

LinePacer::Clock::time_point LinePacer::doneAt(const Chunk& c, size_t count) const
{
    return c.start + std::chrono::duration_cast<Clock::duration>(Seconds(double(count) / m_rate));
}

void LinePacer::send(const char* data, size_t n, Clock::time_point now, std::string& out)
{
    if (!paced()) {
        out.append(data, n);
        return;
    }
    if (n == 0)
        return;
    // The line is idle or still busy with earlier bytes: these follow them.
    const Clock::time_point start = std::max(now, m_busyUntil);
    m_chunks.push_back({std::string(data, n), start});
    m_busyUntil = doneAt(m_chunks.back(), n);
}

void LinePacer::release(Clock::time_point now, std::string& out)
{
    while (!m_chunks.empty()) {
        Chunk& c = m_chunks.front();
        if (now < c.start)
            return;
        // (a hair of slack: a byte due at this very nanosecond counts as crossed)
        const double crossed = std::floor(Seconds(now - c.start).count() * m_rate + 1e-6);
        const size_t k = crossed >= double(c.bytes.size()) ? c.bytes.size() : size_t(crossed);
        if (k == c.bytes.size()) {
            out += c.bytes;
            m_chunks.pop_front();
            continue;
        }
        if (k > 0) {
            out.append(c.bytes, 0, k);
            c.start = doneAt(c, k);
            c.bytes.erase(0, k);
        }
        return;
    }
}

std::optional<LinePacer::Clock::time_point> LinePacer::nextLineAt() const
{
    if (m_chunks.empty())
        return std::nullopt;
    for (const Chunk& c : m_chunks) {
        const size_t nl = c.bytes.find('\n');
        if (nl != std::string::npos)
            return doneAt(c, nl + 1);
    }
    return m_busyUntil;
}

void LinePacer::clear()
{
    m_chunks.clear();
    m_busyUntil = Clock::time_point{};
}
