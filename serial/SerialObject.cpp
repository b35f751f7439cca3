#define _FILE_OFFSET_BITS 64   // print files beyond 2 GB on the 32-bit board
#include "serial/SerialObject.h"

#include "Config/Config.h"
#include "Files/PrintFile.h"
#include "Execute/MachineRules.h"
#include "Files/ResumeLineRecorder.h"
#include "Files/ResumePrintConfig.h"
#include "gpio/Gpio.h"
#include "serial/ControllerProtocol.h"
#include "serial/GcodeFile.h"
#include "serial/MachineProgress.h"
#include "serial/PrintLineAdjuster.h"
#include "serial/SerialPort.h"
#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QCoreApplication>
#include <QDebug>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <vector>

// Exchange rules (see docs/controller-protocol.md):
// - every command gets one reply line whose first number is the free-slot count;
// - a query (serialCheckCode) is sent again once when its reply is missing or
//   unreadable, then "send failed." is returned and the port reopened;
// - a flow-controlled command whose bytes went out is never sent again: when
//   its reply is missing or unreadable the link asks the sync query "M105"
//   without draining and counts the "ok" replies before its answer; only they
//   prove that the command (or the lines in flight) arrived;
// - input nobody asked for found before a command means replies were taken
//   for the wrong commands: the count is asked afresh with "M105";
// - the print loop keeps several lines in flight while the controller has
//   room (at most free - 1), takes their "ok" replies in order, and after any
//   fault in flight resyncs the same way; lines it cannot prove end the job;
// - the I/O lock is handed over in turn, so the print thread cannot starve the
//   GUI thread; no other thread waits on the link longer than one exchange
//   limit, and a quarter of a second once the controller is known silent;
// - a safety command that finds the controller silent or without a free slot
//   is written at once and kept, to be delivered again once it answers.

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t MaxReplyLength = 512;
constexpr size_t MaxCommandLength = 512;
constexpr int ResumeLineEvery = 5000;   // lines between resume records when a file has no layer marks
constexpr int M25WaitMs = 500;          // time the page gets to answer an "M25" line with a pause
constexpr size_t MaxPending = 8;        // safety commands kept while the line is down
constexpr int SilentCallMs = 250;       // what a screen-side call may cost once the controller is known silent
constexpr int MaxInFlight = 64;
constexpr int RepeatWatchLines = 500;   // lines sent with a second spare slot after a reply came twice
constexpr int SurplusLimit = 2;         // replies nobody asked for in one job before it goes one line at a time
constexpr int RideTakenMs = 300;        // a screen query waits this long for the print to carry it
constexpr int RideSliceMs = 20;         // how soon a print waiting on its replies carries a screen query
constexpr int CopyQuietMs = 10;         // a copy follows its reply within this; a quiet line has sent them all
constexpr int MaxOwed = 8;              // replies given up on that may still come
constexpr int QueuedTickMs = 100;       // kept commands are tried again this often
constexpr int BurstGapMs = 10;          // screen calls closer than this belong to one event

constexpr const char* kSrc = "serial/SerialObject.cpp";

// Outside the print thread every wait of one call draws on one budget, the
// call's limit: a wait is granted at most what is left, and gives back what it
// did not use. waitSpent adds up what this thread's waits used, for tests.
thread_local int64_t callLeftMs = -1;   // -1: no limit (the print thread)
thread_local int64_t waitSpent = 0;
thread_local int64_t waitCarryUs = 0;   // what the waits took beyond whole milliseconds
// The calls one screen event makes one after another share one budget, so an
// event that asks several things never waits several limits.
thread_local int64_t burstStartMs = 0, burstEndMs = INT64_MIN / 2, burstLeftMs = 0;
thread_local uint64_t burstLink = 0;
std::atomic<uint64_t> linkSerial{0};

int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

bool onGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

class CallLimit {
public:
    // spanMs: how long one screen event's calls may go on sharing a budget.
    CallLimit(uint64_t link, bool applies, int ms, int spanMs)
        : m_owner(applies && callLeftMs < 0), m_burst(m_owner && onGuiThread())
    {
        if (!m_owner)
            return;
        const int64_t now = steadyMs();
        if (m_burst && link == burstLink && now - burstEndMs < BurstGapMs && now - burstStartMs < spanMs) {
            callLeftMs = std::min<int64_t>(ms, burstLeftMs);
        } else {
            burstStartMs = now;
            burstLink = link;
            callLeftMs = ms;
        }
    }
    ~CallLimit()
    {
        if (!m_owner)
            return;
        if (m_burst) {
            burstLeftMs = callLeftMs;
            burstEndMs = steadyMs();
        }
        callLeftMs = -1;
    }
    CallLimit(const CallLimit&) = delete;
    CallLimit& operator=(const CallLimit&) = delete;

private:
    bool m_owner;
    bool m_burst;
};

// One wait of at most `want` ms, out of the call's budget.
class Wait {
public:
    explicit Wait(int want) : ms(callLeftMs >= 0 ? int(std::min<int64_t>(want, callLeftMs)) : want)
    {
        if (callLeftMs >= 0)
            callLeftMs -= ms;
    }
    ~Wait()
    {
        // What the wait really took, overshoot and fractions of a millisecond
        // included: a slot wait of thousands of 1 ms sleeps would otherwise
        // pass the call's limit by a quarter of a second.
        const int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_start).count()
            + waitCarryUs;
        const int64_t used = us / 1000;
        waitCarryUs = us % 1000;
        if (callLeftMs >= 0)
            callLeftMs = std::max<int64_t>(0, callLeftMs + ms - used);
        waitSpent += used;
    }
    Clock::time_point until() const { return m_start + std::chrono::milliseconds(ms); }
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;
    const int ms;

private:
    const Clock::time_point m_start = Clock::now();
};

bool callSpent() { return callLeftMs == 0; }

void sleepMs(int ms)
{
    const Wait w(ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(w.ms));
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool hasControlBytes(std::string_view s)
{
    for (unsigned char c : s)
        if (c < 0x20 && c != '\t')
            return true;
    return false;
}

QString number2(double v) { return QString::number(v, 'f', 2); }

QByteArray text(std::string_view s) { return QByteArray(s.data(), int(s.size())); }

// A lock handed over in the order it was asked for: a thread that lets go
// cannot take it again ahead of one already waiting.
class FairLock {
public:
    void lock() { lockUntil(nullptr); }
    bool try_lock_until(Clock::time_point deadline) { return lockUntil(&deadline); }
    void unlock()
    {
        {
            std::lock_guard<std::mutex> l(m_mutex);
            m_held = false;
        }
        m_cv.notify_all();
    }
    // Someone is waiting for the lock.
    bool contended() const { return m_waiting.load(std::memory_order_relaxed) > 0; }

private:
    bool lockUntil(const Clock::time_point* deadline)
    {
        std::unique_lock<std::mutex> l(m_mutex);
        const uint64_t ticket = m_next++;
        m_queue.push_back(ticket);
        ++m_waiting;
        auto ready = [&] { return !m_held && m_queue.front() == ticket; };
        if (!deadline) {
            m_cv.wait(l, ready);
        } else if (!m_cv.wait_until(l, *deadline, ready)) {
            m_queue.erase(std::find(m_queue.begin(), m_queue.end(), ticket));
            --m_waiting;
            l.unlock();
            m_cv.notify_all();
            return false;
        }
        m_queue.pop_front();
        --m_waiting;
        m_held = true;
        return true;
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<uint64_t> m_queue;
    uint64_t m_next = 0;
    bool m_held = false;
    std::atomic<int> m_waiting{0};
};

// Counts a thread other than the print thread as waiting for the link while it lives.
class Waiting {
public:
    Waiting(std::atomic<int>& count, bool counts) : m_count(counts ? &count : nullptr)
    {
        if (m_count)
            ++*m_count;
    }
    ~Waiting()
    {
        if (m_count)
            --*m_count;
    }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    std::atomic<int>* m_count;
};

// Commands that leave the machine safe: heaters, fan and motors off, stop, probe stowed.
bool isSafetyCommand(std::string_view c)
{
    return c == "M112" || c == "M107" || c == "M18" || c == "M84" || c == "M140 S0" || c == "M104 S0"
        || c == "M104 S0 T0" || c == "M106 S0" || c == "M141 T219";
}

}

struct SerialObject::Impl {
    Impl(const QString& printerPort, int gpio)
        : port(rootPath(printerPort).toStdString())
    {
        if (gpio >= 0)
            busy = std::make_unique<GpioLine>(gpio);
    }

    enum class Outcome { Replied, Unconfirmed, NotWritten };
    // forProof: on a fault the line is left as it is, for prove() to read.
    // waitMs: how long a missing reply is waited for; the late limit unless less is asked.
    Outcome transact(std::string_view command, std::string& reply, bool forProof = false, int waitMs = -1);
    QString query(std::string_view command, int tries = 2);
    // After a fault with `unanswered` commands whose replies were not read:
    // the sync query, unanswered replies read up to its answer. True when
    // their "ok"s cover every unanswered command.
    bool prove(int unanswered, int lookalikes = 0);
    // The count query: "M117" while in step, the sync query after a fault.
    const char* countQuery() const { return needSync.load() ? ControllerProtocol::SyncQuery : ControllerProtocol::CountQuery; }
    // Kept safety commands not yet written go to the line now (I/O lock held).
    void writeKeptAtOnce();
    static int64_t nowMs() { return steadyMs(); }
    // The one judgement of the controller. Any line it sends, late or not,
    // proves it alive; silent once a reply has been awaited for the late limit
    // with nothing heard at all.
    bool silentNow() const
    {
        const int64_t since = awaitingSince.load();
        return since != 0 && nowMs() - std::max(since, lastHeard.load()) > lateMs();
    }
    bool quiet() const { return silent.load() || silentNow(); }
    // A reply later than this counts as missing: one exchange limit.
    int lateMs() const { return exchangeLimitMs() - silentCallMs(); }
    // Whatever was awaited came (or something did): a new wait starts with
    // the next request.
    void heard()
    {
        lastHeard.store(nowMs());
        awaitingSince.store(0);
        silent.store(false);
    }
    void awaiting()
    {
        int64_t none = 0;
        awaitingSince.compare_exchange_strong(none, nowMs());
    }
    void answered() { awaitingSince.store(0); }
    // Input nobody was waiting for, dropped: replies given up on earlier that
    // came late are matched to them; what is left over proves a surplus reply.
    int dropStale()
    {
        const int lines = port.dropWaiting();
        if (lines > 0)
            heard();
        const int late = std::min(owed.load(), lines);
        owed.fetch_sub(late);
        return lines - late;   // a piece of a line proves no copy: the fault it came with resyncs
    }
    void giveUpReply()
    {
        if (owed.load() < MaxOwed)
            ++owed;
    }
    // A reply nobody asked for: the counts taken may be a line old. Once a
    // job has seen a few, the controller is taken for one that repeats
    // replies and the job goes on one line at a time.
    void foundSurplus(const char* where)
    {
        qWarning() << LOG_SRC(kSrc) << "a reply nobody asked for" << where;
        if (!onPrintThread())
            return;
        repeatsSeen = RepeatWatchLines;
        if (++surplusInJob >= SurplusLimit && !oneAtATime) {
            oneAtATime = true;
            repliesRepeat.store(true);
            qWarning() << LOG_SRC(kSrc) << "the controller keeps sending replies nobody asked for:"
                       << "one line at a time for the rest of the job";
        }
    }
    // What one screen-side call may cost: a quarter of a second (less with short
    // test timings) once the controller is known silent, else one exchange limit
    // less that, so the call that finds the silence and one try after it (in
    // one screen tick) stay within one exchange limit together.
    int silentCallMs() const { return std::min(SilentCallMs, replyMs.load() / 2); }
    int callLimitMs()
    {
        lookForLateInput();
        return quiet() ? silentCallMs() : exchangeLimitMs() - silentCallMs();
    }
    // A reply that came after its call gave up waits unread until the next
    // exchange: it proves the controller alive before that call's budget is set.
    void lookForLateInput()
    {
        if (!quiet() || onPrintThread() || !io.try_lock_until(Clock::now()))
            return;
        if (port.isOpen() && port.hasStaleInput())
            heard();
        io.unlock();
    }
    // Outside the print thread: at most one reply wait, out of the call's budget.
    // After a whole reply wait without the line, the print thread waits on a
    // slow controller: the screen tries again after one exchange limit, and
    // meanwhile neither waits nor holds up the print's lines.
    bool tryLockIo(std::unique_lock<FairLock>& lock)
    {
        if (nowMs() < lineBusyUntil.load())
            return false;
        const Wait w(replyMs.load());
        if (lock.try_lock_until(w.until()))
            return true;
        if (quiet())   // counts as the silent try of this exchange limit
            lastSilentTry.store(nowMs());
        else if (w.ms >= replyMs.load() && printThread.load() != std::thread::id())
            lineBusyUntil.store(nowMs() + exchangeLimitMs());
        return false;
    }
    std::atomic<int64_t> lineBusyUntil{0};

    bool onPrintThread() const { return printThread.load() == std::this_thread::get_id(); }
    // Outside the print thread, a silent controller is tried once per exchange
    // limit; calls in between fail at once instead of adding their waits up.
    bool skipWhileSilent()
    {
        if (!quiet() || onPrintThread())
            return false;
        const int64_t now = nowMs();
        if (now - lastSilentTry.load() < exchangeLimitMs())
            return true;
        lastSilentTry.store(now);
        return false;
    }
    int exchangeLimitMs() const { return LinkTiming{replyMs.load(), quietMs.load()}.exchangeLimitMs(); }

    // The print loop's lines in flight. While the window is open the print
    // thread holds the flow and I/O locks; it closes the window (reads every
    // outstanding reply, lets both locks go) before anything else may use the
    // line, so every other exchange still finds the line quiet.
    bool windowSend(std::string_view line);
    void windowClose();
    enum class Take { Reply, Nothing, Fault };
    Take takeReply(int timeoutMs);
    void windowResync(const char* why);
    bool othersWant() const
    {
        return othersWaiting.load(std::memory_order_relaxed) > 0 || io.contended()
            || pendingCount.load(std::memory_order_relaxed) > 0 || outboxCount.load(std::memory_order_relaxed) > 0;
    }
    // A reply's free count: the controller answers and, with room, takes commands again.
    // From a controller that repeats its replies any reply may be an old copy
    // with an old, larger count: then only a count taken after a quiet line
    // (freshCount) raises it.
    // So does any reply while a fault has left the count in doubt, until the
    // sync query's answer.
    void tookCount(int n, bool fresh = false)
    {
        if ((repliesRepeat.load() || needSync.load()) && !fresh)
            n = std::min(n, freeSlots.load());
        freeSlots.store(n);
        if (n > maxFree.load())
            maxFree.store(n);
        silent.store(false);
        if (n > 0)
            congested.store(false);
    }
    // Lets the flow and I/O locks go; nothing is in flight.
    void windowRelease()
    {
        windowOpen = false;
        {
            std::lock_guard<std::mutex> l(rideMutex);
            if (ride) {   // not taken: the screen asks the usual way
                ride->state = Ride::Refused;
                ride.reset();
                ridePosted.store(false);
            }
        }
        rideCv.notify_all();
        answered();
        windowIo.unlock();
        windowFlow.unlock();
    }

    const uint64_t serial = ++linkSerial;   // tells links apart, even at one address
    SerialPort port;
    MachineProgress progress;  // every command written and reply taken
    std::string frame;         // the command being sent, framed (reused: no allocation per line)
    std::string windowReply;
    std::unique_ptr<GpioLine> busy;
    FairLock io;               // one exchange at a time
    std::timed_mutex flow;     // one flow-controlled send at a time
    std::atomic<int> freeSlots{0};   // 0 until the controller has told us: ask first
    std::atomic<std::thread::id> printThread{};
    std::atomic<bool> silent{false};      // a reply was awaited for the late limit with nothing heard
    std::atomic<int64_t> lastSilentTry{0};
    std::atomic<int64_t> lastHeard{0};    // the last line the controller sent, of any kind
    std::atomic<int64_t> awaitingSince{0};   // a reply has been awaited since; 0: none
    std::atomic<int> owed{0};             // replies given up on that may still come late
    std::atomic<int> answerMs{0};         // how long the controller took to answer the last exchange
    std::atomic<bool> unreadable{false};  // a line that was no reply came since the last check
    // The program itself stopped the controller ("M112") while job moves may
    // still have been queued: the job cannot go on as if they had run.
    std::atomic<bool> stoppedByUs{false};
    std::atomic<bool> jobSettled{false};  // a pause saw every job move end: a stop drops none
    std::atomic<int> maxFree{0};          // the most free slots seen: the buffer's size
    static constexpr int SentRing = 256;
    int64_t sentLines[SentRing] = {};     // the latest file lines written, print thread only
    int64_t sentTotal = 0;
    void noteSent(int64_t line) { sentLines[sentTotal++ % SentRing] = line; }
    // The oldest line the controller may still have held: a buffer's worth back.
    int64_t firstMaybeQueued() const
    {
        const int64_t back = std::min<int64_t>({sentTotal, int64_t(std::max(maxFree.load(), 1)) + 1, SentRing});
        return back == 0 ? 1 : sentLines[(sentTotal - back) % SentRing];
    }
    // Commands from outside the print thread that found no slot (or no time)
    // within the caller's bound: kept in order and sent as slots free.
    // The one taken out for delivery still counts as kept until it is
    // written: a later command must not pass it meanwhile.
    std::mutex outboxMutex;
    std::deque<std::string> outbox;
    bool delivering = false;
    std::atomic<int> outboxCount{0};
    std::atomic<bool> outboxTickArmed{false};
    void countOutbox() { outboxCount.store(int(outbox.size()) + (delivering ? 1 : 0)); }
    void queue(std::string_view code)
    {
        std::lock_guard<std::mutex> l(outboxMutex);
        outbox.emplace_back(code);
        countOutbox();
        qDebug() << LOG_SRC(kSrc) << "kept until a slot frees:" << text(code);
    }
    // One delivery at a time, so they go out in order.
    bool takeQueued(std::string& code)
    {
        std::lock_guard<std::mutex> l(outboxMutex);
        if (outbox.empty() || delivering)
            return false;
        code = std::move(outbox.front());
        outbox.pop_front();
        delivering = true;
        countOutbox();
        return true;
    }
    void delivered()
    {
        std::lock_guard<std::mutex> l(outboxMutex);
        delivering = false;
        countOutbox();
    }
    void putBack(std::string code)
    {
        std::lock_guard<std::mutex> l(outboxMutex);
        outbox.push_front(std::move(code));
        delivering = false;
        countOutbox();
    }
    std::deque<std::string> takeAllQueued()
    {
        std::lock_guard<std::mutex> l(outboxMutex);
        std::deque<std::string> all;
        all.swap(outbox);
        countOutbox();
        return all;
    }
    // A command from outside the print thread goes out only while the call
    // can still wait a late reply out; otherwise it is kept, so a late reply
    // never leaves it unconfirmed.
    bool timeToSend() const
    {
        return callLeftMs < 0 || callLeftMs >= lateMs() - std::min(100, lateMs() / 4);
    }
    // What is left of the call covers a reply as late as the controller's last.
    bool timeForReply() const { return callLeftMs < 0 || callLeftMs > answerMs.load() + quietMs.load(); }
    std::atomic<bool> congested{false};   // a send outside the print thread found no slot in time
    std::atomic<bool> needSync{false};    // a fault left the count in doubt: ask with the sync query
    mutable std::mutex pendingMutex;
    struct Kept {
        std::string code;
        bool written = false;   // written once without a reply; delivered again when the controller answers
    };
    std::vector<Kept> pending;            // safety commands the line did not take
    std::atomic<int> pendingCount{0};     // pending.size(), read without the lock on every print line
    std::atomic<bool> exiting{false};     // the program ends: a stream stops, its records stay
    std::atomic<int> othersWaiting{0};    // threads other than the print thread waiting for a send
    std::atomic<bool> windowOpen{false};  // set by the print thread; open: a screen query may ride along
    int inFlight = 0;                     // lines written whose replies have not been read
    int64_t flight[MaxInFlight] = {};     // their file line numbers, oldest at flightHead
    int flightHead = 0;
    // A screen query carried among the lines in flight: its answer comes in
    // order behind theirs, so the print need not stop and drain them for it.
    struct Ride {
        std::string command, reply;
        enum State { Posted, Written, Answered, Failed, Refused } state = Posted;
    };
    std::mutex rideMutex;
    std::condition_variable rideCv;
    std::shared_ptr<Ride> ride;                      // posted, not yet written
    std::atomic<bool> ridePosted{false};
    std::shared_ptr<Ride> flightRide[MaxInFlight];   // the ride at that place in flight
    void endRide(std::shared_ptr<Ride>& r, Ride::State state, const std::string* reply = nullptr)
    {
        {
            std::lock_guard<std::mutex> l(rideMutex);
            if (reply)
                r->reply = *reply;
            r->state = state;
        }
        rideCv.notify_all();
        r.reset();
    }
    bool writeRide();
    bool rideAlong(std::string_view command, QString& reply);
    // The oldest entry in flight is answered (or given up, on a fault).
    void popFlight(const std::string* rideReply)
    {
        if (flightRide[flightHead])
            endRide(flightRide[flightHead], rideReply ? Ride::Answered : Ride::Failed, rideReply);
        --inFlight;
        flightHead = (flightHead + 1) % MaxInFlight;
    }
    int64_t currentLine = 0;              // the file line being sent
    int64_t unprovenFrom = -1;            // the first file line that may not have arrived
    int repeatsSeen = 0;                  // lines to go with two spare slots after a reply came twice
    int surplusInJob = 0;                 // replies nobody asked for, this job
    bool oneAtATime = false;              // the job no longer keeps lines in flight
    std::atomic<bool> repliesRepeat{false};   // this job's controller sends copies: counts only fall, but after a quiet line
    int freshCount();
    // One spare slot absorbs one count taken from a repeated reply; while
    // repeats come, a second one covers a repeat found a reply late.
    int spareSlots() const { return repeatsSeen > 0 ? 2 : 1; }
    std::deque<int64_t> layerStarts;      // the latest layer marks' resume lines
    std::unique_lock<std::timed_mutex> windowFlow{flow, std::defer_lock};
    std::unique_lock<FairLock> windowIo{io, std::defer_lock};

    std::atomic<int> replyMs{LinkTiming().replyMs};
    std::atomic<int> quietMs{LinkTiming().quietMs};
    std::atomic<int> flowMs{LinkTiming().flowMs};
    std::atomic<int> portLostMs{LinkTiming().portLostMs};

    std::atomic<bool> pauseRequest{false};
    std::atomic<bool> quitRequest{false};
    std::atomic<int> resumeLine{0};
    std::atomic<int> nozzleOverride{0};
    std::atomic<int> bedOverride{0};

    mutable std::mutex adjustMutex;
    PrintingAdjust adjust;

    // Print thread only.
    PrintLineAdjuster adjuster;
    int64_t lastSavedLine = 0;
    bool keepResumeLine = false;   // the power-off resume setting, read once per job
    ResumeLineRecorder resumeRecorder;   // writes the resume line off the print thread
};

// Where and how the stream stood: what a resume puts back before the next line.
struct SerialObject::RestorePoint {
    ControllerProtocol::Position pos;
    bool havePos = false;
    int nozzle = 0, bed = 0, fan = -1;
    bool absoluteAxes = true, absoluteExtruder = true;
    double feed = -1;

    static RestorePoint fromStream(const PrintLineAdjuster& a, int nozzle, int bed)
    {
        RestorePoint r;
        r.pos = {a.x(), a.y(), a.z(), a.controllerE()};
        r.havePos = a.hasPosition();
        r.nozzle = nozzle;
        r.bed = bed;
        r.fan = a.fan();
        r.absoluteAxes = a.absoluteAxes();
        r.absoluteExtruder = a.absoluteExtruder();
        r.feed = a.controllerFeed();
        return r;
    }
};

SerialObject::Impl::Outcome SerialObject::Impl::transact(std::string_view command, std::string& reply, bool forProof,
                                                          int waitMs)
{
    if (!port.isOpen() || port.broken()) {
        if (!port.reopen())
            return Outcome::NotWritten;
    }
    // Input nobody asked for (a late or repeated reply) would be taken for this
    // command's answer, with a stale free-slot count: drop it first, always.
    // Late replies we gave up on are expected; anything more is a surplus.
    if (port.hasStaleInput() && dropStale() > 0 && !repliesRepeat.load()) {
        if (ControllerProtocol::answersOk(command))
            needSync.store(true);
        foundSurplus("before a command");
    }
    ControllerProtocol::frameInto(frame, command);
    const int timeout = replyMs.load();
    const size_t written = port.write(frame.data(), frame.size(), timeout);
    if (written == 0) {
        qWarning() << LOG_SRC(kSrc) << "cannot write" << text(command);
        port.reopen();
        return Outcome::NotWritten;
    }
    awaiting();
    progress.commandSent(command);
    // Its slot is taken whatever the reply read says, while replies may be copies.
    if ((repliesRepeat.load() || needSync.load()) && ControllerProtocol::answersOk(command))
        freeSlots.store(std::max(0, freeSlots.load() - 1));
    const auto sentAt = Clock::now();
    if (written < frame.size()) {
        port.reopen();
        return Outcome::Unconfirmed;
    }
    // A late reply is still this command's: it is waited for up to the late
    // limit (less when the caller's budget is smaller).
    const Wait replyWait(waitMs >= 0 ? waitMs : lateMs());
    const auto deadline = replyWait.until();
    SerialPort::Read r;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        r = port.readLine(reply, int(std::clamp<long long>(left, 1, timeout)), MaxReplyLength);
        if (r == SerialPort::Read::Timeout && Clock::now() < deadline && !port.hasPartialLine())
            continue;   // late, not lost: nothing of it yet
        if (r == SerialPort::Read::Line || r == SerialPort::Read::TooLong || port.hasPartialLine())
            heard();
        if (r == SerialPort::Read::Timeout && port.hasPartialLine()) {
            // A reply whose line end was lost: unreadable, not late.
            r = SerialPort::Read::TooLong;
            break;
        }
        if (r != SerialPort::Read::Line || ControllerProtocol::freeSlots(std::string_view(reply)) < 0
            || ControllerProtocol::replyFits(command, reply))
            break;
        // A late answer to an earlier command: skip it and wait for our own.
        // With none owed it is a reply nobody asked for: counts taken
        // meanwhile may be old, until the sync query.
        qWarning() << LOG_SRC(kSrc) << "dropping a late reply before the reply to" << text(command);
        if (owed.load() > 0) {
            --owed;
        } else {
            foundSurplus("before the reply to a command");
            needSync.store(true);
        }
        if (Clock::now() >= deadline) {
            r = SerialPort::Read::Timeout;
            break;
        }
    }
    if (r == SerialPort::Read::Line) {
        const int n = ControllerProtocol::freeSlots(std::string_view(reply));
        if (n >= 0) {
            tookCount(n);
            answered();
            answerMs.store(int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sentAt).count()));
            progress.replyTaken(command, reply);
            return Outcome::Replied;
        }
        qWarning() << LOG_SRC(kSrc) << "unreadable reply to" << text(command);
        unreadable.store(true);
    } else if (r == SerialPort::Read::Timeout) {
        qWarning() << LOG_SRC(kSrc) << "no reply to" << text(command);
        giveUpReply();
    } else if (r == SerialPort::Read::TooLong) {
        qWarning() << LOG_SRC(kSrc) << "over-long or cut reply to" << text(command);
        unreadable.store(true);
    } else {
        qWarning() << LOG_SRC(kSrc) << "line hung up";
    }
    needSync.store(true);
    if (port.broken()) {
        port.reopen();
    } else if (!forProof && r != SerialPort::Read::Timeout) {
        const Wait w(timeout);
        port.drainUntilQuiet(quietMs.load(), w.ms);
    }
    return Outcome::Unconfirmed;
}

// The free count of a controller that repeats its replies: asked once the
// line has been quiet a while, so the reply read is this question's own and
// not an old copy. -1: no answer.
int SerialObject::Impl::freshCount()
{
    {
        const Wait w(replyMs.load());
        port.drainUntilQuiet(std::min(CopyQuietMs, quietMs.load()), w.ms);
    }
    std::string reply;
    if (transact(ControllerProtocol::CountQuery, reply, false) != Outcome::Replied)
        return -1;
    const int n = ControllerProtocol::freeSlots(std::string_view(reply));
    tookCount(n, true);
    return n;
}

QString SerialObject::Impl::query(std::string_view command, int tries)
{
    std::string reply;
    const int64_t asked = nowMs();
    for (int attempt = 0; attempt < tries && !callSpent(); ++attempt) {
        // A query may be asked again after one reply wait: either answer,
        // the late one or the repeat's, tells the same, and the other is
        // expected as a late reply. A command is not: its copy would be
        // carried out twice, so its late reply is waited out first.
        const bool again = attempt + 1 < tries && !ControllerProtocol::answersOk(command);
        if (transact(command, reply, false, again ? replyMs.load() : -1) == Outcome::Replied) {
            if (attempt > 0)   // the answer may be the first asking's, late
                answerMs.store(int(nowMs() - asked));
            if (command == ControllerProtocol::SyncQuery) {
                needSync.store(false);
                owed.store(0);   // every earlier reply lies before this one
                tookCount(ControllerProtocol::freeSlots(std::string_view(reply)), !repliesRepeat.load());
            }
            return QString::fromLatin1(reply.data(), int(reply.size()));
        }
    }
    qWarning() << LOG_SRC(kSrc) << ControllerProtocol::SendFailed
               << text(command);
    // Silent only when nothing at all came meanwhile and the late limit has
    // passed; a late or garbled answer is a controller that answers.
    if (lastHeard.load() < asked && silentNow())
        silent.store(true);
    if (silent.load() || port.broken() || !port.isOpen()) {
        owed.store(0);   // a reopened line brings nothing old back
        port.reopen();
    }
    return QString::fromLatin1(ControllerProtocol::SendFailed);
}

bool SerialObject::Impl::prove(int unanswered, int lookalikes)
{
    freeSlots.store(0);
    needSync.store(true);
    int oks = 0;
    std::string line;
    const int64_t asked = nowMs();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if ((!port.isOpen() || port.broken()) && !port.reopen())
            break;
        ControllerProtocol::frameInto(frame, ControllerProtocol::SyncQuery);
        if (port.write(frame.data(), frame.size(), replyMs.load()) < frame.size()) {
            port.reopen();
            continue;
        }
        awaiting();
        // Every reply still on its way lies before the sync answer; each line
        // read gives the next one its own wait, up to the late limit, so a
        // late answer is never taken for the one asked again.
        for (;;) {
            const Wait w(lateMs());
            const SerialPort::Read r = port.readLine(line, w.ms, MaxReplyLength);
            if (r == SerialPort::Read::Timeout) {
                giveUpReply();   // asked again: this query's answer may still come
                break;
            }
            if (r == SerialPort::Read::HangUp) {
                port.reopen();
                break;
            }
            heard();
            if (r != SerialPort::Read::Line) {
                unreadable.store(true);
                continue;
            }
            bool sync = false;
            const int n = ControllerProtocol::okRepliesIn(line, &sync);
            if (n == 0 && !sync && ControllerProtocol::freeSlots(std::string_view(line)) < 0)
                unreadable.store(true);
            oks += n;
            if (sync && lookalikes > 0) {   // a screen query's answer, written before the sync query
                --lookalikes;
                continue;
            }
            if (sync && oks < unanswered && owed.load() > 0) {
                --owed;   // an earlier query's late answer: the oks may still follow
                continue;
            }
            if (sync) {
                needSync.store(false);
                tookCount(std::max(0, ControllerProtocol::freeSlots(std::string_view(line))), !repliesRepeat.load());
                answered();
                owed.store(0);
                if (oks < unanswered)
                    qWarning() << LOG_SRC(kSrc) << oks << "of" << unanswered << "commands proven to have arrived";
                return oks >= unanswered;
            }
        }
    }
    qWarning() << LOG_SRC(kSrc) << "no answer to the sync query";
    if (lastHeard.load() < asked && silentNow())
        silent.store(true);
    return unanswered == 0;
}

void SerialObject::Impl::writeKeptAtOnce()
{
    std::lock_guard<std::mutex> l(pendingMutex);
    for (Kept& k : pending) {
        if (k.written)
            continue;
        if ((!port.isOpen() || port.broken()) && !port.reopen())
            return;
        ControllerProtocol::frameInto(frame, k.code);
        if (port.write(frame.data(), frame.size(), std::min(replyMs.load(), 100)) < frame.size())
            return;
        qWarning() << LOG_SRC(kSrc) << "written without waiting for the controller:" << text(k.code);
        k.written = true;
        needSync.store(true);
    }
}

// Writes a print line without waiting for the replies of the lines before it,
// while the last reply's free count leaves room: at most free - 1 lines in
// flight, so one stale count (a reply read twice) cannot overflow the buffer.
// False when the line was not written: the caller sends it the one-at-a-time way.
bool SerialObject::Impl::windowSend(std::string_view line)
{
    if (!ControllerProtocol::answersOk(line)) {   // a query's reply is read by the query itself
        windowClose();
        return false;
    }
    for (;;) {
        if (othersWant()) {
            windowClose();
            return false;
        }
        if (!windowOpen) {
            // A reply given up on may still come: it would pass for a line's.
            // Nor does it open on a count in doubt.
            if (oneAtATime || owed.load() > 0 || needSync.load())
                return false;
            if (freeSlots.load() < 1 + spareSlots() || !port.isOpen() || port.broken())
                return false;
            if (!windowFlow.try_lock())
                return false;
            if (!windowIo.try_lock_until(Clock::now())) {
                windowFlow.unlock();
                return false;
            }
            windowOpen = true;
            inFlight = 0;
            if (port.hasStaleInput() && dropStale() > 0) {
                // Nothing is in flight: a reply nobody asked for means earlier
                // replies were taken for the wrong lines. Ask the count afresh.
                foundSurplus("before a line");
                windowResync("input nobody asked for");
                return false;
            }
        }
        while (inFlight > 0 && port.hasLine()) {   // replies read already, taken without waiting
            if (takeReply(0) == Take::Fault)
                return false;
        }
        if (ridePosted.load() && !writeRide())
            return false;
        if (inFlight == 0 && port.hasStaleInput() && dropStale() > 0) {   // every line answered, and more came
            foundSurplus("before a line");
            windowResync("input nobody asked for");
            return false;
        }
        if (inFlight + 1 <= std::min(freeSlots.load() - spareSlots(), MaxInFlight)) {
            if (repeatsSeen > 0)
                --repeatsSeen;
            ControllerProtocol::frameInto(frame, line);
            const size_t written = port.write(frame.data(), frame.size(), replyMs.load());
            if (written == 0) {   // nothing went out: the one-at-a-time send reopens the port and tries again
                windowClose();
                return false;
            }
            progress.commandSent(line);
            flight[(flightHead + inFlight) % MaxInFlight] = currentLine;
            ++inFlight;
            awaiting();
            if (written < frame.size())
                windowResync("line cut short");   // it may have arrived: it counts as sent
            return true;
        }
        if (inFlight == 0) {   // too few free slots: the one-at-a-time send waits for one
            windowClose();
            return false;
        }
        if (takeReply(lateMs()) == Take::Fault)
            return false;
    }
}

// Writes the screen's posted query among the lines in flight. False when the
// write failed: the window has been brought back in step.
bool SerialObject::Impl::writeRide()
{
    if (inFlight >= MaxInFlight)
        return true;   // taken once a reply makes room
    std::shared_ptr<Ride> r;
    {
        std::lock_guard<std::mutex> l(rideMutex);
        r = std::move(ride);
        ridePosted.store(false);
        if (!r)
            return true;
        r->state = Ride::Written;
    }
    rideCv.notify_all();
    ControllerProtocol::frameInto(frame, r->command);
    const size_t written = port.write(frame.data(), frame.size(), replyMs.load());
    const int at = (flightHead + inFlight) % MaxInFlight;
    flight[at] = currentLine;
    flightRide[at] = std::move(r);
    ++inFlight;
    awaiting();
    if (written < frame.size()) {
        windowResync(written == 0 ? "query not written" : "query cut short");
        return false;
    }
    return true;
}

// Outside the print thread, while lines are in flight: the query goes out
// among them and its answer is taken in order. False when the print thread
// did not take it: the caller asks the usual way.
bool SerialObject::Impl::rideAlong(std::string_view command, QString& reply)
{
    auto r = std::make_shared<Ride>();
    r->command = std::string(command);
    std::unique_lock<std::mutex> l(rideMutex);
    if (ride)
        return false;
    ride = r;
    ridePosted.store(true);
    const Wait w(lateMs());
    const auto takenBy = std::min(w.until(), Clock::now() + std::chrono::milliseconds(RideTakenMs));
    rideCv.wait_until(l, takenBy, [&] { return r->state != Ride::Posted; });
    if (r->state == Ride::Posted) {   // the print thread waits on its lines: ask the usual way
        ride.reset();
        ridePosted.store(false);
        return false;
    }
    if (r->state == Ride::Refused)
        return false;
    rideCv.wait_until(l, w.until(), [&] { return r->state >= Ride::Answered; });
    if (r->state == Ride::Answered) {
        reply = QString::fromLatin1(r->reply.data(), int(r->reply.size()));
        return true;
    }
    // Not answered in time: its answer, should it come, is taken in order and dropped.
    qWarning() << LOG_SRC(kSrc) << ControllerProtocol::SendFailed << text(command) << "among the lines in flight";
    reply = QString::fromLatin1(ControllerProtocol::SendFailed);
    return true;
}

// The reply to the oldest line in flight: a line with a count and "ok". Anything
// else (no reply in time, unreadable, another command's answer, two replies run
// together, the line hung up) brings the link back in step; every line in flight
// counts as sent.
SerialObject::Impl::Take SerialObject::Impl::takeReply(int timeoutMs)
{
    SerialPort::Read r = port.readLine(windowReply, std::min(timeoutMs, RideSliceMs), MaxReplyLength);
    if (r == SerialPort::Read::Timeout && timeoutMs > RideSliceMs) {
        // A screen query posted meanwhile goes out at once: it takes no slot.
        const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs - RideSliceMs);
        for (;;) {
            if (ridePosted.load() && !writeRide())
                return Take::Fault;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0)
                break;
            r = port.readLine(windowReply, int(std::min<int64_t>(left, RideSliceMs)), MaxReplyLength);
            if (r != SerialPort::Read::Timeout)
                break;
        }
    }
    if (r == SerialPort::Read::Timeout && timeoutMs == 0)
        return Take::Nothing;
    if (r == SerialPort::Read::Line || r == SerialPort::Read::TooLong)
        heard();
    if (r == SerialPort::Read::Line) {
        const int n = ControllerProtocol::freeSlots(std::string_view(windowReply));
        const std::shared_ptr<Ride>& riding = flightRide[flightHead];
        if (n >= 0 && ControllerProtocol::replyFits(riding ? std::string_view(riding->command) : "G1", windowReply)) {
            popFlight(&windowReply);
            tookCount(n);
            progress.replyTaken({}, windowReply);
            if (inFlight > 0)
                awaiting();   // the next line's reply is awaited from now
            // More replies already here than lines awaiting them: a reply
            // came twice, and the counts may be lines old. What arrived is
            // read ahead once the lines read before are used up.
            if (!port.hasLine())
                port.readAvailable();
            if (port.linesWaiting() > inFlight) {
                foundSurplus("with lines in flight");
                windowResync("more replies than lines");
                return Take::Fault;
            }
            return Take::Reply;
        }
        if (n < 0)
            unreadable.store(true);
        // Replies run together by a lost line end still answer their lines.
        bool sync = false;
        for (int oks = ControllerProtocol::okRepliesIn(windowReply, &sync); oks > 0 && inFlight > 0;) {
            oks -= !flightRide[flightHead];   // an "ok" answers a line, never a screen query
            popFlight(nullptr);
        }
    }
    windowResync(r == SerialPort::Read::Line      ? "unexpected reply"
                 : r == SerialPort::Read::Timeout ? "no reply"
                 : r == SerialPort::Read::TooLong ? "over-long reply"
                                                  : "line hung up");
    return Take::Fault;
}

// After a fault in flight: the sync query proves the lines in flight or not;
// its count is fresh. A line not proven ends the job.
void SerialObject::Impl::windowResync(const char* why)
{
    qWarning() << LOG_SRC(kSrc) << why << "with" << inFlight << "lines in flight";
    const int64_t oldest = flight[flightHead];
    // Screen queries among them get no answer; a status query's may still
    // come ahead of the sync answer, which it looks like.
    int unanswered = 0, lookalikes = 0;
    while (inFlight > 0) {
        if (flightRide[flightHead])
            lookalikes += flightRide[flightHead]->command == ControllerProtocol::SyncQuery;
        else
            ++unanswered;
        popFlight(nullptr);
    }
    flightHead = 0;
    if (!prove(unanswered, lookalikes) && unprovenFrom < 0)
        unprovenFrom = oldest;
    windowRelease();
}

// Reads the replies of every line in flight and lets the line go.
void SerialObject::Impl::windowClose()
{
    if (!windowOpen)
        return;
    while (inFlight > 0) {
        if (takeReply(lateMs()) == Take::Fault)
            return;
    }
    if (port.hasStaleInput() && dropStale() > 0) {   // a reply came twice: the counts taken may be one line old
        foundSurplus("after the lines in flight");
        windowResync("more replies than lines");
        return;
    }
    windowRelease();
}

SerialObject::SerialObject(const QString& portPath, int busyGpio, QObject* parent)
    : QObject(parent), d(new Impl(portPath, busyGpio))
{
}

SerialObject::~SerialObject()
{
    endPrintForExit();
    close();
    delete d;
}

void SerialObject::endPrintForExit()
{
    if (!m_printing.load())
        return;
    // A print thread still runs inside this object: make it leave first, before
    // the link and the settings it writes go away.
    d->exiting.store(true);
    d->quitRequest.store(true);
    const auto until = Clock::now() + std::chrono::milliseconds(d->exchangeLimitMs() * 4 + 5000);
    while (m_printing.load() && Clock::now() < until)
        sleepMs(10);
}

bool SerialObject::open()
{
    std::lock_guard<FairLock> lock(d->io);
    if (d->busy)
        d->busy->exportLine("in");
    const bool ok = d->port.open();
    qDebug() << LOG_SRC(kSrc) << QString::fromStdString(d->port.devicePath()) << (ok ? "open" : "failed");
    return ok;
}

bool SerialObject::isOpen() const
{
    std::lock_guard<FairLock> lock(d->io);
    return d->port.isOpen();
}

void SerialObject::close()
{
    std::lock_guard<FairLock> lock(d->io);
    d->port.close();
}

MachineProgress& SerialObject::progress() { return d->progress; }

void SerialObject::setTiming(const LinkTiming& t)
{
    d->replyMs.store(t.replyMs);
    d->quietMs.store(t.quietMs);
    d->flowMs.store(t.flowMs);
    d->portLostMs.store(t.portLostMs);
}

QString SerialObject::serialCheckCode(const QString& code)
{
    const std::string command = code.toStdString();
    const bool printThread = d->onPrintThread();
    const CallLimit limit(d->serial, !printThread, d->callLimitMs(), d->exchangeLimitMs());
    if (command == "M112") {
        giveUpQueued("stopped:");
        noteOwnStop();
    }
    if (printThread) {
        d->windowClose();
    } else {
        deliverPending();
        if (ControllerProtocol::answersOk(command) && refusedBehindKept(command))
            return QString::fromLatin1(ControllerProtocol::SendFailed);
        const int kept = d->outboxCount.load();
        deliverQueued();
        // Commands keep their order behind what is kept; queries need not.
        if (d->outboxCount.load() > 0 && ControllerProtocol::answersOk(command) && command != "M112")
            return keepInOrder(command);
        // Moves still kept, or only just delivered, have not even begun: the
        // motion question needs no exchange (nor the budget the delivery used).
        if (command == "M121" && kept > 0 && !d->quiet())
            return QString::number(d->freeSlots.load()) + ' ' + ControllerProtocol::formatM121(false);
    }
    // A query while the print keeps lines in flight goes among them.
    if (!printThread && !ControllerProtocol::answersOk(command) && d->windowOpen.load() && !d->quiet()) {
        QString reply;
        if (d->rideAlong(command, reply))
            return reply;
    }
    std::unique_lock<FairLock> lock(d->io, std::defer_lock);
    if (printThread) {
        lock.lock();
        if (d->silent.load())
            d->writeKeptAtOnce();
    } else if (d->skipWhileSilent()) {
        giveUpQueued("the controller is not answering,");
        keepAndWrite(command);
        return QString::fromLatin1(ControllerProtocol::SendFailed);
    }
    const auto asked = Clock::now();
    if (!printThread && !d->tryLockIo(lock)) {
        // The print thread waits on a slow controller: a command is kept in
        // order, not dropped.
        if (ControllerProtocol::answersOk(command) && command != "M112" && !d->quiet())
            return keepInOrder(command);
        // The print thread is in a long exchange with a silent controller.
        qWarning() << LOG_SRC(kSrc) << "link busy, not sent:" << code;
        keepIfSafety(command);
        return QString::fromLatin1(ControllerProtocol::SendFailed);
    }
    // Outside the print thread the wait for the lock and the tries share one
    // limit: a second try only when the lock came at once and the controller
    // is not known to be silent.
    const bool waited = Clock::now() - asked > std::chrono::milliseconds(d->quietMs.load());
    const QString reply = d->query(command, !printThread && (waited || d->silent.load()) ? 1 : 2);
    if (reply == QLatin1String(ControllerProtocol::SendFailed))
        keepIfSafety(command);
    // Moves still kept here have not even begun.
    if (!printThread && d->outboxCount.load() > 0 && command == "M121" && ControllerProtocol::motionEnded(reply))
        return QString::number(ControllerProtocol::freeSlots(reply)) + ' ' + ControllerProtocol::formatM121(false);
    return reply;
}

// Only a silent controller, a lost line or a stop ends what is kept; a
// safety command among it is still written at once.
void SerialObject::giveUpQueued(const char* why)
{
    if (d->outboxCount.load() == 0)
        return;
    bool safety = false;
    for (const std::string& c : d->takeAllQueued()) {
        if (isSafetyCommand(c)) {
            keepIfSafety(c);
            safety = true;
        } else {
            qWarning() << LOG_SRC(kSrc) << why << "not sent:" << text(c);
        }
    }
    if (safety)
        writeKeptNow();
}

// Kept behind what is kept already; the timer sends it once a slot frees.
QString SerialObject::keepInOrder(std::string_view command)
{
    d->queue(command);
    armQueuedTick();
    return QString::fromLatin1(ControllerProtocol::Queued);
}

// A silent controller gets nothing that is kept, and no command may pass
// what is: both are given up, and the caller is told.
bool SerialObject::refusedBehindKept(std::string_view command)
{
    if (command == "M112" || d->outboxCount.load() == 0 || !d->quiet())
        return false;
    giveUpQueued("the controller is not answering,");
    keepAndWrite(command);
    return true;
}

// "M112" from a page empties the controller's queue: while job moves may be
// in it, the job must end rather than carry on as if they had run. A pause
// that saw every move end, and the user's own cancel, lose nothing.
void SerialObject::noteOwnStop()
{
    if (d->onPrintThread() || !m_printing.load() || d->jobSettled.load() || d->quitRequest.load())
        return;
    if (!d->stoppedByUs.exchange(true))
        qWarning() << LOG_SRC(kSrc) << "the controller was stopped during the job: its queued moves are lost";
}

// The print thread's answer to a stop of the program's own: the job ends,
// its resume record before the first line the stop may have dropped.
SerialObject::Step SerialObject::stoppedJob()
{
    const int64_t first = d->firstMaybeQueued();
    if (d->unprovenFrom < 0 || first < d->unprovenFrom)
        d->unprovenFrom = first;
    return lostLines();
}

void SerialObject::deliverQueued()
{
    std::string code;
    while (d->outboxCount.load() > 0 && d->timeToSend()) {
        if (d->quiet()) {
            giveUpQueued("the controller is not answering,");
            return;
        }
        if (!d->takeQueued(code))
            return;
        const int flowMs = d->congested.load() ? 0 : std::min(d->flowMs.load(), d->exchangeLimitMs());
        QString reply;
        const SendStatus st = sendFlowControlled(code, flowMs, AbortOn::Nothing, &reply);
        if (st == SendStatus::Sent || st == SendStatus::Unconfirmed) {
            if (st == SendStatus::Unconfirmed)
                qWarning() << LOG_SRC(kSrc) << "kept command not confirmed:" << text(code);
            d->delivered();
            continue;
        }
        d->putBack(std::move(code));
        if (st == SendStatus::FlowTimeout)
            d->congested.store(true);
        return;
    }
}

// Kept commands go out on their own too, once a slot frees, whether or not
// a page calls again.
void SerialObject::armQueuedTick()
{
    if (d->outboxTickArmed.exchange(true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        QTimer::singleShot(QueuedTickMs, this, [this] {
            d->outboxTickArmed.store(false);
            if (d->outboxCount.load() == 0)
                return;
            // While the print thread streams it sends them itself.
            if (d->flow.try_lock()) {
                d->flow.unlock();
                const CallLimit limit(d->serial, true, d->callLimitMs(), d->exchangeLimitMs());
                deliverPending();
                if (d->skipWhileSilent())
                    giveUpQueued("the controller is not answering,");
                else
                    deliverQueued();
            }
            if (d->outboxCount.load() > 0)
                armQueuedTick();
        });
    }, Qt::QueuedConnection);
}

int SerialObject::pendingSafetyCommands() const { return d->pendingCount.load(); }

int SerialObject::keptCommands() const { return d->outboxCount.load(); }

bool SerialObject::controllerSilent() const { return d->quiet(); }

int64_t SerialObject::takeWaitSpentMs()
{
    const int64_t b = waitSpent;
    waitSpent = 0;
    return b;
}



void SerialObject::keepIfSafety(std::string_view code)
{
    if (!isSafetyCommand(code))
        return;
    std::lock_guard<std::mutex> l(d->pendingMutex);
    auto& p = d->pending;
    const auto kept = std::find_if(p.begin(), p.end(), [&](const Impl::Kept& k) { return k.code == code; });
    if (kept != p.end()) {
        kept->written = false;   // asked for again: written again at once
        return;
    }
    if (p.size() >= MaxPending)
        return;
    qWarning() << LOG_SRC(kSrc) << "kept until the controller answers:" << text(code);
    // The stop goes first: it empties the controller's queue, so what follows finds room.
    p.insert(code == "M112" ? p.begin() : p.end(), Impl::Kept{std::string(code)});
    d->pendingCount.store(int(p.size()));
}

// A safety command the controller cannot answer now: kept, and written to the
// line at once (by the print thread's next exchange when it holds the line).
void SerialObject::keepAndWrite(std::string_view code)
{
    if (!isSafetyCommand(code))
        return;
    keepIfSafety(code);
    writeKeptNow();
}

void SerialObject::writeKeptNow()
{
    std::unique_lock<FairLock> lock(d->io, std::defer_lock);
    if (d->onPrintThread())
        lock.lock();
    else if (!d->tryLockIo(lock))
        return;
    d->writeKeptAtOnce();
}

void SerialObject::stopAtOnce()
{
    giveUpQueued("stopped:");
    for (const char* c : {"M112", "M104 S0 T0", "M140 S0", "M107", "M18"})
        keepIfSafety(c);
    keepAndWrite("M112");
}

// Safety commands the line did not take go out before anything else, once the
// controller answers and has room. Never waits: a caller tries again later.
void SerialObject::deliverPending()
{
    if (d->pendingCount.load() == 0)
        return;
    if (d->skipWhileSilent())
        return;
    const Waiting waiting(d->othersWaiting, !d->onPrintThread());
    std::unique_lock<std::timed_mutex> flowLock(d->flow, std::try_to_lock);
    if (!flowLock.owns_lock())
        return;
    std::unique_lock<FairLock> lock(d->io, std::defer_lock);
    if (!d->tryLockIo(lock))
        return;
    deliverPendingLocked();
}

void SerialObject::deliverPendingLocked()
{
    for (;;) {
        std::string code;
        {
            std::lock_guard<std::mutex> l(d->pendingMutex);
            if (d->pending.empty())
                return;
            code = d->pending.front().code;
        }
        if (d->silent.load()) {   // delivered again only once the controller answers
            d->query(d->countQuery(), 1);
            if (d->silent.load()) {
                d->writeKeptAtOnce();
                return;
            }
        }
        if (code != "M112" && d->freeSlots.load() <= 0) {
            d->query(d->countQuery(), 1);
            if (d->freeSlots.load() <= 0) {
                if (d->silent.load())
                    d->writeKeptAtOnce();
                return;
            }
        }
        // Delivered again only by a call that can wait its reply out; short
        // of that a late controller would get it again and again, unconfirmed.
        if (!d->timeForReply())
            return;
        std::string answer;
        const Impl::Outcome out = d->transact(code, answer, true);
        if (out == Impl::Outcome::NotWritten)
            return;
        if (out == Impl::Outcome::Unconfirmed && !d->prove(1))
            return;
        qDebug() << LOG_SRC(kSrc) << "delivered" << text(code);
        std::lock_guard<std::mutex> l(d->pendingMutex);
        d->pending.erase(d->pending.begin());
        d->pendingCount.store(int(d->pending.size()));
    }
}

SerialObject::SendStatus SerialObject::sendFlowControlled(std::string_view code, int flowMs, AbortOn abortOn,
                                                          QString* reply)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(flowMs);
    auto aborted = [&] {
        if (abortOn == AbortOn::Nothing)
            return false;
        return d->quitRequest.load() || (abortOn == AbortOn::PauseOrQuit && d->pauseRequest.load());
    };
    if (d->onPrintThread())
        d->windowClose();
    const Waiting waiting(d->othersWaiting, !d->onPrintThread());
    std::unique_lock<std::timed_mutex> flowLock(d->flow, std::defer_lock);
    for (;;) {
        {
            const Wait w(20);
            if (flowLock.try_lock_for(std::chrono::milliseconds(w.ms)))
                break;
        }
        if (aborted())
            return SendStatus::Aborted;
        if (Clock::now() >= deadline || callSpent())
            return SendStatus::FlowTimeout;
    }

    std::unique_lock<FairLock> lock(d->io, std::defer_lock);
    // After a repeated reply a count may be a line old: the print thread then
    // keeps a slot spare here too.
    const int reserve = d->onPrintThread() ? d->spareSlots() - 1 : 0;
    // The print thread gives a controller that answers nothing at all as long
    // as a lost line: then it counts as lost, as in every other wait of a job.
    const auto silentLimit = std::chrono::milliseconds(d->onPrintThread() ? d->portLostMs.load() : flowMs);
    Clock::time_point silentSince{};
    bool countAskedAfresh = false;
    for (;;) {
        // Wait for a free slot: the count of the last reply; when it is 0 the
        // busy line tells when to ask again.
        auto lastAsk = Clock::now();
        bool asked = false;
        while (d->freeSlots.load() <= reserve) {
            if (aborted())
                return SendStatus::Aborted;
            const auto now = Clock::now();
            // The print thread counts only time without progress (a dwell, a heat wait).
            if ((now >= deadline || callSpent()) && asked && (!d->onPrintThread() || d->progress.quietFor(flowMs)))
                return SendStatus::FlowTimeout;
            const int busy = d->busy ? d->busy->value() : -1;
            if (busy == 1 && flowMs == 0)
                return SendStatus::FlowTimeout;   // no wait granted, and the line says full
            // A free (or unreadable) line is followed by a query at once, then at a
            // modest rate; while the line reads busy the controller is asked only
            // now and then, in case the line is stuck.
            bool ask;
            if (busy == 1)
                ask = now - lastAsk >= std::chrono::milliseconds(250);
            else
                ask = !asked || now - lastAsk >= std::chrono::milliseconds(busy == 0 ? 5 : 20);
            if (!ask) {
                sleepMs(1);
                continue;
            }
            asked = true;
            lastAsk = now;
            std::lock_guard<FairLock> l(d->io);
            if (d->silent.load())
                d->writeKeptAtOnce();
            const bool answered = d->repliesRepeat.load() && d->onPrintThread()
                                      ? d->freshCount() >= 0
                                      : d->query(d->countQuery(), !d->onPrintThread() && d->silent.load() ? 1 : 2)
                                            != QLatin1String(ControllerProtocol::SendFailed);
            if (!d->port.isOpen()) {   // the line is gone and cannot be opened again
                if (reply)
                    *reply = QString::fromLatin1(ControllerProtocol::SendFailed);
                return SendStatus::PortDown;
            }
            if (answered)
                silentSince = {};
            else if (silentSince == Clock::time_point{})
                silentSince = now;
            else if (now - silentSince > silentLimit)
                return SendStatus::FlowTimeout;
        }
        lock.lock();
        // Copies from a controller known to repeat its replies are dropped
        // without ado: its counts are taken after a quiet line only.
        if (!d->port.hasStaleInput() || d->dropStale() == 0 || d->repliesRepeat.load()) {
            // A command kept for another thread goes first, each in its turn;
            // this one waits for the next slot.
            std::string queued;
            if (!d->onPrintThread() || !d->takeQueued(queued))
                break;
            deliverPendingLocked();
            QString queuedReply;
            if (sendNow(queued, &queuedReply) == SendStatus::PortDown) {
                d->putBack(std::move(queued));
                break;
            }
            d->delivered();
            lock.unlock();
            continue;
        }
        // Once asked afresh with the sync query, whose reply no other reply can
        // pass for, what follows its reply is a copy of it: the count stands
        // (a controller that repeats every reply would otherwise be asked for ever).
        if (countAskedAfresh)
            break;
        // A reply nobody asked for: an earlier count was taken from the wrong
        // reply. Ask afresh before this command goes out.
        d->foundSurplus("before a command, resyncing");
        countAskedAfresh = true;
        d->needSync.store(true);
        d->freeSlots.store(0);
        lock.unlock();
    }

    deliverPendingLocked();
    // Asking for the count may have taken the time a late reply needs: the
    // command then waits for the next call rather than go out unconfirmed.
    if (!d->timeForReply() && !d->quiet())
        return SendStatus::NoTime;
    return sendNow(code, reply);
}

// The command goes out now: a slot is free and both locks are held.
SerialObject::SendStatus SerialObject::sendNow(std::string_view code, QString* reply)
{
    if (d->onPrintThread() && d->repeatsSeen > 0)
        --d->repeatsSeen;
    std::string answer;
    const bool provable = ControllerProtocol::answersOk(code);
    Impl::Outcome outcome = d->transact(code, answer, provable);
    if (outcome == Impl::Outcome::NotWritten)   // nothing went out: the port has been reopened, try once more
        outcome = d->transact(code, answer, provable);
    if (outcome == Impl::Outcome::NotWritten) {
        if (reply)
            *reply = QString::fromLatin1(ControllerProtocol::SendFailed);
        return SendStatus::PortDown;
    }
    if (outcome == Impl::Outcome::Unconfirmed && provable && d->prove(1)) {
        answer = std::to_string(d->freeSlots.load()) + " ok";
        outcome = Impl::Outcome::Replied;
    }
    if (outcome == Impl::Outcome::Replied) {
        if (reply)
            *reply = QString::fromLatin1(answer.data(), int(answer.size()));
        return SendStatus::Sent;
    }
    // The controller may or may not have taken the command: it is never sent
    // again, and the caller is told that it is not confirmed.
    if (!provable)
        d->query(ControllerProtocol::SyncQuery, 1);
    if (reply)
        *reply = QString::fromLatin1(ControllerProtocol::Unconfirmed);
    return SendStatus::Unconfirmed;
}

QString SerialObject::serialSendCode(const QString& code)
{
    QString reply;
    const std::string command = code.toStdString();
    const bool printThread = d->onPrintThread();
    const CallLimit limit(d->serial, !printThread, d->callLimitMs(), d->exchangeLimitMs());
    int flowMs = d->flowMs.load();
    const bool safety = isSafetyCommand(command);
    if (command == "M112") {
        giveUpQueued("stopped:");
        noteOwnStop();
    }
    if (!printThread) {
        // No other thread waits on the controller longer than one exchange, and
        // after one such wait has failed not at all until a slot is seen again.
        deliverPending();
        if (d->skipWhileSilent()) {
            giveUpQueued("the controller is not answering,");
            keepAndWrite(command);
            return QString::fromLatin1(ControllerProtocol::SendFailed);
        }
        // What the controller cannot take now is kept, in order, never dropped.
        // A safety command goes behind what is kept too (a kept "heat" must not
        // follow it), and waits for a call with time for its reply as long as
        // the controller answers; only a stop ends the queue.
        if (refusedBehindKept(command))
            return QString::fromLatin1(ControllerProtocol::SendFailed);
        if (command != "M112" && !d->quiet()) {
            deliverQueued();
            if (d->outboxCount.load() > 0 || (safety ? !d->timeForReply() : !d->timeToSend()))
                return keepInOrder(command);
        }
        flowMs = d->congested.load() ? 0 : std::min(flowMs, d->exchangeLimitMs());
    }
    const SendStatus st = sendFlowControlled(command, flowMs, AbortOn::Nothing, &reply);
    if (st == SendStatus::NoTime)
        return keepInOrder(command);
    if (!printThread && !safety && st == SendStatus::FlowTimeout && !d->quiet()) {
        d->congested.store(true);
        return keepInOrder(command);
    }
    if (st == SendStatus::FlowTimeout || st == SendStatus::PortDown) {
        if (!printThread)
            d->congested.store(st == SendStatus::FlowTimeout);
        keepAndWrite(command);
    } else if (st == SendStatus::Unconfirmed) {
        keepIfSafety(command);   // delivered once more when the controller answers
    }
    if (st == SendStatus::FlowTimeout) {
        qWarning() << LOG_SRC(kSrc) << "no free buffer slot in time, not sent:" << code;
        return QString::fromLatin1(ControllerProtocol::FlowTimeout);
    }
    return reply;
}

void SerialObject::Heating(int temp)
{
    m_nozzleTarget.store(temp);
    serialSendCode("M104 S" + QString::number(temp) + " T0");
}

void SerialObject::HeatingPlatform(int temp)
{
    m_platformTarget.store(temp);
    serialSendCode("M140 S" + QString::number(temp));
}

void SerialObject::HeatingHalmetII(int nozzle, int bed)
{
    if (m_nozzleTempOverride.load())
        nozzle = d->nozzleOverride.load();
    if (m_platformTempOverride.load())
        bed = d->bedOverride.load();
    HeatingPlatform(bed);
    Heating(nozzle);
}

void SerialObject::stopHalmetIIHeating()
{
    HeatingPlatform(0);
    Heating(0);
}

void SerialObject::setResumeLine(int line) { d->resumeLine.store(line > 0 ? line : 0); }

void SerialObject::setInitPrintingPersent() { m_persent.store(0.f); }

void SerialObject::setPrintingAdjust(PrintingAdjust adjust)
{
    std::lock_guard<std::mutex> lock(d->adjustMutex);
    d->adjust = adjust;
}

PrintingAdjust SerialObject::printingAdjust() const
{
    std::lock_guard<std::mutex> lock(d->adjustMutex);
    return d->adjust;
}

void SerialObject::resetPrintingAdjust() { setPrintingAdjust(PrintingAdjust()); }

void SerialObject::printingAdjustNozzleTemp(int temp)
{
    d->nozzleOverride.store(temp);
    m_nozzleTempOverride.store(true);
    if (m_printing.load() && !m_paused.load() && !d->pauseRequest.load())
        Heating(temp);
}

void SerialObject::printingAdjustPlatformTemp(int temp)
{
    d->bedOverride.store(temp);
    m_platformTempOverride.store(true);
    if (m_printing.load() && !m_paused.load() && !d->pauseRequest.load())
        HeatingPlatform(temp);
}

void SerialObject::slo_printingPause()
{
    qDebug() << LOG_SRC(kSrc);
    d->pauseRequest.store(true);
}

void SerialObject::slo_printingContinue()
{
    qDebug() << LOG_SRC(kSrc);
    d->pauseRequest.store(false);
}

void SerialObject::slo_printingQuit()
{
    qDebug() << LOG_SRC(kSrc);
    d->quitRequest.store(true);
}

void SerialObject::slo_printCtlInit()
{
    m_persent.store(0.f);
    d->pauseRequest.store(false);
    d->quitRequest.store(false);
}

// ---------------------------------------------------------------------------
// Print loop

int SerialObject::serialPrint(QString path)
{
    if (m_printing.exchange(true)) {
        qWarning() << LOG_SRC(kSrc) << "a print is already running, refused:" << path;
        return -1;
    }
    d->printThread.store(std::this_thread::get_id());
    m_lostController.store(false);
    m_endCause.store(int(EndCause::None));
    d->stoppedByUs.store(false);
    d->jobSettled.store(false);
    d->unreadable.store(false);
    qDebug() << LOG_SRC(kSrc) << path;
    const int result = printFile(path.toStdString());
    d->printThread.store(std::thread::id());
    // A job that lost its controller, or one stopped by the program's exit, can
    // still be resumed after a restart: its records stay. Any other end, and a
    // cancel the user asked for, leaves nothing to resume.
    if ((!m_lostController.load() || d->quitRequest.load()) && !d->exiting.load()) {
        getConfigFile().configFile()->setPowerOffResumePrintFileName("");
        d->resumeRecorder.writeNow(0);
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumeBuildTime(0);
        printdetail_clear_config();
    } else {
        d->resumeRecorder.flush();
    }
    m_paused.store(false);
    d->pauseRequest.store(false);
    d->quitRequest.store(false);
    m_printing.store(false);   // last: endPrintForExit waits for it
    return result < 0 ? -1 : 0;
}

int SerialObject::printFile(const std::string& path)
{
    emit printStart();
    const JobEnd end = streamFile(path);
    switch (end) {
    case JobEnd::Finished:
        qDebug() << LOG_SRC(kSrc) << "file done";
        emit printOver();
        return 0;
    case JobEnd::Quit:
    case JobEnd::Failed:
        // A job that could not stream its file ends like a quit, never as a finished print.
        qDebug() << LOG_SRC(kSrc) << (end == JobEnd::Quit ? "quit" : "failed");
        if (m_lostController.load())
            m_endCause.store(int(d->stoppedByUs.load()   ? EndCause::Stopped
                                 : d->unreadable.load() ? EndCause::Unreadable
                                                        : EndCause::Silent));
        if (d->stoppedByUs.load() && !d->quiet()) {
            // Stopped by a page while the controller answers: it needs no
            // second stop, only its heaters, fan and motors off.
            for (const char* c : {"M104 S0 T0", "M140 S0", "M107", "M18"}) {
                const SendStatus st = sendFlowControlled(c, 1000, AbortOn::Nothing, nullptr);
                if (st != SendStatus::Sent)
                    keepIfSafety(c);
            }
        } else if (!m_lostController.load() && !d->silent.load()) {
            // Fan off; bounded, so a controller that holds its buffer full cannot hold up the end.
            const SendStatus fan = sendFlowControlled("M107", 1000, AbortOn::Nothing, nullptr);
            if (fan == SendStatus::FlowTimeout || fan == SendStatus::PortDown)
                keepIfSafety("M107");
        }
        if ((m_lostController.load() || d->silent.load()) && !(d->stoppedByUs.load() && !d->quiet())) {
            // The controller does not answer: stop it without waiting for it,
            // and tell the page why the job ended.
            if (!m_lostController.exchange(true))
                m_endCause.store(int(EndCause::Silent));
            stopAtOnce();
        }
        emit printQuit();
        return end == JobEnd::Quit ? 1 : -1;
    }
    return -1;
}

SerialObject::JobEnd SerialObject::streamFile(const std::string& path)
{
    int64_t start = 0;
    const QString qpath = QString::fromStdString(path);
    // One open for the whole job: the header, the count and the stream read the
    // file that was checked, whatever is put at its path meanwhile.
    PrintFile::StorageFile file;
    const PrintFile::StorageFile::Status opened = file.open(path);
    if (opened != PrintFile::StorageFile::Status::Open) {
        qWarning() << LOG_SRC(kSrc) << "not printed," << PrintFile::StorageFile::describe(opened) << ":" << qpath;
        return JobEnd::Failed;
    }
    if (PrintFile::isGxFile(qpath)) {
        const std::optional<PrintFile::Header> header = PrintFile::readHeader(file.fd());
        if (!header) {
            qWarning() << LOG_SRC(kSrc) << "no readable header:" << qpath;
            return JobEnd::Failed;
        }
        // G-code must start after the header and inside the file, or header and
        // image bytes would reach the controller.
        const uint32_t offset = header->gcodeOffset;
        if (offset < uint32_t(PrintFile::HeaderSize) || int64_t(offset) > file.size()) {
            qWarning() << LOG_SRC(kSrc) << "gcodeOffset" << offset << "outside the G-code of" << qpath << "size"
                       << qint64(file.size());
            return JobEnd::Failed;
        }
        start = offset;
    }
    const int64_t total = countGcodeLines(file.fd(), start);
    GcodeFileReader reader;
    if (total < 0 || !reader.open(file.fd(), start)) {
        qWarning() << LOG_SRC(kSrc) << "cannot read" << QString::fromStdString(path);
        return JobEnd::Failed;
    }
    const int64_t skip = d->resumeLine.exchange(0);
    qDebug() << LOG_SRC(kSrc) << QString::fromStdString(path) << "lines" << total << "from line" << skip;

    struct CloseWindow {
        Impl* d;
        ~CloseWindow()
        {
            d->windowClose();
            d->repliesRepeat.store(false);   // counts are the controller's own again for the screen
        }
    } closeWindow{d};
    d->adjuster.reset();
    d->unprovenFrom = -1;
    d->surplusInJob = 0;
    d->oneAtATime = false;
    d->repliesRepeat.store(false);
    d->sentTotal = 0;
    d->layerStarts.clear();
    d->lastSavedLine = skip;
    d->keepResumeLine = getConfigFile().configFile()->getPowerOffResumePrintStatus();
    int lastStep = -1;
    bool restored = false;
    int64_t lineNo = 0;
    std::string_view raw;
    while (reader.next(raw)) {
        ++lineNo;
        // Progress by lines read, within 0..1, reported once per 0.1 % (not
        // while skipping the part a power-off resume has already printed).
        const double p = total > lineNo ? double(lineNo) / double(total) : 1.0;
        const int step = int(p * 1000.0);
        if (step != lastStep && lineNo > skip) {
            lastStep = step;
            m_persent.store(float(p));
            emit sendPrintPersent(float(p));
        }
        if (raw.find(';') != std::string_view::npos) {
            if (raw.find(";layer:") != std::string_view::npos) {
                emit sendPrintLayer();
                if (lineNo > skip) {
                    saveResumeLine(lineNo - 1);   // a resume starts again at this layer's mark
                    d->layerStarts.push_back(lineNo - 1);
                    if (d->layerStarts.size() > MaxInFlight + 2)
                        d->layerStarts.pop_front();
                }
            }
            continue;
        }
        const std::string_view line = trimmed(raw);
        if (line.empty())
            continue;
        if (reader.lineTooLong() || line.size() > MaxCommandLength || hasControlBytes(line)) {
            qWarning() << LOG_SRC(kSrc) << "line" << lineNo << "is not G-code, skipped";
            continue;
        }
        LineAdjustments adjust;
        {
            std::lock_guard<std::mutex> lock(d->adjustMutex);
            adjust.speed = d->adjust.speed;
            adjust.zOffset = d->adjust.zOffset;
            adjust.extrusion = d->adjust.extrusion;
        }
        adjust.nozzleOverride = m_nozzleTempOverride.load() ? d->nozzleOverride.load() : -1;
        adjust.bedOverride = m_platformTempOverride.load() ? d->bedOverride.load() : -1;
        if (lineNo <= skip) {
            // Already printed: not sent, but the machine state it sets is kept
            // as if it had been, so the restore can put the machine back.
            const PrintLineAdjuster::Result res = d->adjuster.track(line, adjust);
            if (res.nozzleTarget >= 0)
                m_nozzleTarget.store(res.nozzleTarget);
            if (res.bedTarget >= 0)
                m_platformTarget.store(res.bedTarget);
            continue;
        }
        if (skip > 0 && !restored) {
            restored = true;
            const Step st = restoreJob(RestorePoint::fromStream(d->adjuster, m_nozzleTarget.load(),
                                                                m_platformTarget.load()), false);
            if (st == Step::Quit)
                return JobEnd::Quit;
            if (st == Step::Lost)
                return JobEnd::Failed;
        }
        const PrintLineAdjuster::Result res = d->adjuster.process(line, adjust);
        if (res.kind == PrintLineAdjuster::Kind::PauseMark) {
            d->windowClose();
            emit readM25();
            // Give the page the chance to pause right here, before the next line.
            for (int waited = 0; waited < M25WaitMs && !d->pauseRequest.load() && !d->quitRequest.load();
                 waited += 10)
                sleepMs(10);
            continue;
        }
        // Lines go out several at a time while the controller has room; a pause,
        // a quit or another thread's exchange waits for the replies in flight.
        // A line that may not have arrived ends the job before the next goes out.
        Step st = Step::Done;
        d->currentLine = lineNo;
        if (d->stoppedByUs.load())
            st = stoppedJob();
        else if (d->quitRequest.load() || d->pauseRequest.load() || !d->windowSend(res.text))
            st = d->unprovenFrom >= 0 ? lostLines() : sendJobCommand(res.text, AbortOn::PauseOrQuit);
        if (st == Step::Done)
            d->noteSent(lineNo);
        if (st == Step::Done && d->unprovenFrom >= 0)
            st = lostLines();
        if (st == Step::Quit)
            return JobEnd::Quit;
        if (st == Step::Lost)
            return JobEnd::Failed;
        if (res.nozzleTarget >= 0)
            m_nozzleTarget.store(res.nozzleTarget);
        if (res.bedTarget >= 0)
            m_platformTarget.store(res.bedTarget);
        if (lineNo - d->lastSavedLine >= ResumeLineEvery)
            saveResumeLine(lineNo);
    }
    if (reader.failed()) {
        qWarning() << LOG_SRC(kSrc) << "read error after line" << lineNo;
        return JobEnd::Failed;
    }
    // Requests that came after the last line: a quit still ends the job as quit.
    if (d->quitRequest.load())
        return JobEnd::Quit;
    d->windowClose();
    if (d->stoppedByUs.load()) {
        stoppedJob();
        return JobEnd::Failed;
    }
    if (d->unprovenFrom >= 0) {
        lostLines();
        return JobEnd::Failed;
    }
    m_persent.store(1.f);
    if (lastStep != 1000)
        emit sendPrintPersent(1.f);
    return JobEnd::Finished;
}

SerialObject::Step SerialObject::sendJobCommand(std::string_view code, AbortOn abortOn)
{
    Clock::time_point lostSince{};
    bool lost = false;
    for (;;) {
        if (d->quitRequest.load())
            return Step::Quit;
        if (d->stoppedByUs.load())
            return stoppedJob();
        if (abortOn == AbortOn::PauseOrQuit && d->pauseRequest.load()) {
            const Step st = pauseJob();
            if (st != Step::Done)
                return st;
            continue;
        }
        const SendStatus st = sendFlowControlled(code, d->flowMs.load(), abortOn, nullptr);
        switch (st) {
        case SendStatus::Sent:
            return Step::Done;
        case SendStatus::Unconfirmed:
            if (d->unprovenFrom < 0)
                d->unprovenFrom = d->currentLine;
            return lostLines();
        case SendStatus::Aborted:
        case SendStatus::NoTime:   // only outside the print thread
            continue;
        case SendStatus::FlowTimeout:
            // No free slot for the whole flow limit: the controller is silent or
            // stuck. The job ends; its records stay for a resume.
            qWarning() << LOG_SRC(kSrc) << "no free buffer slot in time, the controller is not answering";
            m_lostController.store(true);
            return Step::Lost;
        case SendStatus::PortDown:
            if (!lost) {
                lost = true;
                lostSince = Clock::now();
                qWarning() << LOG_SRC(kSrc) << "controller line lost, waiting for it";
            }
            if (Clock::now() - lostSince > std::chrono::milliseconds(d->portLostMs.load())) {
                m_lostController.store(true);
                return Step::Lost;
            }
            sleepMs(100);
            continue;
        }
    }
}

namespace {

// Tells when the controller has not answered for longer than a limit.
class SilenceWatch {
public:
    explicit SilenceWatch(int limitMs) : m_limit(std::chrono::milliseconds(limitMs)) {}
    // Feed every reply; true once replies have failed for longer than the limit.
    bool lost(const QString& reply)
    {
        if (reply != QLatin1String(ControllerProtocol::SendFailed)) {
            m_failing = false;
            return false;
        }
        const auto now = Clock::now();
        if (!m_failing) {
            m_failing = true;
            m_since = now;
        }
        return now - m_since > m_limit;
    }

private:
    std::chrono::milliseconds m_limit;
    bool m_failing = false;
    Clock::time_point m_since{};
};

}

SerialObject::Step SerialObject::waitMotionEnd()
{
    // The controller's queue holds at most a buffer of moves; it has to empty
    // within the flow limit of time without progress, as a slot has to free up.
    SilenceWatch silence(d->portLostMs.load());
    const auto until = Clock::now() + std::chrono::milliseconds(d->flowMs.load());
    for (;;) {
        if (d->quitRequest.load())
            return Step::Quit;
        if (d->stoppedByUs.load())
            return stoppedJob();
        const QString reply = serialCheckCode("M121");
        if (ControllerProtocol::motionEnded(reply)) {
            d->jobSettled.store(true);
            return Step::Done;
        }
        if (silence.lost(reply)) {
            m_lostController.store(true);
            return Step::Lost;
        }
        if (Clock::now() >= until && d->progress.quietFor(d->flowMs.load())) {
            qWarning() << LOG_SRC(kSrc) << "the moves do not end, pausing anyway";
            return Step::Done;
        }
        sleepMs(50);
    }
}

SerialObject::Step SerialObject::setJobHeaters(int nozzle, int bed)
{
    m_platformTarget.store(bed);
    Step st = sendJobCommand("M140 S" + std::to_string(bed), AbortOn::Quit);
    if (st != Step::Done)
        return st;
    m_nozzleTarget.store(nozzle);
    return sendJobCommand("M104 S" + std::to_string(nozzle) + " T0", AbortOn::Quit);
}

// Until the nozzle and the bed are no more than 2 C below their targets.
SerialObject::Step SerialObject::waitJobHeaters(int nozzle, int bed, bool pauseStops)
{
    SilenceWatch silence(d->portLostMs.load());
    for (;;) {
        if (d->quitRequest.load())
            return Step::Quit;
        if (pauseStops && d->pauseRequest.load())
            return Step::Paused;
        if (d->stoppedByUs.load())
            return stoppedJob();
        const QString reply = serialCheckCode("M105");
        const auto t = ControllerProtocol::parseM105(reply);
        if (t && (nozzle <= 0 || t->nozzle >= nozzle - 2) && (bed <= 0 || t->bed >= bed - 2))
            return Step::Done;
        if (silence.lost(reply)) {
            m_lostController.store(true);
            return Step::Lost;
        }
        sleepMs(200);
    }
}

// Puts the machine back where the stream stood, for a pause and for a
// power-off resume alike: targets reached, modes, extruder position, the head
// over the part at the park height, down to the last Z, fan and feed rate.
SerialObject::Step SerialObject::restoreJob(const RestorePoint& at, bool pauseStops)
{
    const int nozzle = m_nozzleTempOverride.load() ? d->nozzleOverride.load() : at.nozzle;
    const int bed = m_platformTempOverride.load() ? d->bedOverride.load() : at.bed;
    qDebug() << LOG_SRC(kSrc) << "restoring, heating to" << nozzle << bed;
    Step st = setJobHeaters(nozzle, bed);
    if (st == Step::Done)
        st = waitJobHeaters(nozzle, bed, pauseStops);
    if (st != Step::Done)
        return st;

    std::vector<std::string> moves{"G90"};
    if (at.absoluteExtruder) {
        std::string e = "G92 E";
        PrintLineAdjuster::appendNumber(e, at.pos.e, 5);
        moves.push_back(e);
    } else {
        moves.push_back("M83");
    }
    if (at.havePos) {
        moves.push_back(("G1 Z" + HomedPosition::homedZText() + " F300").toStdString());
        moves.push_back(("G1 X" + number2(at.pos.x) + " Y" + number2(at.pos.y) + " F2000").toStdString());
        moves.push_back(("G1 Z" + number2(at.pos.z) + " F300").toStdString());
    } else {
        qWarning() << LOG_SRC(kSrc) << "position unknown, resuming where the head is";
    }
    if (!at.absoluteAxes) {
        moves.push_back("G91");   // also makes the extruder relative
        if (at.absoluteExtruder)
            moves.push_back("M82");
    }
    if (at.fan >= 0)
        moves.push_back(at.fan > 0 ? "M106 S" + std::to_string(at.fan) : std::string("M107"));
    if (at.feed > 0) {
        std::string f = "G1 F";
        PrintLineAdjuster::appendNumber(f, at.feed, 3);
        moves.push_back(f);
    }
    for (const std::string& m : moves) {
        if ((st = sendJobCommand(m, AbortOn::Quit)) != Step::Done)
            return st;
    }
    return Step::Done;
}

SerialObject::Step SerialObject::pauseJob()
{
    qDebug() << LOG_SRC(kSrc) << "pausing";
    d->resumeRecorder.flush();
    Step st = waitMotionEnd();
    if (st != Step::Done)
        return st;
    // Where the file left the head; the stream's own record stands in when the
    // controller cannot tell.
    RestorePoint at = RestorePoint::fromStream(d->adjuster, m_nozzleTarget.load(), m_platformTarget.load());
    for (int i = 0; i < 3; ++i) {
        if (const auto p = ControllerProtocol::parseM114(serialCheckCode("M114"))) {
            at.pos = *p;
            at.havePos = true;
            break;
        }
    }
    for (;;) {
        if ((st = setJobHeaters(0, 0)) != Step::Done)
            return st;
        m_paused.store(true);
        emit printPause();
        while (d->pauseRequest.load() && !d->quitRequest.load() && !d->stoppedByUs.load())
            sleepMs(20);
        if (d->quitRequest.load())
            return Step::Quit;
        if (d->stoppedByUs.load())
            return stoppedJob();
        d->jobSettled.store(false);   // the restore's moves are the job's again
        st = restoreJob(at, true);
        if (st != Step::Paused)
            break;
    }
    if (st != Step::Done)
        return st;
    m_paused.store(false);
    qDebug() << LOG_SRC(kSrc) << "resumed";
    emit printResume();
    return Step::Done;
}

// A line may not have reached the controller: the job cannot go on as if it
// had. It ends as for a lost controller, its resume record at the start of the
// last layer whose lines before it are all proven.
SerialObject::Step SerialObject::lostLines()
{
    qWarning() << LOG_SRC(kSrc) << "file line" << d->unprovenFrom << "may not have reached the controller";
    m_lostController.store(true);
    const int64_t proven = d->unprovenFrom - 1;
    if (d->lastSavedLine > proven) {
        int64_t at = d->layerStarts.empty() ? proven : 0;
        for (int64_t mark : d->layerStarts)
            if (mark <= proven)
                at = mark;
        saveResumeLine(at);
    }
    return Step::Lost;
}

void SerialObject::saveResumeLine(int64_t line)
{
    d->lastSavedLine = line;
    if (!d->keepResumeLine)
        return;
    d->resumeRecorder.record(int(std::min<int64_t>(line, INT32_MAX)));
}
