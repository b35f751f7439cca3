// The homing page against the controller simulator, and the post-homing
// coordinate set that the other pages share.
#include "Config/Config.h"
#include "Execute/CExecuteReturnHome.h"
#include "Execute/COneTimesClicked.h"
#include "UI/home.h"
#include "UI/resources.h"
#include "buzzer/buzzerPlay.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

QStringList withoutPolls(const QStringList& lines)
{
    QStringList out;
    for (const QString& l : lines)
        if (l != "M119" && l != "M105" && l != "M121" && l != "M117")
            out << l;
    return out;
}

QToolButton* backButton(Home* page) { return page->findChild<QToolButton*>("yes"); }
QLabel* statusLabel(Home* page) { return page->findChild<QLabel*>("label"); }

std::vector<std::string> notesPlayed()
{
    buzzerPlay* b = buzzerPlay::getInstance("pwm1");
    b->waitIdle(2000);
    return b->playedNotes();
}

}

class TestHome : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initOrlenkResources();
        buzzerPlay::setTimeScale(0.0);
    }
    void init() { buzzerPlay::getInstance("pwm1")->clearPlayed(); }

    void coordinateSet_data()
    {
        QTest::addColumn<double>("calibration");
        QTest::addColumn<QString>("command");
        QTest::newRow("default") << 3.0 << "G92 X100 Y102 Z212.00 A0 B0";
        QTest::newRow("zero") << 0.0 << "G92 X100 Y102 Z215.00 A0 B0";
        QTest::newRow("2.5") << 2.5 << "G92 X100 Y102 Z212.50 A0 B0";
        QTest::newRow("-1.25") << -1.25 << "G92 X100 Y102 Z216.25 A0 B0";
    }
    void coordinateSet()
    {
        QFETCH(double, calibration);
        QFETCH(QString, command);
        SimHarness h;
        getConfigFile().configFile()->setExtruderCalibrationValue(calibration);
        QCOMPARE(HomedPosition::coordinateSetCommand(), command);

        sendHomedCoordinates(h.link(), true);
        sendHomedCoordinates(h.link(), false);
        sendHomedCoordinates(nullptr, true);   // no link: nothing, no crash
        QCOMPARE(withoutPolls(h.sim().transcript()), QStringList({"G90", command, command}));
    }

    // The whole page: Back locked while homing, the coordinate set after it,
    // the tune (if the buzzer is on), and a page that closes once with "M112" then "M18".
    void homingPage_data()
    {
        QTest::addColumn<bool>("buzzer");
        QTest::newRow("buzzer on") << true;
        QTest::newRow("buzzer off") << false;
    }
    void homingPage()
    {
        QFETCH(bool, buzzer);
        SimHarness h;
        getConfigFile().configFile()->setBuzzerStatus(buzzer);
        auto* page = new Home(nullptr);
        Home::instHome = page;
        page->show();
        QSignalSpy destroyed(page, &QObject::destroyed);

        QCOMPARE(statusLabel(page)->text(), QString("Homing, please wait..."));
        QVERIFY(!backButton(page)->isEnabled());
        QVERIFY(ExecuteReturnHome().isHoming());
        QVERIFY(SimHarness::waitUntil([&] { return backButton(page)->isEnabled(); }, 15000));
        QCOMPARE(statusLabel(page)->text(), QString("Homing completed"));
        QCOMPARE(withoutPolls(h.sim().transcript()),
                 QStringList({"M17", "G28 Z", "G28 X", "G28 Y", "G90", "G92 X100 Y102 Z212.00 A0 B0"}));
        QCOMPARE(notesPlayed(), buzzer ? buzzerPlay::tuneNotes(buzzerPlay::Tune1) : std::vector<std::string>{});

        // Two presses in a row: the one-press guard lets the first one through only.
        h.sim().clearTranscript();
        QTest::mouseClick(backButton(page), Qt::LeftButton);
        QTest::mouseClick(backButton(page), Qt::LeftButton);
        QVERIFY(SimHarness::waitUntil([&] { return destroyed.count() == 1; }, 5000));
        QCOMPARE(Home::instHome, nullptr);
        QCOMPARE(withoutPolls(h.sim().transcript()), QStringList({"M112", "M18"}));
        QTest::qWait(150);
        QCOMPARE(destroyed.count(), 1);
    }

    // Homing that never ends: Back comes back after the time-out with a
    // message; closing the page then stops the run before "M112" and "M18".
    void timeoutEnablesBack()
    {
        SimHarness h;
        h.sim().movesNeverEnd(true);
        const int saved = Home::homingTimeoutMs;
        Home::homingTimeoutMs = 600;
        auto* page = new Home(nullptr);
        Home::homingTimeoutMs = saved;
        Home::instHome = page;
        page->show();
        QSignalSpy destroyed(page, &QObject::destroyed);

        QTest::qWait(300);
        QVERIFY(!backButton(page)->isEnabled());
        QVERIFY(SimHarness::waitUntil([&] { return backButton(page)->isEnabled(); }, 5000));
        QCOMPARE(statusLabel(page)->text(), QString("Homing did not finish.\nPlease check the machine."));
        QVERIFY(ExecuteReturnHome().isHoming());

        QTest::mouseClick(backButton(page), Qt::LeftButton);
        QVERIFY(SimHarness::waitUntil([&] { return destroyed.count() == 1; }, 5000));
        QVERIFY(!ExecuteReturnHome().isHoming());
        const QStringList sent = withoutPolls(h.sim().transcript());
        QVERIFY(sent.size() >= 2);
        QCOMPARE(sent.mid(sent.size() - 2), QStringList({"M112", "M18"}));
        // The executor's timers are gone with the run: nothing follows the stop.
        const int count = h.sim().transcript().size();
        QTest::qWait(400);
        QCOMPARE(h.sim().transcript().size(), count);
        QVERIFY(notesPlayed().empty());
    }
};

QTEST_MAIN(TestHome)
#include "test_home.moc"
