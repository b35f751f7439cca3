#include "serial/MachineProgress.h"

#include "serial/ControllerProtocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include <QString>

namespace {

// More than any controller's buffer holds: older commands have left it.
constexpr size_t MaxTracked = 256;

std::string_view trimmed(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The first word of a command as its letter and number ("G01" is G 1); the
// rest of the line in rest. False when the line has no such word.
bool commandWord(std::string_view command, char& letter, int& code, std::string_view& rest)
{
    command = trimmed(command);
    if (command.size() < 2)
        return false;
    letter = char(std::toupper(static_cast<unsigned char>(command[0])));
    const char* begin = command.data() + 1;
    const char* end = command.data() + command.size();
    const auto r = std::from_chars(begin, end, code);
    if (r.ec != std::errc() || (r.ptr != end && *r.ptr != ' ' && *r.ptr != '\t'))
        return false;
    rest = std::string_view(r.ptr, size_t(end - r.ptr));
    return true;
}

// The value of a word of the line (" S300" gives 300), or -1.
double wordValue(std::string_view rest, char wanted)
{
    size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < rest.size() && rest[i] != ' ' && rest[i] != '\t')
            ++i;
        if (i - start < 2 || std::toupper(static_cast<unsigned char>(rest[start])) != wanted)
            continue;
        double v = 0;
        const char* b = rest.data() + start + 1;
        if (*b == '+')
            ++b;
        const auto r = std::from_chars(b, rest.data() + i, v);
        if (r.ec == std::errc() && r.ptr == rest.data() + i && std::isfinite(v) && v >= 0)
            return v;
    }
    return -1;
}

int64_t realMs(double machineMs)
{
    return int64_t(machineMs / ControllerProtocol::machineTimeScale());
}

int gap(int current, int target)
{
    return target > 0 ? std::abs(target - current) : -1;
}

}

MachineProgress::MachineProgress(std::function<TimePoint()> clock) : m_clock(std::move(clock))
{
    m_lastProgress = now();
}

void MachineProgress::commandSent(std::string_view command)
{
    char letter = 0;
    int code = -1;
    std::string_view rest;
    const bool word = commandWord(command, letter, code, rest);
    std::lock_guard<std::mutex> l(m_mutex);
    ++m_sentSeq;
    if (!word)
        return;
    if (letter == 'M' && code == 112) {   // the controller forgets everything it held
        m_queued.clear();
        return;
    }
    Queued q;
    q.seq = m_sentSeq;
    q.sent = now();
    if (letter == 'G' && (code == 0 || code == 1 || code == 28)) {
        q.kind = Kind::Move;
    } else if (letter == 'G' && code == 4) {
        // Seconds (S) or milliseconds (P); the longer one when both are given.
        const double s = wordValue(rest, 'S'), p = wordValue(rest, 'P');
        q.kind = Kind::Dwell;
        q.allowMs = realMs(std::max(s * 1000.0, p));
    } else if (letter == 'M' && (code == 109 || code == 190)) {
        q.kind = code == 109 ? Kind::HeatNozzle : Kind::HeatBed;
        q.allowMs = realMs(HeatSettleMs);
    } else {
        return;
    }
    m_queued.push_back(q);
    if (m_queued.size() > MaxTracked)
        m_queued.pop_front();
}

void MachineProgress::replyTaken(std::string_view command, std::string_view reply)
{
    char letter = 0;
    int code = -1;
    std::string_view rest;
    const bool word = commandWord(command, letter, code, rest);
    const int free = ControllerProtocol::freeSlots(reply);
    std::lock_guard<std::mutex> l(m_mutex);
    // Replies come in order: a print line's answers the oldest line in flight;
    // an exchange's answers its own command, the last one sent.
    if (command.empty())
        m_answeredSeq = std::min(m_answeredSeq + 1, m_sentSeq);
    else
        m_answeredSeq = m_sentSeq;
    if (free >= 0) {
        // Sending only takes slots: a higher count means one was freed.
        if (m_lastFree >= 0 && free > m_lastFree)
            progressed();
        m_lastFree = free;
        m_maxFree = std::max(m_maxFree, free);
    }
    if (!word || letter != 'M' || (code != 121 && code != 114 && code != 105))
        return;
    const QString text = QString::fromLatin1(reply.data(), int(reply.size()));
    if (code == 121) {
        if (ControllerProtocol::motionEnded(text))   // every move ended: the controller holds nothing
            m_queued.clear();
    } else if (code == 114) {
        const auto p = ControllerProtocol::parseM114(text);
        if (!p)
            return;
        const double now[4] = {p->x, p->y, p->z, p->e};
        bool moved = false;
        for (int a = 0; a < 4; ++a)
            moved = moved || std::fabs(now[a] - m_position[a]) > 0.001;
        if (m_havePosition && moved)
            progressed();
        std::copy(now, now + 4, m_position);
        m_havePosition = true;
    } else if (code == 105) {
        const auto t = ControllerProtocol::parseM105(text);
        if (!t)
            return;
        // A heater nearing its target is progress only while a heat wait holds
        // the controller: otherwise the moves do not wait for it.
        const int nozzle = gap(t->nozzle, t->nozzleTarget), bed = gap(t->bed, t->bedTarget);
        const bool nearer = (nozzle >= 0 && m_nozzleGap >= 0 && nozzle < m_nozzleGap && heldKind(Kind::HeatNozzle))
            || (bed >= 0 && m_bedGap >= 0 && bed < m_bedGap && heldKind(Kind::HeatBed));
        if (nearer)
            progressed();
        m_nozzleGap = nozzle;
        m_bedGap = bed;
    }
}

template <class F> void MachineProgress::forEachHeld(F f) const
{
    // Everything sent after the last reply taken, and the count that reply
    // gave of what its buffer held up to its own command. Before any count,
    // everything tracked.
    size_t first = 0;
    if (m_maxFree >= 0 && m_lastFree >= 0) {
        size_t held = size_t(m_maxFree - m_lastFree);
        first = m_queued.size();
        while (first > 0 && m_queued[first - 1].seq > m_answeredSeq)
            --first;
        while (first > 0 && held > 0) {
            --first;
            --held;
        }
    }
    for (size_t i = first; i < m_queued.size(); ++i)
        f(m_queued[i]);
}

bool MachineProgress::heldKind(Kind kind) const
{
    bool found = false;
    forEachHeld([&](const Queued& q) { found = found || q.kind == kind; });
    return found;
}

MachineProgress::TimePoint MachineProgress::busyUntilLocked() const
{
    // In the order the controller carries them out: each waits for the one
    // before it, and cannot start before it was sent.
    TimePoint until = m_lastProgress;
    forEachHeld([&](const Queued& q) {
        if (q.kind != Kind::Move)
            until = std::max(until, q.sent) + std::chrono::milliseconds(q.allowMs);
    });
    return until;
}

MachineProgress::TimePoint MachineProgress::lastProgress() const
{
    std::lock_guard<std::mutex> l(m_mutex);
    return m_lastProgress;
}

MachineProgress::TimePoint MachineProgress::busyUntil() const
{
    std::lock_guard<std::mutex> l(m_mutex);
    return busyUntilLocked();
}

int64_t MachineProgress::allowanceMs() const
{
    const auto left = busyUntil() - now();
    return std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count());
}

MachineProgress::TimePoint MachineProgress::stuckAfter(int limitMs) const
{
    return busyUntil() + std::chrono::milliseconds(limitMs);
}

bool MachineProgress::heatWaitPending() const
{
    std::lock_guard<std::mutex> l(m_mutex);
    return heldKind(Kind::HeatNozzle) || heldKind(Kind::HeatBed);
}
