// The print file layout (kind, header, thumbnail) and the pre-print check,
// on real files written by the gx writer.
#include "Files/PrintFile.h"
#include "serial/PrintLineAdjuster.h"
#include "tests/support/GxWriter.h"
#include "tests/support/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using PrintFile::CheckResult;

namespace {

QByteArray lines(const QByteArrayList& list) { return list.join('\n') + '\n'; }

// n filler lines that hold none of the keys.
QByteArray filler(int n)
{
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += "G1 X" + QByteArray::number(i % 50) + " Y1 F1800\n";
    return out;
}

QByteArray png(int w, int h) { return GxWriter::drawPicture({}, w, h); }

} // namespace

class TestPrintFile : public QObject {
    Q_OBJECT

    Sandbox m_box;
    QTemporaryDir m_dir{m_box.path("/data/XXXXXX")};   // print files live in the storage
    int m_serial = 0;

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QString::number(++m_serial) + "-" + name);
        QString error;
        if (!GxWriter::writeFile(path, bytes, &error))
            qFatal("can't write %s: %s", qPrintable(path), qPrintable(error));
        return path;
    }
    CheckResult check(const QByteArray& bytes, const QString& name = "part.gcode")
    {
        return PrintFile::checkPrintFile(write(name, bytes));
    }
    // A sparse file of size bytes with head at its start and tail at its end.
    QString sparse(const QString& name, qint64 size, const QByteArray& head, const QByteArray& tail = {})
    {
        const QString path = write(name, head);
        QFile f(path);
        if (!f.open(QIODevice::ReadWrite) || !f.resize(size - tail.size()) || !f.seek(size - tail.size())
            || f.write(tail) != tail.size())
            qFatal("can't grow %s", qPrintable(path));
        return path;
    }

private slots:
    // Which bytes are the thumbnail: the later of two pictures, whole inside the file and under the cap.
    void imageChoice()
    {
        const qint64 cap = PrintFile::MaxThumbnailBytes;
        struct Row { const char* name; uint first, second, gcode; qint64 size, start, length; };   // start -1: none
        const Row rows[] = {
            {"one image", 60, 5000, 5000, 20000, 60, 4940}, {"second image wins", 60, 5000, 9000, 20000, 5000, 4000},
            {"all equal", 60, 60, 60, 20000, -1, 0}, {"reversed", 60, 9000, 5000, 20000, -1, 0},
            {"length equals size", 60, 100, 100, 40, -1, 0}, {"starts inside the header", 10, 5000, 5000, 20000, -1, 0},
            {"ends past the file", 60, 5000, 5000, 4999, -1, 0}, {"ends at the file's end", 60, 5000, 5000, 5000, 60, 4940},
            {"32-bit wrap", 60, 0xFFFFFFF0u, 0x10, qint64(1) << 40, -1, 0},
            {"huge declared range", 60, 60, 0xFFFFFFF0u, qint64(1) << 33, -1, 0},
            {"at the cap", 60, 60, uint(60 + cap), qint64(1) << 30, 60, cap},
            {"over the cap", 60, 60, uint(61 + cap), qint64(1) << 30, -1, 0}};
        for (const Row& r : rows) {
            PrintFile::Header h;
            h.firstImageOffset = r.first;
            h.secondImageOffset = r.second;
            h.gcodeOffset = r.gcode;
            const auto range = PrintFile::thumbnailRange(h, r.size);
            QVERIFY2((range ? range->start : -1) == r.start && (range ? range->length : 0) == r.length, r.name);
        }
    }

    void thumbnails()
    {
        GxWriter::GxContent content;
        content.gcode = GxWriter::generateGcode({});
        content.firstImage = png(30, 20);
        const QString one = write("one.gx", GxWriter::buildGx(content));
        QCOMPARE(PrintFile::readThumbnailBytes(one), content.firstImage);

        // With two pictures the second one is shown, scaled with its aspect ratio.
        content.secondImage = png(50, 40);
        const QString two = write("two.gx", GxWriter::buildGx(content));
        QCOMPARE(PrintFile::readThumbnail(two, 110, 110).size(), QSize(110, 88));

        // Bytes that are no picture.
        content.secondImage.clear();
        content.firstImage = QByteArray(500, 'x');
        QVERIFY(PrintFile::readThumbnail(write("junk.gx", GxWriter::buildGx(content))).isNull());
        QVERIFY(PrintFile::readThumbnailBytes(write("plain.gcode", GxWriter::generateGcode({}))).isEmpty());

        // A small picture declaring enormous dimensions: refused before decoding.
        const int side = PrintFile::MaxThumbnailSide;
        QCOMPARE(PrintFile::decodeThumbnail(png(side, 4)).size(), QSize(side, 4));
        QVERIFY(PrintFile::decodeThumbnail(png(side + 1, 4)).isNull());
        QVERIFY(PrintFile::decodeThumbnail(png(4, 20000)).isNull());
    }

    // The end marker in the last 256 bytes of a slicer-made file, up to a zero byte.
    void slicerTail()
    {
        const QByteArray head = lines({"; generated by qxslicer", "M104 S210"}) + filler(30);
        const std::tuple<const char*, QByteArray, bool> rows[] = {
            {"marker then 247 bytes", head + ";end gcode" + QByteArray(247, 'x'), true},
            {"marker then 248 bytes", head + ";end gcode" + QByteArray(248, 'x'), false},
            {"no marker", head, false},
            {"zero byte before the marker", head + QByteArray(1, '\0') + "end gcode\n", false},
            {"zero byte after the marker", head + "end gcode" + QByteArray(1, '\0'), true},
            {"short file, searched whole", lines({"generated by qxslicer", "end gcode"}), true},
            {"marker past 99 bytes: not slicer-made", ";" + QByteArray(99, ' ') + "generated by qxslicer\n" + filler(3), true},
            {"marker on line 2: not slicer-made", lines({"; hello", "; generated by qxslicer"}), true},
            {"zero byte before the slicer marker", QByteArray("\0generated by qxslicer\n", 23), true}};
        for (const auto& [name, content, passed] : rows) {
            const CheckResult r = check(content);
            QVERIFY2(r.passed == passed, name);
            QVERIFY2(r.gxFlagReported == (!r.slicerMade || passed), name);   // reported only past the tail test
        }
    }

    // The scan of a plain file: what it finds, whether it passes, where it stops.
    void scan_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<int>>("want");   // passed, nozzle, bed, layers, accepted, lines scanned (-1: any)
        const auto row = [](const char* name, const QByteArray& body, bool passed, int nozzle, int bed = 0,
                            int layers = 0, bool accepted = true, int scanned = -1) {
            QTest::newRow(name) << body << QList<int>{passed, nozzle, bed, layers, accepted, scanned};
        };
        const QByteArray f3 = filler(3);
        // Temperature words: the word after the key, its first letter dropped, clamped.
        row("temperatures", "M104 S210\nM140 S60\n" + f3, true, 210, 60);
        row("tool word first", "M104 T0 S210\n" + f3, true, 0);
        row("line number", "N7 M104 S210\nN8 M140 S55\n" + f3, true, 210, 55);
        row("one character before", "xM104 S215\n" + f3, true, 215);
        row("double blank", "M104  S210\nM140  S60\n" + f3, true, 0);
        row("not a number", "M104 Sabc\nM140 S6O\n" + f3, true, 0);
        row("crlf", "M104 S210\r\nM140 S60\r\n" + f3, true, 210, 60);
        row("clamped high", "M104 S300\nM140 S150\n" + f3, true, 260, 110);
        row("overflow", "M104 S99999999999\n" + f3, true, 0);
        row("first line counts", lines({"M104 S200", "M104 S220", "M140 S50", "M140 S70"}), true, 200, 50);
        row("bed ignores T1", "M140 S60 T1\n" + f3, true, 0, 60);
        row("second tool passed over", lines({"M104 S210 T1", "M104 S205"}), true, 205);
        // A passed-over line skips the line limit too: line 502 still finds the nozzle.
        row("pass-over at line 501", filler(500) + lines({"M104 S200 T1", "M104 S210"}) + filler(10), true, 210,
            0, 0, true, 502);
        row("no pass-over at line 501", filler(500) + lines({"M104 S200 T2", "M104 S210"}), true, 200);
        // Layer count: the second non-empty part at ":".
        row("layers", ";layer_count:215\n", true, 0, 0, 215);
        row("layers, empty parts skipped", "::;layer_count::215\n", true, 0, 0, 215);
        row("layers, part before the key", "x:;layer_count:215\n", true, 0, 0, 0);
        row("layers, third part not read", ";layer_count:7:9\n", true, 0, 0, 7);
        // Size and range lines, compared in single precision; only the first is read.
        const auto range = [&](const char* name, const QByteArray& line, bool passed) {
            row(name, lines({"M104 S210", line}) + filler(5), passed, 210, 0, 0, true, passed ? -1 : 2);
        };
        range("size at the limits", "M118 X100 Y100 Z200", true);
        range("X over", "M118 X100.5 Y10 Z10", false);
        range("Y just over", "M118 X1 Y100.00001 Z10", false);
        range("size after a line number", "N3 M118 X101 Y1 Z1", false);
        range("size not a number", "M118 Xabc Y1 Znan", true);
        range("size beyond single precision", "M118 X1 Y1e39 Z1", false);
        range("size beyond double", "M118 X1e400 Y1 Z1", false);
        range("size read before range", "M118 X500 M603 MINX0", false);
        range("range at the limits", "M603 MINX-100 MAXX100 MINY-100 MAXY100 Z200", true);
        range("MINX under", "M603 MINX-100.1 MAXX100 MINY-100 MAXY100 Z200", false);
        range("MINY under in double only", "M603 MINY-100.000001", true);
        range("Z over", "M603 Z201", false);
        range("value cut at the blank", "M603 MAXX50 junk Z10", true);
        range("key without blank not read", "M603MAXX500", true);
        range("text up to the key's next use", "M603 Z150 Z900", true);
        range("only the first range line", "M118 X1 Y1 Z1\nM118 X500", true);
        row("range line for a second tool", lines({"M104 S210", "M603 MINX-10 MAXX10 MINY-10 MAXY10 Z10 T1"}), true,
            210, 0, 0, false);
        row("size line for a second tool", lines({"M104 S210", "M118 X10 Y10 Z10 T1"}), true, 210, 0, 0, false);
        row("T1 past the first range line", lines({"M118 X10 Y10 Z10", "M603 MINX-10 T1"}), true, 0);
        // The line limit: after line 501 the nozzle line decides.
        row("500 lines", filler(500), true, 0, 0, 0, true, 500);
        row("501 lines", filler(501), false, 0, 0, 0, true, 501);
        row("600 lines with a nozzle", "M104 S210\n" + filler(600), true, 210, 0, 0, true, 501);
        row("nozzle past line 501", filler(501) + "M104 S210\n", false, 0, 0, 0, true, 501);
        row("last line without line end", "G1 X1\nG1 X2", true, 0, 0, 0, true, 2);
        row("final line end makes no extra line", "\n\n", true, 0, 0, 0, true, 2);
        row("empty file", "", false, 0, 0, 0, true, 0);
        // Early end: at the line by which the nozzle, the layers and a range line are known.
        row("no range line: read to the end", lines({"G28", "M104 S210", ";layer_count:20"}) + filler(47), true, 210,
            0, 20, true, 50);
        row("all three first", lines({";layer_count:20", "M104 S210", "M118 X50 Y50 Z50", "M140 S60"}) + filler(20),
            true, 210, 0, 20, true, 3);
        row("range line first", lines({"M603 MINX-1 MAXX1", "M140 S60", "M104 S200", ";layer_count:3"}) + filler(20),
            true, 200, 60, 3, true, 4);
        row("generated slicer file", GxWriter::generateGcode({}), true, 210, 60, 5, true, 5);
        // A line longer than what is kept holds no key: its end might be cut mid-number.
        row("cut line ending in a key", QByteArray(8183, 'x') + " M104 S210\nM104 S205\n", true, 205);
        row("longest whole line", QByteArray(8182, 'x') + " M104 S210\nM104 S205\n", true, 210);
        row("longest whole line, CRLF", QByteArray(8182, 'x') + " M104 S210\r\nM104 S205\n", true, 210);
        row("900 KB line", "M104 S" + QByteArray(900 * 1000, '9') + "\nM104 S210\n;layer_count:3\n", true, 210,
            0, 3, true, 3);
        row("key beyond the kept part", QByteArray(16 * 1024, ' ') + "M104 S210\n", true, 0);
        // The read budget: long lines end the scan before the line limit.
        const QByteArray line8k = QByteArray(8 * 1024 - 1, 'x') + "\n";
        row("501 lines over the budget", "M104 S210\n" + line8k.repeated(500), false, 210);
        row("long lines within the budget", "M104 S210\n" + line8k.repeated(100), true, 210);
    }

    void scan()
    {
        QFETCH(QByteArray, body);
        QFETCH(QList<int>, want);
        const CheckResult r = check(body);
        QCOMPARE((QList<int>{r.passed, r.nozzleTemp, r.platformTemp, r.layerCount, r.accepted,
                             want[5] < 0 ? -1 : r.linesScanned}), want);
        QVERIFY(!r.isGx && r.bytesRead <= PrintFile::MaxScanBytes + 128);
    }

    void gxFiles()
    {
        GxWriter::GxContent content;
        content.timeUsed = 3725;
        content.materialUsed = 1234;
        content.firstImage = png(30, 20);
        content.secondImage = png(40, 30);
        content.gcode = GxWriter::generateGcode({});
        CheckResult r = PrintFile::checkPrintFile(write("cube.gx", GxWriter::buildGx(content)));
        QVERIFY(r.passed && r.slicerMade && r.isGx && r.headerComplete && r.gxFlagReported);
        QCOMPARE(std::make_tuple(r.timeUsed, r.materialUsed, r.nozzleTemp, r.platformTemp, r.layerCount),
                 std::make_tuple(3725, 1234, 210, 60, 5));

        // The slicer line is looked for at gcodeOffset; the end marker at the file's end.
        content.gcode.replace("end gcode", "the end");
        r = PrintFile::checkPrintFile(write("noend.gx", GxWriter::buildGx(content)));
        QVERIFY(r.slicerMade && !r.passed && !r.gxFlagReported);

        // A ".GX" file is G-code from byte 0: its header bytes are its first line.
        content.gcode = GxWriter::generateGcode({});
        r = PrintFile::checkPrintFile(write("PART.GX", GxWriter::buildGx(content)));
        QVERIFY(r.passed && !r.isGx && !r.headerComplete && !r.slicerMade);
        QVERIFY(!PrintFile::checkPrintFile(write("PLAIN.GX", lines({"; generated by qxslicer", "M104 S210"}))).passed);

        // 40 bytes of three lines: no header, two lines dropped, one scanned.
        r = PrintFile::checkPrintFile(write("small.gx", "M104 S100 first line xxxxx\nsecond\nthird\n"));
        QVERIFY(r.passed && !r.headerComplete);
        QCOMPARE(std::make_tuple(r.timeUsed, r.linesScanned, r.nozzleTemp), std::make_tuple(0, 1, 0));
        QVERIFY(!PrintFile::checkPrintFile(write("two.gx", "one\ntwo\n")).passed);

        // Image bytes count toward the line limit.
        content.firstImage = QByteArray(600, '\n');
        r = PrintFile::checkPrintFile(write("newlines.gx", GxWriter::buildGx(content)));
        QVERIFY(!r.passed && !r.nozzleTempFound);
        QCOMPARE(r.linesScanned, 501);
    }

    void gxOffsetsOutsideFile()
    {
        GxWriter::GxContent content;
        content.timeUsed = 60;
        content.gcode = "M104 S210\n" + filler(3);
        const uint32_t size = uint32_t(GxWriter::buildGx(content).size());
        // Only the first is allowed: empty G-code at the very end.
        for (uint32_t offset : {size, size + 1, 0xFFFFFFFFu, 59u, 0u}) {
            content.gcodeOffset = offset;
            const CheckResult r = PrintFile::checkPrintFile(write("offset.gx", GxWriter::buildGx(content)));
            QVERIFY2(r.passed == (offset == size) && r.gxFlagReported == r.passed && r.headerComplete,
                     qPrintable(QString::number(offset)));
            QCOMPARE(r.timeUsed, 60);
        }
    }

    void unreadableAndHugeFiles()
    {
        CheckResult r = PrintFile::checkPrintFile(m_dir.filePath("missing.gx"));
        QVERIFY(!r.passed && r.isGx && !r.headerComplete && r.gxFlagReported);

        // A 4 GiB file with real text at its start: only the start is read.
        // (the tail is text: a zero byte in the last 256 bytes would hide the end marker)
        r = PrintFile::checkPrintFile(
            sparse("huge.gcode", qint64(4) << 30, GxWriter::generateGcode({}), filler(20) + ";end gcode\n"));
        QVERIFY(r.passed);
        QVERIFY2(r.bytesRead < 256 * 1024, qPrintable(QString::number(r.bytesRead)));

        // Far too many bytes without a line end: refused after a bounded read.
        r = PrintFile::checkPrintFile(sparse("zeros.gcode", 200 * 1024 * 1024, "M104 S210 "));
        QVERIFY(!r.passed);
        QVERIFY(r.bytesRead <= PrintFile::MaxScanBytes + 128);
    }

    // Only regular files of the storage are print files. A link is not one,
    // even to a storage file: the job opens its file without following links,
    // so the check does too.
    void onlyStorageFiles()
    {
        const QByteArray gcode = "M104 S210\n" + filler(20);
        m_box.writeFile("/etc/passwd", gcode);
        m_box.writeFile("/media/on-stick.gcode", gcode);
        const QString inside = write("inside.gcode", gcode);
        QVERIFY(QFile::link(m_box.path("/etc/passwd"), m_box.path("/data/system.gcode")));
        QVERIFY(QFile::link(inside, m_box.path("/data/link.gcode")));
        for (const char* p : {"/etc/passwd", "/data/system.gcode", "/data", "/data/none.gcode", "/data/link.gcode"})
            QVERIFY2(!PrintFile::checkPrintFile(m_box.path(p)).passed && PrintFile::readThumbnail(m_box.path(p)).isNull(), p);
        for (const char* p : {"/media/on-stick.gcode"})
            QVERIFY2(PrintFile::checkPrintFile(m_box.path(p)).passed, p);
    }

    // The job's file is opened once and checked as opened: only a regular file
    // whose real place is in the storage stays open, a FIFO is refused without
    // waiting for a writer, and what is read later is what was opened, even
    // when something else is put at its path.
    void storageFileOpen_data()
    {
        QTest::addColumn<QString>("path");    // printer path opened
        QTest::addColumn<int>("status");
        using S = PrintFile::StorageFile::Status;
        QTest::newRow("regular file") << "/data/open/job.gcode" << int(S::Open);
        QTest::newRow("file on the stick") << "/media/job.gcode" << int(S::Open);
        QTest::newRow("link to a system file") << "/data/open/system.gcode" << int(S::Link);
        QTest::newRow("link to a storage file") << "/data/open/alias.gcode" << int(S::Link);
        QTest::newRow("fifo") << "/data/open/pipe.gcode" << int(S::NotRegular);
        QTest::newRow("directory") << "/data/open/folder.gcode" << int(S::NotRegular);
        QTest::newRow("file outside the storage") << "/etc/passwd" << int(S::OutsideStorage);
        QTest::newRow("through a folder link outside") << "/data/open/etc/passwd" << int(S::OutsideStorage);
        QTest::newRow("missing file") << "/data/open/none.gcode" << int(S::Missing);
        QTest::newRow("below a file") << "/data/open/job.gcode/x" << int(S::Missing);
    }
    void storageFileOpen()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        Sandbox box;
        const QByteArray job = "M104 S210\nG1 X1\n", other = "G1 X999 Y999\n";
        box.writeFile("/data/open/job.gcode", job);
        box.writeFile("/media/job.gcode", job);
        box.writeFile("/etc/passwd", other);
        QDir().mkpath(box.path("/data/open/folder.gcode"));
        QVERIFY(QFile::link(box.path("/etc/passwd"), box.path("/data/open/system.gcode")));
        QVERIFY(QFile::link("job.gcode", box.path("/data/open/alias.gcode")));
        QVERIFY(QFile::link(box.path("/etc"), box.path("/data/open/etc")));
        QCOMPARE(::mkfifo(QFile::encodeName(box.path("/data/open/pipe.gcode")).constData(), 0644), 0);
        const int descriptors = QDir("/proc/self/fd").count();

        // On a thread of its own: an open that waits for a FIFO's writer fails the test instead of hanging it.
        auto file = std::make_unique<PrintFile::StorageFile>();
        std::atomic<int> got{-1};
        std::thread opener([&] { got = int(file->open(box.path(path).toStdString())); });
        const bool returned = QTest::qWaitFor([&] { return got.load() >= 0; }, 10000);
        if (!returned) {   // let it go: a writer comes
            const int w = ::open(QFile::encodeName(box.path(path)).constData(), O_WRONLY | O_NONBLOCK);
            if (w >= 0)
                ::close(w);
        }
        opener.join();
        QVERIFY2(returned, "the open waited");
        QCOMPARE(got.load(), status);
        QCOMPARE(file->isOpen(), status == int(PrintFile::StorageFile::Status::Open));
        if (file->isOpen()) {
            QCOMPARE(file->size(), qint64(job.size()));
            // Something else put at the path: the descriptor still reads the file checked.
            QVERIFY(QFile::remove(box.path(path)));
            QVERIFY(QFile::link(box.path("/etc/passwd"), box.path(path)));
            QByteArray read(64, '\0');
            const ssize_t n = ::pread(file->fd(), read.data(), size_t(read.size()), 0);
            QCOMPARE(read.left(int(n)), job);
            QVERIFY((::fcntl(file->fd(), F_GETFL) & O_NONBLOCK) == 0);
        } else {
            QCOMPARE(file->fd(), -1);
        }
        file.reset();
        QCOMPARE(QDir("/proc/self/fd").count(), descriptors);   // nothing left open
    }

    // A line whose adjusted form would not fit the controller goes out as
    // written, and the stream goes on from what the controller then holds.
    void adjustedLineThatDoesNotFit()
    {
        QByteArray feeds = "G1";
        while (feeds.size() + 3 <= 500)
            feeds += " F1";
        const std::pair<QStringList, QStringList> rows[] = {   // lines, what goes out at 110 % speed and extrusion
            {{"G92 E1e12", "G1 X1 E1", "G1 X2 E2"}, {"G92 E1e12", "G1 X1 E1", "G1 X2 E2.1"}},
            {{QString(feeds), "G1 X1"}, {QString(feeds), "G1 X1 F1.1"}},
            {{"G1 X1 E1 F10"}, {"G1 X1 E1.1 F11"}}};
        for (const auto& [lines, sent] : rows) {
            PrintLineAdjuster a;
            LineAdjustments adjust;
            adjust.speed = adjust.extrusion = 110;
            QStringList out;
            for (const QString& l : lines)
                out << QString::fromStdString(std::string(a.process(l.toStdString(), adjust).text));
            QCOMPARE(out, sent);
        }
    }
};

QTEST_GUILESS_MAIN(TestPrintFile)
#include "test_printfile.moc"
