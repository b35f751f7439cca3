// A busy controller is not a broken one: a long dwell, a heat wait or a slow
// homing keeps the machine without a freed slot for longer than a page's move
// limit, and the pages must wait for it instead of stopping the machine.
#include "UI/ExtruderCalibration.h"
#include "UI/PlatformLevel.h"
#include "UI/home.h"
#include "UI/loadfilament.h"
#include "UI/printctl.h"
#include "UI/printdetail.h"
#include "tests/support/PrintPageRig.h"

namespace {

QByteArray move(int i)
{
    return "G1 X" + QByteArray::number(50 + i * 0.1, 'f', 1) + " Y50 F6000\n";
}

// The simulator runs 50 times faster than the machine: a flow limit of 4 s
// stands for 200 s, shorter than the long operation (300 s) it waits behind.
LinkTiming shortFlowLimit()
{
    LinkTiming t;
    t.flowMs = 4000;
    return t;
}

// The simulator for a job with a long operation: a heat wait from 200 C to
// 260 C takes 300 s, as long as the dwell.
ControllerSimulator::Options busyOptions(bool heatWait)
{
    ControllerSimulator::Options options = SimHarness::fastOptions();
    if (heatWait) {
        options.heatRate = 0.2;
        options.ambient = 190;
    }
    return options;
}

// A job of unique short moves with `op` after the first `before` of them.
QByteArray jobWith(const QByteArray& op, int before, int after)
{
    QByteArray f = "M104 S200 T0\nM140 S60\n;layer_count:2\nG90\nG92 E0\n;layer:0\n";
    for (int i = 0; i < before; ++i)
        f += move(i);
    f += op + "\n";
    if (after > 0)
        f += ";layer:1\n";
    for (int i = before; i < before + after; ++i)
        f += move(i);
    return f;
}

// The file's lines that no page sends as well: each must arrive once, in order.
QStringList ownLines(const QByteArray& job, const QString& op)
{
    QStringList out;
    for (const QString& l : StreamCheck::expectedLines(job))
        if (l.startsWith("G1 X") || l == op)
            out << l;
    return out;
}

// No stop reached the controller from the first line of the file to the finish.
bool noStopWhileBusy(PrintPageRig& rig, const QStringList& lines)
{
    const QStringList cmds = rig.commands();
    const int first = cmds.indexOf(lines.first());
    const int finish = cmds.lastIndexOf("G92 X100 Y100 Z212.00");
    return first >= 0 && finish > first && !cmds.mid(first, finish - first).contains("M112");
}

// A job whose last `count` moves take 6 s each (60 mm at 600 mm/min), enough
// to fill every slot of the controller; each move unique.
QByteArray jobEndingInLongMoves(int count)
{
    QByteArray f = jobWith("G1 X20.00 Y60 F600", 20, 0);
    for (int i = 1; i <= count; ++i)
        f += "G1 X" + QByteArray::number((i % 2 ? 80 : 20) + i * 0.01, 'f', 2) + " Y60 F600\n";
    return f;
}

// Long moves at 10 times the machine's speed: a slot frees every 0.6 s, longer
// than one exchange limit of these link timings (0.44 s), all a screen event may wait.
ControllerSimulator::Options longMoveOptions()
{
    ControllerSimulator::Options options = SimHarness::fastOptions();
    options.timeScale = 10;
    options.heatRate = 60;
    options.unhomedTravel = 60;
    return options;
}

LinkTiming longMoveTiming() { return LinkTiming{200, 20, 4000, 3000}; }

// Why the job did not end well; empty when it ended "Build completed!" with
// every line of the file once and in order and no stop from its first line
// to the finish.
QString notCompleted(PrintPageRig& rig, const QStringList& lines)
{
    if (!rig.waitPageGone(60000))
        return "the page stayed open";
    if (PrintPageRig::messageText() != "Build completed!")
        return "the job ended with \"" + PrintPageRig::messageText() + "\"";
    if (!noStopWhileBusy(rig, lines))
        return "a stop while busy: " + rig.commands().join(", ");
    if (StreamCheck::fileLinesIn(rig.sim().transcript(), lines) != lines)
        return "file lines missing, repeated or out of order";
    return {};
}

}

class TestBusyMachine : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        PrintPageRig::closeDialogs();
        LoadFilament::tickMs = 1000;
        ExtruderCalibration::stepIntervalMs = 1000;
    }

    // Paused while the controller dwells for 300 s, or waits for its nozzle
    // to heat to a higher target: the pause parks once the controller is
    // done, Resume finishes the job, and every line arrived once, in order.
    void pauseBehindLongOperation_data()
    {
        QTest::addColumn<QString>("op");
        QTest::newRow("dwell") << "G4 S300";
        QTest::newRow("heat wait") << "M109 S260";
    }
    void pauseBehindLongOperation()
    {
        QFETCH(QString, op);
        PrintPageRig rig(busyOptions(op.startsWith("M109")));
        rig.link()->setTiming(shortFlowLimit());
        const QByteArray job = jobWith(op.toLatin1(), 40, 60);
        const QStringList lines = ownLines(job, op);
        rig.startJob("busy.gcode", job);
        QVERIFY(rig.waitSent(op, 30000));
        rig.press("play_pause");
        QCOMPARE(rig.state(), 2);

        QVERIFY(rig.waitSettled(2, 30000));
        QVERIFY(PrintPageRig::messageText().isEmpty());
        QVERIFY(rig.button("play_pause")->styleSheet().contains("Resume.png"));
        const QStringList paused = rig.commands();
        QVERIFY(paused.contains("G1 X95 Y97 F2000"));   // parked
        // The pause took the position once the controller was done: where the
        // last line sent before it leaves the head.
        const int heatersOff = paused.indexOf("M104 S0 T0", paused.indexOf(lines.first()));
        QString last;
        for (const QString& l : paused.mid(0, heatersOff))
            if (l.startsWith("G1 X") && l.endsWith(" Y50 F6000"))
                last = l.section(' ', 1, 1).mid(1);

        const int resumeFrom = rig.mark();
        rig.press("play_pause");
        QVERIFY(rig.waitFor([&] { return rig.commands(resumeFrom).filter(" F2000").size() > 0; }, 30000));
        const QString back = rig.commands(resumeFrom).filter(" F2000").first();
        QVERIFY2(back.startsWith("G1 X") && qAbs(back.section(' ', 1, 1).mid(1).toDouble() - last.toDouble()) < 0.01,
                 qPrintable(back + " after " + last));
        QCOMPARE(notCompleted(rig, lines), QString());
    }

    // A dwell or a heat wait in mid-print holds the controller's buffer full
    // for longer than the link's flow limit: the job goes on once it is done.
    void longOperationMidPrint_data()
    {
        QTest::addColumn<QString>("op");
        QTest::newRow("dwell") << "G4 S300";
        QTest::newRow("heat wait") << "M109 S260";
    }
    void longOperationMidPrint()
    {
        QFETCH(QString, op);
        PrintPageRig rig(busyOptions(op.startsWith("M109")));
        rig.link()->setTiming(shortFlowLimit());
        const QByteArray job = jobWith(op.toLatin1(), 40, 60);
        const QStringList lines = ownLines(job, op);
        rig.startJob("busy.gcode", job);
        QCOMPARE(notCompleted(rig, lines), QString());
    }

    // A file that ends with a 200 s dwell: the finish waits for it.
    void dwellAtTheEnd()
    {
        ControllerSimulator::Options options = SimHarness::fastOptions();
        options.timeScale = 20;
        PrintPageRig rig(options);
        const QByteArray job = jobWith("G4 S200", 40, 0);
        const QStringList lines = ownLines(job, "G4 S200");
        rig.startJob("dwell.gcode", job);
        QCOMPARE(notCompleted(rig, lines), QString());
    }

    // The file ends in long moves that fill the controller's buffer: the
    // finish's heaters off, park and coordinate set wait for room and all
    // arrive, in order, after the last line; the job completes.
    void finishBehindLongMoves()
    {
        PrintPageRig rig(longMoveOptions());
        rig.link()->setTiming(longMoveTiming());
        const QByteArray job = jobEndingInLongMoves(17);
        const QStringList lines = ownLines(job, "");
        rig.startJob("long.gcode", job);
        QCOMPARE(notCompleted(rig, lines), QString());
        QCOMPARE(finishMismatch(rig.commands(), lines.last()), QString());
    }

    // The nozzle target set on the adjustments page while long moves hold the
    // buffer full reaches the controller; the page and the status show it.
    void adjustWhileBufferFull()
    {
        PrintPageRig rig(longMoveOptions());
        rig.link()->setTiming(longMoveTiming());
        const QByteArray job = jobEndingInLongMoves(24);
        const QStringList lines = ownLines(job, "");
        rig.startJob("adjust.gcode", job);
        // Every slot taken by long moves, seven more to go.
        QVERIFY(rig.waitSent(lines.at(lines.size() - 8), 60000));
        QCOMPARE(rig.sim().freeSlots(), 0);
        rig.press("buildSetting");
        QVERIFY(PrintCtl::instHandle);
        PageTools::click(PrintCtl::instHandle, "printset");
        PrintDetail* page = PrintDetail::instPrintDetail;
        QVERIFY(page);
        QCOMPARE(PageTools::label(page, "extruderTemp"), QString("200"));
        for (int i = 0; i < 15; ++i)
            PageTools::click(page, "btnNozzleInc");
        PageTools::click(page, "ok");
        QCOMPARE(PageTools::label(page, "extruderTemp"), QString("215"));
        QVERIFY(rig.waitFor([&] { return rig.sim().nozzleTarget() == 215; }, 10000));
        QVERIFY2(rig.waitFor([&] { return rig.text("extruderTemp").endsWith("/215"); }, 10000),
                 qPrintable(rig.text("extruderTemp")));
        PrintPageRig::closeMessage();
        QCOMPARE(notCompleted(rig, lines), QString());
        const QStringList cmds = rig.commands();
        QCOMPARE(cmds.count("M104 S215 T0"), 1);
        QVERIFY(cmds.indexOf("M104 S215 T0") < cmds.indexOf(lines.last()));
        QCOMPARE(finishMismatch(rig.commands(), lines.last()), QString());
    }

    // A Z axis that homes over 212 mm at 200 mm/min (64 s): every page that
    // homes gets on with its work after it.
    void slowHoming_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("next");   // sent only once homing has succeeded
        QTest::newRow("homing page") << "home" << "G92 X100 Y102 Z212.00 A0 B0";
        QTest::newRow("load wizard") << "load" << "G1 X0 Y0 F2000";
        QTest::newRow("levelling") << "level" << "G1 X5 Y80 F2000";
        QTest::newRow("probing") << "probe" << "G1 X-80 Y100 F2000";
        QTest::newRow("print start") << "print" << "G1 X-90 Y-90 F2000";
    }
    void slowHoming()
    {
        QFETCH(QString, page);
        QFETCH(QString, next);
        ControllerSimulator::Options options = SimHarness::fastOptions();
        options.homingSpeed[2] = 200.0 / 60.0;
        options.unhomedTravel = 212;
        PrintPageRig rig(options);
        LoadFilament::tickMs = 100;
        ExtruderCalibration::stepIntervalMs = 20;
        QPointer<QWidget> opened;
        if (page == "home")
            opened = Home::instHome = new Home(nullptr);
        else if (page == "load")
            opened = new LoadFilament(nullptr);
        else if (page == "level")
            opened = new PlatformLevel(nullptr);
        else if (page == "probe")
            opened = new ExtruderCalibration(nullptr);
        else
            rig.startJob("slowhome.gcode", makeJob(1, 20, 200, 60));
        if (opened)
            opened->show();
        QVERIFY(rig.waitSent(next, 30000));
        const QStringList sent = rig.sim().transcript();
        const int z = sent.indexOf("G28 Z"), x = sent.indexOf("G28 X"), y = sent.indexOf("G28 Y");
        QVERIFY(z >= 0 && x > z && y > x);
        QVERIFY(!sent.mid(z, y - z).contains("M112"));
        delete opened.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TestBusyMachine)
#include "test_busymachine.moc"
