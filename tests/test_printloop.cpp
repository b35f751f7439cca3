// The print loop of the controller link: streaming ".g" and ".gx" files to
// the simulator, progress, layers, "M25", pause, resume, quit, overrides,
// power-off resume bookkeeping and files it must refuse.
#include "Config/Config.h"
#include "Files/PrintFile.h"
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
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace StreamCheck;

namespace {

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
    PrintThread(SerialObject* link, const QString& path) : thread([=] { result = link->serialPrint(path); done = true; }) {}
    ~PrintThread() { if (thread.joinable()) thread.join(); }
    bool wait(int ms)
    {
        if (!SimHarness::waitUntil([this] { return done.load(); }, ms))
            return false;
        if (thread.joinable())
            thread.join();
        QCoreApplication::processEvents();   // deliver the last queued signals
        return true;
    }
    std::atomic<bool> done{false};
    std::atomic<int> result{-2};
    std::thread thread;
};

// A simulator, a link with short time-outs, and a job printing on its own thread.
struct Run {
    explicit Run(int bufferSlots = 0, LinkTiming timing = quickTiming(2000)) : h(options(bufferSlots))
    {
        h.link()->setTiming(timing);
    }
    static ControllerSimulator::Options options(int bufferSlots)
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.bufferSlots = bufferSlots ? bufferSlots : o.bufferSlots;
        return o;
    }
    void start(const QString& name, const QByteArray& content)
    {
        if (!content.isNull())
            h.sandbox().writeFile(name, content);
        rec = std::make_unique<Recorder>(link());
        t = std::make_unique<PrintThread>(link(), h.sandbox().path(name));
    }
    SerialObject* link() { return h.link(); }
    QStringList transcript() { return h.sim().transcript(); }
    QStringList sent() { return withoutPolls(transcript()); }
    bool waitLines(int n) { return SimHarness::waitUntil([&] { return transcript().size() > n; }, 5000); }
    bool waitPauses(int n) { return SimHarness::waitUntil([&] { return rec->pauses == n; }, 5000); }
    SimHarness h;
    std::unique_ptr<Recorder> rec;
    std::unique_ptr<PrintThread> t;
};

}

class TestPrintLoop : public QObject {
    Q_OBJECT
private slots:
    void adjusterKeepsTheStreamConsistent()
    {
        PrintLineAdjuster a;
        LineAdjustments same, half, fast, up, hot;
        half.extrusion = 50;
        fast.speed = 200;
        up.zOffset = 25;
        hot.nozzleOverride = 190;
        hot.bedOverride = 55;
        const std::string plain = "G1 X1 Y2 E10 F1200", longIn = ("G1 Z0.2" + QString(" X1").repeated(30)).toStdString(),
                          longOut = ("G1 Z0.45" + QString(" X1").repeated(30)).toStdString();
        QVERIFY(a.process(plain, same).text.data() == plain.data());   // untouched lines go out as they are
        // Line, adjustments, what goes out ("" : not checked), the nozzle and bed targets after it (-2: not checked).
        const std::tuple<const char*, LineAdjustments, const char*, int, int> steps[] = {
            // The extrusion percentage scales what is extruded from now on: no jump.
            // Words are read whole: exponents, comments, long lines.
            {"G1 X1.5e-3 E11", half, "G1 X1.5e-3 E10.5", -2, -2}, {"G1 X3 E12", same, "G1 X3 E11.5", -2, -2},
            {"G92 E0", same, "", -2, -2}, {"G1 X4 E1", same, "G1 X4 E1", -2, -2},
            {"M83", same, "", -2, -2}, {"G1 E2", half, "G1 E1", -2, -2},
            // A new speed without an F in the line sets the feed again.
            {"G1 X5", fast, "G1 X5 F2400", -2, -2}, {"G1 X6", fast, "G1 X6", -2, -2},
            {"G1 X1 F1200 (go  here)", fast, "G1 X1 F2400 (go  here)", -2, -2},
            // Z offset on absolute Z only, also after a line number; back to 100 %: the feed is set again too.
            {"N7 G1 Z0.2", up, "N7 G1 Z0.45 F1200", -2, -2}, {longIn.c_str(), up, longOut.c_str(), -2, -2},
            {"G91", same, "", -2, -2},
            {"G1 Z1", up, "G1 Z1", -2, -2},
            {"M104 S215", hot, "M104 S190", 190, -2}, {"M190 S70", hot, "M190 S55", -2, 55},
            {"M140 S70", same, "", -2, 70},
            // Numbers far outside any command or temperature go out untouched.
            {"G99999999999 X1", fast, "G99999999999 X1", -2, -2}, {"M104 S99999999999", same, "", 1000, -2},
            {"G1 X1 E1e308", half, "G1 X1 E1e308", -2, -2}};
        for (const auto& [line, adjust, expected, nozzle, bed] : steps) {
            const PrintLineAdjuster::Result r = a.process(line, adjust);
            if (*expected)
                QCOMPARE(QString::fromStdString(std::string(r.text)), QString(expected));
            if (nozzle != -2)
                QCOMPARE(r.nozzleTarget, nozzle);
            if (bed != -2)
                QCOMPARE(r.bedTarget, bed);
        }
        QVERIFY(!a.absoluteAxes() && !a.absoluteExtruder());
        QVERIFY(a.process("M25", same).kind == PrintLineAdjuster::Kind::PauseMark);
        QVERIFY(a.process("M251", same).kind == PrintLineAdjuster::Kind::Send);
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
            PrintFile::StorageFile file;
            QVERIFY(file.open(box.path(name).toStdString()) == PrintFile::StorageFile::Status::Open);
            GcodeFileReader reader;
            QVERIFY(reader.open(file.fd(), 0));
            std::string_view line;
            int64_t n = 0;
            int tooLong = 0;
            while (reader.next(line)) {
                ++n;
                tooLong += reader.lineTooLong();
                QVERIFY(line.find('\n') == std::string_view::npos);
            }
            QVERIFY(!reader.failed());
            QCOMPARE(n, countGcodeLines(file.fd(), 0));
            QCOMPARE(tooLong, longLines);
        }
        QCOMPARE(countGcodeLines(-1, 0), int64_t(-1));
        const char block[] = "a\nb\n\n\nccccccccccccccccccccccccccccccc\n";
        QCOMPARE(countNewlines(block, std::strlen(block)), uint64_t(5));
    }

    // Files that finish (result 0: their G-code sent whole, progress rising to 1)
    // and ".gx" files whose G-code offset is refused (-1: nothing of them sent).
    void streamsFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("gcode");   // what must reach the controller
        QTest::addColumn<int>("layers");
        QTest::addColumn<int>("result");
        QByteArray plain = makeMoves(1500, 300);
        plain += "G1 X5 ;inline comment\n  \n\t\nG1 X6 Y6\r\nG1 X7";   // no final line end
        QTest::newRow("plain") << "/data/plain.g" << plain << plain << 5 << 0;
        // Image bytes that look like G-code must not be sent.
        const QByteArray image = "\x89PNG\r\n\x1a\nG1 X999 Y999\nM104 S300\n" + QByteArray(300, '\x07') + "\n";
        const QByteArray gcode = makeMoves(300, 100);
        QTest::newRow("gx from its G-code offset") << "/data/part.gx" << gxFile(image, gcode) << gcode << 3 << 0;
        const QByteArray upper = makeMoves(50, 10);
        QTest::newRow("upper-case GX is plain G-code") << "/data/PART.GX" << upper << upper << 5 << 0;
        QTest::newRow("gx with its G-code at its end") << "/data/empty.gx" << gxFile("img", "") << QByteArray() << 0 << 0;
        QTest::newRow("empty file") << "/data/empty.g" << QByteArray("") << QByteArray() << 0 << 0;
        // Speed 150 %, Z offset 0.2 mm, extrusion 90 %.
        QTest::newRow("adjusted") << "/data/adjust.g" << QByteArray("G90\nM82\nG92 E0\nG1 Z0.3 F600\nG1 X10 Y10 E1.5 F1200\nG1 X20 E3\n")
                                  << QByteArray("G90\nM82\nG92 E0\nG1 Z0.5 F900\nG1 X10 Y10 E1.35 F1800\nG1 X20 E2.7") << 0 << 0;
        const QByteArray small = "G90\nG1 X1 Y1\n", picture = "G1 X999\nG1 Y999\n";
        QTest::newRow("offset inside the header") << "/data/bad.gx" << gxFile(picture, small, 10) << QByteArray() << 0 << -1;
        QTest::newRow("offset 0") << "/data/bad.gx" << gxFile(picture, small, 0) << QByteArray() << 0 << -1;
        QTest::newRow("offset past the end") << "/data/bad.gx" << gxFile(picture, small, 60 + picture.size() + small.size() + 1)
                                             << QByteArray() << 0 << -1;
        QTest::newRow("offset far out") << "/data/bad.gx" << gxFile(picture, small, 0xffffffffLL) << QByteArray() << 0 << -1;
        QTest::newRow("shorter than the header") << "/data/bad.gx" << QByteArray(picture + QByteArray(30, ' '))
                                                 << QByteArray() << 0 << -1;
        QTest::newRow("missing file") << "/data/bad.gx" << QByteArray() << QByteArray() << 0 << -1;
    }

    void streamsFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, gcode);
        QFETCH(int, layers);
        QFETCH(int, result);
        Run run;
        if (name == "/data/adjust.g")
            run.link()->setPrintingAdjust(PrintingAdjust{150, 20, 90});
        run.start(name, content);
        QVERIFY(run.t->wait(15000));
        QCOMPARE(run.t->result.load(), result);
        const Recorder& rec = *run.rec;
        QVERIFY(!run.link()->isPrinting());
        if (result < 0) {
            QCOMPARE(run.sent(), QStringList({"M107"}));   // no header or image bytes, only the quit's fan off
            QCOMPARE(std::make_pair(rec.overs, rec.quits), std::make_pair(0, 1));
            return;
        }
        QCOMPARE(run.sent(), expectedLines(gcode));
        QCOMPARE(std::make_tuple(rec.starts, rec.overs, rec.quits, rec.layers), std::make_tuple(1, 1, 0, layers));
        QVERIFY(!rec.progress.isEmpty() && rec.progress.size() <= 1001);
        for (int i = 0; i < rec.progress.size(); ++i)
            QVERIFY(rec.progress[i] >= 0.f && (i == 0 || rec.progress[i] > rec.progress[i - 1]));
        QCOMPARE(rec.progress.last(), 1.f);
        QCOMPARE(run.link()->printingPersent(), 1.f);
    }

    // What lies at the job's path when the print thread opens it is checked
    // there: a link to a file outside the storage (or a folder link leading
    // there) and a FIFO are not streamed, the open does not wait for a
    // writer, and the job ends as one that could not read its file.
    void streamsOnlyAStorageFile_data()
    {
        QTest::addColumn<QString>("swap");
        for (const char* w : {"link outside", "folder link outside", "fifo"})
            QTest::newRow(w) << QString(w);
    }
    void streamsOnlyAStorageFile()
    {
        QFETCH(QString, swap);
        Run run;
        Sandbox& box = run.h.sandbox();
        const QByteArray system = makeMoves(40, 10, 1.0, "G1 X111 Y111\n");
        box.writeFile("/etc/system.g", system);
        QString name = "/data/job.g";
        if (swap == "link outside") {
            QVERIFY(QFile::link(box.path("/etc/system.g"), box.path(name)));
        } else if (swap == "folder link outside") {
            QVERIFY(QFile::link(box.path("/etc"), box.path("/data/jobs")));
            name = "/data/jobs/system.g";
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(box.path(name)).constData(), 0644), 0);
        }
        run.start(name, QByteArray());
        // Should the open wait for a writer, one comes once the test is over, so it ends.
        struct LetGo {
            Run& run;
            QString fifo;
            ~LetGo()
            {
                for (int i = 0; i < 1000 && !run.t->done.load(); ++i) {
                    const int w = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                    if (w >= 0)
                        ::close(w);
                    QTest::qWait(10);
                }
            }
        } letGo{run, box.path(name)};
        QVERIFY(run.t->wait(15000));
        QCOMPARE(run.t->result.load(), -1);
        QCOMPARE(run.sent(), QStringList({"M107"}));   // nothing of the other file
        QCOMPARE(std::make_tuple(run.rec->starts, run.rec->overs, run.rec->quits), std::make_tuple(1, 0, 1));
        QVERIFY(!run.link()->isPrinting());
    }

    void m25PausesAtTheMark()
    {
        Run run;
        const QByteArray before = makeMoves(20, 100, 1.0, "M82\nG92 E0\n");   // no G90: the resume sends its own
        const QByteArray file = before + "M25\n" + makeMoves(20, 100, 2.0, "");
        SerialObject* link = run.link();
        // The printing page answers "M25" with a pause.
        QObject::connect(link, &SerialObject::readM25, link, [link] { link->slo_printingPause(); });
        run.start("/data/m25.g", file);
        QVERIFY(run.waitPauses(1));
        QCOMPARE(run.rec->m25s, 1);
        QVERIFY(link->isPaused());
        const QStringList expected = expectedLines(file);
        QCOMPARE(fileLinesIn(run.transcript(), expected), expectedLines(before));
        QVERIFY(!run.transcript().contains("M25"));
        link->slo_printingContinue();
        QVERIFY(run.t->wait(5000));
        QCOMPARE(std::make_pair(run.rec->resumes, run.rec->overs), std::make_pair(1, 1));
        QCOMPARE(fileLinesIn(run.transcript(), expected), expected);
    }

    void pauseAndResumeWhileStreaming()
    {
        Run run(4);
        SerialObject* link = run.link();
        getConfigFile().configFile()->setPowerOffResumePrintStatus(true);
        // Relative extrusion, 10 mm moves: the buffer stays busy while streaming.
        const QByteArray file = makeMoves(600, 50, 10.0, "G90\nM83\nG92 E0\n");
        // The moves: the link sends G90 and M83 itself too.
        const QStringList expected = expectedLines(file).filter(QRegularExpression("^G1 X"));
        link->HeatingHalmetII(200, 60);
        run.start("/data/pause.g", file);
        QVERIFY(SimHarness::waitUntil([&] { return fileLinesIn(run.transcript(), expected).size() > 120; }, 10000));
        link->slo_printingPause();
        QVERIFY(run.waitPauses(1));
        QVERIFY(link->isPaused() && !run.h.sim().moving());
        QCOMPARE(run.h.sim().nozzleTarget() + run.h.sim().bedTarget(), 0);
        const ControllerProtocol::Position at = run.h.sim().position();
        const int sentAtPause = fileLinesIn(run.transcript(), expected).size();
        QVERIFY(sentAtPause < expected.size());

        // The resume record points at the mark of a layer already begun.
        const int resumeLine = FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber();
        const QList<QByteArray> rawLines = file.split('\n');
        QVERIFY(resumeLine > 0 && resumeLine < rawLines.size());
        QVERIFY(rawLines[resumeLine].startsWith(";layer:"));

        // The page parks the head and a filament change moves the extruder.
        for (const char* move : {"G1 Z150 F300", "G1 X95 Y97 F2000", "G1 E-30 F300"})
            link->serialSendCode(move);
        QTest::qWait(150);
        QCOMPARE(fileLinesIn(run.transcript(), expected).size(), sentAtPause);

        // Paused again while it heats (the nozzle will not come up): the heaters go off again.
        run.h.sim().pinNozzleTemperature(30);
        link->slo_printingContinue();
        QVERIFY(SimHarness::waitUntil([&] { return run.h.sim().nozzleTarget() == 200; }, 5000));
        link->slo_printingPause();
        QVERIFY(run.waitPauses(2));
        QCOMPARE(std::make_pair(run.h.sim().nozzleTarget(), run.rec->resumes), std::make_pair(0, 0));
        run.h.sim().pinNozzleTemperature(-1);
        run.h.sim().clearTranscript();
        link->slo_printingContinue();
        QVERIFY(run.t->wait(15000));
        QCOMPARE(std::make_tuple(run.rec->resumes, run.rec->overs, run.t->result.load()), std::make_tuple(1, 1, 0));

        const QStringList after = run.transcript();
        const QString back = "G1 X" + QString::number(at.x, 'f', 2) + " Y" + QString::number(at.y, 'f', 2) + " F2000";
        const QString down = "G1 Z" + QString::number(at.z, 'f', 2) + " F300";
        QStringList restore = after.mid(0, after.indexOf(expected.at(sentAtPause)));
        restore.removeIf([](const QString& l) { return l == "M105" || l == "M117"; });
        QCOMPARE(restore, QStringList({"M140 S60", "M104 S200 T0", "G90", "M83", "G1 Z212.00 F300", back, down,
                                       "G1 F6000"}));
        // Everything after the resume moves is the rest of the file, once.
        QCOMPARE(fileLinesIn(after, expected), expected.mid(sentAtPause));
        QCOMPARE(run.h.sim().overflows(), 0);
    }

    // A job that does not finish. A quit (streaming, paused, or while the
    // controller never frees a slot) ends as a quit and leaves nothing to
    // resume. A controller that stops answering but still reads, a cancel in
    // that silence, a hang-up that loses the lines in flight, a line gone while
    // pausing: the job ends for a lost controller within the link's limits,
    // never as finished; "M112" then the heaters off are written at once and
    // delivered again once it answers; the resume record points at a layer
    // whose earlier lines all arrived (a cancel leaves none). Either way the
    // start of the file went out once, in order.
    void jobEndsEarly_data()
    {
        QTest::addColumn<QString>("how");
        for (const char* w : {"quit streaming", "quit paused", "quit with no free slot", "silence", "cancel in silence",
                              "hang-up losing lines", "line gone while pausing"})
            QTest::newRow(w) << QString(w);
    }
    void jobEndsEarly()
    {
        QFETCH(QString, how);
        const bool stuck = how == "quit with no free slot", hangUp = how == "hang-up losing lines",
                   gone = how == "line gone while pausing", cancel = how.startsWith("quit") || how.startsWith("cancel");
        LinkTiming timing = quickTiming(2000);
        timing.flowMs = 60000;   // the flow limit alone would hold the job for a minute
        Run run(stuck ? 2 : 0, timing);
        Config* config = getConfigFile().configFile();
        config->setPowerOffResumePrintStatus(true);
        config->setPowerOffResumePrintFileName("/data/end.g");
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumeBuildTime(55);
        _printcfg_t rec0{150, 90, 70, 220, 12, 1};
        printdetail_write_config(&rec0);
        run.link()->HeatingHalmetII(200, 60);
        run.h.sim().movesNeverEnd(stuck);
        const QByteArray file = makeMoves(stuck ? 100 : 3000, 40, hangUp ? 1.0 : 10.0);   // short moves: lines in flight
        const QStringList expected = expectedLines(file);
        run.start("/data/end.g", file);
        if (stuck)
            QTest::qWait(800);
        QVERIFY(stuck ? !run.t->done.load() : run.waitLines(300));
        if (how == "quit paused" || gone) {
            run.h.sim().movesNeverEnd(gone);
            run.link()->slo_printingPause();
            QVERIFY(gone ? SimHarness::waitUntil([&] { return run.transcript().endsWith("M121"); }, 5000) : run.waitPauses(1));
        }
        if (hangUp || gone)
            run.h.sim().hangUp(gone ? -1 : 400, true);
        else if (!how.startsWith("quit"))
            run.h.sim().dropReplies(1 << 30);
        if (cancel)
            run.link()->slo_printingQuit();
        QVERIFY(run.t->wait(15000));
        const QStringList got = fileLinesIn(run.transcript(), expected);
        QCOMPARE(got, expected.mid(0, got.size()));
        QCOMPARE(run.h.sim().overflows(), 0);
        if (hangUp && run.rec->overs == 1) {   // the hang-up took no line in flight
            QCOMPARE(got, expected);
            return;
        }
        QCOMPARE(std::make_tuple(run.rec->quits, run.rec->resumes, run.rec->overs), std::make_tuple(1, 0, 0));
        QVERIFY(got.size() < expected.size() && !run.link()->isPrinting() && !run.link()->isPaused());
        const int record = FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber();
        if (cancel) {   // nothing to resume, whether or not the controller heard it
            QCOMPARE(config->getPowerOffResumePrintFileName(), std::string());
            QCOMPARE(std::make_pair(record, FILESNAMESPACE::ResumePrintConfigSaveFile().getResumeBuildTime()),
                     std::make_pair(0, 0));
            _printcfg_t cleared{};
            QCOMPARE(printdetail_read_config(&cleared), 0);
            QCOMPARE(std::make_tuple(cleared.set_flag, cleared.speed, cleared.extrusion, cleared.zoffset),
                     std::make_tuple(0, 100, 100, 0));
        } else {
            const QList<QByteArray> raw = file.split('\n');
            QVERIFY(record > 0 && raw[record].startsWith(";layer:"));
            const QStringList before = expectedLines(raw.mid(0, record).join('\n'));
            QCOMPARE(got.mid(0, before.size()), before);
        }
        if (how.startsWith("quit")) {   // a full buffer takes no fan-off: it is kept until there is room
            QVERIFY(stuck ? run.link()->pendingSafetyCommands() > 0 : run.transcript().contains("M107"));
            return;
        }
        QVERIFY(run.link()->jobLostController());
        const auto heatersOff = [&] { return run.h.sim().nozzleTarget() + run.h.sim().bedTarget() == 0; };
        QVERIFY(hangUp || gone || SimHarness::waitUntil(heatersOff, 3000));   // a line that reads takes them at once
        if (gone)
            return;
        run.h.sim().dropReplies(0);
        QVERIFY(SimHarness::waitUntil([&] { return run.link()->serialCheckCode("M105") != ControllerProtocol::SendFailed
                                                   && run.link()->pendingSafetyCommands() == 0; }, 5000));
        const QStringList tr = run.transcript();
        QCOMPARE(tr.count("M112"), hangUp ? 1 : 2);
        QVERIFY(tr.lastIndexOf("M112") < tr.lastIndexOf("M104 S0 T0") && heatersOff());
    }

    void overridesReplaceFileTemperatures()
    {
        Run run(2);
        run.start("/data/hot.g", makeMoves(300, 100, 10.0) + "M104 S215\nM140 S70\nM109 S215\n" + makeMoves(20, 100, 5.0, ""));
        QVERIFY(run.waitLines(20));
        run.link()->printingAdjustNozzleTemp(190);
        run.link()->printingAdjustPlatformTemp(65);
        QVERIFY(run.t->wait(15000));
        const QStringList tr = run.transcript();
        // Sent at once, then the file's own lines rewritten.
        QVERIFY(tr.contains("M140 S65") && tr.contains("M109 S190"));
        QVERIFY(tr.indexOf("M104 S190 T0") >= 0 && tr.indexOf("M104 S190 T0") < tr.indexOf("M104 S190"));
        QVERIFY(!tr.contains("M104 S215") && !tr.contains("M140 S70"));
        QCOMPARE(std::make_pair(run.h.sim().nozzleTarget(), run.h.sim().bedTarget()), std::make_pair(190, 65));
    }

    void resumeLineSkipsAndRecords()
    {
        Run run;
        const QByteArray file = makeMoves(400, 100, 1.0, "G90\nM82\nG92 E0\nG1 Z0.3 F600\n");
        const QList<QByteArray> raw = file.split('\n');
        const int layer2 = raw.indexOf(";layer:2");
        QVERIFY(layer2 > 0);
        run.link()->setResumeLine(layer2);   // lines before the mark are done
        run.start("/data/resume.g", file);
        QVERIFY(run.t->wait(10000));
        QByteArray rest;
        for (int i = layer2; i < raw.size(); ++i)
            rest += raw[i] + "\n";
        // The machine is put back where the skipped lines left it, then the rest follows.
        const QString x = QString::number(raw[layer2 - 1].mid(4, 7).toDouble(), 'f', 2);
        const QStringList restore{"M140 S0", "M104 S0 T0", "G90", "G92 E1.99", "G1 Z212.00 F300",
                                  "G1 X" + x + " Y50.00 F2000", "G1 Z0.30 F300", "G1 F6000"};
        QStringList got = run.sent();
        got.removeAll("M105");
        QCOMPARE(got, restore + expectedLines(rest));
        QCOMPARE(run.rec->layers, 4);                         // the counter catches up with the skipped marks
        QVERIFY(run.rec->progress.first() >= float(layer2) / float(raw.size()) - 0.01f);
        QCOMPARE(run.rec->overs, 1);

        // A resume line is used once.
        run.h.sim().clearTranscript();
        run.start("/data/resume.g", QByteArray());
        QVERIFY(run.t->wait(10000));
        QCOMPARE(run.sent(), expectedLines(file));
    }
};

QTEST_GUILESS_MAIN(TestPrintLoop)
#include "test_printloop.moc"
