// The tool menu, the preheat page and the jog page, driven as a user would
// against the controller simulator, in fair and foul weather.
#include "Config/Config.h"
#include "Dialog/onebuttondialog.h"
#include "Execute/COneTimesClicked.h"
#include "UI/control.h"
#include "UI/home.h"
#include "UI/mainwindow.h"
#include "UI/manual.h"
#include "UI/preheat.h"
#include "UI/resources.h"
#include "buzzer/buzzerPlay.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace {

constexpr int Long = 20000;

// The simulator, a main window polling it and readers of transcript and screen.
struct Rig {
    explicit Rig(double timeScale = 50, int ambient = 25)
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.timeScale = timeScale;
        o.ambient = ambient;
        h = std::make_unique<SimHarness>(o);
        mw = std::make_unique<MainWindow>();
        h->sim().clearTranscript();
    }
    ~Rig()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 2000);
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != mw.get())
                windows << w;
        for (const QPointer<QWidget>& w : windows)
            delete w.data();
        Preheat::extruderSetTemp = 210;
        Preheat::platformSetTemp = 60;
        Preheat::preheatButtonExtruderState = Preheat::preheatButtonPlatformState = 1;
    }
    ControllerSimulator& sim() { return h->sim(); }
    // Commands received from line `from` on, without status and flow-control queries.
    QStringList sent(int from = 0) const
    {
        QStringList out;
        for (const QString& l : h->sim().transcript().mid(from))
            if (!QStringList{"M105", "M117", "M119", "M121", "M130"}.contains(l))
                out << l;
        return out;
    }
    int mark() const { return h->sim().transcript().size(); }
    std::unique_ptr<SimHarness> h;
    std::unique_ptr<MainWindow> mw;
};

template <class T = QToolButton> T* child(QWidget* page, const char* name)
{
    T* w = page ? page->findChild<T*>(name) : nullptr;
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

void click(QWidget* page, const char* name)
{
    QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 2000);
    QTest::mouseClick(child(page, name), Qt::LeftButton);
}

bool gone(const QPointer<QWidget>& page)
{
    return SimHarness::waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return page.isNull();
    }, Long);
}

std::vector<std::string> notesPlayed()
{
    buzzerPlay::getInstance("pwm1")->waitIdle(2000);
    return buzzerPlay::getInstance("pwm1")->playedNotes();
}

Preheat* openPreheat() { return Preheat::instPreheat = new Preheat(nullptr); }

}

class TestTools : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initOrlenkResources();
        buzzerPlay::setTimeScale(0.0);
        Preheat::monitorTickMs = 2;
    }
    void init() { buzzerPlay::getInstance("pwm1")->clearPlayed(); }

    // Each working button opens its page once; the pages not built yet open nothing.
    void menu()
    {
        Rig rig;
        click(rig.mw.get(), "showControl");
        QPointer<QWidget> menu = Control::instControl;
        QVERIFY(menu && menu->isVisible());
        const int windows = QApplication::topLevelWidgets().size();
        for (const char* inert : {"showLoad", "showUnload", "showLeveling"})
            click(menu, inert);
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);

        click(menu, "showPreheat");
        click(menu, "showManualControl");
        click(menu, "showHome");
        QVERIFY(Preheat::instPreheat && Manual::instManual && Home::instHome);
        QWidget* jog = Manual::instManual;
        click(menu, "showManualControl");
        QCOMPARE(Manual::instManual, jog);
        QCOMPARE(QApplication::topLevelWidgets().size(), windows + 3);

        click(menu, "back");
        QVERIFY(gone(menu));
        QCOMPARE(Control::instControl, nullptr);
    }

    // Hold and release: one step per 120 ms, stopping at the limit with that button disabled.
    void stepping_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("limit");
        QTest::newRow("nozzle up") << "extruderTempPlus" << 256 << 260;
        QTest::newRow("nozzle down") << "extruderTempMinus" << 24 << 20;
        QTest::newRow("bed up") << "platformTempPlus" << 106 << 110;
        QTest::newRow("bed down") << "platformTempMinus" << 23 << 20;
    }
    void stepping()
    {
        QFETCH(QString, button);
        QFETCH(int, from);
        QFETCH(int, limit);
        Rig rig;
        int& setPoint = button.startsWith("extruder") ? Preheat::extruderSetTemp : Preheat::platformSetTemp;
        setPoint = from;
        Preheat* page = openPreheat();
        page->show();
        QToolButton* b = child(page, qPrintable(button));

        QTest::mousePress(b, Qt::LeftButton);   // released before the first step
        QTest::mouseRelease(b, Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(setPoint, from);

        QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 2000);
        QTest::mousePress(b, Qt::LeftButton);
        QVERIFY(SimHarness::waitUntil([&] { return !b->isEnabled(); }, Long));
        QTest::mouseRelease(b, Qt::LeftButton);
        QCOMPARE(setPoint, limit);
        const char* shown = button.startsWith("extruder") ? "extruderTemperature" : "platformTemperature";
        QCOMPARE(child<QLabel>(page, shown)->text(), QString::number(limit));

        // The set point outlives the page; nothing reached the controller.
        click(page, "back");
        QVERIFY(gone(page));
        QCOMPARE(setPoint, limit);
        QCOMPARE(rig.sent(), QStringList({"M18", "M140 S0", "M104 S0 T0"}));
    }

    // Heating the nozzle: the tune once when reached (buzzer on), never with the
    // buzzer off; after the hold time the nozzle goes off and the idle bed stays off.
    void reachedAndSwitchOff_data()
    {
        QTest::addColumn<bool>("buzzer");
        QTest::newRow("buzzer on") << true;
        QTest::newRow("buzzer off") << false;
    }
    void reachedAndSwitchOff()
    {
        QFETCH(bool, buzzer);
        Rig rig;
        getConfigFile().configFile()->setBuzzerStatus(buzzer);
        Preheat* page = openPreheat();
        page->show();
        QTest::mousePress(child(page, "nozzleStart"), Qt::LeftButton);
        QCOMPARE(child(page, "nozzleStart")->text(), QString("Cancel"));
        QVERIFY(child<QLabel>(page, "showCurrentExtruder")->isVisible());

        QVERIFY(SimHarness::waitUntil([] { return Preheat::preheatButtonExtruderState == 1; }, 60000));
        QCOMPARE(child(page, "nozzleStart")->text(), QString("Preheat"));
        QVERIFY(child<QLabel>(page, "extruderTemperature")->isVisible());
        QCOMPARE(rig.sent(), QStringList({"M18", "M104 S210 T0", "M104 S0 T0"}));
        QCOMPARE(Preheat::preheatButtonPlatformState, 1);
        QCOMPARE(notesPlayed(), buzzer ? buzzerPlay::tuneNotes(buzzerPlay::Tune5) : std::vector<std::string>{});
    }

    // An idle bed reading 0 against its target 0 is no reached target for a
    // nozzle that never gets there: no tune, no switch-off.
    void idleHeaterNotReached()
    {
        Rig rig(50, 0);
        rig.sim().pinNozzleTemperature(100);
        Preheat* page = openPreheat();
        page->show();
        QTest::mousePress(child(page, "nozzleStart"), Qt::LeftButton);
        const int from = rig.mark();
        // Three status polls a second apart: well past this test's hold time.
        QVERIFY(SimHarness::waitUntil([&] { return rig.sim().transcript().mid(from).count("M105") >= 3; }, Long));
        QCOMPARE(Preheat::preheatButtonExtruderState, 0);
        QVERIFY(notesPlayed().empty());
    }

    // A reopened page shows each heater as it is; a print job that starts
    // meanwhile keeps its heaters.
    void reopenedAndJobs()
    {
        Rig rig;
        Preheat* page = openPreheat();
        page->show();
        QTest::mousePress(child(page, "plateStart"), Qt::LeftButton);
        QVERIFY(SimHarness::waitUntil([&] { return rig.sim().bedTarget() == 60; }, Long));

        // The main window closes the page for a job: nothing sent, the state kept.
        QPointer<QWidget> closed = page;
        int from = rig.mark();
        rig.mw->clearAgoState();
        rig.mw->setLanStatus(3, 2);
        QVERIFY(gone(closed));
        QTest::qWait(50);
        QCOMPARE(rig.sent(from), QStringList());
        QCOMPARE(Preheat::preheatButtonPlatformState, 0);
        rig.mw->setLanStatus(0, 0);

        rig.mw->pollStatus();
        page = openPreheat();
        QCOMPARE(child(page, "plateStart")->text(), QString("Cancel"));
        QVERIFY(!child(page, "platformTempPlus")->isVisibleTo(page));
        delete page;

        // Switched off meanwhile (the job's end): idle again, and Start starts.
        rig.h->link()->HeatingPlatform(0);
        rig.mw->pollStatus();
        page = openPreheat();
        QCOMPARE(Preheat::preheatButtonPlatformState, 1);
        QVERIFY(child(page, "platformTempPlus")->isVisibleTo(page));
        from = rig.mark();
        QTest::mousePress(child(page, "plateStart"), Qt::LeftButton);
        QCOMPARE(rig.sent(from), QStringList({"M140 S60"}));
    }

    // 281 °C: both heaters off at once, a message, and Back still leaves.
    void overTemperature()
    {
        Rig rig;
        getConfigFile().configFile()->setBuzzerStatus(true);
        Preheat* page = openPreheat();
        page->show();
        QTest::mousePress(child(page, "nozzleStart"), Qt::LeftButton);
        QTest::mousePress(child(page, "plateStart"), Qt::LeftButton);
        rig.sim().pinNozzleTemperature(281);
        QVERIFY(SimHarness::waitUntil([] { return OneButtonDialog::instOneButtonDialog; }, Long));
        QCOMPARE(rig.sim().nozzleTarget(), 0);
        QCOMPARE(rig.sim().bedTarget(), 0);
        QVERIFY(rig.sent().contains("M112"));
        QCOMPARE(Preheat::preheatButtonExtruderState + Preheat::preheatButtonPlatformState, 2);
        QCOMPARE(notesPlayed(), buzzerPlay::tuneNotes(buzzerPlay::Tune0));
        QPointer<QWidget> p = page;
        click(page, "back");
        QVERIFY(gone(p));
    }

    // Each arrow: its move while held, then "M112" and the position read back.
    void arrows_data()
    {
        QTest::addColumn<QString>("arrow");
        QTest::addColumn<QString>("move");
        QTest::newRow("X-") << "Xm" << "G1 X-1000 F2000";
        QTest::newRow("X+") << "Xp" << "G1 X1000 F2000";
        QTest::newRow("Y-") << "Ym" << "G1 Y-1000 F2000";
        QTest::newRow("Y+") << "Yp" << "G1 Y1000 F2000";
        QTest::newRow("Z up") << "Zp" << "G1 Z-1000 F300";
        QTest::newRow("Z down") << "Zm" << "G1 Z1000 F300";
    }
    void arrows()
    {
        QFETCH(QString, arrow);
        QFETCH(QString, move);
        Rig rig(1);
        auto* page = new Manual(nullptr);
        page->show();
        QCOMPARE(rig.sent(), QStringList({"M17", "M114"}));
        QToolButton* b = child(page, qPrintable(arrow));
        int from = rig.mark();
        QTest::mousePress(b, Qt::LeftButton);
        QTest::qWait(100);
        QTest::mouseRelease(b, Qt::LeftButton);
        QCOMPARE(rig.sent(from), QStringList({move, "M112", "M114"}));
        QVERIFY(!rig.sim().moving());
        const auto p = rig.sim().position();
        const QString axis = arrow.left(1);
        const double v = axis == "X" ? p.x : axis == "Y" ? p.y : p.z;
        QVERIFY(v != 0);
        QCOMPARE(child(page, qPrintable("label" + axis))->text(), axis + ": " + QString::number(v, 'f', 2));

        QPointer<QWidget> closed = page;
        from = rig.mark();
        click(page, "back");
        QVERIFY(gone(closed));
        QCOMPARE(rig.sent(from), QStringList({"M112", "M18"}));
        QCOMPARE(Manual::instManual, nullptr);
    }

    // An arrow held past the guard is stopped; so is one whose release is lost
    // because the page went, also when a print job takes the machine.
    void guard()
    {
        Rig rig(1);
        Manual::guardMs = 300;
        auto* page = new Manual(nullptr);
        Manual::guardMs = 5000;
        page->show();
        int from = rig.mark();
        QTest::mousePress(child(page, "Xp"), Qt::LeftButton);
        QVERIFY(SimHarness::waitUntil([&] { return rig.sent(from).contains("M112"); }, Long));
        QVERIFY(!rig.sim().moving());
        QCOMPARE(child(page, "labelX")->text(), "X: " + QString::number(rig.sim().position().x, 'f', 2));
        QTest::mouseRelease(child(page, "Xp"), Qt::LeftButton);
        QCOMPARE(rig.sent(from), QStringList({"G1 X1000 F2000", "M112", "M114", "M112", "M114"}));

        // Closed for a job while an arrow is held: stopped before the job, then silence.
        QTest::mousePress(child(page, "Yp"), Qt::LeftButton);
        QVERIFY(rig.sim().moving());
        from = rig.mark();
        QPointer<QWidget> closed = page;
        rig.mw->clearAgoState();
        rig.mw->setLanStatus(3, 2);
        QVERIFY(!rig.sim().moving());
        QVERIFY(gone(closed));
        QTest::qWait(50);
        QCOMPARE(rig.sent(from), QStringList({"M112", "M18"}));
        QCOMPARE(rig.mw->m_machineStatus.load(), 3);
        QCOMPARE(Manual::instManual, nullptr);
    }

    // A silent or hung-up controller: the page never freezes, keeps the last
    // position shown and can always be left.
    void foulWeather_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("silent") << "silent";
        QTest::newRow("hang-up") << "hangup";
        QTest::newRow("stuck motion") << "stuck";
    }
    void foulWeather()
    {
        QFETCH(QString, fault);
        Rig rig;
        rig.h->link()->setTiming({200, 20, 1000, 1000});
        auto* page = new Manual(nullptr);
        page->show();
        QTest::mousePress(child(page, "Xp"), Qt::LeftButton);
        QTest::mouseRelease(child(page, "Xp"), Qt::LeftButton);
        const QString shown = child(page, "labelX")->text();
        QVERIFY(shown != "X: 0.00");

        if (fault == "silent")
            rig.sim().dropReplies(1000);
        else if (fault == "hangup")
            rig.sim().hangUp();
        else
            rig.sim().movesNeverEnd(true);
        QTest::mousePress(child(page, "Xm"), Qt::LeftButton);
        QTest::mouseRelease(child(page, "Xm"), Qt::LeftButton);
        if (fault != "stuck")
            QCOMPARE(child(page, "labelX")->text(), shown);
        QPointer<QWidget> closed = page;
        click(page, "back");
        QVERIFY(gone(closed));
        const int count = rig.mark();
        QTest::qWait(100);
        QCOMPARE(rig.sent(count), QStringList());
    }
};

QTEST_MAIN(TestTools)
#include "test_tools.moc"
