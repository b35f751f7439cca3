// The levelling page against the controller simulator, pressed as a user would.
#include "Config/Config.h"
#include "Dialog/onelabledialog.h"
#include "Execute/COneTimesClicked.h"
#include "UI/PlatformLevel.h"
#include "UI/resources.h"
#include "buzzer/buzzerPlay.h"
#include "tests/support/SimHarness.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

Config* config() { return getConfigFile().configFile(); }

// One page on the simulator; the transcript without the polls.
struct Rig {
    SimHarness h;
    PlatformLevel* page = nullptr;
    std::unique_ptr<QSignalSpy> destroyed;

    void open()
    {
        page = new PlatformLevel(nullptr);
        page->show();
        destroyed = std::make_unique<QSignalSpy>(page, &QObject::destroyed);
    }
    QToolButton* button(const char* name) { return page->findChild<QToolButton*>(name); }
    QString label() { return page->findChild<QLabel*>("label")->text(); }
    void press(const char* name)
    {
        QVERIFY(SimHarness::waitUntil([] { return !OneTimesClicked().isHasClicked(); }, 5000));
        QTest::mouseClick(button(name), Qt::LeftButton);
    }
    // Arrived: the waiting notice is gone and OK is offered.
    bool arrived() { return SimHarness::waitUntil([&] { return !OneLableDialog::instOneLableDialog && button("ok")->isVisible(); }, 30000); }
    bool gone(int ms = 10000) { return SimHarness::waitUntil([&] { return destroyed->count() == 1; }, ms); }
    QStringList sent()
    {
        QStringList out;
        for (const QString& l : h.sim().transcript())
            if (l != "M121" && l != "M119" && l != "M117")
                out << l;
        return out;
    }
    // Closed by Back: the stop commands end the transcript and nothing follows them.
    void leaveByBack()
    {
        press("back");
        QVERIFY(gone());
        QCOMPARE(PlatformLevel::instPlatformLevel, nullptr);
        QCOMPARE(sent().mid(sent().size() - 2), QStringList({"M112", "M18"}));
        const int count = h.sim().transcript().size();
        QTest::qWait(2100);   // longer than the first motion poll
        QCOMPARE(h.sim().transcript().size(), count);
    }
};

}

class TestPlatformLevel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initOrlenkResources();
        buzzerPlay::setTimeScale(0.0);
    }

    // A whole levelling at the default offset, buzzer off: the tune still plays at each arrival.
    void golden()
    {
        Rig r;
        config()->setBuzzerStatus(false);
        buzzerPlay::getInstance("pwm1")->clearPlayed();
        r.open();
        QVERIFY(r.arrived());
        QCOMPARE(r.button("showLabelZ")->text(), QString("6.0"));
        r.press("Zm");
        r.press("Zm");
        QCOMPARE(r.button("showLabelZ")->text(), QString("5.8"));
        r.press("ok");
        QVERIFY(r.arrived());
        r.press("ok");
        QVERIFY(r.arrived());
        QCOMPARE(r.button("ok")->text(), QString("Complete"));
        r.press("ok");
        QVERIFY(SimHarness::waitUntil([&] { return r.destroyed->count() || r.label() == "Calibration completed"; }, 20000));
        QVERIFY(r.gone());
        QCOMPARE(config()->getExtruderCalibrationValue(), 5.8);
        QCOMPARE(r.sent(), QStringList({"M112", "M17", "G28 Z", "G28 X", "G28 Y", "M112", "G92 X100 Y100 Z212.0",
                                        "G1 X5 Y80 F2000", "G1 Z3 F300", "G1 Z2.9 F300", "G1 Z2.8 F300",
                                        "G1 Z30 F300", "G1 X-65 Y-80 F2000", "G1 Z2.8 F300",
                                        "G1 Z30 F300", "G1 X80 Y-80 F2000", "G1 Z2.8 F300",
                                        "G28 Z", "G28 X", "G28 Y", "G92 X100 Y100 Z209.2", "M112", "M18"}));
        buzzerPlay::getInstance("pwm1")->waitIdle(2000);
        std::vector<std::string> three;
        for (int i = 0; i < 3; ++i)
            for (const std::string& n : buzzerPlay::tuneNotes(buzzerPlay::Tune2))
                three.push_back(n);
        QCOMPARE(buzzerPlay::getInstance("pwm1")->playedNotes(), three);
    }

    // The arrow buttons at the rear point ('+' up 0.5, '-' down 0.1); leaving stores nothing.
    void zSteps_data()
    {
        QTest::addColumn<double>("stored");
        QTest::addColumn<QString>("presses");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("moves");
        QTest::newRow("up, down five") << 3.0 << "+-----" << "6.0"
                                       << QStringList({"Z3.5", "Z3.4", "Z3.3", "Z3.2", "Z3.1", "Z3.0"});
        QStringList toZero;
        for (int t = 29; t >= 0; --t)
            toZero << QString("Z%1.%2").arg(t / 10).arg(t % 10);
        QTest::newRow("down to zero") << 3.0 << QString(30, '-') << "3.0" << toZero;
        QTest::newRow("floor") << -17.8 << "---" << "-15.0" << QStringList({"Z2.9", "Z2.8"});
        QTest::newRow("below floor") << -18.5 << "-" << "-15.5" << QStringList();
    }
    void zSteps()
    {
        QFETCH(double, stored);
        QFETCH(QString, presses);
        QFETCH(QString, shown);
        QFETCH(QStringList, moves);
        Rig r;
        config()->setExtruderCalibrationValue(stored);
        r.open();
        QVERIFY(r.arrived());
        r.h.sim().clearTranscript();
        for (QChar c : presses)
            r.press(c == '+' ? "Zp" : "Zm");
        QCOMPARE(r.button("showLabelZ")->text(), shown);
        QStringList expected;
        for (const QString& m : moves)
            expected << "G1 " + m + " F300";
        QCOMPARE(r.sent(), expected);
        r.leaveByBack();
        QCOMPARE(config()->getExtruderCalibrationValue(), stored);
    }

    // OK pressed twice at once, then again during the move, acts once; replies lost
    // during the move only delay the arrival; Back during the next move stores nothing.
    void okTwiceSilenceAndBackDuringMove()
    {
        Rig r;
        config()->setExtruderCalibrationValue(3.0);
        r.open();
        QVERIFY(r.arrived());
        QMetaObject::invokeMethod(r.button("ok"), "click", Qt::QueuedConnection);
        r.press("ok");
        r.h.sim().dropReplies(2);
        r.press("ok");
        QCOMPARE(r.sent().count("G1 X-65 Y-80 F2000"), 1);
        QVERIFY(r.arrived());
        QCOMPARE(r.sent().count("G1 X-65 Y-80 F2000"), 1);
        r.press("ok");
        QVERIFY(OneLableDialog::instOneLableDialog);
        r.leaveByBack();
        QVERIFY(!OneLableDialog::instOneLableDialog);
        QCOMPARE(config()->getExtruderCalibrationValue(), 3.0);
    }

    // Motion that never ends: the notice goes and Back is offered after the time limit.
    void stuckMotion()
    {
        Rig r;
        r.h.sim().movesNeverEnd(true);
        const int saved = PlatformLevel::stuckTimeoutMs;
        PlatformLevel::stuckTimeoutMs = 1000;
        r.open();
        PlatformLevel::stuckTimeoutMs = saved;
        QVERIFY(!r.button("back")->isVisible());
        QVERIFY(SimHarness::waitUntil([&] { return r.button("back")->isVisible(); }, 10000));
        QVERIFY(!OneLableDialog::instOneLableDialog);
        QVERIFY(!r.button("ok")->isVisible());
        r.leaveByBack();
    }
};

QTEST_MAIN(TestPlatformLevel)
#include "test_platformlevel.moc"
