// Telling a busy machine from a stuck one, from the commands the link writes
// and the replies it takes, on a clock of the test's own.
#include "serial/ControllerProtocol.h"
#include "serial/MachineProgress.h"

#include <QTest>

namespace {

using TimePoint = MachineProgress::TimePoint;

// A script, one step a line:
//   "@<ms>"                   the clock reads ms
//   "> <command>"             the command went to the controller
//   "< <command> = <reply>"   its reply was taken ("< = <reply>": a print line in flight)
//   "busy <limit>"            a wait with that limit must not give up now
//   "stuck <limit>"           ... must give up now
//   "allow <ms>"              allowanceMs() is ms
//   "heat" / "no heat"        whether a heat wait may hold the controller
void run(const QStringList& script)
{
    int64_t clockMs = 0;
    const TimePoint epoch{};
    MachineProgress p([&] { return epoch + std::chrono::milliseconds(clockMs); });
    for (const QString& step : script) {
        const QString arg = step.section(' ', 1);
        if (step.startsWith('@')) {
            clockMs = step.mid(1).toLongLong();
        } else if (step.startsWith("> ")) {
            p.commandSent(arg.toStdString());
        } else if (step.startsWith("< ")) {
            const QString line = " " + arg;
            const std::string command = line.section(" = ", 0, 0).trimmed().toStdString();
            const std::string reply = line.section(" = ", 1).toStdString() + "\n";
            p.replyTaken(command, reply);
        } else if (step.startsWith("busy ") || step.startsWith("stuck ")) {
            QVERIFY2(p.quietFor(arg.toInt()) == step.startsWith("stuck"),
                     qPrintable(QString("%1 at %2 ms").arg(step).arg(clockMs)));
        } else if (step.startsWith("allow ")) {
            QVERIFY2(p.allowanceMs() == arg.toLongLong(),
                     qPrintable(QString("%1 at %2 ms: %3").arg(step).arg(clockMs).arg(p.allowanceMs())));
        } else if (step == "heat" || step == "no heat") {
            QVERIFY2(p.heatWaitPending() == (step == "heat"), qPrintable(QString("%1 at %2 ms").arg(step).arg(clockMs)));
        } else {
            QFAIL(qPrintable("bad step " + step));
        }
    }
}

// An idle controller with 16 free slots: the buffer's size is known.
const QString Idle = "< M105 = 16 T:200/200 B:60/60";

}

class TestMachineProgress : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ControllerProtocol::setMachineTimeScale(1.0); }

    void rules_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<QStringList>("script");
        QTest::newRow("nothing shows progress") << 1.0 << QStringList{Idle, "@10000", "busy 10000", "@10001", "stuck 10000"};
        QTest::newRow("a freed slot starts the limit again")
            << 1.0 << QStringList{Idle, "> G1 X10", "< G1 X10 = 15 ok", "> G1 X20", "< G1 X20 = 14 ok",
                                  "@8000", "< M121 = 15 B", "@18000", "busy 10000", "@18001", "stuck 10000"};
        QTest::newRow("the same count is no progress")
            << 1.0 << QStringList{Idle, "> G1 X10", "< G1 X10 = 15 ok", "@8000", "< M121 = 15 B", "@10001", "stuck 10000"};
        QTest::newRow("a dwell adds its own time from when it was sent")
            << 1.0 << QStringList{Idle, "@1000", "> G4 S300", "< G4 S300 = 15 ok", "allow 300000", "no heat",
                                  "@200000", "< M121 = 15 B", "allow 101000", "@311000", "busy 10000", "@311001", "stuck 10000"};
        QTest::newRow("a dwell in milliseconds")
            << 1.0 << QStringList{Idle, "@1000", "> G4 P5000", "< G4 P5000 = 15 ok", "@16000", "busy 10000", "@16001", "stuck 10000"};
        QTest::newRow("queued dwells add up")
            << 1.0 << QStringList{Idle, "> G4 S100", "< G4 S100 = 15 ok", "> G4 S100", "< G4 S100 = 14 ok",
                                  "allow 200000", "@210000", "busy 10000", "@210001", "stuck 10000"};
        // The moves ahead of a dwell free their slots; the dwell starts after them.
        QTest::newRow("a dwell behind moves")
            << 1.0 << QStringList{Idle, "> G1 X10", "< G1 X10 = 15 ok", "> G1 X20", "< G1 X20 = 14 ok", "> G1 X30",
                                  "< G1 X30 = 13 ok", "> G4 S100", "< G4 S100 = 12 ok", "@20000", "< M121 = 13 B",
                                  "@40000", "< M121 = 14 B", "@60000", "< M121 = 15 B", "@170000", "busy 10000",
                                  "@170001", "stuck 10000"};
        QTest::newRow("a dwell the count shows gone")
            << 1.0 << QStringList{Idle, "> G4 S100", "< G4 S100 = 15 ok", "@1000", "< M105 = 16 T:200/200 B:60/60",
                                  "allow 0", "@11001", "stuck 10000"};
        QTest::newRow("every move ended: nothing held")
            << 1.0 << QStringList{"> G4 S100", "< G4 S100 = 15 ok", "@1000", "< M121 = 15 F", "@10001", "stuck 10000"};
        QTest::newRow("a stop empties the controller")
            << 1.0 << QStringList{Idle, "> G4 S100", "< G4 S100 = 15 ok", "> M112", "< M112 = 15 ok", "@10001", "stuck 10000"};
        // Print lines in flight: replies answer the oldest line; those after it are held whatever the count.
        QTest::newRow("a dwell among lines in flight")
            << 1.0 << QStringList{Idle, "> G1 X10", "> G4 S100", "> G1 X20", "> G1 X30", "< = 15 ok", "@109000",
                                  "busy 10000"};
        QTest::newRow("a dwell behind lines in flight, done")
            << 1.0 << QStringList{Idle, "> G1 X10", "> G4 S100", "> G1 X20", "> G1 X30", "< = 15 ok", "< = 14 ok",
                                  "< = 13 ok", "< = 12 ok", "@50000", "busy 10000", "< M121 = 14 B", "@60000",
                                  "busy 10000", "@60001", "stuck 10000"};
        QTest::newRow("a new position")
            << 1.0 << QStringList{Idle, "< M114 = 16 X:0.00 Y:0.00 Z:5.00 E:0.00", "@8000",
                                  "< M114 = 16 X:1.00 Y:0.00 Z:5.00 E:0.00", "@18000", "busy 10000", "@18001", "stuck 10000"};
        QTest::newRow("the same position")
            << 1.0 << QStringList{Idle, "< M114 = 16 X:0.00 Y:0.00 Z:5.00 E:0.00", "@8000",
                                  "< M114 = 16 X:0.00 Y:0.00 Z:5.00 E:0.00", "@10001", "stuck 10000"};
        QTest::newRow("a heat wait, its heater nearing the target")
            << 1.0 << QStringList{Idle, "> M109 S260", "< M109 S260 = 15 ok", "heat", "@8000",
                                  "< M105 = 15 T:210/260 B:60/60", "@16000", "< M105 = 15 T:220/260 B:60/60",
                                  "@56000", "busy 10000", "@56001", "stuck 10000"};
        QTest::newRow("a heat wait for the bed")
            << 1.0 << QStringList{"< M105 = 16 T:200/200 B:30/60", "> M190 S60", "< M190 S60 = 15 ok", "@8000",
                                  "< M105 = 15 T:200/200 B:40/60", "@48000", "busy 10000", "@48001", "stuck 10000"};
        QTest::newRow("a heat wait without readings")
            << 1.0 << QStringList{Idle, "> M109 S260", "< M109 S260 = 15 ok", "@40000", "busy 10000", "@40001", "stuck 10000"};
        QTest::newRow("a heater nearing its target, no heat wait")
            << 1.0 << QStringList{"< M105 = 16 T:200/260 B:60/60", "@8000", "< M105 = 16 T:220/260 B:60/60",
                                  "no heat", "@10001", "stuck 10000"};
        QTest::newRow("a heater moving away during a heat wait")
            << 1.0 << QStringList{"< M105 = 16 T:200/260 B:60/60", "> M109 S260", "< M109 S260 = 15 ok", "@8000",
                                  "< M105 = 15 T:190/260 B:60/60", "@40001", "stuck 10000"};
        QTest::newRow("machine time, scaled")
            << 50.0 << QStringList{Idle, "> G4 S300", "< G4 S300 = 15 ok", "allow 6000", "@16000", "busy 10000",
                                   "@16001", "stuck 10000"};
        QTest::newRow("a fault: no reply yet, the dwell still counts")
            << 1.0 << QStringList{Idle, "> G4 S100", "@100000", "busy 10000", "@110001", "stuck 10000"};
    }
    void rules()
    {
        QFETCH(double, scale);
        QFETCH(QStringList, script);
        ControllerProtocol::setMachineTimeScale(scale);
        run(script);
    }

    // The homing limits: the longest travel at the slowest plausible speed, twice, and 10 s more.
    void homingLimits()
    {
        QCOMPARE(ControllerProtocol::homingLimitMs('X'), 56000);
        QCOMPARE(ControllerProtocol::homingLimitMs('Y'), 56000);
        QCOMPARE(ControllerProtocol::homingLimitMs('Z'), 240000);
        ControllerProtocol::setMachineTimeScale(50);
        QCOMPARE(ControllerProtocol::homingLimitMs('Z'), 4800);
    }
};

QTEST_GUILESS_MAIN(TestMachineProgress)
#include "test_machineprogress.moc"
