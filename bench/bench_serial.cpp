// Print-loop benchmark (run on request, not in CI):
//   1. streams a 1,000,000-line file to the simulator answering at once and
//      reports lines per second and the CPU time per streamed line;
//   2. counts the lines of a 500 MB file with the print loop's counter and
//      with `wc -l` in the same run.
// Usage: bench_serial [--lines N] [--megabytes M]   (temporary files go to $TMPDIR)
#include "serial/GcodeFile.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <string>

namespace {

double cpuSeconds(clockid_t clock)
{
    timespec ts;
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

bool writeGcode(const QString& path, qint64 lines, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    chunk.reserve(1 << 20);
    qint64 written = 0, n = 0;
    auto flush = [&] {
        if (f.write(chunk) != chunk.size())
            return false;
        written += chunk.size();
        chunk.clear();
        return true;
    };
    while ((lines < 0 || n < lines) && (bytes < 0 || written + chunk.size() < bytes)) {
        if (n % 1000 == 0)
            chunk += ";layer:" + QByteArray::number(n / 1000) + "\n";
        chunk += "G1 X" + QByteArray::number(10 + n % 170) + ".125 Y" + QByteArray::number(20 + n % 150) +
                 ".5 E" + QByteArray::number(n % 1000) + ".0125 F1800\n";
        ++n;
        if (chunk.size() >= (1 << 20) && !flush())
            return false;
    }
    return flush();
}

void benchStreaming(qint64 lines)
{
    ControllerSimulator::Options o;
    o.timeScale = 1e9;          // every move ends at once
    o.heatRate = 1e6;
    o.keepTranscript = false;
    SimHarness h(o);
    SerialObject* link = h.link();
    const QString path = h.sandbox().path("/data/bench.g");
    if (!writeGcode(path, lines, -1)) {
        std::printf("cannot write %s\n", qPrintable(path));
        return;
    }
    const qint64 total = countGcodeLines(path.toStdString(), 0);
    std::printf("streaming %lld lines (%lld bytes) to the simulator\n", total, QFile(path).size());
    std::fflush(stdout);

    const double processCpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double threadCpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    QElapsedTimer wall;
    wall.start();
    link->serialPrint(path);
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double threadCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadCpu0;
    const double processCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpu0;

    const qint64 sent = total - total / 1001;   // without the layer marks
    const qint64 received = h.sim().receivedCount();
    std::printf("  commands received by the simulator: %lld (file lines sent: %lld)\n", received, sent);
    std::printf("  wall time %.2f s: %.0f lines/s (target >= 20000)\n", seconds, sent / seconds);
    std::printf("  CPU per streamed line: print thread %.2f us, whole process with simulator %.2f us\n",
                threadCpu / sent * 1e6, processCpu / sent * 1e6);
}

void benchCounting(qint64 megabytes)
{
    const QByteArray tmp = qgetenv("TMPDIR");
    QTemporaryDir dir(QString::fromLocal8Bit(tmp.isEmpty() ? QByteArray("/tmp") : tmp) + "/bench_serial-XXXXXX");
    const QString path = dir.path() + "/big.g";
    if (!dir.isValid() || !writeGcode(path, -1, megabytes * 1000 * 1000)) {
        std::printf("cannot write %s\n", qPrintable(path));
        return;
    }
    std::printf("counting the lines of a %lld-byte file\n", QFile(path).size());
    double best = 1e9, bestWc = 1e9;
    qint64 ours = -1;
    QByteArray wcOut;
    for (int round = 0; round < 3; ++round) {   // best of three, page cache warm
        QElapsedTimer t;
        t.start();
        ours = countGcodeLines(path.toStdString(), 0);
        best = std::min(best, t.nsecsElapsed() / 1e9);
        QProcess wc;
        t.restart();
        wc.start("wc", {"-l", path});
        wc.waitForFinished(-1);
        bestWc = std::min(bestWc, t.nsecsElapsed() / 1e9);
        wcOut = wc.readAllStandardOutput();
    }
    std::printf("  print loop counter: %lld lines in %.3f s\n", ours, best);
    std::printf("  wc -l:              %s in %.3f s\n", wcOut.trimmed().split(' ').value(0).constData(), bestWc);
    std::printf("  ratio %.2f (target <= 1.5)\n", best / bestWc);
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 lines = 1000000, megabytes = 500;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--lines")
            lines = args[i + 1].toLongLong();
        if (args[i] == "--megabytes")
            megabytes = args[i + 1].toLongLong();
    }
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    benchStreaming(lines);
    benchCounting(megabytes);
    return 0;
}
