// The homing executor against the simulator: order of the axes, one
// callback, and a listener that goes away while homing runs.
#include "Execute/CExecuteReturnHome.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"

#include <QtTest>
#include <memory>

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
    std::unique_ptr<SimHarness> m_h;
    Listener m_l;

private slots:
    void init()
    {
        m_h = std::make_unique<SimHarness>();
        m_h->link();
        m_l.calls = 0;
        ExecuteReturnHome().setObject(&m_l);
    }
    void cleanup()
    {
        ExecuteReturnHome().setObject(nullptr);
        m_h.reset();
    }

    void homesOnce_data()
    {
        QTest::addColumn<bool>("zOnly");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("all axes, Z first") << false << QStringList({"G28 Z", "G28 X", "G28 Y"});
        QTest::newRow("Z only") << true << QStringList({"G28 Z"});
    }
    void homesOnce()
    {
        QFETCH(bool, zOnly);
        QFETCH(QStringList, commands);
        ExecuteReturnHome().returnHome(zOnly);
        QVERIFY(ExecuteReturnHome().isHoming());
        QCOMPARE(m_l.calls, 0);   // returns at once: the run is driven by timers
        QVERIFY(SimHarness::waitUntil([&] { return m_l.calls > 0; }, 8000));
        QTest::qWait(300);
        QCOMPARE(m_l.calls, 1);
        QVERIFY(!ExecuteReturnHome().isHoming());
        const QStringList tr = m_h->sim().transcript();
        QCOMPARE(homingCommands(tr), commands);
        // Each axis is asked for its end stop after its own homing command, before the next.
        for (int i = 0; i < commands.size(); ++i) {
            const int ask = tr.indexOf("M119", tr.indexOf(commands[i]));
            QVERIFY(ask > 0);
            if (i + 1 < commands.size())
                QVERIFY(ask < tr.indexOf(commands[i + 1]));
        }
        const auto stops = m_h->sim().endStops();
        QVERIFY(stops.z && stops.x != zOnly && (zOnly || stops.y));
    }

    void unregisterEndsTheRunWithoutACall()
    {
        ExecuteReturnHome().returnHome(false);
        QVERIFY(SimHarness::waitUntil([&] { return m_h->sim().transcript().contains("G28 Z"); }, 3000));
        ExecuteReturnHome().setObject(nullptr);   // the page closes
        QVERIFY(!ExecuteReturnHome().isHoming());
        QTest::qWait(1500);
        QCOMPARE(m_l.calls, 0);
        QCOMPARE(homingCommands(m_h->sim().transcript()), QStringList({"G28 Z"}));
    }

    void listenerRegisteredLaterGetsTheCall()
    {
        Listener second;
        ExecuteReturnHome().returnHome(true);
        ExecuteReturnHome().setObject(&second);
        QVERIFY(SimHarness::waitUntil([&] { return second.calls > 0; }, 8000));
        QTest::qWait(200);
        QCOMPARE(m_l.calls, 0);
        QCOMPARE(second.calls, 1);
    }

    void homingAgainWaitsForTheNewRun()
    {
        ExecuteReturnHome().returnHome(true);
        QVERIFY(SimHarness::waitUntil([&] { return m_l.calls == 1; }, 8000));
        // Z is home already; a new run must still see its own homing through.
        m_h->link()->serialSendCode("G1 Z30 F600");
        ExecuteReturnHome().returnHome(true);
        QVERIFY(SimHarness::waitUntil([&] { return m_l.calls == 2; }, 8000));
        QCOMPARE(homingCommands(m_h->sim().transcript()), QStringList({"G28 Z", "G28 Z"}));
        QVERIFY(m_h->sim().endStops().z);
        QCOMPARE(m_h->sim().position().z, 0.0);
    }
};

QTEST_GUILESS_MAIN(TestReturnHome)
#include "test_returnhome.moc"
