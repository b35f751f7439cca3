// The homing page and the homing executor against the controller simulator,
// and the post-homing coordinate set that the other pages share.
#include "Config/Config.h"
#include "Execute/CExecuteReturnHome.h"
#include "UI/home.h"
#include "UI/mainwindow.h"
#include "UI/resources.h"
#include "serial/SerialObject.h"
#include "tests/support/PageTools.h"

#include <QSignalSpy>

using namespace PageTools;

namespace {

struct Listener : ReturnHomeListener {
    void checkReturnHomeDone() override { ++calls; }
    int calls = 0;
};

QStringList homing(SimHarness& h) { return h.sim().transcript().filter(QRegularExpression("^G28")); }

}

class TestHome : public QObject {
    Q_OBJECT
    Listener m_l;

private slots:
    void initTestCase() { initOrlenkResources(); buzzerPlay::setTimeScale(0.0); }
    void init() { buzzerPlay::getInstance("pwm1")->clearPlayed(); m_l.calls = 0; }
    void cleanup() { ExecuteReturnHome().setObject(nullptr); }

    // The whole page under each fault: Back locked while homing; after it the
    // coordinate set and the tune (if the buzzer is on), or, when homing fails,
    // the cause named, the machine stopped and Back offered. The page closes
    // once with "M112" then "M18", and nothing follows it.
    void homingPage_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("buzzer");
        QTest::addColumn<QString>("text");
        const QString silent = "The printer's controller is not answering.\nPlease check the printer.";
        QTest::newRow("buzzer on") << "" << true << "Homing completed";
        QTest::newRow("buzzer off") << "" << false << "Homing completed";
        QTest::newRow("doubled replies") << "doubled" << true << "Homing completed";
        QTest::newRow("stuck") << "stuck" << true << "The printer did not finish its move.\nPlease check the printer.";
        QTest::newRow("silent") << "silent" << true << silent;
        QTest::newRow("hang-up") << "hang-up" << true << silent;
        // A controller without room for the coordinate set is busy, not broken:
        // the set waits for a slot and goes out in order.
        QTest::newRow("coordinate set behind a full buffer") << "full" << true << "Homing completed";
    }
    void homingPage()
    {
        QFETCH(QString, fault);
        QFETCH(bool, buzzer);
        QFETCH(QString, text);
        SimHarness h;
        h.link()->setTiming(LinkTiming{100, 20, 300, 300});
        getConfigFile().configFile()->setBuzzerStatus(buzzer);
        h.sim().movesNeverEnd(fault == "stuck");
        h.sim().duplicateReplies(fault == "doubled" ? 1000 : 0);
        auto* page = Home::instHome = new Home(nullptr);
        page->show();
        QSignalSpy destroyed(page, &QObject::destroyed);

        QCOMPARE(label(page, "label"), QString("Homing, please wait..."));
        QToolButton* back = page->findChild<QToolButton*>("yes");
        QVERIFY(!back->isEnabled());
        if (fault == "silent" || fault == "hang-up") {
            QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains("G28 X"); }, 15000));
            fault == "silent" ? h.sim().dropReplies(1000000) : h.sim().hangUp(3000);
        } else if (fault == "full") {
            // Y homes meanwhile; "G90" then finds no free slot.
            QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains("G28 Y"); }, 15000));
            h.sim().holdBufferFull(2000);
        }
        QVERIFY(SimHarness::waitUntil([&] { return back->isEnabled(); }, 15000));
        QCOMPARE(label(page, "label"), text);
        if (text == "Homing completed") {
            QCOMPARE(withoutPolls(h.sim().transcript()),
                     QStringList({"M17", "G28 Z", "G28 X", "G28 Y", "G90", "G92 X100 Y102 Z212.00 A0 B0"}));
            QCOMPARE(notesPlayed(), buzzer ? buzzerPlay::tuneNotes(buzzerPlay::Tune1) : std::vector<std::string>{});
        } else {
            QVERIFY(!ExecuteReturnHome().isHoming() && notesPlayed().empty());
            h.sim().dropReplies(0);
            h.sim().movesNeverEnd(false);
            // Stop commands a silent controller did not take go out once it answers.
            QVERIFY(SimHarness::waitUntil([&] {
                h.link()->serialCheckCode("M105");
                return h.link()->pendingSafetyCommands() == 0;
            }, 15000));
            const QStringList sent = withoutPolls(h.sim().transcript());
            QVERIFY2(sent.contains("M112") && sent.contains("M104 S0 T0") && sent.contains("M140 S0"),
                     qPrintable(sent.join(", ")));
        }

        // Two presses in a row: the one-press guard lets the first one through only.
        h.sim().clearTranscript();
        click(page, "yes");
        QTest::mouseClick(back, Qt::LeftButton);
        QVERIFY(SimHarness::waitUntil([&] { return destroyed.count() == 1; }, 5000));
        QCOMPARE(Home::instHome, nullptr);
        QCOMPARE(withoutPolls(h.sim().transcript()), QStringList({"M112", "M18"}));
        const int count = h.sim().transcript().size();
        QTest::qWait(400);
        QCOMPARE(h.sim().transcript().size(), count);
    }

    // Z only: one call, each axis asked for its end stop before the next one.
    void executorHomesZOnly()
    {
        SimHarness h;
        ExecuteReturnHome().setObject(&m_l);
        ExecuteReturnHome().returnHome(true);
        QCOMPARE(m_l.calls, 0);   // returns at once: the run is driven by timers
        QVERIFY(SimHarness::waitUntil([&] { return m_l.calls > 0; }, 8000));
        QTest::qWait(300);
        QCOMPARE(m_l.calls, 1);
        QVERIFY(!ExecuteReturnHome().isHoming());
        QCOMPARE(homing(h), QStringList({"G28 Z"}));
        QVERIFY(h.sim().transcript().indexOf("M119", h.sim().transcript().indexOf("G28 Z")) > 0);
        QVERIFY(h.sim().endStops().z && !h.sim().endStops().x);

        // Z is home already; a new run must still see its own homing through.
        h.link()->serialSendCode("G1 Z30 F600");
        ExecuteReturnHome().returnHome(true);
        QVERIFY(SimHarness::waitUntil([&] { return m_l.calls == 2; }, 8000));
        QCOMPARE(homing(h), QStringList({"G28 Z", "G28 Z"}));
        QCOMPARE(h.sim().position().z, 0.0);
    }

    // The page closing mid-run ends it without a call; a listener that takes
    // over mid-run gets the one call.
    void listenerChanges()
    {
        SimHarness h;
        ExecuteReturnHome().setObject(&m_l);
        ExecuteReturnHome().returnHome(false);
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains("G28 Z"); }, 3000));
        ExecuteReturnHome().setObject(nullptr);
        QVERIFY(!ExecuteReturnHome().isHoming());
        QTest::qWait(1500);
        QCOMPARE(m_l.calls, 0);
        QCOMPARE(homing(h), QStringList({"G28 Z"}));

        Listener second;
        ExecuteReturnHome().setObject(&m_l);
        ExecuteReturnHome().returnHome(true);
        ExecuteReturnHome().setObject(&second);
        QVERIFY(SimHarness::waitUntil([&] { return second.calls > 0; }, 8000));
        QTest::qWait(200);
        QCOMPARE(m_l.calls, 0);
        QCOMPARE(second.calls, 1);
    }

    // A job that started while the page was open keeps the machine, the LAN
    // status and its own homing run when the page closes.
    void closedUnderAJob()
    {
        SimHarness h;
        MainWindow mw;
        auto* page = Home::instHome = new Home(nullptr);
        QSignalSpy destroyed(page, &QObject::destroyed);
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains("G28 Z"); }, 3000));
        mw.setLanStatus(3, 2);
        ExecuteReturnHome().setObject(&m_l);
        ExecuteReturnHome().returnHome(true);
        const int from = h.sim().transcript().size();
        page->close();
        QVERIFY(SimHarness::waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return destroyed.count() == 1 && m_l.calls == 1;
        }, 8000));
        const QStringList after = withoutPolls(h.sim().transcript().mid(from));
        QVERIFY2(!after.contains("M112") && !after.contains("M18"), qPrintable(after.join(", ")));
        QCOMPARE(mw.m_machineStatus.load(), 3);
    }
};

QTEST_MAIN(TestHome)
#include "test_home.moc"
