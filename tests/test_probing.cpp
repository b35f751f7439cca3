// The probing page, opened from the settings page, against the simulator's
// platform height map: the heights it logs, what the controller receives, and
// Back at every step leaving the machine still and the probe disarmed.
#include "UI/ExtruderCalibration.h"
#include "UI/resources.h"
#include "UI/setting.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"

#include <QLabel>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

QMutex g_logMutex;
QStringList g_readings;
QtMessageHandler g_previous = nullptr;

void keepReadings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith("Z: ")) {
        QMutexLocker lock(&g_logMutex);
        g_readings << message;
    }
    g_previous(type, context, message);
}

QStringList readings()
{
    QMutexLocker lock(&g_logMutex);
    return g_readings;
}

QStringList withoutPolls(QStringList lines)
{
    for (const char* poll : {"M119", "M121", "M117", "M105"})
        lines.removeAll(poll);
    return lines;
}

const char* const kMoves[9] = {"G1 X-80 Y100 F2000", "G1 X20 Y100 F2000", "G1 X100 Y100 F2000",
                               "G1 X100 Y0 F2000",   "G1 X20 Y0 F2000",   "G1 X-80 Y0 F2000",
                               "G1 X-80 Y-90 F2000", "G1 X20 Y-90 F2000", "G1 X100 Y-90 F2000"};
const double kHeights[9] = {0.12, 0.05, 0.31, 0.27, 0.18, 0.09, 0.44, 0.2, 0.36};

std::vector<ControllerSimulator::BedPoint> heightMap()
{
    std::vector<ControllerSimulator::BedPoint> map;
    for (int i = 0; i < 9; ++i) {
        const QStringList w = QString(kMoves[i]).split(' ');
        map.push_back({w[1].mid(1).toDouble(), w[2].mid(1).toDouble(), kHeights[i]});
    }
    return map;
}

// Opens the page as the user does: the settings page's entry.
ExtruderCalibration* openFromSettings(SimHarness& h, bool flatBed = false)
{
    if (flatBed)
        h.sim().setBedHeight(0.25);
    else
        h.sim().setBedHeightMap(heightMap());
    auto* setting = new Setting(nullptr);
    Setting::instSetting = setting;
    setting->show();
    QTest::mouseClick(setting->findChild<QToolButton*>("showExtruderCalibration"), Qt::LeftButton);
    QTest::qWait(120);   // the one-press guard
    setting->deleteLater();
    return ExtruderCalibration::instExtruderCalibration;
}

// Waits with the event loop running: homing lives on the GUI thread's timers.
bool arrives(SimHarness& h, const QString& line)
{
    return SimHarness::waitUntil([&] { return h.sim().transcript().contains(line); }, 30000);
}

QString message(ExtruderCalibration* page) { return page->findChild<QLabel*>("showMessage")->text(); }

// Back: the page goes, the stop follows the worker, and then nothing moves or is sent.
// A worker caught in an exchange puts the close off; the screen runs on meanwhile.
void backLeavesMachineStill(SimHarness& h, ExtruderCalibration* page, bool workerBusy = false)
{
    QSignalSpy destroyed(page, &QObject::destroyed);
    const int before = h.sim().transcript().size();
    QToolButton* back = page->findChild<QToolButton*>("back");
    QTest::mouseClick(back, Qt::LeftButton);
    if (workerBusy)
        QVERIFY(destroyed.isEmpty() && !back->isEnabled());
    QVERIFY(SimHarness::waitUntil([&] { return destroyed.count() == 1; }, 30000));
    QCOMPARE(ExtruderCalibration::instExtruderCalibration, nullptr);
    QStringList after = withoutPolls(h.sim().transcript().mid(before));
    after.removeDuplicates();   // a silent controller is asked twice
    QVERIFY2(after.size() >= 2 && after.mid(after.size() - 2) == QStringList({"M112", "M141 T219"}),
             qPrintable(after.join(", ")));
    h.sim().dropReplies(0);
    h.sim().movesNeverEnd(false);
    QVERIFY(!h.sim().moving());
    QVERIFY(!h.sim().probeArmed());
    const int count = h.sim().transcript().size();
    QTest::qWait(300);
    QCOMPARE(h.sim().transcript().size(), count);
}

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
    void init()
    {
        QMutexLocker lock(&g_logMutex);
        g_readings.clear();
    }

    // The whole run: nine readings equal to the map, the command sequence, the park.
    void probingRun_data()
    {
        QTest::addColumn<bool>("failFirstReading");
        QTest::addColumn<bool>("flatBed");
        QTest::newRow("every reading") << false << false;
        QTest::newRow("first M114 unanswered") << true << false;
        QTest::newRow("flat bed, no map") << false << true;
    }
    void probingRun()
    {
        QFETCH(bool, failFirstReading);
        QFETCH(bool, flatBed);
        SimHarness h;
        h.link()->setTiming({200, 20, 2000, 30000});
        if (failFirstReading)
            h.sim().dropRepliesTo("M114", 2);   // the link asks twice, then reports the failure
        ExtruderCalibration* page = openFromSettings(h, flatBed);
        QVERIFY(page);
        QCOMPARE(message(page), QString("Pre-adjusting, please wait..."));
        QVERIFY(arrives(h, "G1 Z215 F300"));
        QVERIFY(SimHarness::waitUntil([&] { return message(page) == "Completed!"; }, 5000));

        QStringList expected;
        for (int i = 0; i < 9; ++i)
            expected << (failFirstReading && i == 0 ? "Z: failed reading: send failed."
                                                    : "Z: " + QString::number(flatBed ? 0.25 : kHeights[i]));
        QCOMPARE(readings(), expected);
        if (!failFirstReading) {
            QStringList sent = {"M112", "G28 Z", "G28 X", "G28 Y", "M112", "G92 X100 Y102 Z212.00 A0 B0"};
            for (const char* move : kMoves)
                sent << "M141 T219" << "G1 Z15 F300" << move << "M112" << "M141 T65" << "G1 Z0 F200" << "M112"
                     << "M114" << "M141 T219";
            sent << "G1 X100 Y100 F2000" << "G1 Z215 F300";
            QCOMPARE(withoutPolls(h.sim().transcript()), sent);
        }
        backLeavesMachineStill(h, page);
    }

    // Back while homing, travelling, descending and after the run.
    void backAtEachStep_data()
    {
        QTest::addColumn<QString>("line");        // wait for it, then hold the machine
        QTest::addColumn<bool>("silent");         // and stop answering
        QTest::newRow("homing") << "G28 Z" << false;
        QTest::newRow("travelling") << "G1 X-80 Y100 F2000" << false;
        QTest::newRow("descending") << "G1 Z0 F200" << false;
        QTest::newRow("descending, silent controller") << "G1 Z0 F200" << true;
        QTest::newRow("parked") << "G1 Z215 F300" << false;
    }
    void backAtEachStep()
    {
        QFETCH(QString, line);
        QFETCH(bool, silent);
        SimHarness h;
        h.link()->setTiming({200, 20, 2000, 30000});
        ExtruderCalibration* page = openFromSettings(h);
        QVERIFY(arrives(h, line));
        if (line != "G1 Z215 F300")
            h.sim().movesNeverEnd(true);
        if (silent) {
            h.sim().dropReplies(1000000);
            QTest::qWait(100);
        }
        backLeavesMachineStill(h, page, silent);
    }
};

QTEST_MAIN(TestProbing)
#include "test_probing.moc"
