// How much of the GUI thread a streaming job takes: the printing page runs a
// job against a controller simulator that finishes every move at once, and the
// GUI thread's own CPU time (CLOCK_THREAD_CPUTIME_ID, read on that thread) is
// sampled once a second while the print thread streams at full speed.
//
//   bench_printpage [lines]      (default 200000 G-code lines)
#include "serial/ControllerProtocol.h"
#include "tests/support/PrintPageRig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

QByteArray bigJob(int lines)
{
    QByteArray f = "M104 S200 T0\nM140 S60\n;layer_count:100\nG90\nG92 E0\n";
    f.reserve(lines * 28);
    const int perLayer = qMax(1, lines / 100);
    double e = 0;
    for (int i = 0; i < lines; ++i) {
        if (i % perLayer == 0)
            f += ";layer:" + QByteArray::number(i / perLayer) + "\n";
        e += 0.01;
        f += "G1 X" + QByteArray::number(10 + (i % 50)) + " Y" + QByteArray::number(10 + (i % 37)) + " E"
             + QByteArray::number(e, 'f', 2) + " F6000\n";
    }
    return f;
}

// Runs the event loop for ms without spending the GUI thread's time on polling.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? qMax(1000, atoi(argv[1])) : 200000;

    ControllerSimulator::Options options;
    options.timeScale = 1e6;   // every move ends as soon as it is queued
    options.heatRate = 1e3;
    options.bufferSlots = 16;
    PrintPageRig rig(options);
    // Moves end at once, but the program's own waits (homing, motion) keep the
    // machine's limits: scaled by a million they would run out before a reply.
    ControllerProtocol::setMachineTimeScale(1.0);
    const QString path = rig.writeJob("bench.gcode", bigJob(lines));

    rig.mainWindow->slot_ThreadM23(path);
    if (!rig.page()) {
        std::fprintf(stderr, "the printing page did not open\n");
        return 1;
    }
    QElapsedTimer waited;
    waited.start();
    while (rig.page() && !rig.page()->getPrinterFileSendStatus() && waited.elapsed() < 30000)
        runFor(20);
    if (!rig.page() || !rig.page()->getPrinterFileSendStatus()) {
        std::fprintf(stderr, "the job did not start streaming\n");
        return 1;
    }

    std::printf("streaming %d lines; GUI thread CPU sampled once a second\n", lines);
    std::printf("%6s %12s %14s %10s\n", "second", "lines/s", "GUI CPU ms/s", "GUI CPU %");
    const int64_t startLines = rig.sim().receivedCount();
    const double startCpu = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    int64_t lastLines = startLines;
    double lastCpu = startCpu;
    qint64 lastMs = 0;
    int second = 0;
    while (rig.page() && rig.page()->getPrintState() != 3 && wall.elapsed() < 600000) {
        runFor(1000);
        const double cpu = threadCpuSeconds();
        const int64_t n = rig.sim().receivedCount();
        const qint64 ms = wall.elapsed();
        const double dt = double(ms - lastMs) / 1000.0;
        std::printf("%6d %12.0f %14.1f %10.1f\n", ++second, double(n - lastLines) / dt,
                    (cpu - lastCpu) * 1000.0 / dt, (cpu - lastCpu) * 100.0 / dt);
        std::fflush(stdout);
        lastLines = n;
        lastCpu = cpu;
        lastMs = ms;
    }
    const double cpu = threadCpuSeconds() - startCpu;
    const double seconds = double(wall.elapsed()) / 1000.0;
    const int64_t sent = rig.sim().receivedCount() - startLines;
    std::printf("\ntotal: %lld commands in %.2f s (%.0f lines/s)\n", static_cast<long long>(sent), seconds,
                double(sent) / seconds);
    std::printf("GUI thread CPU: %.3f s = %.2f %% of one core, %.2f us per streamed line\n", cpu,
                cpu * 100.0 / seconds, sent > 0 ? cpu * 1e6 / double(sent) : 0.0);
    // The figures hold only for a job that streamed its file to the end.
    if (rig.page() && rig.page()->getPrintState() != 3) {
        std::printf("FAILED: the job had not ended after %.0f s\n", seconds);
        return 1;
    }
    const QStringList received = rig.sim().transcript();
    const auto moves = std::count_if(received.begin(), received.end(),
                                     [](const QString& l) { return l.startsWith("G1 X") && l.endsWith(" F6000"); });
    if (moves != lines) {
        std::printf("FAILED: the controller received %lld of the file's %d moves\n", static_cast<long long>(moves),
                    lines);
        return 1;
    }
    return 0;
}
