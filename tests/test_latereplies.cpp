// A slow controller answers every command late (in order, while it goes on
// taking commands): the print and the pages wait for it instead of taking it
// for one that does not answer. Reply latency is real time; the machine runs
// faster than real time, the link keeps its own timing.
#include "UI/ExtruderCalibration.h"
#include "UI/PlatformLevel.h"
#include "UI/home.h"
#include "UI/loadfilament.h"
#include "UI/manual.h"
#include "UI/unloadfilament.h"
#include "tests/support/PrintPageRig.h"

#include <QLabel>

using namespace PageTools;

namespace {

const QString Stuck = "did not finish";
const QString Silent = "not answering";

// Homing and heating take little machine time, so a row's time is the
// controller's own slowness.
ControllerSimulator::Options slowControllerOptions(double timeScale)
{
    ControllerSimulator::Options o = SimHarness::fastOptions();
    o.timeScale = timeScale;
    o.ambient = 190;
    o.unhomedTravel = 20;
    return o;
}

// The page's texts name no trouble.
bool noTroubleShown(QWidget* page)
{
    for (QLabel* l : page->findChildren<QLabel*>())
        if (l->text().contains(Stuck) || l->text().contains(Silent))
            return false;
    const QString message = PrintPageRig::messageText();
    return !message.contains(Stuck) && !message.contains(Silent);
}

void addLatencyRows()
{
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::newRow("200-1400 ms") << 200 << 1400;
    QTest::newRow("1600-2500 ms") << 1600 << 2500;
}

// The page goes with the row, also when a check fails: it must not outlive its link.
struct PageCloser {
    QPointer<QWidget>& page;
    ~PageCloser()
    {
        delete page.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

// The main window's nozzle status: "<current>/<target>" and the degree sign.
QString statusNozzle(PrintPageRig& rig) { return label(rig.mainWindow, "nozzleTemp"); }

}

class TestLateReplies : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        LoadFilament::tickMs = UnloadFilament::tickMs = 1000;
        ExtruderCalibration::stepIntervalMs = 20;
    }
    void cleanup() { PrintPageRig::closeDialogs(); }

    // A print whose replies turn late once it streams: every line once and in
    // order, no stop, the finish's park and "Build completed!"; the status row
    // reads the nozzle meanwhile.
    void print_data() { addLatencyRows(); }
    void print()
    {
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        PrintPageRig rig(slowControllerOptions(1));
        QByteArray job = StreamCheck::makeMoves(24, 8, 1.0, "G90\nM82\nG92 E0\nG1 Z200 F600\n");
        job.prepend("M104 S200 T0\nM140 S60\n;layer_count:3\n");
        const QStringList lines = StreamCheck::expectedLines(job).filter("G1 X");
        rig.startJob("slow.gcode", job);
        QVERIFY(rig.waitStreaming());
        rig.sim().replyLatency(minMs, maxMs);
        // The status row shows what the controller reads, never 0/0. While the
        // print thread waits up to 2.5 s for each of its own replies, a screen
        // call cannot fit a wait for the line and one for its own answer into
        // its budget: the row then keeps the last reading.
        rig.sim().pinNozzleTemperature(203);
        if (maxMs < 1500)
            QVERIFY2(rig.waitFor([&] { return statusNozzle(rig) == QString("203/200\u2103"); }, 15000),
                     qPrintable(statusNozzle(rig)));
        QVERIFY2(statusNozzle(rig).endsWith("/200\u2103") && !statusNozzle(rig).startsWith("0/"),
                 qPrintable(statusNozzle(rig)));
        rig.sim().pinNozzleTemperature(-1);
        QVERIFY(rig.waitPageGone(150000));
        QCOMPARE(PrintPageRig::messageText(), QString("Build completed!"));
        // What the controller has not taken yet goes out meanwhile.
        QVERIFY(rig.waitFor([&] { return rig.link()->pendingSafetyCommands() + rig.link()->keptCommands() == 0; }, 20000));
        const QStringList cmds = rig.commands();
        const int first = cmds.indexOf(lines.first());
        const int finish = cmds.indexOf("G92 X100 Y100 Z212.00");
        QVERIFY2(first >= 0 && finish > first && !cmds.mid(first, finish - first).contains("M112"),
                 qPrintable(cmds.join(", ")));
        QCOMPARE(StreamCheck::fileLinesIn(rig.sim().transcript(), lines), lines);
        QCOMPARE(finishMismatch(cmds, lines.last()), QString());
    }

    // The status row of an idle main window shows what the controller reads.
    void status_data() { addLatencyRows(); }
    void status()
    {
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        ControllerSimulator::Options o = slowControllerOptions(50);
        PrintPageRig rig(o);
        rig.sim().replyLatency(minMs, maxMs);
        rig.sim().setTemperatures(207, 55);
        rig.sim().pinNozzleTemperature(207);
        QVERIFY2(rig.waitFor([&] { return statusNozzle(rig) == QString("207/0\u2103"); }, 15000),
                 qPrintable(statusNozzle(rig)));
        rig.link()->Heating(215);
        QVERIFY2(rig.waitFor([&] { return statusNozzle(rig) == QString("207/215\u2103"); }, 15000),
                 qPrintable(statusNozzle(rig)));
        QVERIFY(!rig.commands().contains("M112"));
    }

    // The tool pages that drive the machine, each to its first step after
    // homing (or its first move), with every reply 1.6 to 2.5 s late: what
    // they send is their own sequence (and what follows it, as far as it
    // got), no stop of their own and no trouble named.
    void toolPages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("sequence");
        QTest::addColumn<QString>("until");        // a command sent, or what the page shows
        QTest::addColumn<QStringList>("then");     // what the page may send next
        QTest::addColumn<double>("timeScale");     // the long Z moves of levelling and probing run faster
        const QStringList homing{"G28 Z", "G28 X", "G28 Y"};
        QTest::newRow("homing") << "home" << QStringList{"M17"} + homing + QStringList{"G90", "G92 X100 Y102 Z212.00 A0 B0"}
                                << "Homing completed" << QStringList() << 1.0;
        QTest::newRow("load") << "load"
                              << QStringList{"M104 S230 T0"} + homing
                                     + QStringList{"M112", "G90", "G92 X100 Y102 Z212.00 A0 B0", "G1 X0 Y0 F2000", "M112",
                                                   "G92 E0", "G1 E500 F180"}
                              << "G1 E500 F180" << QStringList() << 1.0;
        QTest::newRow("unload") << "unload" << QStringList{"M104 S230 T0", "M112", "G92 E0", "G1 E10 F180", "G1 E-200 F1000"}
                                << "G1 E-200 F1000" << QStringList() << 1.0;
        QTest::newRow("levelling") << "level"
                                   << QStringList{"M112", "M17"} + homing
                                          + QStringList{"M112", "G92 X100 Y100 Z212.0", "G1 X5 Y80 F2000", "G1 Z3 F300"}
                                   << "arrived" << QStringList() << 5.0;
        QTest::newRow("probing") << "probe"
                                 << QStringList{"M112"} + homing
                                        + QStringList{"M112", "G92 X100 Y102 Z212.00 A0 B0", "M141 T219", "G1 Z15 F300",
                                                      "G1 X-80 Y100 F2000"}
                                 << "G1 X-80 Y100 F2000"
                                 << QStringList{"M112", "M141 T65", "G1 Z0 F200", "M112", "M141 T219", "M141 T219",
                                                "G1 Z15 F300", "G1 X20 Y100 F2000"}
                                 << 5.0;
    }
    void toolPages()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, sequence);
        QFETCH(QString, until);
        QFETCH(QStringList, then);
        QFETCH(double, timeScale);
        PrintPageRig rig(slowControllerOptions(timeScale));
        rig.sim().replyLatency(1600, 2500);
        QPointer<QWidget> opened;
        if (page == "home") {
            opened = Home::instHome = new Home(nullptr);
        } else if (page == "load") {
            opened = new LoadFilament(nullptr);
        } else if (page == "unload") {
            opened = new UnloadFilament(nullptr);
        } else if (page == "level") {
            opened = new PlatformLevel(nullptr);
        } else {
            opened = openProbingPage();
        }
        QVERIFY(opened);
        const PageCloser closing{opened};
        opened->show();
        const auto reached = [&] {
            if (until == "Homing completed")
                return label(opened, "label") == until;
            if (until == "arrived")
                return !OneLableDialog::instOneLableDialog && opened->findChild<QToolButton*>("ok")->isVisible();
            return rig.sent(until);
        };
        QVERIFY2(rig.waitFor(reached, 90000), qPrintable(rig.commands().join(", ")));
        QTest::qWait(2500);   // a stop that would follow
        QVERIFY2(noTroubleShown(opened), qPrintable(rig.commands().join(", ")));
        const QStringList sent = onceEach(rig.commands());
        const QStringList expected = onceEach(sequence + then);
        QVERIFY2(sent.size() >= sequence.size() && sent.size() <= expected.size()
                     && sent == expected.mid(0, sent.size()),
                 qPrintable(sent.join(", ")));
        rig.sim().replyLatency(0, 0);
    }

    // The jog page: each arrow's move, then the release's stop, nothing more.
    void jog_data() { addLatencyRows(); }
    void jog()
    {
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        PrintPageRig rig(slowControllerOptions(1));
        rig.sim().replyLatency(minMs, maxMs);
        QPointer<QWidget> page = new Manual(nullptr);
        const PageCloser closing{page};
        page->show();
        const QStringList moves{"G1 X1000 F2000", "G1 Y-1000 F2000", "G1 Z1000 F300"};
        QStringList expected{"M17"};
        for (const char* arrow : {"Xp", "Ym", "Zm"}) {
            QTest::qWait(500);   // a finger between two arrows
            QToolButton* b = page->findChild<QToolButton*>(arrow);
            QTest::mousePress(b, Qt::LeftButton);
            QTest::qWait(300);
            QTest::mouseRelease(b, Qt::LeftButton);
            expected << moves[expected.size() / 2] << "M112";
        }
        QTest::qWait(maxMs);
        QStringList sent = rig.commands();
        sent.removeAll("M114");
        sent = onceEach(sent);
        // A move whose touch found the event's time spent is kept, and the
        // release's stop gives it up: it never starts, which is safe.
        for (const QString& m : moves)
            if (!sent.contains(m))
                expected.removeOne(m);
        QVERIFY2(sent == onceEach(expected), qPrintable(sent.join(", ")));
        QVERIFY(!rig.sim().moving());
        click(page, "back");
        QVERIFY(gone(page, 20000));
    }
};

QTEST_MAIN(TestLateReplies)
#include "test_latereplies.moc"
