// The tool menu, the preheat page and the jog page, driven as a user would
// against the controller simulator, in fair and foul weather.
#include "Config/Config.h"
#include "Dialog/onebuttondialog.h"
#include "Dialog/onelabledialog.h"
#include "UI/control.h"
#include "UI/home.h"
#include "UI/mainwindow.h"
#include "UI/loadfilament.h"
#include "UI/manual.h"
#include "UI/PlatformLevel.h"
#include "UI/preheat.h"
#include "UI/unloadfilament.h"
#include "UI/resources.h"
#include "serial/SerialObject.h"
#include "tests/support/PageTools.h"

#include <QApplication>
#include <QThread>

using namespace PageTools;

namespace {

constexpr int Long = 20000;

// The simulator and a main window polling it; closes every page at the end.
struct Rig {
    explicit Rig(double timeScale = 50, int ambient = 25)
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.timeScale = timeScale;
        o.ambient = ambient;
        h = std::make_unique<SimHarness>(o);
        mw = std::make_unique<MainWindow>();
        h->sim().clearTranscript();
        buzzerPlay::getInstance("pwm1")->clearPlayed();
    }
    ~Rig()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows << w;
        for (const QPointer<QWidget>& w : windows)
            if (w != mw.get())
                delete w.data();
        Preheat::extruderSetTemp = 210, Preheat::platformSetTemp = 60;
        Preheat::preheatButtonExtruderState = Preheat::preheatButtonPlatformState = 1;
    }
    ControllerSimulator& sim() { return h->sim(); }
    int mark() const { return h->sim().transcript().size(); }
    QStringList sent(int from = 0) const { return withoutPolls(h->sim().transcript().mid(from)); }
    std::unique_ptr<SimHarness> h;
    std::unique_ptr<MainWindow> mw;
};

template <class T = QToolButton> T* child(QWidget* page, const QString& name) { return page->findChild<T*>(name); }

// Holds a button down, as a finger can only do on one that is shown and enabled.
void press(QWidget* page, const QString& name)
{
    SimHarness::waitUntil([] { return !OneTimesClicked().isHasClicked(); }, 2000);
    QToolButton* b = child(page, name);
    QVERIFY2(b && b->isVisibleTo(page) && b->isEnabled(), qPrintable(name));
    QTest::mousePress(b, Qt::LeftButton);
}

Preheat* openPreheat()
{
    (Preheat::instPreheat = new Preheat(nullptr))->show();
    return Preheat::instPreheat;
}

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

    // Each button opens its page once.
    void menu()
    {
        Rig rig;
        click(rig.mw.get(), "showControl");
        QPointer<QWidget> menu = Control::instControl;
        QVERIFY(menu);
        for (const char* button : {"showLoad", "showUnload", "showLeveling", "showPreheat", "showManualControl",
                                   "showHome", "showManualControl"})
            click(menu, button);
        QVERIFY(Preheat::instPreheat && Manual::instManual && Home::instHome && PlatformLevel::instPlatformLevel
                && LoadFilament::instLoadFilament && UnloadFilament::instUnloadFilament);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(), [](QWidget* w) { return qobject_cast<Manual*>(w); }), 1);
        delete PlatformLevel::instPlatformLevel;
        delete LoadFilament::instLoadFilament;
        delete UnloadFilament::instUnloadFilament;
        click(menu, "back");
        QVERIFY(gone(menu, Long) && !Control::instControl);
    }

    // The tool buttons' texts follow the language installed when the menu sets
    // them again; Back's icon is 24 x 48.
    void menuTexts_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        QTest::newRow("preheat") << "showPreheat" << "Preheat" << QString::fromUtf8("预热");
        QTest::newRow("move") << "showManualControl" << "Move" << QString::fromUtf8("移动");
        QTest::newRow("home") << "showHome" << "Home" << QString::fromUtf8("归零");
        QTest::newRow("load") << "showLoad" << "Load" << QString::fromUtf8("进料");
        QTest::newRow("unload") << "showUnload" << "Unload" << QString::fromUtf8("退料");
        QTest::newRow("level") << "showLeveling" << "Level" << QString::fromUtf8("调平");
    }
    void menuTexts()
    {
        QFETCH(QString, button);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        Rig rig;
        click(rig.mw.get(), "showControl");
        QPointer<QWidget> menu = Control::instControl;
        QVERIFY(menu);
        QCOMPARE(child(menu, "back")->iconSize(), QSize(24, 48));
        QCOMPARE(child(menu, button)->text(), english);
        QVERIFY(installOrlenkTranslator("chinese"));
        const bool set = QMetaObject::invokeMethod(menu, "initView");
        QVERIFY(installOrlenkTranslator(""));
        QVERIFY(set);
        QCOMPARE(child(menu, button)->text(), chinese);
    }

    // A tap changes nothing, even with its release already waiting when the
    // press is handled (the press guard runs pending events); held, one step per 120 ms up to the
    // limit, which disables the button.
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
        const bool nozzle = button.startsWith("extruder");
        int& setPoint = nozzle ? Preheat::extruderSetTemp : Preheat::platformSetTemp;
        setPoint = from;
        QPointer<QWidget> page = openPreheat();
        QToolButton* b = child(page, button);
        // The release is due before the press is handled, as when both arrive together.
        QVERIFY(SimHarness::waitUntil([] { return !OneTimesClicked().isHasClicked(); }, 2000));
        QTimer::singleShot(1, b, [b] { QTest::mouseRelease(b, Qt::LeftButton); });
        QThread::msleep(5);
        press(page, button);
        QTest::qWait(600);
        QCOMPARE(setPoint, from);
        press(page, button);
        QVERIFY(SimHarness::waitUntil([&] { return !b->isEnabled(); }, Long));
        QTest::mouseRelease(b, Qt::LeftButton);
        QCOMPARE(setPoint, limit);
        QCOMPARE(child<QLabel>(page, nozzle ? "extruderTemperature" : "platformTemperature")->text(),
                 QString::number(limit));
        // The set point outlives the page and is sent only when heating starts.
        click(page, "back");
        QVERIFY(gone(page, Long));
        QCOMPARE(rig.sent(), QStringList({"M18", "M140 S0", "M104 S0 T0"}));
    }

    // A notice a page opens while it is being built is above the page once it
    // is up: the levelling page's waiting notice, a refused print file's message.
    void noticeOnTop_data()
    {
        QTest::addColumn<bool>("levelling");
        QTest::newRow("levelling") << true;
        QTest::newRow("refused print file") << false;
    }
    void noticeOnTop()
    {
        QFETCH(bool, levelling);
        Rig rig(1);
        rig.mw->show();
        if (levelling) {
            click(rig.mw.get(), "showControl");
            click(Control::instControl, "showLeveling");
            QVERIFY(PlatformLevel::instPlatformLevel && PlatformLevel::instPlatformLevel->isVisible());
        } else {
            rig.h->sandbox().writeFile("/data/wide.gcode", "M104 S200\nM118 X100.5 Y10 Z10\nG1 X1\n");
            rig.mw->slot_ThreadM23(rig.h->sandbox().path("/data/wide.gcode"));
        }
        QPointer<QWidget> notice = levelling ? static_cast<QWidget*>(OneLableDialog::instOneLableDialog)
                                             : OneButtonDialog::instOneButtonDialog;
        QVERIFY(notice && notice->isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), notice.data());
        QTest::qWait(100);
        QCOMPARE(QApplication::activeWindow(), notice.data());
    }

    // Heating: the tune once when reached (never with the buzzer off), after the
    // hold time the nozzle off and the idle bed left alone. A cold idle bed (0
    // against its target 0) is no reached target for a nozzle that never gets
    // there. At 281 °C both heaters go off at once with the alarm and a message.
    void heating_data()
    {
        QTest::addColumn<bool>("buzzer");
        QTest::addColumn<int>("pin");
        QTest::newRow("buzzer on") << true << -1;
        QTest::newRow("buzzer off") << false << -1;
        QTest::newRow("never reached") << true << 100;   // watched for three status polls
        QTest::newRow("281") << true << 281;
    }
    void heating()
    {
        QFETCH(bool, buzzer);
        QFETCH(int, pin);
        Rig rig(50, pin == 100 ? 0 : 25);
        getConfigFile().configFile()->setBuzzerStatus(buzzer);
        rig.sim().pinNozzleTemperature(pin);
        QPointer<QWidget> page = openPreheat();
        press(page, "nozzleStart");
        if (pin == 100) {
            const int from = rig.mark();
            QVERIFY(SimHarness::waitUntil([&] { return rig.sim().transcript().mid(from).count("M105") >= 3; }, Long));
            QCOMPARE(Preheat::preheatButtonExtruderState, 0);
            QVERIFY(notesPlayed().empty());
        } else if (pin == 281) {
            press(page, "plateStart");
            QVERIFY(SimHarness::waitUntil([] { return OneButtonDialog::instOneButtonDialog; }, Long));
            QCOMPARE(rig.sim().nozzleTarget() + rig.sim().bedTarget(), 0);
            QCOMPARE(Preheat::preheatButtonExtruderState + Preheat::preheatButtonPlatformState, 2);
            QCOMPARE(notesPlayed(), buzzerPlay::tuneNotes(buzzerPlay::Tune0));
            click(page, "back");
            QVERIFY(gone(page, Long));
        } else {
            QVERIFY(SimHarness::waitUntil([] { return Preheat::preheatButtonExtruderState == 1; }, 60000));
            QCOMPARE(rig.sent(), QStringList({"M18", "M104 S210 T0", "M104 S0 T0"}));
            QCOMPARE(notesPlayed(), buzzer ? buzzerPlay::tuneNotes(buzzerPlay::Tune5) : std::vector<std::string>{});
        }
    }

    // Back with both heaters on and the controller gone quiet (still reading,
    // or the line hung up and back): the heaters end off and the page goes.
    void backInFoulWeather_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("silent") << "silent";
        QTest::newRow("hang-up and back") << "hangup";
    }
    void backInFoulWeather()
    {
        QFETCH(QString, fault);
        Rig rig;
        QPointer<QWidget> page = openPreheat();
        press(page, "nozzleStart");
        press(page, "plateStart");
        QVERIFY(rig.sim().nozzleTarget() > 0 && rig.sim().bedTarget() > 0);
        fault == "silent" ? rig.sim().dropReplies(1000000) : rig.sim().hangUp(1000);
        click(page, "back");
        QVERIFY(gone(page, Long));
        QVERIFY(SimHarness::waitUntil([&] { return rig.sim().nozzleTarget() + rig.sim().bedTarget() == 0; }, Long));
    }

    // A print job closing the page keeps its heaters; a reopened page shows
    // each heater as it is.
    void reopened()
    {
        Rig rig;
        QPointer<QWidget> page = openPreheat();
        press(page, "plateStart");
        int from = rig.mark();
        rig.mw->clearAgoState();
        rig.mw->setLanStatus(3, 2);
        QVERIFY(gone(page, Long));
        QCOMPARE(rig.sent(from), QStringList());
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
        from = rig.mark();
        press(page, "plateStart");
        QCOMPARE(rig.sent(from), QStringList({"M140 S60"}));
    }

    // Each arrow: its move while held, then "M112" and the position shown. After
    // a fault the last position stays, and Back leaves with nothing sent after.
    void arrows_data()
    {
        QTest::addColumn<QString>("arrow");
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("fault");
        QTest::newRow("X-") << "Xm" << "G1 X-1000 F2000" << "";
        QTest::newRow("X+") << "Xp" << "G1 X1000 F2000" << "";
        QTest::newRow("Y-") << "Ym" << "G1 Y-1000 F2000" << "";
        QTest::newRow("Y+") << "Yp" << "G1 Y1000 F2000" << "";
        QTest::newRow("Z up") << "Zp" << "G1 Z-1000 F300" << "";
        QTest::newRow("Z down") << "Zm" << "G1 Z1000 F300" << "";
        QTest::newRow("silent") << "Xp" << "G1 X1000 F2000" << "silent";
        QTest::newRow("hang-up") << "Xp" << "G1 X1000 F2000" << "hangup";
        QTest::newRow("stuck motion") << "Xp" << "G1 X1000 F2000" << "stuck";
    }
    void arrows()
    {
        QFETCH(QString, arrow);
        QFETCH(QString, move);
        QFETCH(QString, fault);
        Rig rig(1);
        rig.h->link()->setTiming({200, 20, 1000, 1000});
        QPointer<QWidget> page = new Manual(nullptr);
        page->show();
        QCOMPARE(rig.sent(), QStringList({"M17", "M114"}));
        int from = rig.mark();
        press(page, arrow);
        QTest::qWait(100);
        QTest::mouseRelease(child(page, arrow), Qt::LeftButton);
        QCOMPARE(rig.sent(from), QStringList({move, "M112", "M114"}));
        const auto p = rig.sim().position();
        const QString axis = arrow.left(1);
        const QString shown = axis + ": " + QString::number(axis == "X" ? p.x : axis == "Y" ? p.y : p.z, 'f', 2);
        QVERIFY(shown.right(4) != "0.00");
        QCOMPARE(child(page, "label" + axis)->text(), shown);

        if (!fault.isEmpty()) {
            fault == "silent" ? rig.sim().dropReplies(1000)
                : fault == "hangup" ? rig.sim().hangUp() : rig.sim().movesNeverEnd(true);
            press(page, "Xm");
            QTest::mouseRelease(child(page, "Xm"), Qt::LeftButton);
            QVERIFY(fault == "stuck" || child(page, "labelX")->text() == shown);
        }
        from = rig.mark();
        click(page, "back");
        QVERIFY(gone(page, Long));
        // A silent controller that still reads gets the stop all the same.
        if (fault != "hangup") {
            QVERIFY(SimHarness::waitUntil([&] { return rig.sent(from).contains("M18"); }, Long));
            QStringList stop = rig.sent(from);
            stop.removeDuplicates();   // a stop asked for again is written again
            QCOMPARE(stop, QStringList({"M112", "M18"}));
        }
        from = rig.mark();
        QTest::qWait(100);
        QCOMPARE(rig.sent(from), QStringList());
    }

    // A position reply that reads only some axes shows those; the others keep
    // what the page showed before.
    void partialPosition_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("whole") << "X:1.00 Y:2.00 Z:3.00 E:0.00" << QStringList{"X: 1.00", "Y: 2.00", "Z: 3.00"};
        QTest::newRow("X only") << "X:5.00" << QStringList{"X: 5.00", "Y: 20.00", "Z: 30.00"};
        QTest::newRow("no Z") << "X:5.00 Y:6.50 E:0.00" << QStringList{"X: 5.00", "Y: 6.50", "Z: 30.00"};
        QTest::newRow("Z no number") << "X:5.00 Y:6.50 Z:abc E:0.00" << QStringList{"X: 5.00", "Y: 6.50", "Z: 30.00"};
        QTest::newRow("no X") << "Y:6.50 Z:7.25" << QStringList{"X: 12.50", "Y: 6.50", "Z: 7.25"};
    }
    void partialPosition()
    {
        QFETCH(QString, reply);
        QFETCH(QStringList, shown);
        Rig rig(1);
        rig.h->link()->setTiming({200, 20, 1000, 1000});
        rig.h->link()->serialSendCode("G92 X12.5 Y20 Z30");
        QPointer<QWidget> page = new Manual(nullptr);
        page->show();
        const auto labels = [&] {
            return QStringList{child(page, "labelX")->text(), child(page, "labelY")->text(),
                               child(page, "labelZ")->text()};
        };
        QCOMPARE(labels(), QStringList({"X: 12.50", "Y: 20.00", "Z: 30.00"}));
        rig.sim().overrideRepliesTo("M114", reply);
        const int from = rig.mark();
        press(page, "Xp");
        QTest::mouseRelease(child(page, "Xp"), Qt::LeftButton);
        QCOMPARE(rig.sent(from), QStringList({"G1 X1000 F2000", "M112", "M114"}));
        QCOMPARE(labels(), shown);
    }

    // An arrow held past the guard is stopped; so is one whose release is lost
    // because a print job closed the page, before the job and never after.
    void guard()
    {
        Rig rig(1);
        Manual::guardMs = 300;
        QPointer<QWidget> page = new Manual(nullptr);
        Manual::guardMs = 5000;
        page->show();
        int from = rig.mark();
        press(page, "Xp");
        QVERIFY(SimHarness::waitUntil([&] { return rig.sent(from).contains("M112"); }, Long));
        QVERIFY(!rig.sim().moving());
        QCOMPARE(child(page, "labelX")->text(), "X: " + QString::number(rig.sim().position().x, 'f', 2));
        QTest::mouseRelease(child(page, "Xp"), Qt::LeftButton);
        QCOMPARE(rig.sent(from), QStringList({"G1 X1000 F2000", "M112", "M114", "M112", "M114"}));

        press(page, "Yp");
        QVERIFY(rig.sim().moving());
        from = rig.mark();
        rig.mw->clearAgoState();
        rig.mw->setLanStatus(3, 2);
        QVERIFY(!rig.sim().moving());
        QVERIFY(gone(page, Long));
        QCOMPARE(rig.sent(from), QStringList({"M112", "M18"}));
        QCOMPARE(rig.mw->m_machineStatus.load(), 3);
    }
};

QTEST_MAIN(TestTools)
#include "test_tools.moc"
