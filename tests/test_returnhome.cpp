// The homing executor against the simulator: order of the axes, one
// callback, and a listener that goes away while homing runs.
#include "Execute/CExecuteReturnHome.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"

#include <QtTest>

namespace {

struct Listener : ReturnHomeListener {
    void checkReturnHomeDone() override { ++calls; }
    int calls = 0;
};

QStringList homingCommands(const QStringList& transcript)
{
    return transcript.filter(QRegularExpression("^G28"));
}

}

class TestReturnHome : public QObject {
    Q_OBJECT
private slots:
    void homesZThenXThenY();
    void homesZOnly();
    void unregisterEndsTheRunWithoutACall();
    void listenerRegisteredLaterGetsTheCall();
    void homingAgainWaitsForTheNewRun();
};

void TestReturnHome::homesZThenXThenY()
{
    SimHarness h;
    h.link();
    Listener l;
    ExecuteReturnHome().setObject(&l);
    ExecuteReturnHome().returnHome(false);
    QVERIFY(ExecuteReturnHome().isHoming());
    QCOMPARE(l.calls, 0);   // returns at once: the run is driven by timers
    QVERIFY(SimHarness::waitUntil([&] { return l.calls > 0; }, 8000));
    QTest::qWait(300);
    QCOMPARE(l.calls, 1);
    QVERIFY(!ExecuteReturnHome().isHoming());
    const QStringList tr = h.sim().transcript();
    QCOMPARE(homingCommands(tr), QStringList({"G28 Z", "G28 X", "G28 Y"}));
    // Each axis is asked for its end stop after its own homing command.
    QVERIFY(tr.indexOf("M119", tr.indexOf("G28 Z")) < tr.indexOf("G28 X"));
    QVERIFY(tr.indexOf("M119", tr.indexOf("G28 X")) < tr.indexOf("G28 Y"));
    QVERIFY(tr.indexOf("M119", tr.indexOf("G28 Y")) > 0);
    const auto stops = h.sim().endStops();
    QVERIFY(stops.x && stops.y && stops.z);
    ExecuteReturnHome().setObject(nullptr);
}

void TestReturnHome::homesZOnly()
{
    SimHarness h;
    h.link();
    Listener l;
    ExecuteReturnHome().setObject(&l);
    ExecuteReturnHome().returnHome(true);
    QVERIFY(SimHarness::waitUntil([&] { return l.calls > 0; }, 8000));
    QTest::qWait(300);
    QCOMPARE(l.calls, 1);
    QCOMPARE(homingCommands(h.sim().transcript()), QStringList({"G28 Z"}));
    QVERIFY(h.sim().endStops().z);
    QVERIFY(!h.sim().endStops().x);
    ExecuteReturnHome().setObject(nullptr);
}

void TestReturnHome::unregisterEndsTheRunWithoutACall()
{
    SimHarness h;
    h.link();
    Listener l;
    ExecuteReturnHome().setObject(&l);
    ExecuteReturnHome().returnHome(false);
    QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains("G28 Z"); }, 3000));
    ExecuteReturnHome().setObject(nullptr);   // the page closes
    QVERIFY(!ExecuteReturnHome().isHoming());
    QTest::qWait(1500);
    QCOMPARE(l.calls, 0);
    QCOMPARE(homingCommands(h.sim().transcript()), QStringList({"G28 Z"}));
}

void TestReturnHome::listenerRegisteredLaterGetsTheCall()
{
    SimHarness h;
    h.link();
    Listener first, second;
    ExecuteReturnHome().setObject(&first);
    ExecuteReturnHome().returnHome(true);
    ExecuteReturnHome().setObject(&second);
    QVERIFY(SimHarness::waitUntil([&] { return second.calls > 0; }, 8000));
    QTest::qWait(200);
    QCOMPARE(first.calls, 0);
    QCOMPARE(second.calls, 1);
    ExecuteReturnHome().setObject(nullptr);
}

void TestReturnHome::homingAgainWaitsForTheNewRun()
{
    SimHarness h;
    h.link();
    Listener l;
    ExecuteReturnHome().setObject(&l);
    ExecuteReturnHome().returnHome(true);
    QVERIFY(SimHarness::waitUntil([&] { return l.calls == 1; }, 8000));
    // Z is home already; a new run must still see its own homing through.
    h.link()->serialSendCode("G1 Z30 F600");
    ExecuteReturnHome().returnHome(true);
    QVERIFY(SimHarness::waitUntil([&] { return l.calls == 2; }, 8000));
    QCOMPARE(homingCommands(h.sim().transcript()), QStringList({"G28 Z", "G28 Z"}));
    QVERIFY(h.sim().endStops().z);
    QCOMPARE(h.sim().position().z, 0.0);
    ExecuteReturnHome().setObject(nullptr);
}

QTEST_GUILESS_MAIN(TestReturnHome)
#include "test_returnhome.moc"
