// Print-file costs: the pre-print check of a 2 GB file against a 1 KB file (the
// check reads a bounded number of bytes) and of a file whose one line never
// ends, and the thumbnails of 100 ".gx" files. The files lie in the internal
// storage of a sandbox root, the only place the checks read from.
#include "Files/PrintFile.h"
#include "tests/support/GxWriter.h"
#include "tests/support/Sandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double medianMicros(std::vector<qint64>& ns)
{
    std::sort(ns.begin(), ns.end());
    return ns[ns.size() / 2] / 1000.0;
}

struct Timing {
    double micros;
    qint64 bytesRead;
    bool passed;
};

Timing timeCheck(const QString& path, int rounds)
{
    std::vector<qint64> ns;
    PrintFile::CheckResult r;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        r = PrintFile::checkPrintFile(path);
        ns.push_back(t.nsecsElapsed());
    }
    return {medianMicros(ns), r.bytesRead, r.passed};
}

void quiet(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type >= QtWarningMsg)
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(quiet);
    const Sandbox sandbox;
    const auto file = [&](const QString& name) { return sandbox.path("/data/" + name); };

    // The same slicer-made G-code in a small file and at both ends of a sparse 2 GB one.
    GxWriter::GcodeOptions options;
    options.layers = 3;
    const QByteArray gcode = GxWriter::generateGcode(options);
    const QString small = file("small.gcode");
    GxWriter::writeFile(small, gcode);

    const QString big = file("big.gcode");
    const qint64 bigSize = qint64(2) << 30;
    const QByteArray tail = gcode.right(1024);
    {
        QFile f(big);
        if (!f.open(QIODevice::WriteOnly) || f.write(gcode) != gcode.size() || !f.resize(bigSize - tail.size())
            || !f.seek(bigSize - tail.size()) || f.write(tail) != tail.size()) {
            std::fprintf(stderr, "can't write %s\n", qPrintable(big));
            return 1;
        }
    }

    // A file whose one line never ends: the check gives up after its read budget.
    const QString endless = file("endless.gcode");
    {
        QFile f(endless);
        if (!f.open(QIODevice::WriteOnly) || f.write("M104 S210 ") != 10 || !f.resize(200 * 1000 * 1000)) {
            std::fprintf(stderr, "can't write %s\n", qPrintable(endless));
            return 1;
        }
    }

    const int rounds = 2000;
    const Timing a = timeCheck(small, rounds);
    const Timing b = timeCheck(big, rounds);
    const Timing c = timeCheck(endless, 50);
    std::printf("pre-print check (median of %d)\n", rounds);
    std::printf("  %-28s %10.1f us  %8lld bytes read  %s\n", "1 KB file", a.micros, (long long)a.bytesRead,
                a.passed ? "accepted" : "REFUSED");
    std::printf("  %-28s %10.1f us  %8lld bytes read  %s\n", "2 GB file (sparse)", b.micros,
                (long long)b.bytesRead, b.passed ? "accepted" : "REFUSED");
    std::printf("  %-28s %10.1f us  %8lld bytes read  %s (median of 50)\n", "200 MB line without end", c.micros,
                (long long)c.bytesRead, c.passed ? "ACCEPTED" : "refused");

    // 100 ".gx" files with two pictures each, read as the file list does (100 x 130).
    QStringList files;
    for (int i = 0; i < 100; ++i) {
        GxWriter::GxContent gx;
        gx.firstImage = GxWriter::drawPicture(QString("part %1").arg(i), 60, 60);
        gx.secondImage = GxWriter::drawPicture(QString("part %1").arg(i), 200, 200);
        gx.gcode = gcode;
        files << file(QString("part%1.gx").arg(i));
        GxWriter::writeFile(files.last(), GxWriter::buildGx(gx));
    }
    std::vector<qint64> ns;
    int shown = 0;
    for (int round = 0; round < 10; ++round) {
        QElapsedTimer t;
        t.start();
        shown = 0;
        for (const QString& f : files)
            shown += !PrintFile::readThumbnail(f, 100, 130).isNull();
        ns.push_back(t.nsecsElapsed());
    }
    std::printf("thumbnails of 100 .gx files (median of 10): %.1f ms, %d shown\n", medianMicros(ns) / 1000.0,
                shown);

    // A time is only worth something when the work behind it was done: the
    // endless line must be refused for its read budget, not left unread.
    QStringList failed;
    if (!a.passed || !b.passed)
        failed << "a slicer-made file was refused";
    if (c.passed || c.bytesRead == 0)
        failed << "the line without end was not read up to the check's budget";
    if (shown != 100)
        failed << QString("%1 of 100 thumbnails shown").arg(shown);
    for (const QString& f : failed)
        std::printf("FAILED: %s\n", qPrintable(f));
    return failed.isEmpty() ? 0 : 1;
}
