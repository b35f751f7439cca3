#include "simulator/ControllerSimulator.h"
#include "simulator/LinePacer.h"

#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <string>
#include <string_view>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double DefaultFeed = 3000.0;        // mm/min

struct Word {
    char letter = 0;
    bool hasValue = false;
    double value = 0;
};

constexpr int MaxWords = 16;

struct Words {
    Word w[MaxWords];
    int n = 0;
    bool empty() const { return n == 0; }
    const Word& operator[](int i) const { return w[i]; }
};

void splitWords(std::string_view line, Words& words)
{
    words.n = 0;
    size_t i = 0;
    while (i < line.size() && words.n < MaxWords) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        Word& w = words.w[words.n++];
        w = Word();
        const char c = line[i];
        w.letter = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
        ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && !std::isalpha(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start) {
            const char* b = line.data() + start;
            if (*b == '+')
                ++b;
            const auto r = std::from_chars(b, line.data() + i, w.value);
            // Whatever a line holds, values stay finite and within what an int holds.
            w.hasValue = r.ec == std::errc() && r.ptr == line.data() + i && std::isfinite(w.value)
                && std::fabs(w.value) < 1e9;
        }
    }
}

const Word* findWord(const Words& words, char letter)
{
    for (int i = 1; i < words.n; ++i)
        if (words.w[i].letter == letter)
            return &words.w[i];
    return nullptr;
}

// Waits for input, at most timeoutMs, and no later than the next line due off
// a paced serial line (to the nanosecond: a line at 115200 baud takes 3 ms).
void pollUntil(pollfd* fds, int nfds, int timeoutMs, std::optional<Clock::time_point> due)
{
    if (!due) {
        ::poll(fds, nfds, timeoutMs);
        return;
    }
    const auto wait = std::clamp<Clock::duration>(*due - Clock::now(), Clock::duration::zero(),
                                                  std::chrono::milliseconds(timeoutMs));
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    const timespec ts{time_t(ns / 1000000000), long(ns % 1000000000)};
    ::ppoll(fds, nfds_t(nfds), &ts, nullptr);
}

std::optional<Clock::time_point> earliest(std::optional<Clock::time_point> a, std::optional<Clock::time_point> b)
{
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}

struct Entry {
    enum Kind { Move, Home, Dwell, WaitHeat } kind = Move;
    double from[4] = {0, 0, 0, 0};
    double to[4] = {0, 0, 0, 0};
    double duration = 0;            // simulated seconds
    bool homeAxis[3] = {false, false, false};
    bool waitNozzle = false, waitBed = false;
    bool started = false;
};

}

struct ControllerSimulator::Impl {
    explicit Impl(const Options& o)
        : opt(o), toController(o.lineBytesPerSecond), toLink(o.lineBytesPerSecond), nozzle(o.ambient), bed(o.ambient)
    {
        filament = o.filament;
        probeFitted = o.probeFitted;
        bedHeight = o.bedHeight;
    }

    bool openLine();
    void closeLine();
    void run();
    void advance(Clock::time_point now);
    void handleLine(std::string_view line, Clock::time_point now);
    std::string execute(const Words& words);
    void enqueue(Entry e);
    void currentPhysical(double out[4]) const;
    int reportedNozzle() const { return pinned >= 0 ? pinned : int(std::lround(nozzle)); }
    int free(Clock::time_point now) const
    {
        if (now < holdUntil)
            return 0;
        return std::max(0, opt.bufferSlots - int(queue.size()));
    }
    void writeBusy(bool busy);
    void sendBytes(const std::string& bytes);
    void writeMaster(const std::string& bytes);
    void wake() const
    {
        const char c = 1;
        if (wakeW >= 0 && ::write(wakeW, &c, 1) < 0) {
        }
    }

    Options opt;
    mutable std::mutex m;
    mutable std::condition_variable cv;
    std::thread thread;
    std::atomic<bool> running{false};
    int masterFd = -1, slaveFd = -1, wakeR = -1, wakeW = -1;
    std::string linkPath, gpioPath;
    std::string inbuf;
    Words words;        // reused per command
    std::string out;    // reused per reply
    // The serial line's speed, each way (no limit unless set).
    LinePacer toController, toLink;
    std::string crossed;   // reply bytes that have crossed the line (reused)

    Clock::time_point lastReal;
    double simNow = 0, headStart = 0;
    double phys[4] = {0, 0, 0, 0}, planned[4] = {0, 0, 0, 0}, shift[4] = {0, 0, 0, 0};
    bool absXYZ = true, absE = true;
    double feed = DefaultFeed;
    bool homed[3] = {false, false, false}, atHome[3] = {false, false, false};
    std::deque<Entry> queue;

    double nozzle, bed;
    int nozzleTarget = 0, bedTarget = 0, pinned = -1;
    bool filament = true, probeFitted = true, probeArmed = false;
    double bedHeight = 0;
    std::vector<BedPoint> bedMap;
    double bedHeightAt(double x, double y) const;
    std::string dropPrefix;
    int dropPrefixCount = 0;
    bool dropForPrefix(std::string_view line);
    std::string overridePrefix, overridePayload;
    int overrideCount = 0;

    int dropCount = 0, duplicateCount = 0, garbleCount = 0, partialCount = 0, delayCount = 0, delayMs = 0;
    int duplicateGapMs = 0;                // > 0: a copy follows its reply this much later, on its own
    std::deque<std::pair<Clock::time_point, std::string>> laterCopies;   // replies due later, by time
    void sendAt(Clock::time_point at, const std::string& bytes)
    {
        const auto pos = std::upper_bound(laterCopies.begin(), laterCopies.end(), at,
                                          [](Clock::time_point t, const auto& e) { return t < e.first; });
        laterCopies.emplace(pos, at, bytes);
    }
    int latencyMinMs = 0, latencyMaxMs = 0;   // every reply this late, in order; input still taken
    Clock::time_point lastDue{};
    uint32_t latencySeed = 12345;
    Clock::time_point holdUntil{};
    bool hangPending = false;
    bool hanging = false;                  // replying no more, the line closes when input stops
    bool swallowOnHangUp = false;          // lines behind the hang-up's command are lost, not taken
    Clock::time_point hangQuiet{}, hangLatest{};
    static constexpr std::chrono::milliseconds HangQuietMs{100}, HangCloseMaxMs{1000};
    void closeAfterHang(Clock::time_point now);
    int reconnectAfter = -1;
    bool reconnectPending = false;
    Clock::time_point reconnectAt{};
    bool neverEnd = false;
    bool delayed = false;
    std::string delayedBytes;
    Clock::time_point delayedAt{};

    QStringList transcript;
    QStringList receivedBehind;   // received while an earlier reply was still due
    int64_t received = 0;
    int overflows = 0;
    int lastBusy = -1;
};

bool ControllerSimulator::Impl::openLine()
{
    const int mfd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (mfd < 0)
        return false;
    char name[128];
    if (grantpt(mfd) != 0 || unlockpt(mfd) != 0 || ptsname_r(mfd, name, sizeof name) != 0) {
        ::close(mfd);
        return false;
    }
    // Our own slave descriptor keeps the line up while the link reopens its side.
    const int sfd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (sfd < 0) {
        ::close(mfd);
        return false;
    }
    termios tio;
    if (tcgetattr(sfd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(sfd, TCSANOW, &tio);
    }
    fcntl(mfd, F_SETFL, fcntl(mfd, F_GETFL) | O_NONBLOCK);
    ::unlink(linkPath.c_str());
    if (::symlink(name, linkPath.c_str()) != 0) {
        ::close(sfd);
        ::close(mfd);
        return false;
    }
    masterFd = mfd;
    slaveFd = sfd;
    inbuf.clear();
    return true;
}

void ControllerSimulator::Impl::closeLine()
{
    if (masterFd >= 0)
        ::close(masterFd);
    if (slaveFd >= 0)
        ::close(slaveFd);
    masterFd = slaveFd = -1;
    ::unlink(linkPath.c_str());
    inbuf.clear();
    delayed = false;
    laterCopies.clear();
    toController.clear();
    toLink.clear();
}

void ControllerSimulator::Impl::closeAfterHang(Clock::time_point now)
{
    hanging = false;
    closeLine();
    if (reconnectAfter >= 0) {
        reconnectPending = true;
        reconnectAt = now + std::chrono::milliseconds(reconnectAfter);
    }
}

void ControllerSimulator::Impl::writeBusy(bool busy)
{
    if (gpioPath.empty() || int(busy) == lastBusy)
        return;
    lastBusy = int(busy);
    // Written aside and renamed, so the link never reads a half-written value.
    const std::string tmp = gpioPath + ".sim";
    if (FILE* f = std::fopen(tmp.c_str(), "w")) {
        std::fputs(busy ? "1\n" : "0\n", f);
        std::fclose(f);
        std::rename(tmp.c_str(), gpioPath.c_str());
    }
}

void ControllerSimulator::Impl::sendBytes(const std::string& bytes)
{
    if (!toLink.paced())
        return writeMaster(bytes);
    toLink.send(bytes.data(), bytes.size(), Clock::now(), crossed);   // written once it has crossed
}

void ControllerSimulator::Impl::writeMaster(const std::string& bytes)
{
    size_t done = 0;
    int spins = 0;
    while (masterFd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(masterFd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && ++spins < 100) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        std::fprintf(stderr, "controller simulator: reply dropped: %s\n", std::strerror(errno));
        return;
    }
}

void ControllerSimulator::Impl::currentPhysical(double out[4]) const
{
    std::copy(phys, phys + 4, out);
    if (queue.empty())
        return;
    const Entry& e = queue.front();
    if (!e.started || (e.kind != Entry::Move && e.kind != Entry::Home))
        return;
    const double t = e.duration > 0 ? std::clamp((simNow - headStart) / e.duration, 0.0, 1.0) : 1.0;
    for (int a = 0; a < 4; ++a)
        out[a] = e.from[a] + (e.to[a] - e.from[a]) * t;
}

void ControllerSimulator::Impl::advance(Clock::time_point now)
{
    const double dt = std::chrono::duration<double>(now - lastReal).count() * opt.timeScale;
    lastReal = now;
    const double step = opt.heatRate * dt;
    auto approach = [step](double& v, double target) {
        if (v < target)
            v = std::min(target, v + step);
        else
            v = std::max(target, v - step);
    };
    approach(nozzle, nozzleTarget > 0 ? nozzleTarget : opt.ambient);
    approach(bed, bedTarget > 0 ? bedTarget : opt.ambient);
    if (neverEnd)
        return;
    simNow += dt;
    while (!queue.empty()) {
        Entry& e = queue.front();
        if (!e.started) {
            e.started = true;
            for (int a = 0; a < 3; ++a)
                if (e.kind == Entry::Move && e.to[a] != e.from[a])
                    atHome[a] = false;   // the axis leaves its end stop
        }
        if (e.kind == Entry::WaitHeat) {
            const bool nozzleOk = !e.waitNozzle || reportedNozzle() >= nozzleTarget - 2;
            const bool bedOk = !e.waitBed || int(std::lround(bed)) >= bedTarget - 2;
            if (!(nozzleOk && bedOk))
                break;
            headStart = simNow;
            queue.pop_front();
            continue;
        }
        const double end = headStart + e.duration;
        if (end > simNow)
            break;
        if (e.kind == Entry::Move || e.kind == Entry::Home)
            std::copy(e.to, e.to + 4, phys);
        if (e.kind == Entry::Home) {
            for (int a = 0; a < 3; ++a) {
                if (e.homeAxis[a]) {
                    homed[a] = atHome[a] = true;
                    shift[a] = 0;
                }
            }
        }
        headStart = end;
        queue.pop_front();
    }
    if (queue.empty())
        headStart = simNow;
}

void ControllerSimulator::Impl::enqueue(Entry e)
{
    if (int(queue.size()) >= opt.bufferSlots)
        ++overflows;
    if (queue.empty())
        headStart = simNow;
    queue.push_back(e);
}

std::string ControllerSimulator::Impl::execute(const Words& words)
{
    if (words.empty() || !words[0].hasValue)
        return "ok";
    const char letter = words[0].letter;
    const int code = int(words[0].value);
    auto value = [&](char l, double def) {
        const Word* w = findWord(words, l);
        return w && w->hasValue ? w->value : def;
    };

    if (letter == 'G' && (code == 0 || code == 1)) {
        if (const Word* f = findWord(words, 'F'); f && f->hasValue && f->value > 0)
            feed = f->value;
        Entry e;
        std::copy(planned, planned + 4, e.from);
        std::copy(planned, planned + 4, e.to);
        const char axes[4] = {'X', 'Y', 'Z', 'E'};
        for (int a = 0; a < 4; ++a) {
            const Word* w = findWord(words, axes[a]);
            if (!w || !w->hasValue)
                continue;
            const bool absolute = a < 3 ? absXYZ : absE;
            e.to[a] = absolute ? w->value - shift[a] : planned[a] + w->value;
        }
        const double zFrom = e.from[2] + shift[2], zTo = e.to[2] + shift[2];
        const double bedZ = bedHeightAt(e.to[0] + shift[0], e.to[1] + shift[1]);
        if (probeArmed && zTo < zFrom && zTo < bedZ) {
            // The probe touches the bed: the move ends there.
            const double t = zFrom <= bedZ ? 0.0 : (zFrom - bedZ) / (zFrom - zTo);
            for (int a = 0; a < 4; ++a)
                e.to[a] = e.from[a] + (e.to[a] - e.from[a]) * t;
        }
        double dist = std::sqrt(std::pow(e.to[0] - e.from[0], 2) + std::pow(e.to[1] - e.from[1], 2) +
                                std::pow(e.to[2] - e.from[2], 2));
        if (dist == 0)
            dist = std::fabs(e.to[3] - e.from[3]);
        e.duration = dist / (feed / 60.0);
        std::copy(e.to, e.to + 4, planned);
        enqueue(e);
        return "ok";
    }
    if (letter == 'G' && code == 28) {
        Entry e;
        e.kind = Entry::Home;
        bool any = false;
        const char axes[3] = {'X', 'Y', 'Z'};
        for (int a = 0; a < 3; ++a)
            any = any || findWord(words, axes[a]);
        std::copy(planned, planned + 4, e.from);
        std::copy(planned, planned + 4, e.to);
        for (int a = 0; a < 3; ++a) {
            if (any && !findWord(words, axes[a]))
                continue;
            e.homeAxis[a] = true;
            atHome[a] = false;   // the end stop reads clear until the axis is back
            const double travel = homed[a] ? std::fabs(planned[a]) : opt.unhomedTravel;
            e.duration = std::max(e.duration, travel / std::max(opt.homingSpeed[a], 0.001));
            e.to[a] = 0;
            planned[a] = 0;
            shift[a] = 0;
        }
        enqueue(e);
        return "ok";
    }
    if (letter == 'G' && code == 4) {
        Entry e;
        e.kind = Entry::Dwell;
        e.duration = findWord(words, 'P') ? value('P', 0) / 1000.0 : value('S', 0);
        e.duration = std::max(0.0, e.duration);
        enqueue(e);
        return "ok";
    }
    if (letter == 'G' && code == 90) {
        absXYZ = absE = true;
        return "ok";
    }
    if (letter == 'G' && code == 91) {
        absXYZ = absE = false;
        return "ok";
    }
    if (letter == 'G' && code == 92) {
        const char axes[4] = {'X', 'Y', 'Z', 'E'};
        bool any = false;
        for (int a = 0; a < 4; ++a) {
            if (const Word* w = findWord(words, axes[a]); w && w->hasValue) {
                shift[a] = w->value - planned[a];
                any = true;
            }
        }
        if (!any)
            for (int a = 0; a < 4; ++a)
                shift[a] = -planned[a];
        return "ok";
    }
    if (letter == 'M' && code == 82) {
        absE = true;
        return "ok";
    }
    if (letter == 'M' && code == 83) {
        absE = false;
        return "ok";
    }
    if (letter == 'M' && (code == 104 || code == 109)) {
        nozzleTarget = std::max(0, int(std::lround(value('S', nozzleTarget))));
        if (code == 109) {
            Entry e;
            e.kind = Entry::WaitHeat;
            e.waitNozzle = true;
            enqueue(e);
        }
        return "ok";
    }
    if (letter == 'M' && (code == 140 || code == 190)) {
        bedTarget = std::max(0, int(std::lround(value('S', bedTarget))));
        if (code == 190) {
            Entry e;
            e.kind = Entry::WaitHeat;
            e.waitBed = true;
            enqueue(e);
        }
        return "ok";
    }
    if (letter == 'M' && code == 105) {
        ControllerProtocol::Temperatures t;
        t.nozzle = reportedNozzle();
        t.nozzleTarget = nozzleTarget;
        t.bed = int(std::lround(bed));
        t.bedTarget = bedTarget;
        return ControllerProtocol::formatM105(t).toStdString();
    }
    if (letter == 'M' && code == 114) {
        double p[4];
        currentPhysical(p);
        return ControllerProtocol::formatM114({p[0] + shift[0], p[1] + shift[1], p[2] + shift[2], p[3] + shift[3]})
            .toStdString();
    }
    if (letter == 'M' && code == 121)
        return ControllerProtocol::formatM121(!neverEnd && queue.empty()).toStdString();
    if (letter == 'M' && code == 119)
        return ControllerProtocol::formatM119({atHome[0], atHome[1], atHome[2]}).toStdString();
    if (letter == 'M' && code == 113)
        return ControllerProtocol::formatM113(filament).toStdString();
    if (letter == 'M' && code == 130)
        return ControllerProtocol::formatM130(probeFitted).toStdString();
    if (letter == 'M' && code == 117)
        return ControllerProtocol::CountPayload;
    if (letter == 'M' && code == 141) {
        const int t = int(value('T', 0));
        if (t == 65)
            probeArmed = true;
        else if (t == 219)
            probeArmed = false;
        return "ok";
    }
    if (letter == 'M' && code == 112) {
        // Stop where the head is and forget the queue; the heaters stay as they are.
        double p[4];
        currentPhysical(p);
        std::copy(p, p + 4, phys);
        std::copy(p, p + 4, planned);
        queue.clear();
        headStart = simNow;
        return "ok";
    }
    return "ok";
}

void ControllerSimulator::Impl::handleLine(std::string_view line, Clock::time_point now)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (!line.empty() && line.front() == '~')
        line.remove_prefix(1);
    if (line.empty())
        return;
    if (hanging && swallowOnHangUp) {   // lost on the way: never received
        hangQuiet = now + HangQuietMs;
        return;
    }
    ++received;
    if (latencyMaxMs > 0 && !laterCopies.empty())
        receivedBehind << QString::fromLatin1(line.data(), int(line.size()));
    if (opt.keepTranscript) {
        transcript << QString::fromLatin1(line.data(), int(line.size()));
        cv.notify_all();
    }

    splitWords(line, words);
    const std::string payload = execute(words);

    if (hangPending) {
        // Replies stop here; what has already been written to the controller
        // (lines in flight behind this one) still arrives and is carried out,
        // then the line closes once its input has been quiet.
        hangPending = false;
        hanging = true;
        hangLatest = now + HangCloseMaxMs;
    }
    if (hanging) {
        hangQuiet = now + HangQuietMs;
        return;
    }
    if (dropCount > 0) {
        --dropCount;
        return;
    }
    if (dropForPrefix(line))
        return;
    const bool overridden = overrideCount > 0 && line.substr(0, overridePrefix.size()) == overridePrefix;
    if (overridden)
        --overrideCount;
    ControllerProtocol::replyInto(out, free(now), overridden ? overridePayload : payload);
    Clock::time_point due = now;
    if (latencyMaxMs > 0) {
        latencySeed = latencySeed * 1103515245u + 12345u;
        const int span = latencyMaxMs - latencyMinMs + 1;
        due = std::max(lastDue, now + std::chrono::milliseconds(latencyMinMs + int((latencySeed >> 8) % uint32_t(span))));
        lastDue = due;
    }
    if (duplicateCount > 0 && duplicateGapMs > 0) {
        --duplicateCount;
        sendAt(due + std::chrono::milliseconds(duplicateGapMs), out);
    } else if (duplicateCount > 0) {
        // The same reply twice in one write: the copy is there before the next command.
        --duplicateCount;
        out += out;
    } else if (garbleCount > 0) {
        --garbleCount;
        out = "\xff\xfe\x15#%&\x7f\n";
    } else if (partialCount > 0) {
        --partialCount;
        out.pop_back();
    }
    if (delayCount > 0) {
        --delayCount;
        delayed = true;
        delayedBytes = out;
        delayedAt = now + std::chrono::milliseconds(delayMs);
        return;
    }
    if (latencyMaxMs > 0) {
        sendAt(due, out);
        return;
    }
    sendBytes(out);
}

// ---- platform height map and targeted silence ----------------------------

double ControllerSimulator::Impl::bedHeightAt(double x, double y) const
{
    if (bedMap.empty())
        return bedHeight;
    const BedPoint* nearest = &bedMap.front();
    double best = HUGE_VAL;
    for (const BedPoint& p : bedMap) {
        const double d = (p.x - x) * (p.x - x) + (p.y - y) * (p.y - y);
        if (d < best) {
            best = d;
            nearest = &p;
        }
    }
    return nearest->z;
}

bool ControllerSimulator::Impl::dropForPrefix(std::string_view line)
{
    if (dropPrefixCount <= 0 || line.substr(0, dropPrefix.size()) != dropPrefix)
        return false;
    --dropPrefixCount;
    return true;
}

void ControllerSimulator::Impl::run()
{
    if (toController.paced())
        prctl(PR_SET_TIMERSLACK, 1000UL);   // a paced line wakes to the microsecond, not 50 us late
    lastReal = Clock::now();
    int timeout = 0;
    std::optional<Clock::time_point> lineDue;   // the next line to finish crossing
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(m);
        fd = masterFd;
    }
    while (running.load()) {
        pollfd fds[2];
        int nfds = 1;
        fds[0] = {wakeR, POLLIN, 0};
        if (fd >= 0)
            fds[nfds++] = {fd, POLLIN, 0};
        pollUntil(fds, nfds, timeout, lineDue);
        if (fds[0].revents & POLLIN) {
            char buf[64];
            while (::read(wakeR, buf, sizeof buf) > 0) {
            }
        }
        std::lock_guard<std::mutex> lock(m);
        const auto now = Clock::now();
        advance(now);
        if (delayed && now >= delayedAt) {
            delayed = false;
            sendBytes(delayedBytes);
        }
        while (!laterCopies.empty() && now >= laterCopies.front().first) {
            sendBytes(laterCopies.front().second);
            laterCopies.pop_front();
        }
        if (nfds > 1 && (fds[1].revents & POLLIN) && masterFd == fd && !delayed) {
            // One read per wake-up; poll tells when there is more.
            char buf[4096];
            const ssize_t n = ::read(masterFd, buf, sizeof buf);
            if (n > 0)
                toController.send(buf, size_t(n), now, inbuf);
        }
        toController.release(now, inbuf);
        toLink.release(now, crossed);
        if (!crossed.empty()) {
            writeMaster(crossed);
            crossed.clear();
        }
        size_t begin = 0, pos;
        while (masterFd >= 0 && !delayed && (pos = inbuf.find('\n', begin)) != std::string::npos) {
            handleLine(std::string_view(inbuf).substr(begin, pos - begin), now);
            begin = pos + 1;
        }
        if (masterFd >= 0)
            inbuf.erase(0, begin);
        if (inbuf.size() > 4096 && inbuf.find('\n') == std::string::npos)
            inbuf.clear();   // noise without line ends
        if (hanging && now >= std::min(hangQuiet, hangLatest))
            closeAfterHang(now);
        if (reconnectPending && now >= reconnectAt) {
            reconnectPending = false;
            if (!openLine())
                std::fprintf(stderr, "controller simulator: cannot link %s again\n", linkPath.c_str());
        }
        writeBusy(free(now) == 0);

        // Next wake-up: at once for lines already read, soon while something
        // moves or heats, else on input or a fault's time.
        auto until = [&](Clock::time_point t) {
            return int(std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(t - now).count() + 1));
        };
        timeout = 20;
        if (!queue.empty() || std::fabs(nozzle - (nozzleTarget > 0 ? nozzleTarget : opt.ambient)) > 0.01 ||
            std::fabs(bed - (bedTarget > 0 ? bedTarget : opt.ambient)) > 0.01)
            timeout = 5;
        if (delayed)
            timeout = std::min(timeout, until(delayedAt));
        if (!laterCopies.empty())
            timeout = std::min(timeout, until(laterCopies.front().first));
        if (reconnectPending)
            timeout = std::min(timeout, until(reconnectAt));
        if (hanging)
            timeout = std::min(timeout, until(std::min(hangQuiet, hangLatest)));
        if (now < holdUntil)
            timeout = std::min(timeout, until(holdUntil));
        if (!delayed && inbuf.find('\n') != std::string::npos)
            timeout = 0;
        fd = delayed ? -1 : masterFd;
        lineDue = earliest(toController.nextLineAt(), toLink.nextLineAt());
    }
}

ControllerSimulator::ControllerSimulator() : ControllerSimulator(Options()) {}

ControllerSimulator::ControllerSimulator(const Options& options) : d(std::make_unique<Impl>(options)) {}

ControllerSimulator::~ControllerSimulator() { stop(); }

bool ControllerSimulator::start(const QString& linkPath, const QString& gpioValuePath)
{
    stop();
    d->linkPath = linkPath.toStdString();
    d->gpioPath = gpioValuePath.toStdString();
    int pipefd[2];
    if (::pipe2(pipefd, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    d->wakeR = pipefd[0];
    d->wakeW = pipefd[1];
    if (!d->openLine()) {
        std::fprintf(stderr, "controller simulator: cannot link %s: %s\n", d->linkPath.c_str(), std::strerror(errno));
        ::close(d->wakeR);
        ::close(d->wakeW);
        d->wakeR = d->wakeW = -1;
        return false;
    }
    d->lastBusy = -1;
    d->writeBusy(false);
    d->running.store(true);
    d->thread = std::thread([this] { d->run(); });
    return true;
}

void ControllerSimulator::stop()
{
    if (d->running.exchange(false)) {
        d->wake();
        d->thread.join();
    }
    std::lock_guard<std::mutex> lock(d->m);
    if (d->masterFd >= 0)
        d->closeLine();
    if (d->wakeR >= 0)
        ::close(d->wakeR);
    if (d->wakeW >= 0)
        ::close(d->wakeW);
    d->wakeR = d->wakeW = -1;
}

QStringList ControllerSimulator::transcript() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->transcript;
}

void ControllerSimulator::clearTranscript()
{
    std::lock_guard<std::mutex> lock(d->m);
    d->transcript.clear();
}

QStringList ControllerSimulator::takeTranscript()
{
    std::lock_guard<std::mutex> lock(d->m);
    QStringList lines;
    lines.swap(d->transcript);
    return lines;
}

bool ControllerSimulator::waitForLine(const QString& exact, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->m);
    return d->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return d->transcript.contains(exact); });
}

void ControllerSimulator::setTemperatures(int nozzle, int bed)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->nozzle = nozzle;
    d->bed = bed;
}

void ControllerSimulator::pinNozzleTemperature(int value)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->pinned = value;
}

void ControllerSimulator::setFilament(bool present)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->filament = present;
}

void ControllerSimulator::setBedHeight(double z)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->bedHeight = z;
}

void ControllerSimulator::setBedHeightMap(const std::vector<BedPoint>& points)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->bedMap = points;
}

void ControllerSimulator::dropRepliesTo(const QString& prefix, int count)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->dropPrefix = prefix.toStdString();
    d->dropPrefixCount = prefix.isEmpty() ? 0 : count;
}

void ControllerSimulator::overrideRepliesTo(const QString& prefix, const QString& payload, int count)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->overridePrefix = prefix.toStdString();
    d->overridePayload = payload.toStdString();
    d->overrideCount = prefix.isEmpty() ? 0 : count;
}

int ControllerSimulator::nozzleTarget() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->nozzleTarget;
}

int ControllerSimulator::bedTarget() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->bedTarget;
}

bool ControllerSimulator::moving() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->neverEnd || !d->queue.empty();
}

ControllerProtocol::Position ControllerSimulator::position() const
{
    std::lock_guard<std::mutex> lock(d->m);
    double p[4];
    d->currentPhysical(p);
    return {p[0] + d->shift[0], p[1] + d->shift[1], p[2] + d->shift[2], p[3] + d->shift[3]};
}

ControllerProtocol::EndStops ControllerSimulator::endStops() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return {d->atHome[0], d->atHome[1], d->atHome[2]};
}

bool ControllerSimulator::probeArmed() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->probeArmed;
}

int ControllerSimulator::freeSlots() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->free(Clock::now());
}

int64_t ControllerSimulator::receivedCount() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->received;
}

int ControllerSimulator::overflows() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->overflows;
}

void ControllerSimulator::dropReplies(int count)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->dropCount = count;
}

void ControllerSimulator::delayReplies(int ms, int count)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->delayMs = ms;
    d->delayCount = count;
}

void ControllerSimulator::duplicateReplies(int count, int gapMs)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->duplicateCount = count;
    d->duplicateGapMs = gapMs;
}

void ControllerSimulator::replyLatency(int minMs, int maxMs)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->latencyMinMs = std::max(0, minMs);
    d->latencyMaxMs = std::max(d->latencyMinMs, maxMs);
}

QStringList ControllerSimulator::receivedBeforeEarlierReplies() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->receivedBehind;
}

void ControllerSimulator::garbleReplies(int count)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->garbleCount = count;
}

void ControllerSimulator::partialReplies(int count)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->partialCount = count;
}

void ControllerSimulator::holdBufferFull(int ms)
{
    {
        std::lock_guard<std::mutex> lock(d->m);
        d->holdUntil = Clock::now() + std::chrono::milliseconds(ms);
        d->writeBusy(true);
    }
    d->wake();
}

void ControllerSimulator::hangUp(int reconnectAfterMs, bool swallowInFlight)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->hangPending = true;
    d->swallowOnHangUp = swallowInFlight;
    d->reconnectAfter = reconnectAfterMs;
}

void ControllerSimulator::movesNeverEnd(bool on)
{
    {
        std::lock_guard<std::mutex> lock(d->m);
        d->advance(Clock::now());
        d->neverEnd = on;
    }
    d->wake();
}
