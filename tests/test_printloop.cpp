// The print loop of the controller link: streaming ".g" and ".gx" files to
// the simulator, progress, layers, "M25", pause, resume, quit, overrides,
// power-off resume bookkeeping and files it must refuse.
#include "Config/Config.h"
#include "Files/ResumePrintConfig.h"
#include "serial/ControllerProtocol.h"
#include "serial/GcodeFile.h"
#include "serial/PrintLineAdjuster.h"
#include "serial/SerialObject.h"
#include "tests/support/GxWriter.h"
#include "tests/support/SimHarness.h"
#include "tests/support/StreamCheck.h"

#include <QSet>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <thread>

using namespace StreamCheck;

namespace {

// Unique moves with a layer mark every `perLayer` moves.
QByteArray makeMoves(int count, int perLayer = 100, double step = 1.0, const QByteArray& head = "G90\nM82\nG92 E0\n")
{
    QByteArray f = head;
    for (int i = 0; i < count; ++i) {
        if (i % perLayer == 0)
            f += ";layer:" + QByteArray::number(i / perLayer) + "\n";
        const double x = 50 + ((i % 2) ? step : 0) + i * 0.0001;
        f += "G1 X" + QByteArray::number(x, 'f', 4) + " Y50 E" + QByteArray::number(i * 0.01, 'f', 3) + " F6000\n";
    }
    return f;
}

QByteArray gxFile(const QByteArray& image, const QByteArray& gcode, qint64 gcodeOffsetOverride = -1)
{
    GxWriter::GxContent c;
    c.firstImage = image;
    c.gcode = gcode;
    if (gcodeOffsetOverride >= 0)
        c.gcodeOffset = uint32_t(gcodeOffsetOverride);
    return GxWriter::buildGx(c);
}

// Records the link's signals on the GUI thread, where the page receives them.
struct Recorder : QObject {
    explicit Recorder(SerialObject* link)
    {
        connect(link, &SerialObject::sendPrintPersent, this, [this](float p) { progress << p; });
        connect(link, &SerialObject::printOver, this, [this] { ++overs; });
        connect(link, &SerialObject::printPause, this, [this] { ++pauses; });
        connect(link, &SerialObject::printResume, this, [this] { ++resumes; });
        connect(link, &SerialObject::printStart, this, [this] { ++starts; });
        connect(link, &SerialObject::printQuit, this, [this] { ++quits; });
        connect(link, &SerialObject::readM25, this, [this] { ++m25s; });
        connect(link, &SerialObject::sendPrintLayer, this, [this] { ++layers; });
    }
    QList<float> progress;
    int overs = 0, pauses = 0, resumes = 0, starts = 0, quits = 0, m25s = 0, layers = 0;
};

// serialPrint on a thread of its own, as the printing page runs it.
struct PrintThread {
    PrintThread(SerialObject* link, const QString& path)
        : thread([this, link, path] {
              result = link->serialPrint(path);
              done = true;
          })
    {
    }
    ~PrintThread()
    {
        if (thread.joinable())
            thread.join();
    }
    bool wait(int ms)
    {
        const bool ok = SimHarness::waitUntil([this] { return done.load(); }, ms);
        if (ok) {
            thread.join();
            QCoreApplication::processEvents();   // deliver the last queued signals
        }
        return ok;
    }
    std::atomic<bool> done{false};
    std::atomic<int> result{-2};
    std::thread thread;
};

int countFileLines(const QStringList& transcript, const QStringList& expected)
{
    return fileLinesIn(transcript, expected).size();
}

SerialObject* quickLink(SimHarness& h, LinkTiming timing = quickTiming(2000))
{
    h.link()->setTiming(timing);
    return h.link();
}

// What the controller received, without the link's own buffer polls.
QStringList sent(SimHarness& h)
{
    QStringList tr = h.sim().transcript();
    tr.removeAll("M117");
    return tr;
}

}

class TestPrintLoop : public QObject {
    Q_OBJECT
private slots:
    void adjusterKeepsTheStreamConsistent()
    {
        PrintLineAdjuster a;
        PrintLineAdjuster::Result r;
        auto out = [&](const std::string& line, const LineAdjustments& adj) {
            r = a.process(line, adj);
            return QString::fromStdString(std::string(r.text));
        };
        LineAdjustments same, half, fast, up, hot;
        half.extrusion = 50;
        fast.speed = 200;
        up.zOffset = 25;
        hot.nozzleOverride = 190;
        hot.bedOverride = 55;
        const std::string plain = "G1 X1 Y2 E10 F1200";
        QCOMPARE(out(plain, same), QString("G1 X1 Y2 E10 F1200"));
        QVERIFY(r.text.data() == plain.data());   // untouched lines go out as they are

        // The extrusion percentage scales what is extruded from now on: no jump.
        QCOMPARE(out("G1 X2 E11", half), QString("G1 X2 E10.5"));
        QCOMPARE(out("G1 X3 E12", same), QString("G1 X3 E11.5"));
        a.process("G92 E0", same);
        QCOMPARE(out("G1 X4 E1", same), QString("G1 X4 E1"));
        a.process("M83", same);
        QCOMPARE(out("G1 E2", half), QString("G1 E1"));

        // A new speed without an F in the line sets the feed again.
        QCOMPARE(out("G1 X5", fast), QString("G1 X5 F2400"));
        QCOMPARE(out("G1 X6", fast), QString("G1 X6"));

        // Z offset on absolute Z only, also after a line number; back to 100 %: the feed is set again too.
        QCOMPARE(out("N7 G1 Z0.2", up), QString("N7 G1 Z0.45 F1200"));
        a.process("G91", same);
        QCOMPARE(out("G1 Z1", up), QString("G1 Z1"));
        QVERIFY(!a.absoluteAxes());
        QVERIFY(!a.absoluteExtruder());

        QCOMPARE(out("M104 S215", hot), QString("M104 S190"));
        QCOMPARE(r.nozzleTarget, 190);
        QCOMPARE(out("M190 S70", hot), QString("M190 S55"));
        QCOMPARE(r.bedTarget, 55);
        out("M140 S70", same);
        QCOMPARE(r.bedTarget, 70);
        QVERIFY(a.process("M25", same).kind == PrintLineAdjuster::Kind::PauseMark);
        QVERIFY(a.process("M251", same).kind == PrintLineAdjuster::Kind::Send);

        // Numbers far outside any command or temperature go out untouched.
        QCOMPARE(out("G99999999999 X1", fast), QString("G99999999999 X1"));
        out("M104 S99999999999", same);
        QCOMPARE(r.nozzleTarget, 1000);
    }

    // Words the adjuster must not misread: exponents, values beyond any real
    // one, comments and long lines.
    void adjusterReadsWordsWhole_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("zOffset");
        QTest::addColumn<int>("extrusion");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exponent") << "G1 X1.5e-3 Y2 E1" << 100 << 0 << 50 << "G1 X1.5e-3 Y2 E0.5";
        QTest::newRow("value too large") << "G1 X1 E1e308" << 100 << 0 << 50 << "G1 X1 E1e308";
        QTest::newRow("comment") << "G1 X1 F1200 (go  here)" << 200 << 0 << 100 << "G1 X1 F2400 (go  here)";
        QTest::newRow("long line") << "G1 Z0.2" + QString(" X1").repeated(30) << 100 << 25 << 100
                                   << "G1 Z0.45" + QString(" X1").repeated(30);
    }
    void adjusterReadsWordsWhole()
    {
        QFETCH(QString, line);
        QFETCH(int, speed);
        QFETCH(int, zOffset);
        QFETCH(int, extrusion);
        QFETCH(QString, expected);
        PrintLineAdjuster a;
        LineAdjustments adjust;
        adjust.speed = speed;
        adjust.zOffset = zOffset;
        adjust.extrusion = extrusion;
        const std::string in = line.toStdString();
        QCOMPARE(QString::fromStdString(std::string(a.process(in, adjust).text)), expected);
    }

    void readerAndCounterAgree()
    {
        Sandbox box;
        const QByteArray longLine(GcodeFileReader::BufferSize + 1000, 'X');
        const QList<QPair<QByteArray, int>> files = {
            {"", 0}, {"G1\n", 0}, {"G1", 0}, {"A\r\nB\r\n\nC", 0}, {"\n\n\n", 0},
            {"A\n" + longLine + "\nB\n", 1}, {longLine, 1}, {"x\n" + longLine + longLine + "\ny", 1}};
        int i = 0;
        for (const auto& [content, longLines] : files) {
            const QString name = "/data/r" + QString::number(i++) + ".g";
            box.writeFile(name, content);
            const std::string path = box.path(name).toStdString();
            GcodeFileReader reader;
            QVERIFY(reader.open(path, 0));
            std::string_view line;
            int64_t n = 0;
            int tooLong = 0;
            while (reader.next(line)) {
                ++n;
                tooLong += reader.lineTooLong();
                QVERIFY(line.find('\n') == std::string_view::npos);
            }
            QVERIFY(!reader.failed());
            QCOMPARE(n, countGcodeLines(path, 0));
            QCOMPARE(tooLong, longLines);
        }
        QCOMPARE(countGcodeLines(box.path("/data/none.g").toStdString(), 0), int64_t(-1));
        const char block[] = "a\nb\n\n\nccccccccccccccccccccccccccccccc\n";
        QCOMPARE(countNewlines(block, std::strlen(block)), uint64_t(5));
    }

    void streamsFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("gcode");   // what must reach the controller
        QTest::addColumn<int>("layers");
        QByteArray plain = makeMoves(1500, 300);
        plain += "G1 X5 ;inline comment\n  \n\t\nG1 X6 Y6\r\nG1 X7";   // no final line end
        QTest::newRow("plain") << "/data/plain.g" << plain << plain << 5;
        // Image bytes that look like G-code must not be sent.
        const QByteArray image = "\x89PNG\r\n\x1a\nG1 X999 Y999\nM104 S300\n" + QByteArray(300, '\x07') + "\n";
        const QByteArray gcode = makeMoves(300, 100);
        QTest::newRow("gx from its G-code offset") << "/data/part.gx" << gxFile(image, gcode) << gcode << 3;
        const QByteArray upper = makeMoves(50, 10);
        QTest::newRow("upper-case GX is plain G-code") << "/data/PART.GX" << upper << upper << 5;
    }

    void streamsFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, gcode);
        QFETCH(int, layers);
        SimHarness h;
        SerialObject* link = quickLink(h);
        h.sandbox().writeFile(name, content);
        Recorder rec(link);
        PrintThread t(link, h.sandbox().path(name));
        QVERIFY(t.wait(15000));
        QCOMPARE(t.result.load(), 0);
        QCOMPARE(sent(h), expectedLines(gcode));
        QCOMPARE(rec.starts, 1);
        QCOMPARE(rec.overs, 1);
        QCOMPARE(rec.quits, 0);
        QCOMPARE(rec.layers, layers);
        QVERIFY(rec.progress.size() >= 2 && rec.progress.size() <= 1001);
        for (int i = 0; i < rec.progress.size(); ++i) {
            QVERIFY(rec.progress[i] >= 0.f && rec.progress[i] <= 1.f);
            if (i)
                QVERIFY(rec.progress[i] > rec.progress[i - 1]);
        }
        QCOMPARE(rec.progress.last(), 1.f);
        QCOMPARE(link->printingPersent(), 1.f);
        QVERIFY(!link->isPrinting());
    }

    void refusesBadGcodeOffset_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray image = "G1 X999\nG1 Y999\n";
        const QByteArray gcode = "G90\nG1 X1 Y1\n";
        QTest::newRow("offset inside the header") << gxFile(image, gcode, 10);
        QTest::newRow("offset 0") << gxFile(image, gcode, 0);
        QTest::newRow("offset past the end") << gxFile(image, gcode, 60 + image.size() + gcode.size() + 1);
        QTest::newRow("offset far out") << gxFile(image, gcode, 0xffffffffLL);
        QTest::newRow("shorter than the header") << QByteArray("G1 X999\nG1 Y999\n" + QByteArray(30, ' '));
        QTest::newRow("missing file") << QByteArray();
    }

    void refusesBadGcodeOffset()
    {
        QFETCH(QByteArray, content);
        SimHarness h;
        SerialObject* link = quickLink(h);
        if (!content.isNull())
            h.sandbox().writeFile("/data/bad.gx", content);
        Recorder rec(link);
        PrintThread t(link, h.sandbox().path("/data/bad.gx"));
        QVERIFY(t.wait(5000));
        QCOMPARE(t.result.load(), -1);
        QCOMPARE(sent(h), QStringList({"M107"}));   // no header or image bytes, only the quit's fan off
        QCOMPARE(rec.overs, 0);
        QCOMPARE(rec.quits, 1);
    }

    void emptyFilesFinish()
    {
        SimHarness h;
        SerialObject* link = quickLink(h);
        {
            // A ".gx" whose G-code starts exactly at its end: nothing to send, a finished job.
            h.sandbox().writeFile("/data/empty.gx", gxFile("img", ""));
            Recorder rec(link);
            PrintThread t(link, h.sandbox().path("/data/empty.gx"));
            QVERIFY(t.wait(5000));
            QCOMPARE(rec.overs, 1);
            QCOMPARE(rec.progress, QList<float>({1.f}));
        }
        {
            h.sandbox().writeFile("/data/empty.g", "");
            Recorder rec(link);
            PrintThread t(link, h.sandbox().path("/data/empty.g"));
            QVERIFY(t.wait(5000));
            QCOMPARE(rec.overs, 1);
        }
        QVERIFY(sent(h).isEmpty());
    }

    void m25PausesAtTheMark()
    {
        SimHarness h;
        SerialObject* link = quickLink(h);
        const QByteArray before = makeMoves(20, 100, 1.0, "M82\nG92 E0\n");   // no G90: the resume sends its own
        const QByteArray after = makeMoves(20, 100, 2.0, "");
        const QByteArray file = before + "M25\n" + after;
        h.sandbox().writeFile("/data/m25.g", file);
        Recorder rec(link);
        // The printing page answers "M25" with a pause.
        QObject::connect(link, &SerialObject::readM25, &rec, [link] { link->slo_printingPause(); });
        PrintThread t(link, h.sandbox().path("/data/m25.g"));
        QVERIFY(SimHarness::waitUntil([&] { return rec.pauses == 1; }, 5000));
        QCOMPARE(rec.m25s, 1);
        QVERIFY(link->isPaused());
        const QStringList expected = expectedLines(file);
        QCOMPARE(fileLinesIn(h.sim().transcript(), expected), expectedLines(before));
        QVERIFY(!h.sim().transcript().contains("M25"));
        link->slo_printingContinue();
        QVERIFY(t.wait(5000));
        QCOMPARE(rec.resumes, 1);
        QCOMPARE(rec.overs, 1);
        QCOMPARE(fileLinesIn(h.sim().transcript(), expected), expected);
    }

    void pauseAndResumeWhileStreaming()
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.bufferSlots = 4;
        SimHarness h(o);
        SerialObject* link = quickLink(h);
        getConfigFile().configFile()->setPowerOffResumePrintStatus(true);
        // Relative extrusion, 10 mm moves: the buffer stays busy while streaming.
        const QByteArray file = makeMoves(600, 50, 10.0, "G90\nM83\nG92 E0\n");
        h.sandbox().writeFile("/data/pause.g", file);
        QStringList expected = expectedLines(file);
        expected = expected.filter(QRegularExpression("^G1 X"));   // the moves: the link sends G90 and M83 itself too
        link->HeatingHalmetII(200, 60);
        Recorder rec(link);
        PrintThread t(link, h.sandbox().path("/data/pause.g"));

        QVERIFY(SimHarness::waitUntil([&] { return countFileLines(h.sim().transcript(), expected) > 120; }, 10000));
        link->slo_printingPause();
        QVERIFY(SimHarness::waitUntil([&] { return rec.pauses == 1; }, 5000));
        QVERIFY(link->isPaused());
        QVERIFY(!h.sim().moving());
        QCOMPARE(h.sim().nozzleTarget(), 0);
        QCOMPARE(h.sim().bedTarget(), 0);
        const ControllerProtocol::Position at = h.sim().position();
        const int sentAtPause = countFileLines(h.sim().transcript(), expected);
        QVERIFY(sentAtPause < expected.size());

        // The resume record points at the mark of a layer already begun.
        const int resumeLine = FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber();
        const QList<QByteArray> rawLines = file.split('\n');
        QVERIFY(resumeLine > 0 && resumeLine < rawLines.size());
        QVERIFY(rawLines[resumeLine].startsWith(";layer:"));

        // The page parks the head and a filament change moves the extruder.
        link->serialSendCode("G1 Z150 F300");
        link->serialSendCode("G1 X95 Y97 F2000");
        link->serialSendCode("G1 E-30 F300");
        QTest::qWait(150);
        QCOMPARE(countFileLines(h.sim().transcript(), expected), sentAtPause);

        h.sim().clearTranscript();
        link->slo_printingContinue();
        QVERIFY(t.wait(15000));
        QCOMPARE(rec.resumes, 1);
        QCOMPARE(rec.overs, 1);
        QCOMPARE(t.result.load(), 0);

        const QStringList after = h.sim().transcript();
        const QString back = "G1 X" + QString::number(at.x, 'f', 2) + " Y" + QString::number(at.y, 'f', 2) + " F2000";
        const QString down = "G1 Z" + QString::number(at.z, 'f', 2) + " F300";
        QStringList restore = after.mid(0, after.indexOf(expected.at(sentAtPause)));
        restore.removeIf([](const QString& l) { return l == "M105" || l == "M117"; });
        QCOMPARE(restore, QStringList({"M140 S60", "M104 S200 T0", "G90", "M83", "G1 Z212.00 F300", back, down,
                                       "G1 F6000"}));
        // Everything after the resume moves is the rest of the file, once.
        QCOMPARE(fileLinesIn(after, expected), expected.mid(sentAtPause));
        QCOMPARE(h.sim().overflows(), 0);
    }

    void quitWhileStreamingCleansUp()
    {
        SimHarness h;
        SerialObject* link = quickLink(h);
        Config* config = getConfigFile().configFile();
        config->setPowerOffResumePrintStatus(true);
        config->setPowerOffResumePrintFileName("/data/quit.g");
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumeBuildTime(55);
        _printcfg_t rec0{150, 90, 70, 220, 12, 1};
        printdetail_write_config(&rec0);

        const QByteArray file = makeMoves(5000, 100, 10.0);
        h.sandbox().writeFile("/data/quit.g", file);
        const QStringList expected = expectedLines(file);
        Recorder rec(link);
        PrintThread t(link, h.sandbox().path("/data/quit.g"));
        QVERIFY(SimHarness::waitUntil([&] { return countFileLines(h.sim().transcript(), expected) > 50; }, 10000));
        link->slo_printingQuit();
        QVERIFY(t.wait(5000));
        QCOMPARE(rec.quits, 1);
        QCOMPARE(rec.overs, 0);
        const QStringList tr = h.sim().transcript();
        QVERIFY(tr.contains("M107"));
        const QStringList got = fileLinesIn(tr, expected);
        QVERIFY(got.size() < expected.size());
        QCOMPARE(got, expected.mid(0, got.size()));

        QCOMPARE(config->getPowerOffResumePrintFileName(), std::string());
        QCOMPARE(FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber(), 0);
        QCOMPARE(FILESNAMESPACE::ResumePrintConfigSaveFile().getResumeBuildTime(), 0);
        _printcfg_t cleared{};
        QCOMPARE(printdetail_read_config(&cleared), 0);
        QCOMPARE(cleared.set_flag, 0);
        QCOMPARE(cleared.speed, 100);
        QCOMPARE(cleared.extrusion, 100);
        QCOMPARE(cleared.zoffset, 0);
        QVERIFY(!link->isPrinting());
        QVERIFY(!link->isPaused());
    }

    void quitWhilePausedOrStuck()
    {
        {
            SimHarness h;
            SerialObject* link = h.link();
            link->setTiming(quickTiming(2000));
            h.sandbox().writeFile("/data/a.g", makeMoves(3000, 100, 10.0));
            Recorder rec(link);
            PrintThread t(link, h.sandbox().path("/data/a.g"));
            QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().size() > 30; }, 5000));
            link->slo_printingPause();
            QVERIFY(SimHarness::waitUntil([&] { return rec.pauses == 1; }, 5000));
            link->slo_printingQuit();
            QVERIFY(t.wait(5000));
            QCOMPARE(rec.quits, 1);
            QCOMPARE(rec.resumes, 0);
            QCOMPARE(rec.overs, 0);
        }
        {
            // The controller never frees a slot: the job waits, and a quit still ends it.
            ControllerSimulator::Options o = SimHarness::fastOptions();
            o.bufferSlots = 2;
            SimHarness h(o);
            SerialObject* link = h.link();
            LinkTiming timing = quickTiming(2000);
            timing.flowMs = 300;
            link->setTiming(timing);
            h.sandbox().writeFile("/data/b.g", makeMoves(100, 100, 10.0));
            h.sim().movesNeverEnd(true);
            Recorder rec(link);
            PrintThread t(link, h.sandbox().path("/data/b.g"));
            QTest::qWait(800);   // more than one flow time-out
            QVERIFY(!t.done.load());
            QCOMPARE(h.sim().overflows(), 0);
            link->slo_printingQuit();
            QVERIFY(t.wait(5000));
            QCOMPARE(rec.quits, 1);
        }
    }

    void pauseAgainWhileReheating()
    {
        SimHarness h;
        SerialObject* link = quickLink(h);
        const QByteArray file = makeMoves(400, 100, 10.0);
        h.sandbox().writeFile("/data/again.g", file);
        link->HeatingHalmetII(200, 0);
        Recorder rec(link);
        PrintThread t(link, h.sandbox().path("/data/again.g"));
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().size() > 30; }, 5000));
        link->slo_printingPause();
        QVERIFY(SimHarness::waitUntil([&] { return rec.pauses == 1; }, 5000));
        h.sim().pinNozzleTemperature(30);       // the nozzle will not come up to temperature
        link->slo_printingContinue();
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().nozzleTarget() == 200; }, 5000));
        link->slo_printingPause();               // paused again while it heats
        QVERIFY(SimHarness::waitUntil([&] { return rec.pauses == 2; }, 5000));
        QCOMPARE(h.sim().nozzleTarget(), 0);
        QCOMPARE(rec.resumes, 0);
        h.sim().pinNozzleTemperature(-1);
        link->slo_printingContinue();
        QVERIFY(t.wait(15000));
        QCOMPARE(rec.resumes, 1);
        QCOMPARE(rec.overs, 1);
        QCOMPARE(fileLinesIn(h.sim().transcript(), expectedLines(file).filter(QRegularExpression("^G1 X"))),
                 expectedLines(file).filter(QRegularExpression("^G1 X")));
    }

    void lineLostWhilePausingEndsTheJob()
    {
        SimHarness h;
        SerialObject* link = h.link();
        LinkTiming timing = quickTiming(2000);
        timing.portLostMs = 500;
        link->setTiming(timing);
        h.sandbox().writeFile("/data/lost.g", makeMoves(2000, 100, 10.0));
        Recorder rec(link);
        PrintThread t(link, h.sandbox().path("/data/lost.g"));
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().size() > 30; }, 5000));
        h.sim().movesNeverEnd(true);
        link->slo_printingPause();
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().endsWith("M121"); }, 5000));
        h.sim().hangUp(-1);
        QVERIFY(t.wait(8000));
        QCOMPARE(t.result.load(), -1);
        QCOMPARE(rec.pauses, 0);
        QCOMPARE(rec.quits, 1);
        QCOMPARE(rec.overs, 0);
    }

    void overridesReplaceFileTemperatures()
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.bufferSlots = 2;
        SimHarness h(o);
        SerialObject* link = quickLink(h);
        const QByteArray file = makeMoves(300, 100, 10.0) + "M104 S215\nM140 S70\nM109 S215\n" +
                                makeMoves(20, 100, 5.0, "");
        h.sandbox().writeFile("/data/hot.g", file);
        Recorder rec(link);
        PrintThread t(link, h.sandbox().path("/data/hot.g"));
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().size() > 20; }, 5000));
        link->printingAdjustNozzleTemp(190);
        link->printingAdjustPlatformTemp(65);
        QVERIFY(t.wait(15000));
        const QStringList tr = h.sim().transcript();
        QVERIFY(tr.contains("M104 S190 T0"));   // sent at once
        QVERIFY(tr.contains("M140 S65"));
        QVERIFY(tr.contains("M104 S190"));      // the file's own lines, rewritten
        QVERIFY(tr.contains("M109 S190"));
        QVERIFY(!tr.contains("M104 S215"));
        QVERIFY(!tr.contains("M140 S70"));
        QCOMPARE(h.sim().nozzleTarget(), 190);
        QCOMPARE(h.sim().bedTarget(), 65);
        QVERIFY(tr.indexOf("M104 S190 T0") < tr.indexOf("M104 S190"));
    }

    void resumeLineSkipsAndRecords()
    {
        SimHarness h;
        SerialObject* link = quickLink(h);
        const QByteArray file = makeMoves(400, 100, 1.0, "G90\nM82\nG92 E0\nG1 Z0.3 F600\n");
        h.sandbox().writeFile("/data/resume.g", file);
        const QList<QByteArray> raw = file.split('\n');
        const int layer2 = raw.indexOf(";layer:2");
        QVERIFY(layer2 > 0);
        link->setResumeLine(layer2);   // lines before the mark are done
        Recorder rec(link);
        PrintThread t(link, h.sandbox().path("/data/resume.g"));
        QVERIFY(t.wait(10000));
        QByteArray rest;
        for (int i = layer2; i < raw.size(); ++i)
            rest += raw[i] + "\n";
        // The machine is put back where the skipped lines left it, then the rest follows.
        const QByteArray last = raw[layer2 - 1];
        const QString x = QString::number(last.mid(4, 7).toDouble(), 'f', 2);
        const QStringList restore{"M140 S0", "M104 S0 T0", "G90", "G92 E1.99", "G1 Z212.00 F300",
                                  "G1 X" + x + " Y50.00 F2000", "G1 Z0.30 F300", "G1 F6000"};
        QStringList got = sent(h);
        got.removeAll("M105");
        QCOMPARE(got, restore + expectedLines(rest));
        QCOMPARE(rec.layers, 4);                         // the counter catches up with the skipped marks
        QVERIFY(rec.progress.first() >= float(layer2) / float(raw.size()) - 0.01f);
        QCOMPARE(rec.overs, 1);

        // A resume line is used once.
        h.sim().clearTranscript();
        PrintThread again(link, h.sandbox().path("/data/resume.g"));
        QVERIFY(again.wait(10000));
        QCOMPARE(sent(h), expectedLines(file));
    }
};

QTEST_GUILESS_MAIN(TestPrintLoop)
#include "test_printloop.moc"
