// The print file layout (kind, header, thumbnail) and the pre-print check,
// on real files written by the gx writer.
#include "Files/PrintFile.h"
#include "tests/support/GxWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using PrintFile::CheckResult;

namespace {

QByteArray lines(const QList<QByteArray>& list)
{
    QByteArray out;
    for (const QByteArray& l : list)
        out += l + '\n';
    return out;
}

// n filler lines that hold none of the keys.
QByteArray filler(int n)
{
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += "G1 X" + QByteArray::number(i % 50) + " Y1 F1800\n";
    return out;
}

QByteArray png(int w, int h, QColor color = Qt::red)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// What the check finds in GxWriter::generateGcode({}), whether plain or in a ".gx" file.
void verifyGeneratedFile(const CheckResult& r)
{
    QVERIFY(r.passed);
    QVERIFY(r.slicerMade);
    QCOMPARE(r.layerCount, 5);
    QCOMPARE(r.nozzleTemp, 210);
    QCOMPARE(r.platformTemp, 60);
}

} // namespace

class TestPrintFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QString::number(++m_serial) + "-" + name);
        QString error;
        if (!GxWriter::writeFile(path, bytes, &error))
            qFatal("can't write %s: %s", qPrintable(path), qPrintable(error));
        return path;
    }
    CheckResult check(const QByteArray& gcode, const QString& name = "part.gcode")
    {
        return PrintFile::checkPrintFile(write(name, gcode));
    }
    // A sparse file of size bytes with head at its start.
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
    void fileKind_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("gx");
        QTest::newRow("gx") << "/data/cube.gx" << true;
        QTest::newRow("upper") << "/data/PART.GX" << false;
        QTest::newRow("mixed") << "/data/part.Gx" << false;
        QTest::newRow("gcode") << "/media/part.gcode" << false;
        QTest::newRow("g") << "/media/part.g" << false;
        QTest::newRow("last dot") << "/data/a.gx.gcode" << false;
        QTest::newRow("blanks trimmed") << "/data/a. gx " << true;
        QTest::newRow("no dot, whole name") << "/data/gx" << true;
        QTest::newRow("dot in folder only") << "/data/dir.gx/part" << false;
        QTest::newRow("hidden") << "/data/.gx" << true;
    }

    void fileKind()
    {
        QFETCH(QString, path);
        QFETCH(bool, gx);
        QCOMPARE(PrintFile::isGxFile(path), gx);
    }

    void header()
    {
        GxWriter::GxContent content;
        content.timeUsed = -7;
        content.materialUsed = 0x01020304;
        content.layerHeight = 0xBEEF;
        content.speed = 65535;
        content.thumbnailGuard = 799;
        content.firstImageOffset = 0x11223344;
        content.secondImageOffset = 0xFFFFFFFF;
        content.gcodeOffset = 60;
        const QByteArray bytes = GxWriter::buildGx(content);
        QCOMPARE(bytes.size(), 60);

        const auto h = PrintFile::readHeader(write("h.gx", bytes));
        QVERIFY(h);
        QCOMPARE(std::make_tuple(h->firstImageOffset, h->secondImageOffset, h->gcodeOffset),
                 std::make_tuple(0x11223344u, 0xFFFFFFFFu, 60u));
        QCOMPARE(std::make_tuple(h->timeUsed, h->materialUsed), std::make_tuple(-7, 0x01020304));
        QCOMPARE(std::make_tuple(h->layerHeight, h->speed, h->thumbnailGuard),
                 std::make_tuple(uint16_t(0xBEEF), uint16_t(65535), uint16_t(799)));

        // 59 bytes: no header at all, so no figures and no thumbnail.
        const QString short59 = write("short.gx", bytes.left(59));
        QVERIFY(!PrintFile::readHeader(short59));
        QVERIFY(!PrintFile::parseHeader(bytes.left(59)));
        QVERIFY(PrintFile::readThumbnail(short59).isNull());
        const CheckResult r = PrintFile::checkPrintFile(short59);
        QVERIFY(!r.headerComplete);
        QCOMPARE(r.timeUsed, 0);
        QCOMPARE(r.materialUsed, 0);

        QVERIFY(!PrintFile::readHeader(m_dir.filePath("missing.gx")));
    }

    void imageChoice_data()
    {
        QTest::addColumn<uint>("first");
        QTest::addColumn<uint>("second");
        QTest::addColumn<uint>("gcode");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("start");   // -1: no thumbnail
        QTest::addColumn<qint64>("length");
        QTest::newRow("one image") << 60u << 5000u << 5000u << qint64(20000) << qint64(60) << qint64(4940);
        QTest::newRow("second image wins") << 60u << 5000u << 9000u << qint64(20000) << qint64(5000) << qint64(4000);
        QTest::newRow("all equal") << 60u << 60u << 60u << qint64(20000) << qint64(-1) << qint64(0);
        QTest::newRow("reversed") << 60u << 9000u << 5000u << qint64(20000) << qint64(-1) << qint64(0);
        QTest::newRow("length equals size") << 60u << 100u << 100u << qint64(40) << qint64(-1) << qint64(0);
        QTest::newRow("starts inside the header") << 10u << 5000u << 5000u << qint64(20000) << qint64(-1) << qint64(0);
        QTest::newRow("ends past the file") << 60u << 5000u << 5000u << qint64(4999) << qint64(-1) << qint64(0);
        QTest::newRow("ends at the file's end") << 60u << 5000u << 5000u << qint64(5000) << qint64(60) << qint64(4940);
        QTest::newRow("32-bit wrap") << 60u << 0xFFFFFFF0u << 0x10u << (qint64(1) << 40) << qint64(-1) << qint64(0);
        QTest::newRow("huge declared range") << 60u << 60u << 0xFFFFFFF0u << (qint64(1) << 33) << qint64(-1) << qint64(0);
        QTest::newRow("at the cap") << 60u << 60u << uint(60 + PrintFile::MaxThumbnailBytes)
                                    << (qint64(1) << 30) << qint64(60) << PrintFile::MaxThumbnailBytes;
        QTest::newRow("over the cap") << 60u << 60u << uint(61 + PrintFile::MaxThumbnailBytes)
                                      << (qint64(1) << 30) << qint64(-1) << qint64(0);
    }

    void imageChoice()
    {
        QFETCH(uint, first);
        QFETCH(uint, second);
        QFETCH(uint, gcode);
        QFETCH(qint64, size);
        QFETCH(qint64, start);
        QFETCH(qint64, length);
        PrintFile::Header h;
        h.firstImageOffset = first;
        h.secondImageOffset = second;
        h.gcodeOffset = gcode;
        const auto range = PrintFile::thumbnailRange(h, size);
        if (start < 0) {
            QVERIFY(!range);
        } else {
            QVERIFY(range);
            QCOMPARE(range->start, start);
            QCOMPARE(range->length, length);
        }
    }

    void thumbnailFromFiles()
    {
        GxWriter::GxContent content;
        content.gcode = GxWriter::generateGcode({});
        content.firstImage = png(30, 20);
        const QString one = write("one.gx", GxWriter::buildGx(content));
        QCOMPARE(PrintFile::readThumbnail(one).size(), QSize(30, 20));
        QCOMPARE(PrintFile::readThumbnailBytes(one), content.firstImage);

        // With two pictures the second one is shown, never the first.
        content.secondImage = png(50, 40, Qt::blue);
        const QString two = write("two.gx", GxWriter::buildGx(content));
        const QImage second = PrintFile::readThumbnail(two);
        QCOMPARE(second.size(), QSize(50, 40));
        QCOMPARE(second.pixelColor(0, 0), QColor(Qt::blue));

        // Scaled into the box asked for, aspect ratio kept.
        QCOMPARE(PrintFile::readThumbnail(two, 110, 110).size(), QSize(110, 88));

        // Drawn pictures decode too.
        content.firstImage = GxWriter::drawPicture("Cube", 80, 60);
        content.secondImage.clear();
        QCOMPARE(PrintFile::readThumbnail(write("drawn.gx", GxWriter::buildGx(content))).size(), QSize(80, 60));

        // No picture, and bytes that are no picture.
        content.firstImage.clear();
        const QString none = write("none.gx", GxWriter::buildGx(content));
        QVERIFY(PrintFile::readThumbnailBytes(none).isEmpty());
        QVERIFY(PrintFile::readThumbnail(none, 110, 110).isNull());
        content.firstImage = QByteArray(500, 'x');
        QVERIFY(PrintFile::readThumbnail(write("junk.gx", GxWriter::buildGx(content))).isNull());

        // The thumbnail reader goes by the header whatever the extension.
        content.firstImage = png(30, 20);
        QCOMPARE(PrintFile::readThumbnail(write("PART.GX", GxWriter::buildGx(content))).size(), QSize(30, 20));
    }

    void thumbnailUntrustedRanges()
    {
        // Plain G-code read by the header rule: its text makes no range.
        const QByteArray gcode = GxWriter::generateGcode({});
        QVERIFY(PrintFile::readThumbnailBytes(write("plain.gcode", gcode)).isEmpty());

        // A big file whose header declares 48 MiB of picture inside it: refused unread.
        GxWriter::GxContent content;
        content.firstImageOffset = 60;
        content.secondImageOffset = 60;
        content.gcodeOffset = 60 + 48 * 1024 * 1024;
        const QString big = sparse("big.gx", 64 * 1024 * 1024, GxWriter::buildGx(content));
        QVERIFY(PrintFile::readThumbnailBytes(big).isEmpty());
        QVERIFY(PrintFile::readThumbnail(big).isNull());
    }

    void thumbnailDimensions()
    {
        // A small file may declare an enormous picture: it is refused before decoding.
        QCOMPARE(PrintFile::decodeThumbnail(png(PrintFile::MaxThumbnailSide, 4)).size(),
                 QSize(PrintFile::MaxThumbnailSide, 4));
        const QByteArray wide = png(PrintFile::MaxThumbnailSide + 1, 4);
        QVERIFY(wide.size() < 4096);
        QVERIFY(PrintFile::decodeThumbnail(wide).isNull());
        QVERIFY(PrintFile::decodeThumbnail(png(4, 20000)).isNull());

        GxWriter::GxContent content;
        content.firstImage = wide;
        content.gcode = "M104 S210\n";
        QVERIFY(PrintFile::readThumbnail(write("wide.gx", GxWriter::buildGx(content))).isNull());
    }

    void slicerTail_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("passed");
        const QByteArray head = lines({"; generated by qxslicer", "M104 S210"}) + filler(30);
        QTest::newRow("marker then 247 bytes") << head + ";end gcode" + QByteArray(247, 'x') << true;
        QTest::newRow("marker then 248 bytes") << head + ";end gcode" + QByteArray(248, 'x') << false;
        QTest::newRow("no marker") << head << false;
        QTest::newRow("zero byte before the marker") << head + QByteArray(1, '\0') + "end gcode\n" << false;
        QTest::newRow("zero byte after the marker") << head + "end gcode" + QByteArray(1, '\0') << true;
        QTest::newRow("short file, searched whole") << lines({"generated by qxslicer", "end gcode"}) << true;
        QTest::newRow("short file, no marker") << lines({"generated by qxslicer", "M104 S1"}) << false;
        QTest::newRow("marker past 99 bytes: not slicer-made")
            << ";" + QByteArray(99, ' ') + "generated by qxslicer\n" + filler(3) << true;
        QTest::newRow("marker on line 2: not slicer-made") << lines({"; hello", "; generated by qxslicer"}) << true;
        QTest::newRow("zero byte before the slicer marker") << QByteArray("\0generated by qxslicer\n", 23) << true;
        QTest::newRow("case matters") << lines({"; Generated by QXSlicer"}) << true;
    }

    void slicerTail()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, passed);
        const CheckResult r = check(content);
        QCOMPARE(r.passed, passed);
        // The gx flag is reported only past the tail test.
        QCOMPARE(r.gxFlagReported, !r.slicerMade || passed);
    }

    void temperatureWords_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("nozzle");
        QTest::addColumn<int>("bed");
        QTest::newRow("plain") << QByteArray("M104 S210\nM140 S60") << 210 << 60;
        QTest::newRow("tool word first") << QByteArray("M104 T0 S210") << 0 << 0;
        QTest::newRow("line number") << QByteArray("N7 M104 S210\nN8 M140 S55") << 210 << 55;
        QTest::newRow("one character before") << QByteArray("xM104 S215") << 215 << 0;
        QTest::newRow("double blank") << QByteArray("M104  S210\nM140  S60") << 0 << 0;
        QTest::newRow("no word") << QByteArray("M104\nM140") << 0 << 0;
        QTest::newRow("not a number") << QByteArray("M104 Sabc\nM140 S6O") << 0 << 0;
        QTest::newRow("decimal") << QByteArray("M104 S210.5") << 0 << 0;
        QTest::newRow("crlf") << QByteArray("M104 S210\r\nM140 S60\r") << 210 << 60;
        QTest::newRow("clamped high") << QByteArray("M104 S300\nM140 S150") << 260 << 110;
        QTest::newRow("clamped low") << QByteArray("M104 S-5\nM140 S-1") << 0 << 0;
        QTest::newRow("at the limits") << QByteArray("M104 S260\nM140 S110") << 260 << 110;
        QTest::newRow("overflow") << QByteArray("M104 S99999999999") << 0 << 0;
        QTest::newRow("first line counts") << QByteArray("M104 S200\nM104 S220\nM140 S50\nM140 S70") << 200 << 50;
        QTest::newRow("bed ignores T1") << QByteArray("M140 S60 T1") << 0 << 60;
    }

    void temperatureWords()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, nozzle);
        QFETCH(int, bed);
        const CheckResult r = check(line + "\n" + filler(3));
        QVERIFY(r.passed);
        QCOMPARE(r.nozzleTemp, nozzle);
        QCOMPARE(r.platformTemp, bed);
    }

    void secondToolNozzleLine()
    {
        CheckResult r = check(lines({"M104 S210 T1", "M104 S205"}));
        QCOMPARE(r.nozzleTemp, 205);

        // A passed-over line skips the line-limit test too: line 501 is passed over,
        // line 502 finds the nozzle and then stops the scan with success.
        r = check(filler(500) + lines({"M104 S200 T1", "M104 S210"}) + filler(10));
        QVERIFY(r.passed);
        QCOMPARE(r.nozzleTemp, 210);
        QCOMPARE(r.linesScanned, 502);

        // Without the pass-over, line 501 ends the scan without a nozzle line.
        r = check(filler(500) + lines({"M104 S200 T2", "M104 S210"}));
        QVERIFY(r.passed);
        QCOMPARE(r.nozzleTemp, 200);
        r = check(filler(501) + lines({"M104 S210"}));
        QVERIFY(!r.passed);
    }

    void layerCount_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("count");
        QTest::newRow("plain") << QByteArray(";layer_count:215") << 215;
        QTest::newRow("blanks") << QByteArray(";layer_count: 215 ") << 215;
        QTest::newRow("empty parts skipped") << QByteArray("::;layer_count::215") << 215;
        QTest::newRow("part before the key") << QByteArray("x:;layer_count:215") << 0;
        QTest::newRow("mid line") << QByteArray("G1 X1 ;layer_count:12") << 12;
        QTest::newRow("no number") << QByteArray(";layer_count:") << 0;
        QTest::newRow("not a number") << QByteArray(";layer_count:abc") << 0;
        QTest::newRow("third part not read") << QByteArray(";layer_count:7:9") << 7;
    }

    void layerCount()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, count);
        const CheckResult r = check(line + "\n;layer_count:99\n");
        QVERIFY(r.layerCountFound);
        QCOMPARE(r.layerCount, count);
    }

    void sizeAndRangeLimits_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("passed");
        QTest::newRow("size example") << QByteArray("M118 X95.5 Y97.5 Z180") << true;
        QTest::newRow("size at the limits") << QByteArray("M118 X100 Y100 Z200") << true;
        QTest::newRow("X over") << QByteArray("M118 X100.5 Y10 Z10") << false;
        QTest::newRow("Y just over") << QByteArray("M118 X1 Y100.00001 Z10") << false;
        QTest::newRow("Y over in double only") << QByteArray("M118 X1 Y100.000001 Z10") << true;
        QTest::newRow("Z just over") << QByteArray("M118 X1 Y1 Z200.00002") << false;
        QTest::newRow("Z over in double only") << QByteArray("M118 X1 Y1 Z200.000001") << true;
        QTest::newRow("size after a line number") << QByteArray("N3 M118 X101 Y1 Z1") << false;
        QTest::newRow("size missing words") << QByteArray("M118") << true;
        QTest::newRow("size not a number") << QByteArray("M118 Xabc Y1e39 Znan") << true;
        QTest::newRow("size infinite") << QByteArray("M118 Xinf Y1 Z1") << true;
        QTest::newRow("size read before range") << QByteArray("M118 X500 M603 MINX0") << false;
        QTest::newRow("range example") << QByteArray("M603 MINX-40.5 MAXX40.5 MINY-35 MAXY35 Z120") << true;
        QTest::newRow("range at the limits") << QByteArray("M603 MINX-100 MAXX100 MINY-100 MAXY100 Z200") << true;
        QTest::newRow("MINX under") << QByteArray("M603 MINX-100.1 MAXX100 MINY-100 MAXY100 Z200") << false;
        QTest::newRow("MAXX over") << QByteArray("M603 MINX0 MAXX100.00001 MINY0 MAXY0 Z0") << false;
        QTest::newRow("MINY under") << QByteArray("M603 MINY-100.00001") << false;
        QTest::newRow("MINY under in double only") << QByteArray("M603 MINY-100.000001") << true;
        QTest::newRow("MAXY over") << QByteArray("M603 MAXY101") << false;
        QTest::newRow("Z over") << QByteArray("M603 Z201") << false;
        QTest::newRow("value cut at the blank") << QByteArray("M603 MAXX50 junk Z10") << true;
        QTest::newRow("key without blank not read") << QByteArray("M603MAXX500") << true;
        QTest::newRow("text up to the key's next use") << QByteArray("M603 Z150 Z900") << true;
    }

    void sizeAndRangeLimits()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, passed);
        const CheckResult r = check(lines({"M104 S210", line}) + filler(5));
        QCOMPARE(r.passed, passed);
        QVERIFY(r.accepted);
        if (!passed)
            QCOMPARE(r.linesScanned, 2);
        // Only the first range line is read.
        const CheckResult later = check(lines({"M104 S210", "M118 X1 Y1 Z1", line}));
        QVERIFY(later.passed);
    }

    void secondToolRangeLine()
    {
        CheckResult r = check(lines({"M104 S210", "M603 MINX-10 MAXX10 MINY-10 MAXY10 Z10 T1"}));
        QVERIFY(r.passed);
        QVERIFY(!r.accepted);
        r = check(lines({"M104 S210", "M118 X10 Y10 Z10 T1"}));
        QVERIFY(r.passed);
        QVERIFY(!r.accepted);
        // Only the first range line is looked at.
        r = check(lines({"M118 X10 Y10 Z10", "M603 MINX-10 T1"}));
        QVERIFY(r.accepted);
    }

    void lineLimit_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<int>("scanned");
        QTest::newRow("500 lines") << filler(500) << true << 500;
        QTest::newRow("501 lines") << filler(501) << false << 501;
        QTest::newRow("600 lines") << filler(600) << false << 501;
        QTest::newRow("1 line") << filler(1) << true << 1;
        QTest::newRow("last line without line end") << QByteArray("G1 X1\nG1 X2") << true << 2;
        QTest::newRow("final line end makes no extra line") << QByteArray("\n\n") << true << 2;
    }

    void readBudget_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("passed");
        const QByteArray line8k = QByteArray(8 * 1024 - 1, 'x') + "\n";
        QTest::newRow("501 lines over the budget") << "M104 S210\n" + line8k.repeated(500) << false;
        QTest::newRow("long lines within the budget") << "M104 S210\n" + line8k.repeated(100) << true;
    }

    void readBudget()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, passed);
        const CheckResult r = check(body);
        QCOMPARE(r.passed, passed);
        QVERIFY(r.bytesRead <= PrintFile::MaxScanBytes + 128);
    }

    void lineLimit()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, passed);
        QFETCH(int, scanned);
        CheckResult r = check(body);
        QCOMPARE(r.passed, passed);
        QCOMPARE(r.linesScanned, scanned);
        QVERIFY(r.accepted);
        QVERIFY(!r.isGx);
        QVERIFY(!r.layerCountFound);
        // With a nozzle line the limit accepts the file.
        r = check("M104 S210\n" + body);
        QVERIFY(r.passed);
        QCOMPARE(r.nozzleTemp, 210);
    }

    void earlyEnd()
    {
        // No range line: the scan reads on to the end.
        CheckResult r = check(lines({"G28", "G90", "M104 S210", "G1 X1", ";layer_count:20"}) + filler(45));
        QVERIFY(r.passed);
        QCOMPARE(r.linesScanned, 50);
        QCOMPARE(r.layerCount, 20);

        // All three among the first lines: stop at the line that completes them; the bed is not needed.
        r = check(lines({";layer_count:20", "M104 S210", "M118 X50 Y50 Z50", "M140 S60"}) + filler(20));
        QVERIFY(r.passed);
        QCOMPARE(r.linesScanned, 3);
        QVERIFY(!r.platformTempFound);

        // Range line first: the scan stops once the nozzle and the layer count follow.
        r = check(lines({"M603 MINX-1 MAXX1 MINY-1 MAXY1 Z1", "M140 S60", "M104 S200", ";layer_count:3"}) + filler(20));
        QVERIFY(r.passed);
        QCOMPARE(r.linesScanned, 4);
        QCOMPARE(r.platformTemp, 60);

        // A generated slicer file.
        r = check(GxWriter::generateGcode({}));
        verifyGeneratedFile(r);
        QCOMPARE(r.linesScanned, 5);
    }

    void gxHeaderAndScan()
    {
        GxWriter::GxContent content;
        content.timeUsed = 3725;
        content.materialUsed = 1234;
        content.firstImage = png(30, 20);
        content.secondImage = png(40, 30);
        content.gcode = GxWriter::generateGcode({});
        CheckResult r = PrintFile::checkPrintFile(write("cube.gx", GxWriter::buildGx(content)));
        verifyGeneratedFile(r);
        QVERIFY(r.isGx);
        QVERIFY(r.headerComplete);
        QVERIFY(r.gxFlagReported);
        QCOMPARE(r.timeUsed, 3725);
        QCOMPARE(r.materialUsed, 1234);

        // The slicer line is looked for at gcodeOffset; the end marker at the file's end.
        content.gcode = GxWriter::generateGcode({}).replace("end gcode", "the end");
        r = PrintFile::checkPrintFile(write("noend.gx", GxWriter::buildGx(content)));
        QVERIFY(r.slicerMade);
        QVERIFY(!r.passed);
        QVERIFY(!r.gxFlagReported);
        QVERIFY(r.headerComplete);
        QCOMPARE(r.timeUsed, 3725);

        // 40 bytes of three lines: no header, two lines dropped, one scanned.
        const QByteArray small = "M104 S100 first line xxxxx\nsecond\nthird\n";
        QCOMPARE(small.size(), 40);
        r = PrintFile::checkPrintFile(write("small.gx", small));
        QVERIFY(r.passed);
        QVERIFY(!r.headerComplete);
        QCOMPARE(r.timeUsed, 0);
        QCOMPARE(r.linesScanned, 1);
        QCOMPARE(r.nozzleTemp, 0);
        // Two lines only: nothing left to scan.
        QVERIFY(!PrintFile::checkPrintFile(write("two.gx", "one\ntwo\n")).passed);
    }

    void gxOffsetsOutsideFile()
    {
        GxWriter::GxContent content;
        content.timeUsed = 60;
        content.gcode = "M104 S210\n" + filler(3);
        const int size = GxWriter::buildGx(content).size();

        content.gcodeOffset = uint32_t(size);           // empty G-code at the very end: allowed
        QVERIFY(PrintFile::checkPrintFile(write("end.gx", GxWriter::buildGx(content))).passed);

        for (uint32_t offset : {uint32_t(size + 1), 0xFFFFFFFFu, 59u, 0u}) {
            content.gcodeOffset = offset;
            const CheckResult r = PrintFile::checkPrintFile(write("bad.gx", GxWriter::buildGx(content)));
            QVERIFY2(!r.passed, qPrintable(QString::number(offset)));
            QVERIFY(r.headerComplete);
            QCOMPARE(r.timeUsed, 60);
            QVERIFY(!r.gxFlagReported);
        }
    }

    void gxImagesCountTowardLimit()
    {
        GxWriter::GxContent content;
        content.firstImage = QByteArray(600, '\n');
        content.gcode = GxWriter::generateGcode({});
        CheckResult r = PrintFile::checkPrintFile(write("newlines.gx", GxWriter::buildGx(content)));
        QVERIFY(!r.passed);
        QCOMPARE(r.linesScanned, 501);
        QVERIFY(!r.nozzleTempFound);

        content.firstImage = QByteArray(400, '\n');
        r = PrintFile::checkPrintFile(write("fewer.gx", GxWriter::buildGx(content)));
        QVERIFY(r.passed);
        QCOMPARE(r.nozzleTemp, 210);
    }

    void upperCaseGxIsPlain()
    {
        // A ".GX" file is G-code from byte 0: its header bytes are its first line.
        GxWriter::GxContent content;
        content.timeUsed = 100;
        content.materialUsed = 200;
        content.gcode = GxWriter::generateGcode({});
        CheckResult r = PrintFile::checkPrintFile(write("PART.GX", GxWriter::buildGx(content)));
        QVERIFY(!r.isGx);
        QVERIFY(!r.headerComplete);
        QCOMPARE(r.timeUsed, 0);
        QCOMPARE(r.materialUsed, 0);
        QVERIFY(!r.slicerMade);
        QVERIFY(r.passed);

        // Its first line at byte 0 decides whether it is slicer-made.
        r = PrintFile::checkPrintFile(write("PLAIN.GX", lines({"; generated by qxslicer", "M104 S210"})));
        QVERIFY(r.slicerMade);
        QVERIFY(!r.passed);
    }

    void unreadableFiles()
    {
        CheckResult r = PrintFile::checkPrintFile(m_dir.filePath("missing.gx"));
        QVERIFY(!r.passed);
        QVERIFY(r.isGx);
        QVERIFY(!r.headerComplete);
        QVERIFY(r.gxFlagReported);

        QVERIFY(!check(QByteArray()).passed);
        QVERIFY(!PrintFile::checkPrintFile(write("empty.gx", QByteArray())).passed);

        const QString dir = m_dir.filePath("folder.gcode");
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(!PrintFile::checkPrintFile(dir).passed);
        QVERIFY(PrintFile::readThumbnail(dir).isNull());
    }

    void boundedReads()
    {
        // A 4 GiB file with real text at its start: only the start is read.
        const QByteArray head = GxWriter::generateGcode({});
        // (the tail is text: a zero byte in the last 256 bytes would hide the end marker)
        QString path = sparse("huge.gcode", qint64(4) << 30, head, filler(20) + ";end gcode\n");
        CheckResult r = PrintFile::checkPrintFile(path);
        QVERIFY(r.passed);
        QVERIFY2(r.bytesRead < 256 * 1024, qPrintable(QString::number(r.bytesRead)));

        // A line of 900 KB is one line, kept short; what follows is still read.
        QByteArray longLine = "M104 S" + QByteArray(900 * 1000, '9') + "\nM104 S210\n;layer_count:3\n";
        r = check(longLine);
        QVERIFY(r.passed);
        QCOMPARE(r.nozzleTemp, 0);
        QCOMPARE(r.layerCount, 3);
        QCOMPARE(r.linesScanned, 3);

        // A marker beyond the kept part of a line is not seen.
        r = check(QByteArray(16 * 1024, ' ') + "M104 S210\n");
        QVERIFY(!r.nozzleTempFound);
        QVERIFY(r.passed);

        // Far too many bytes without a line end: refused after a bounded read.
        path = sparse("zeros.gcode", 200 * 1024 * 1024, "M104 S210 ");
        r = PrintFile::checkPrintFile(path);
        QVERIFY(!r.passed);
        QVERIFY(r.bytesRead <= PrintFile::MaxScanBytes + 128);
    }
};

QTEST_GUILESS_MAIN(TestPrintFile)
#include "test_printfile.moc"
