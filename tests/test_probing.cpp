// The probing page, opened from the settings page, against the simulator's
// platform height map: the heights it logs, what the controller receives, and
// Back at every step leaving the machine still and the probe disarmed.
#include "UI/ExtruderCalibration.h"
#include "UI/resources.h"
#include "UI/setting.h"
#include "serial/SerialObject.h"
#include "tests/support/PrintPageRig.h"

#include <QLabel>
#include <QMutex>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

QMutex g_logMutex;
QStringList g_readings;   // "Z: ..." and "Completed!" log lines, written by the worker thread
QtMessageHandler g_previous = nullptr;

void keepReadings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith("Z: ") || message == "Completed!") {
        QMutexLocker lock(&g_logMutex);
        g_readings << message;
    }
    g_previous(type, context, message);
}


const double kX[9] = {-80, 20, 100, 100, 20, -80, -80, 20, 100};
const double kY[9] = {100, 100, 100, 0, 0, 0, -90, -90, -90};
const double kHeights[9] = {0.12, 0.05, 0.31, 0.27, 0.18, 0.09, 0.44, 0.2, 0.36};

// Opens the page as the user does: the settings page's entry.
ExtruderCalibration* openFromSettings(SimHarness& h, bool flatBed = false)
{
    h.link()->setTiming({200, 20, 2000, 30000});   // a silent controller costs little time
    std::vector<ControllerSimulator::BedPoint> map;
    for (int i = 0; i < 9 && !flatBed; ++i)
        map.push_back({kX[i], kY[i], kHeights[i]});
    h.sim().setBedHeight(0.25);
    h.sim().setBedHeightMap(map);
    return PageTools::openProbingPage();
}

QStringList readings()
{
    QMutexLocker lock(&g_logMutex);
    return g_readings;
}

QString message(ExtruderCalibration* page) { return PageTools::label(page, "showMessage"); }

}

class TestProbing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initOrlenkResources();
        ExtruderCalibration::stepIntervalMs = 20;
        g_previous = qInstallMessageHandler(keepReadings);
    }
    void init() { QMutexLocker lock(&g_logMutex); g_readings.clear(); }
    void cleanup() { delete ExtruderCalibration::instExtruderCalibration; }   // after a failure

    // Wait for the line, then: hold the machine (and silence the controller) and
    // press Back; or let a fault stop the run, which names the cause, stops the
    // machine, stows the probe and offers Back. A run that reached its park is checked whole.
    void probing_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("text");   // the fault's message; none: Back at once
        const QString stuck = "The printer did not finish its move.\nPlease check the printer.";
        const QString silent = "The printer's controller is not answering.\nPlease check the printer.";
        QTest::newRow("whole run") << "G1 Z215 F300" << "" << "";
        QTest::newRow("whole run, first M114 unanswered") << "G1 Z215 F300" << "M114" << "";
        QTest::newRow("whole run, flat bed without a map") << "G1 Z215 F300" << "flat bed" << "";
        QTest::newRow("whole run, doubled replies") << "G1 Z215 F300" << "doubled" << "";
        QTest::newRow("Back while homing") << "G28 Z" << "" << "";
        QTest::newRow("Back while travelling") << "G1 X-80 Y100 F2000" << "" << "";
        QTest::newRow("Back while descending") << "G1 Z0 F200" << "" << "";
        QTest::newRow("Back while descending, silent controller") << "G1 Z0 F200" << "silent" << "";
        QTest::newRow("stuck while homing") << "G28 Z" << "stuck" << stuck;
        QTest::newRow("silent while homing") << "G28 X" << "silent" << silent;
        QTest::newRow("stuck on the way to point 1") << "G1 Z15 F300" << "stuck" << stuck;
        QTest::newRow("silent while travelling") << "G1 X-80 Y100 F2000" << "silent" << silent;
        QTest::newRow("hang-up while descending") << "G1 Z0 F200" << "hang-up" << silent;
    }
    void probing()
    {
        QFETCH(QString, line);
        QFETCH(QString, fault);
        QFETCH(QString, text);
        SimHarness h;
        h.sim().dropRepliesTo("M114", fault == "M114" ? 2 : 0);   // the link asks twice, then reports the failure
        h.sim().duplicateReplies(fault == "doubled" ? 100000 : 0);
        ExtruderCalibration* page = openFromSettings(h, fault == "flat bed");
        QCOMPARE(page ? message(page) : QString(), QString("Pre-adjusting, please wait..."));
        // The event loop runs meanwhile: homing lives on the GUI thread's timers.
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains(line); }, 30000));
        int from = 0;
        if (line == "G1 Z215 F300") {
            QVERIFY(SimHarness::waitUntil([&] { return message(page) == "Completed!"; }, 5000));
            QStringList readings, sent = {"M112", "G28 Z", "G28 X", "G28 Y", "M112", "G92 X100 Y102 Z212.00 A0 B0"};
            for (int i = 0; i < 9; ++i) {
                readings << (fault == "M114" && i == 0 ? "Z: failed reading: send failed."
                                                       : "Z: " + QString::number(fault == "flat bed" ? 0.25 : kHeights[i]));
                sent << "M141 T219" << "G1 Z15 F300" << QString("G1 X%1 Y%2 F2000").arg(kX[i]).arg(kY[i]) << "M112"
                     << "M141 T65" << "G1 Z0 F200" << "M112" << "M114" << "M141 T219";
            }
            QCOMPARE(::readings(), readings << "Completed!");
            if (fault.isEmpty() || fault == "flat bed")
                QCOMPARE(PageTools::withoutPolls(h.sim().transcript()), sent << "G1 X100 Y100 F2000" << "G1 Z215 F300");
        } else {
            from = h.sim().transcript().size();
            h.sim().movesNeverEnd(text.isEmpty() || fault == "stuck");
            h.sim().dropReplies(fault == "silent" ? 1000000 : 0);
            if (fault == "hang-up")
                h.sim().hangUp(3000);
            QTest::qWait(100);
            QVERIFY(SimHarness::waitUntil([&] { return text.isEmpty() || message(page) == text; }, 15000));
            QVERIFY(!readings().contains("Completed!"));
        }

        // Back: the stop follows the worker's end, no move is sent, then nothing at all. A
        // worker caught in an exchange puts the close off; the screen runs on meanwhile.
        QSignalSpy destroyed(page, &QObject::destroyed);
        const int before = h.sim().transcript().size();
        QToolButton* back = page->findChild<QToolButton*>("back");
        PageTools::click(page, "back");
        if (fault == "silent" && text.isEmpty())
            QVERIFY(destroyed.isEmpty() && !back->isEnabled());
        QVERIFY(SimHarness::waitUntil([&] { return destroyed.count() == 1; }, 30000));
        QCOMPARE(ExtruderCalibration::instExtruderCalibration, nullptr);
        h.sim().dropReplies(0);
        h.sim().movesNeverEnd(false);
        // Stop commands a silent controller did not take go out once it answers.
        QVERIFY(SimHarness::waitUntil([&] {
            h.link()->serialCheckCode("M105");
            return h.link()->pendingSafetyCommands() == 0;
        }, 30000));
        for (const char* stop : {"M104 S0 T0", "M140 S0"})   // a run that gave up switched the heaters off
            QVERIFY2(text.isEmpty() || h.sim().transcript().mid(from).contains(stop), stop);
        const QStringList after = PageTools::withoutPolls(h.sim().transcript().mid(before));
        QVERIFY2(after.contains("M112") && after.lastIndexOf("M141 T219") == after.size() - 1
                     && after.filter(QRegularExpression("^G1 ")).isEmpty(), qPrintable(after.join(", ")));
        QVERIFY(!h.sim().moving() && !h.sim().probeArmed());
        const int count = h.sim().transcript().size();
        QTest::qWait(300);
        QCOMPARE(h.sim().transcript().size(), count);
    }

    // A homing report while a run exists sets the coordinates again but starts no second worker.
    void secondHomingReport()
    {
        SimHarness h;
        ExtruderCalibration* page = openFromSettings(h);
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains("G1 X-80 Y100 F2000"); }, 30000));
        page->checkReturnHomeDone();
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains("G1 Z215 F300"); }, 30000));
        QTest::qWait(200);
        const QStringList sent = h.sim().transcript();
        QVERIFY(sent.count("G1 X-80 Y100 F2000") == 1 && sent.count("G1 Z215 F300") == 1);
        QCOMPARE(sent.count("G92 X100 Y102 Z212.00 A0 B0"), 2);
        PageTools::click(page, "back");
        QVERIFY(PageTools::gone(page));
    }

    // A job started while the page probes: Back stows the probe but does not stop the job.
    void backSparesAJob()
    {
        PrintPageRig rig;
        ExtruderCalibration* page = openFromSettings(*rig.harness);
        QVERIFY(rig.waitSent("G1 X-80 Y100 F2000", 30000));
        rig.sim().movesNeverEnd(true);
        rig.startHeldJob();
        QVERIFY(rig.waitSent("G28 Z"));
        const int from = rig.mark();
        PageTools::click(page, "back");
        QVERIFY(PageTools::gone(page));
        QTest::qWait(100);
        QVERIFY(rig.sent("M141 T219") && !rig.commands(from).contains("M112"));
    }
};

QTEST_MAIN(TestProbing)
#include "test_probing.moc"
