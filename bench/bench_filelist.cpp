// Listing a folder of 10,000 print files newest first, and opening the file
// list page on it with the log on, against `ls -t` on the same folder in the
// same run; and one page turn of the file list with four thumbnails to read
// and scale.
//   bench_filelist [files]
#include "UI/buildfilemanage.h"
#include "UI/showtfcard.h"
#include "tests/support/GxWriter.h"
#include "tests/support/Sandbox.h"
#include "qxsdk/src/FileManager.h"
#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

void quietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

bool writeWithTime(const QByteArray& path, const QByteArray& content, time_t mtime)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == ssize_t(content.size());
    ::close(fd);
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    return ok && ::utimensat(AT_FDCWD, path.constData(), times, 0) == 0;
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int rounds = 7;

    Sandbox sandbox;
    const std::string folder = rootPath(std::string("/data"));
    const QByteArray gcode = "G28\nG1 X10 Y10\n";
    for (int i = 0; i < files; ++i) {
        // Every tenth file shares its time with a neighbour: ties sort by name.
        const time_t mtime = 1700000000 - (i % 10 == 1 ? i - 1 : i);
        const QByteArray path = QByteArray::fromStdString(folder) + "/part" + QByteArray::number(i)
            + (i % 3 == 0 ? ".gx" : i % 3 == 1 ? ".gcode" : ".G");
        if (!writeWithTime(path, gcode, mtime)) {
            fprintf(stderr, "cannot write %s\n", path.constData());
            return 1;
        }
    }
    for (int i = 0; i < files / 20; ++i)   // files the list leaves out
        writeWithTime(QByteArray::fromStdString(folder) + "/notes" + QByteArray::number(i) + ".txt", "x", 1);

    std::vector<double> ls, entryList, list, pageOpen;
    size_t listed = 0;
    int pageFiles = 0;
    // The page opens with the program's log on, as on the printer.
    Log::instance().open(rootPath(std::string(PrinterPath::LogDir)), "bench.log");
    Log::installMessageHandler();
    const QString logFile = QString::fromStdString(Log::instance().filePath());
    qint64 logBytes = 0;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start("ls", {"-t", QString::fromStdString(folder)});
        p.waitForFinished(-1);
        ls.push_back(t.nsecsElapsed() / 1e6);

        std::vector<qxsdk::FileInfo> out;
        t.restart();
        qxsdk::FileManager::entryList(out, folder, false, false, true, "", {".gcode", ".g", ".gx"});
        entryList.push_back(t.nsecsElapsed() / 1e6);

        t.restart();
        ShowTFCard::listFolder(folder, folder, out);
        list.push_back(t.nsecsElapsed() / 1e6);
        listed = out.size();

        const qint64 logBefore = QFileInfo(logFile).size();
        t.restart();
        auto* page = new ShowTFCard(FromMemory, nullptr);
        pageOpen.push_back(t.nsecsElapsed() / 1e6);
        pageFiles = page->fileCount();
        delete page;
        logBytes = QFileInfo(logFile).size() - logBefore;
    }
    qInstallMessageHandler(quietMessages);
    Log::instance().close();
    const double lsMs = median(ls);
    auto row = [lsMs](const char* what, double ms, const char* goal) {
        printf("  %-32s %8.2f ms = %.2f x ls -t%s\n", what, ms, lsMs > 0 ? ms / lsMs : 0.0, goal);
    };
    printf("folder of %d print files (+%d others), median of %d rounds\n", files, files / 20, rounds);
    printf("  %-32s %8.2f ms\n", "ls -t", lsMs);
    row("entry list (stat, sort)", median(entryList), "");
    row("file list", median(list), "");
    row("file list page opened, log on", median(pageOpen), " (target <= 1.5)");
    printf("  %zu entries listed, %d on the page; log bytes per opening: %lld (the log rotates at %lld)\n", listed,
           pageFiles, (long long)logBytes, (long long)Log::MaxFileSize);
    // A time is only worth something when the work behind it was done.
    QStringList failed;
    if (listed != size_t(files) || pageFiles != files)
        failed << QString("%1 print files, %2 listed, %3 on the page").arg(files).arg(listed).arg(pageFiles);

    // Page turns with four ".gx" thumbnails each.
    QDir(QString::fromStdString(folder)).removeRecursively();
    QDir().mkpath(QString::fromStdString(folder));
    GxWriter::GcodeOptions g;
    g.layers = 20;
    for (int i = 0; i < 8; ++i) {
        GxWriter::GxContent content;
        content.timeUsed = 3600;
        content.firstImage = GxWriter::drawPicture("small", 80, 80);
        content.secondImage = GxWriter::drawPicture(QString("part %1").arg(i), 300, 300);
        content.gcode = GxWriter::generateGcode(g);
        const QByteArray path = QByteArray::fromStdString(folder) + "/thumb" + QByteArray::number(i) + ".gx";
        if (!writeWithTime(path, GxWriter::buildGx(content), 1700000000 - i)) {
            fprintf(stderr, "cannot write %s\n", path.constData());
            return 1;
        }
        if (ShowTFCard::readFileGetPixmap(QString::fromUtf8(path), 100, 130).isNull())
            failed << QString("no thumbnail read from %1").arg(QString::fromUtf8(path));
    }
    auto* page = new ShowTFCard(FromMemory, nullptr);
    page->show();
    if (page->pageCount() != 2)
        failed << QString("%1 pages of thumbnails, not 2").arg(page->pageCount());
    QToolButton* down = page->findChild<QToolButton*>("down");
    QToolButton* up = page->findChild<QToolButton*>("up");
    std::vector<double> turns;
    for (int r = 0; r < 20; ++r) {
        QToolButton* b = r % 2 == 0 ? down : up;
        QElapsedTimer t;
        t.start();
        QTest::mousePress(b, Qt::LeftButton);
        QCoreApplication::processEvents();
        turns.push_back(t.nsecsElapsed() / 1e6);
        QTest::mouseRelease(b, Qt::LeftButton);
        if (page->currentPage() != (r % 2 == 0 ? 1 : 0) && failed.size() < 10)
            failed << QString("turn %1 left the list on page %2").arg(r + 1).arg(page->currentPage());
    }
    printf("  page turn, 4 thumbnails (300 x 300 PNG) %8.2f ms\n", median(turns));
    delete page;
    for (const QString& f : failed)
        printf("FAILED: %s\n", qPrintable(f));
    return failed.isEmpty() ? 0 : 1;
}
