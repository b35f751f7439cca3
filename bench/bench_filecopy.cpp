// Copies a 1 GB file with verification and compares it with `cp`, `sync` and
// `md5sum` of both files, run in the same way on the same disk. Also times the
// engine at several block sizes, which is how its default was chosen. The
// folder is the printer root for the run (ORLENK_ROOT): the engine copies only
// files of the storage, so the source lies in its "/data" and the copies go to
// its "/media".
//   bench_filecopy [folder] [megabytes]     (default: a temporary folder, 1000 MB)
#include "Files/FileCopy.h"
#include "tools/RootPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

// Set when any timed work fails: its time measures nothing.
bool g_failed = false;

double runShell(const QString& command)
{
    QElapsedTimer timer;
    timer.start();
    const int rc = QProcess::execute("/bin/sh", {"-c", command});
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (rc != 0) {
        std::fprintf(stderr, "command failed (%d): %s\n", rc, qPrintable(command));
        g_failed = true;
    }
    return seconds;
}

double runEngine(const QString& source, const QString& folder, size_t blockSize)
{
    QFile::remove(folder + "/" + QFileInfo(source).fileName());
    QElapsedTimer timer;
    timer.start();
    FileCopyJob job;
    job.setBlockSize(blockSize);
    job.addFile(source.toStdString(), folder.toStdString());
    job.start();
    job.wait(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (job.result() != FileCopyResult::Done) {
        std::fprintf(stderr, "copy failed: %s\n", fileCopyResultName(job.result()));
        g_failed = true;
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QTemporaryDir temp(argc > 1 ? QString(argv[1]) + "/bench-copy-XXXXXX" : QDir::tempPath() + "/bench-copy-XXXXXX");
    const qint64 megabytes = argc > 2 ? QByteArray(argv[2]).toLongLong() : 1000;
    if (!temp.isValid() || megabytes <= 0) {
        std::fprintf(stderr, "usage: bench_filecopy [folder] [megabytes]\n");
        return 2;
    }
    qputenv("ORLENK_ROOT", temp.path().toLocal8Bit());
    const QString source = rootPath("/data/model.gx");
    const QString copies = rootPath("/media");
    QDir().mkpath(rootPath("/data"));
    QDir().mkpath(copies);

    // Incompressible content, so no file system can shortcut it.
    std::printf("making a %lld MB source ...\n", megabytes);
    {
        QFile f(source);
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "can't write %s\n", qPrintable(source));
            return 1;
        }
        QByteArray block(1 << 20, Qt::Uninitialized);
        uint64_t x = 88172645463325252ull;
        for (qint64 m = 0; m < megabytes; ++m) {
            auto* words = reinterpret_cast<uint64_t*>(block.data());
            for (size_t i = 0; i < block.size() / sizeof(uint64_t); ++i) {
                x ^= x << 13; x ^= x >> 7; x ^= x << 17;
                words[i] = x;
            }
            if (f.write(block) != block.size()) {
                std::fprintf(stderr, "can't write %s\n", qPrintable(source));
                return 1;
            }
        }
    }
    runShell("sync");

    const QString reference = QString("cp '%1' '%2/ref.gx' && sync && md5sum '%1' '%2/ref.gx' > /dev/null")
                                  .arg(source, copies);
    std::vector<double> refTimes;
    const auto timeReference = [&] {
        QFile::remove(copies + "/ref.gx");
        runShell("sync");
        refTimes.push_back(runShell(reference));
        std::printf("cp + sync + md5sum x2: %.2f s\n", refTimes.back());
        QFile::remove(copies + "/ref.gx");
        runShell("sync");
    };
    timeReference();

    double defaultTime = 0;
    for (size_t block : {size_t(4096), size_t(65536), size_t(256 * 1024), size_t(1 << 20), size_t(4 << 20)}) {
        const double t = runEngine(source, copies, block);
        runShell("sync");
        std::printf("engine, %7zu-byte blocks: %.2f s (%.0f MB/s)\n", block, t, megabytes / t);
        if (block == FileCopyJob::DefaultBlockSize)
            defaultTime = t;
    }
    timeReference();

    const double best = std::min(refTimes[0], refTimes[1]);
    std::printf("\nblock size chosen: %zu bytes\n", FileCopyJob::DefaultBlockSize);
    if (g_failed) {
        std::printf("FAILED: a copy or a reference command failed, no ratio\n");
        return 1;
    }
    std::printf("engine %.2f s, reference %.2f s (best of 2): ratio %.2f (target <= 1.30)\n",
                defaultTime, best, defaultTime / best);
    return defaultTime / best <= 1.3 ? 0 : 1;
}
