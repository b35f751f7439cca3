// Print-loop benchmark (run on request, not in CI). Written against the link's
// public calls only (serialPrint on a file), so it measures whatever the
// exchange code does inside.
//   1. Transcript check: a short run whose transcript must equal the file's
//      command lines (the link's own "M117" count queries left aside).
//   2. Streaming against the simulator answering at once, and the floor: a bare
//      pseudo-terminal ping-pong (one line written, its reply read) with the same
//      lines. Both with the two ends on one core, on two cores, and where the
//      scheduler puts them. Counts what the simulator received.
//   3. A layer mark every 50 lines, with power-off resume on, against the same
//      commands without marks.
//   4. The simulated 115200-baud line: lines per second against the line's
//      bandwidth limit (below 99.5 % fails the run).
//   5. Counting the lines of a big file against `wc -l`.
// Usage: bench_serial [--lines N] [--check-lines N] [--baud-lines N]
//                     [--cpus A,B] [--megabytes M] [--parts check,stream,floor,layers,baud,count]
//   (temporary files go to $TMPDIR; --parts runs only those, default all; "floor" is
//   the ping-pong beside the streaming)
#include "Config/Config.h"
#include "serial/ControllerProtocol.h"
#include "serial/GcodeFile.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"
#include "tests/support/StreamCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double Baud115200 = 11520.0;   // bytes per second each way, 8N1
// The line must be the limit: the lines in flight hide every reply's way back.
constexpr double BaudGoalPercent = 99.5;

double cpuSeconds(clockid_t clock)
{
    timespec ts;
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// ---- where the two ends run

struct Placement {
    const char* name;
    int linkCpu;   // -1: wherever the scheduler puts it
    int simCpu;
};

cpu_set_t g_allowed;   // the process's own set at start

// Set when a part's work failed (lines missing, a file not written or not
// counted): its figures measure nothing.
bool g_failed = false;

void fail(const char* what)
{
    std::printf("  FAILED: %s\n", what);
    g_failed = true;
}

void pinThisThread(int cpu)
{
    if (cpu < 0) {
        sched_setaffinity(0, sizeof g_allowed, &g_allowed);
        return;
    }
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    if (sched_setaffinity(0, sizeof set, &set) != 0)
        std::perror("sched_setaffinity");
}

// ---- the print file

struct Gcode {
    QByteArray text;
    qint64 commands = 0;        // lines the controller must receive
    double framedBytes = 0;     // mean bytes per command on the line ("~" + line + "\r\n")
};

Gcode makeGcode(qint64 commands, int layerEvery)
{
    Gcode g;
    g.text.reserve(int(std::min<qint64>(commands * 36, 1 << 30)));
    qint64 bytes = 0;
    for (qint64 n = 0; n < commands; ++n) {
        if (layerEvery > 0 && n % layerEvery == 0)
            g.text += ";layer:" + QByteArray::number(n / layerEvery) + "\n";
        const QByteArray line = "G1 X" + QByteArray::number(10 + n % 170) + ".125 Y" +
                                QByteArray::number(20 + n % 150) + ".5 E" + QByteArray::number(n % 1000) +
                                ".0125 F1800";
        g.text += line + "\n";
        bytes += line.size() + 3;
    }
    g.commands = commands;
    g.framedBytes = commands > 0 ? double(bytes) / double(commands) : 0.0;
    return g;
}

// ---- the print loop against the simulator

struct Run {
    qint64 received = 0;      // commands the simulator received
    double seconds = 0;
    double linkCpu = 0;       // CPU seconds of the print thread
    QStringList transcript;   // only when asked for
    double rate(qint64 lines) const { return seconds > 0 ? lines / seconds : 0.0; }
};

struct StreamSetup {
    Placement where{"free", -1, -1};
    double lineBytesPerSecond = 0;
    bool transcript = false;
    bool keepResumeLine = false;
};

Run stream(const Gcode& g, const StreamSetup& s)
{
    ControllerSimulator::Options o;
    o.timeScale = 1e9;   // every move ends at once
    o.heatRate = 1e6;
    o.keepTranscript = s.transcript;
    o.lineBytesPerSecond = s.lineBytesPerSecond;
    // The simulator's thread takes the affinity of the thread that starts it,
    // the link (and any thread it starts) that of the print thread.
    pinThisThread(s.where.simCpu);
    SimHarness h(o);
    pinThisThread(s.where.linkCpu);
    getConfigFile().configFile()->setPowerOffResumePrintStatus(s.keepResumeLine);
    SerialObject* link = h.link();
    const QString path = h.sandbox().path("/data/bench.g");
    h.sandbox().writeFile("/data/bench.g", g.text);

    Run r;
    const double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    QElapsedTimer wall;
    wall.start();
    link->serialPrint(path);
    r.seconds = wall.nsecsElapsed() / 1e9;
    r.linkCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    r.received = h.sim().receivedCount();
    if (s.transcript)
        r.transcript = h.sim().transcript();
    pinThisThread(-1);
    return r;
}

// ---- the floor: a bare pseudo-terminal ping-pong

double pingPong(const Gcode& g, const Placement& where)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
        return 0;
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    termios tio;
    if (slave < 0 || tcgetattr(slave, &tio) != 0)
        return 0;
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    // The controller's end: every line gets its reply at once.
    std::atomic<bool> stop{false};
    std::thread controller([&] {
        pinThisThread(where.simCpu);
        std::string reply;
        ControllerProtocol::replyInto(reply, ControllerProtocol::DefaultBufferSlots, "ok");
        char buf[4096];
        while (!stop.load()) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(master, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i)
                if (buf[i] == '\n' && ::write(master, reply.data(), reply.size()) < 0)
                    std::perror("ping-pong reply");
        }
    });

    // The link's end: one line out, its reply in, the next line.
    pinThisThread(where.linkCpu);
    std::string frame;
    char buf[512];
    QElapsedTimer wall;
    wall.start();
    qint64 done = 0;
    for (const QByteArray& line : g.text.split('\n')) {
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        ControllerProtocol::frameInto(frame, std::string_view(line.constData(), size_t(line.size())));
        if (::write(slave, frame.data(), frame.size()) != ssize_t(frame.size()))
            break;
        bool replied = false;
        while (!replied) {
            pollfd p{slave, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(slave, buf, sizeof buf);
            replied = n > 0 && std::memchr(buf, '\n', size_t(n));
        }
        if (!replied)
            break;
        ++done;
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    pinThisThread(-1);
    stop.store(true);
    controller.join();
    ::close(slave);
    ::close(master);
    return done == g.commands && seconds > 0 ? done / seconds : 0.0;
}

// ---- the parts of the report

bool checkTranscript(qint64 lines)
{
    const Gcode g = makeGcode(lines, 50);
    StreamSetup s;
    s.transcript = true;
    const Run r = stream(g, s);
    QStringList got = r.transcript;
    const qsizetype queries = got.removeAll("M117");
    const bool same = got == StreamCheck::expectedLines(g.text);
    std::printf("transcript check, %lld commands: %s (received %lld, of which %lld count queries)\n",
                (long long)g.commands, same ? "equal to the file's command lines" : "DIFFERS FROM THE FILE",
                (long long)r.received, (long long)queries);
    return same;
}

void benchStreaming(qint64 lines, const std::vector<Placement>& places, bool withFloor)
{
    const Gcode g = makeGcode(lines, 1000);
    std::printf("\nstreaming %lld commands (%.1f bytes each on the line), instant simulator\n",
                (long long)g.commands, g.framedBytes);
    std::printf("  %-24s %12s %12s %8s %10s %14s\n", "two ends", "print loop", "ping-pong", "ratio", "received",
                "loop CPU/line");
    for (const Placement& p : places) {
        StreamSetup s;
        s.where = p;
        const Run r = stream(g, s);
        const double floor = withFloor ? pingPong(g, p) : -1;
        const QByteArray floorText = withFloor ? QByteArray::number(floor, 'f', 0) + "/s" : "-";
        const QByteArray ratioText = floor > 0 ? QByteArray::number(r.rate(g.commands) / floor, 'f', 2) : "-";
        std::printf("  %-24s %10.0f/s %12s %8s %10lld %11.2f us%s\n", p.name, r.rate(g.commands),
                    floorText.constData(), ratioText.constData(), (long long)r.received,
                    r.linkCpu / double(g.commands) * 1e6, r.received < g.commands ? "  LINES MISSING" : "");
        std::fflush(stdout);
        if (r.received < g.commands)
            fail("the print loop lost lines");
        if (floor == 0)
            fail("the ping-pong did not get through its lines");
    }
    std::printf("  (goals: >= 20000/s on two cores; >= 3x the one-line-in-flight rate on one core)\n");
}

void benchLayers(qint64 lines)
{
    const Gcode marked = makeGcode(lines, 50), plain = makeGcode(lines, 0);
    StreamSetup s;
    s.keepResumeLine = true;
    // Alternating pairs; the median of the pair ratios holds when the machine's speed drifts.
    std::vector<double> with, without, ratios;
    bool missing = false;
    for (int round = 0; round < 5; ++round) {
        const Run a = stream(marked, s), b = stream(plain, s);
        missing = missing || a.received < lines || b.received < lines;
        with.push_back(a.rate(lines));
        without.push_back(b.rate(lines));
        ratios.push_back(with.back() / without.back());
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("\nlayer mark every 50 lines, power-off resume on, %lld commands, 5 pairs\n", (long long)lines);
    std::printf("  with marks %.0f/s, without %.0f/s (medians): cost %.1f %% (median of pairs; goal <= 3 %%)\n",
                median(with), median(without), (1.0 - median(ratios)) * 100.0);
    if (missing)
        fail("the print loop lost lines");
}

void benchBaud(qint64 lines)
{
    const Gcode g = makeGcode(lines, 1000);
    StreamSetup s;
    s.lineBytesPerSecond = Baud115200;
    const Run r = stream(g, s);
    std::string reply;
    ControllerProtocol::replyInto(reply, ControllerProtocol::DefaultBufferSlots, "ok");
    const double limit = Baud115200 / g.framedBytes;
    const double oneInFlight = Baud115200 / (g.framedBytes + double(reply.size()));
    std::printf("\nsimulated 115200 baud (%.0f bytes/s each way), %lld commands of %.1f bytes\n", Baud115200,
                (long long)g.commands, g.framedBytes);
    const double share = r.rate(g.commands) / limit * 100.0;
    std::printf("  print loop %.0f/s = %.1f %% of the line's limit %.0f/s (goal >= %.1f %%); "
                "one line in flight allows %.0f/s; received %lld\n",
                r.rate(g.commands), share, limit, BaudGoalPercent, oneInFlight, (long long)r.received);
    if (r.received < g.commands)
        fail("the print loop lost lines");
    else if (share < BaudGoalPercent)
        fail("the print loop leaves the 115200-baud line idle");
}

void benchCounting(qint64 megabytes)
{
    const QByteArray tmp = qgetenv("TMPDIR");
    QTemporaryDir dir(QString::fromLocal8Bit(tmp.isEmpty() ? QByteArray("/tmp") : tmp) + "/bench_serial-XXXXXX");
    const QString path = dir.path() + "/big.g";
    {
        // 1 MB of G-code, repeated.
        const Gcode chunk = makeGcode(30000, 1000);
        QFile f(path);
        if (!dir.isValid() || !f.open(QIODevice::WriteOnly)) {
            std::printf("\ncounting the lines of a big file\n");
            fail(qPrintable("cannot write " + path));
            return;
        }
        for (qint64 written = 0; written < megabytes * 1000 * 1000; written += chunk.text.size()) {
            if (f.write(chunk.text) != chunk.text.size()) {
                std::printf("\ncounting the lines of a big file\n");
                fail(qPrintable("cannot write " + path));
                return;
            }
        }
    }
    std::printf("\ncounting the lines of a %lld-byte file\n", (long long)QFile(path).size());
    double best = 1e9, bestWc = 1e9;
    qint64 ours = -1;
    QByteArray wcOut;
    for (int round = 0; round < 3; ++round) {   // best of three, page cache warm
        QElapsedTimer t;
        t.start();
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        ours = countGcodeLines(fd, 0);
        if (fd >= 0)
            ::close(fd);
        best = std::min(best, t.nsecsElapsed() / 1e9);
        QProcess wc;
        t.restart();
        wc.start("wc", {"-l", path});
        wc.waitForFinished(-1);
        bestWc = std::min(bestWc, t.nsecsElapsed() / 1e9);
        wcOut = wc.readAllStandardOutput();
    }
    std::printf("  print loop counter: %lld lines in %.3f s\n", (long long)ours, best);
    std::printf("  wc -l:              %s in %.3f s\n", wcOut.trimmed().split(' ').value(0).constData(), bestWc);
    std::printf("  ratio %.2f (target <= 1.5)\n", best / bestWc);
    if (ours < 0 || QByteArray::number(ours) != wcOut.trimmed().split(' ').value(0))
        fail("the print loop counter and wc -l disagree");
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 lines = 200000, checkLines = 20000, baudLines = 2000, megabytes = 200;
    int cpuA = -1, cpuB = -1;
    QStringList parts{"check", "stream", "floor", "layers", "baud", "count"};
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--lines")
            lines = args[i + 1].toLongLong();
        else if (args[i] == "--check-lines")
            checkLines = args[i + 1].toLongLong();
        else if (args[i] == "--baud-lines")
            baudLines = args[i + 1].toLongLong();
        else if (args[i] == "--megabytes")
            megabytes = args[i + 1].toLongLong();
        else if (args[i] == "--parts")
            parts = args[i + 1].split(',');
        else if (args[i] == "--cpus" && args[i + 1].contains(',')) {
            cpuA = args[i + 1].section(',', 0, 0).toInt();
            cpuB = args[i + 1].section(',', 1, 1).toInt();
        }
    }
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    sched_getaffinity(0, sizeof g_allowed, &g_allowed);
    for (int c = 0; c < CPU_SETSIZE && (cpuA < 0 || cpuB < 0); ++c) {   // default: the first two allowed
        if (!CPU_ISSET(c, &g_allowed) || c == cpuA)
            continue;
        (cpuA < 0 ? cpuA : cpuB) = c;
    }
    if (cpuB < 0)
        cpuB = cpuA;
    const std::string one = "one core (" + std::to_string(cpuA) + ")";
    const std::string two = "two cores (" + std::to_string(cpuA) + ", " + std::to_string(cpuB) + ")";
    const std::vector<Placement> places{
        {one.c_str(), cpuA, cpuA}, {two.c_str(), cpuA, cpuB}, {"scheduler's choice", -1, -1}};

    const bool same = !parts.contains("check") || checkTranscript(checkLines);
    if (parts.contains("stream"))
        benchStreaming(lines, places, parts.contains("floor"));
    if (parts.contains("layers"))
        benchLayers(lines / 5);
    if (parts.contains("baud"))
        benchBaud(baudLines);
    if (parts.contains("count"))
        benchCounting(megabytes);
    return same && !g_failed ? 0 : 1;
}
