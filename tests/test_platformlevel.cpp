// The levelling page against the controller simulator, pressed as a user would.
#include "Config/Config.h"
#include "Dialog/onelabledialog.h"
#include "Execute/COneTimesClicked.h"
#include "UI/PlatformLevel.h"
#include "UI/resources.h"
#include "buzzer/buzzerPlay.h"
#include "serial/SerialObject.h"
#include "tests/support/PageTools.h"

#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

namespace {
Config* config() { return getConfigFile().configFile(); }

// One page on the simulator, opened with the given stored offset.
struct Rig {
    SimHarness h;
    PlatformLevel* page = nullptr;
    int destroyed = 0;
    explicit Rig(double offset = 3.0, bool movesNeverEnd = false)
    {
        config()->setExtruderCalibrationValue(offset);
        h.sim().movesNeverEnd(movesNeverEnd);
        page = new PlatformLevel(nullptr);
        QObject::connect(page, &QObject::destroyed, [this] { ++destroyed; });
        page->show();
    }
    QToolButton* button(const char* name) { return page->findChild<QToolButton*>(name); }
    bool gone() { return SimHarness::waitUntil([&] { return destroyed == 1; }, 10000); }
    void press(const char* name) { PageTools::click(page, name); }
    // Arrived: the waiting notice is gone and OK is offered.
    bool arrived() { return SimHarness::waitUntil([&] { return !OneLableDialog::instOneLableDialog && button("ok")->isVisible(); }, 30000); }
    QStringList sent() { return PageTools::withoutPolls(h.sim().transcript()); }
    // Closed by Back: the stop commands end the transcript, nothing follows, nothing is stored.
    void leaveByBack(double offset)
    {
        press("back");
        QVERIFY(gone());
        QVERIFY(!PlatformLevel::instPlatformLevel && !OneLableDialog::instOneLableDialog);
        QCOMPARE(sent().mid(sent().size() - 2), QStringList({"M112", "M18"}));
        const int count = h.sim().transcript().size();
        QTest::qWait(2100);   // longer than the first motion poll
        QCOMPARE(h.sim().transcript().size(), count);
        QCOMPARE(config()->getExtruderCalibrationValue(), offset);
    }
};
}

class TestPlatformLevel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initOrlenkResources(); buzzerPlay::setTimeScale(0.0); }

    // A whole levelling at the default offset, buzzer off: the tune still plays at each arrival.
    void golden()
    {
        Rig r;
        config()->setBuzzerStatus(false);
        buzzerPlay::getInstance("pwm1")->clearPlayed();
        QVERIFY(r.arrived());
        QCOMPARE(r.button("showLabelZ")->text(), QString("6.0"));
        for (int i = 0; i < 2; ++i)
            r.press("Zm");
        QCOMPARE(r.button("showLabelZ")->text(), QString("5.8"));
        for (const char* okText : {"Next", "Next", "Complete"}) {
            QVERIFY(r.arrived());
            QCOMPARE(r.button("ok")->text(), QString(okText));
            r.press("ok");
        }
        QVERIFY(SimHarness::waitUntil([&] { return r.page->findChild<QLabel*>("label")->text() == "Calibration completed"; }, 20000));
        QVERIFY(r.gone());
        QCOMPARE(config()->getExtruderCalibrationValue(), 5.8);
        QCOMPARE(r.sent(), QStringList({"M112", "M17", "G28 Z", "G28 X", "G28 Y", "M112", "G92 X100 Y100 Z212.0",
                                        "G1 X5 Y80 F2000", "G1 Z3 F300", "G1 Z2.9 F300", "G1 Z2.8 F300", "G1 Z30 F300",
                                        "G1 X-65 Y-80 F2000", "G1 Z2.8 F300", "G1 Z30 F300", "G1 X80 Y-80 F2000",
                                        "G1 Z2.8 F300", "G28 Z", "G28 X", "G28 Y", "G92 X100 Y100 Z209.2", "M112", "M18"}));
        QVERIFY(buzzerPlay::getInstance("pwm1")->waitIdle(2000));
        QCOMPARE(buzzerPlay::getInstance("pwm1")->playedNotes().size(), 3 * buzzerPlay::tuneNotes(buzzerPlay::Tune2).size());
    }

    // The arrow buttons at the rear point: '+' raises Z by 0.5, '-' lowers it by 0.1.
    void zSteps_data()
    {
        QTest::addColumn<double>("stored");
        QTest::addColumn<QString>("presses");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("lastMove");
        QTest::newRow("up, down five") << 3.0 << "+-----" << "6.0" << "G1 Z3.0 F300";
        QTest::newRow("down to zero") << 3.0 << QString(30, '-') << "3.0" << "G1 Z0.0 F300";
        QTest::newRow("floor") << -17.8 << "---" << "-15.0" << "G1 Z2.8 F300";   // the third press refused
        QTest::newRow("below floor") << -18.5 << "-" << "-15.5" << "";
    }
    void zSteps()
    {
        QFETCH(double, stored);
        QFETCH(QString, presses);
        Rig r(stored);
        QVERIFY(r.arrived());
        r.h.sim().clearTranscript();
        for (QChar c : presses)
            r.press(c == '+' ? "Zp" : "Zm");
        QTEST(r.button("showLabelZ")->text(), "shown");
        QTEST(r.sent().value(r.sent().size() - 1), "lastMove");
        QVERIFY(!r.sent().join(' ').contains("Z-0"));
        r.leaveByBack(stored);
    }

    // OK pressed twice at once, then again during the move, acts once; replies lost
    // during the move only delay the arrival; Back during the next move stores nothing.
    void okTwiceSilenceAndBackDuringMove()
    {
        Rig r;
        QVERIFY(r.arrived());
        QMetaObject::invokeMethod(r.button("ok"), "click", Qt::QueuedConnection);
        r.press("ok");
        r.h.sim().dropReplies(2);
        r.press("ok");
        QVERIFY(r.arrived());
        QCOMPARE(r.sent().count("G1 X-65 Y-80 F2000"), 1);
        r.press("ok");
        QVERIFY(OneLableDialog::instOneLableDialog);
        r.leaveByBack(3.0);
    }

    // Stuck or silent while homing or moving: within the moves' own limit the
    // notice goes, the cause is shown with Back, and leaving stores nothing.
    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("atPoint2");
        QTest::addColumn<QString>("text");
        const QString stuck = "The machine did not finish moving.\nPlease check the machine.";
        const QString silent = "The printer's controller is not answering.\nPlease check the printer.";
        QTest::newRow("stuck while homing") << "stuck" << false << stuck;
        QTest::newRow("silent on the way to the rear point") << "silent" << false << silent;
        QTest::newRow("hang-up on the way to the rear point") << "hang-up" << false << silent;
        QTest::newRow("stuck on the way to point 2") << "stuck" << true << stuck;
    }
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(bool, atPoint2);
        Rig r(3.0, fault == "stuck" && !atPoint2);
        r.h.link()->setTiming(LinkTiming{100, 20, 300, 300});
        if (atPoint2) {
            QVERIFY(r.arrived());
            r.press("ok");
            r.h.sim().movesNeverEnd(true);
        } else if (fault != "stuck") {
            QVERIFY(SimHarness::waitUntil([&] { return r.sent().contains("G1 Z3 F300"); }, 10000));
            fault == "silent" ? r.h.sim().dropReplies(1000000) : r.h.sim().hangUp(4000);
        }
        QFETCH(QString, text);
        QVERIFY(SimHarness::waitUntil([&] { return r.page->findChild<QLabel*>("label")->text() == text; }, 10000));
        QVERIFY(r.button("back")->isVisible());
        QVERIFY(!OneLableDialog::instOneLableDialog && !r.button("ok")->isVisible());
        r.h.sim().dropReplies(0);
        r.h.sim().movesNeverEnd(false);
        // Stop commands a silent controller did not take go out once it answers.
        QVERIFY(SimHarness::waitUntil([&] {
            r.h.link()->serialCheckCode("M105");
            return r.h.link()->pendingSafetyCommands() == 0;
        }, 10000));
        QVERIFY(r.sent().contains("M104 S0 T0"));
        r.leaveByBack(3.0);
    }
};

QTEST_MAIN(TestPlatformLevel)
#include "test_platformlevel.moc"
