// The load and unload filament wizards against the controller simulator:
// whole runs, the heated window, the temperature ceiling, cancel in each
// state, a silent or stuck controller, and the printing page beside them.
#include "UI/loadfilament.h"
#include "UI/unloadfilament.h"
#include "tests/support/PrintPageRig.h"

namespace {

const QStringList Stop{"M112", "M140 S0", "M104 S0 T0"};
const QStringList LoadEnd{"M112", "M18", "M140 S0", "M104 S0 T0"};
const QStringList UnloadEnd{"M112", "M18", "G92 E0", "M140 S0", "M104 S0 T0"};
const QStringList Homing{"G28 Z", "G28 X", "G28 Y", "M112", "G90", "G92 X100 Y102 Z212.00 A0 B0", "G1 X0 Y0 F2000"};
const QString Abnormal = "Abnormal temperature,\nPlease check the extruder.";

ControllerSimulator::Options quick()
{
    ControllerSimulator::Options o = SimHarness::fastOptions();
    o.timeScale = 400;
    return o;
}

// One wizard under test, ticked by hand (its own timer is stretched out).
struct Wizard {
    PrintPageRig& rig;
    bool load;
    QPointer<QWidget> page;
    Wizard(PrintPageRig& r, bool isLoad) : rig(r), load(isLoad)
    {
        page = load ? static_cast<QWidget*>(new LoadFilament(nullptr)) : new UnloadFilament(nullptr);
        page->show();
    }
    ~Wizard() { delete page.data(); }
    LoadFilament* l() const { return static_cast<LoadFilament*>(page.data()); }
    UnloadFilament* u() const { return static_cast<UnloadFilament*>(page.data()); }
    int state() const { return !page ? -1 : load ? l()->feedState() : u()->unloadState(); }
    void tick()
    {
        rig.mainWindow->pollStatus();
        if (load)
            l()->showCheckProgress();
        else
            u()->showCheckProgress();
    }
    bool tickUntil(int wanted)
    {
        return rig.waitFor([&] { tick(); return state() == wanted; }, 20000);
    }
    QString text(const char* name) { return page->findChild<QLabel*>(name)->text(); }
    QToolButton* button(const char* name) { return page->findChild<QToolButton*>(name); }
    // Presses a button; an open question gets `then` run behind it, then the answer.
    void press(const char* name, bool yes = true, const std::function<void()>& then = {})
    {
        SimHarness::waitUntil([] { return !OneTimesClicked().isHasClicked(); }, 1000);
        QTimer::singleShot(0, [=] {
            SimHarness::waitUntil([] { return TwoButtonDialog::instTwoButtonDialog != nullptr; }, 2000);
            if (then)
                then();
            if (TwoButtonDialog* q = TwoButtonDialog::instTwoButtonDialog)
                QTest::mouseClick(q->findChild<QToolButton*>(yes ? "ok" : "cancel"), Qt::LeftButton);
        });
        QTest::mouseClick(button(name), Qt::LeftButton);
    }
    // Two presses in a row (the page may be gone after the first).
    void doublePress(const char* name)
    {
        QPointer<QToolButton> b = button(name);
        for (int i = 0; i < 2 && b; ++i)
            QTest::mouseClick(b, Qt::LeftButton);
    }
    bool gone()
    {
        return rig.waitFor([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !page && !LoadFilament::instLoadFilament && !UnloadFilament::instUnloadFilament;
        });
    }
    // After the page has gone, nothing more reaches the controller.
    bool quietAfter()
    {
        const int n = rig.commands().size();
        QTest::qWait(400);
        return rig.commands().size() == n;
    }
};

}

class TestFilamentWizards : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        LoadFilament::tickMs = UnloadFilament::tickMs = 3600 * 1000;
        UnloadFilament::motionTickLimit = 120;
    }
    void cleanup() { PrintPageRig::closeDialogs(); }

    void fullRun_data()
    {
        QTest::addColumn<bool>("load");
        QTest::newRow("load") << true;
        QTest::newRow("unload") << false;
    }
    // A whole run on the wizards' own timers, as the user sees it.
    void fullRun()
    {
        QFETCH(bool, load);
        PrintPageRig rig(quick());
        LoadFilament::tickMs = UnloadFilament::tickMs = 100;
        Wizard w(rig, load);
        if (load) {
            QVERIFY(rig.waitFor([&] { return w.button("close")->text() == "ok"; }));
            QCOMPARE(w.text("label"), QString("Loading,about 1-2 minute\nPress ok when new color appears"));
            QVERIFY(w.gone());
            const QStringList push{"M112", "G92 E0", "G1 E500 F180"};
            QCOMPARE(rig.commands(), QStringList("M104 S230 T0") + Homing + push + Stop + LoadEnd);
        } else {
            QVERIFY(rig.waitFor([&] { return w.state() == 8; }));
            QVERIFY(w.button("close")->isHidden() && !w.button("back")->isHidden());
            QCOMPARE(w.button("back")->pos(), QPoint(195, 2));
            QVERIFY(w.page->findChild<QLabel*>("extruderTemp")->isHidden());
            QCOMPARE(w.text("label"), QString("Press and hold the handle.\npull out the filament, and\nunloading is completed!"));
            const QStringList unload{"M104 S230 T0", "M112", "G92 E0", "G1 E10 F180", "G1 E-200 F1000"};
            QCOMPARE(rig.commands(), unload + Stop);
            const int from = rig.mark();
            w.doublePress("back");
            QVERIFY(w.gone());
            QCOMPARE(rig.commands(from), UnloadEnd);
        }
        QVERIFY(PrintPageRig::tunePlayed(buzzerPlay::Tune5));
        QVERIFY(w.quietAfter());
    }

    void heatedWindow_data()
    {
        QTest::addColumn<bool>("load");
        QTest::addColumn<int>("temp");
        QTest::addColumn<bool>("hot");
        for (bool load : {true, false})
            for (auto [t, hot] : {std::pair{227, false}, {228, true}, {249, true}, {250, false}, {280, false}})
                QTest::addRow("%s %d", load ? "load" : "unload", t) << load << t << hot;
    }
    void heatedWindow()
    {
        QFETCH(bool, load);
        QFETCH(int, temp);
        QFETCH(bool, hot);
        PrintPageRig rig(quick());
        rig.sim().pinNozzleTemperature(temp);
        Wizard w(rig, load);
        w.tick();
        if (load)
            QVERIFY(rig.waitSent("G1 X0 Y0 F2000"));
        for (int i = 0; i < (load ? 3 : 1); ++i)
            w.tick();
        QCOMPARE(w.state(), hot ? (load ? 4 : 3) : (load ? 0 : 1));
        QCOMPARE(rig.sent(load ? "G1 E500 F180" : "G1 E10 F180"), hot);
        QVERIFY(w.text("label") != Abnormal);
    }

    void ceilingAndCancel_data()
    {
        QTest::addColumn<bool>("load");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("how");   // "281", "yes", "no"
        for (const char* how : {"281", "yes", "no"}) {
            for (int s : {0, 1, 4, 5})
                QTest::addRow("load %d %s", s, how) << true << s << QString(how);
            for (int s : {1, 3, 4})
                if (s == 1 || QString(how) == "281")
                    QTest::addRow("unload %d %s", s, how) << false << s << QString(how);
        }
    }
    // Over 280 C or a confirmed cancel, in each state: the machine stops and
    // nothing follows; a rejected question leaves the wizard where it was.
    void ceilingAndCancel()
    {
        QFETCH(bool, load);
        QFETCH(int, state);
        QFETCH(QString, how);
        PrintPageRig rig(quick());
        // Load state 0: cold, homing under way; state 1: hot, homing not done. Unload 1: cold.
        rig.sim().movesNeverEnd(load && state < 2);
        rig.sim().pinNozzleTemperature(state == (load ? 0 : 1) ? 100 : 230);
        Wizard w(rig, load);
        QVERIFY(w.tickUntil(state));
        if (load && state == 0)
            QVERIFY(rig.waitSent("G28 Z"));
        const int from = rig.mark();
        if (how == "281") {
            rig.sim().pinNozzleTemperature(281);
            w.tick();
            w.tick();
            QCOMPARE(w.text("label"), Abnormal);
            QCOMPARE(rig.commands(from), Stop);
            const char* way = w.button("close")->isVisible() ? "close" : "back";
            QVERIFY(w.button(way)->isVisible());
            w.doublePress(way);
        } else {
            w.press("close", how == "yes");
            if (how == "no") {
                QCOMPARE(w.state(), state);
                QVERIFY(rig.commands(from).isEmpty());
                return;
            }
        }
        QVERIFY(w.gone());
        QCOMPARE(rig.commands(from), Stop + (load ? LoadEnd : UnloadEnd));
        QVERIFY(w.quietAfter());
    }

    void endWhileAsking_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("confirmed") << true;
        QTest::newRow("rejected") << false;
    }
    // The load ends and asks to close while its question is open: the page
    // waits for the answer and then closes once.
    void endWhileAsking()
    {
        QFETCH(bool, yes);
        PrintPageRig rig(quick());
        rig.sim().pinNozzleTemperature(230);
        Wizard w(rig, true);
        QVERIFY(w.tickUntil(5));
        const int from = rig.mark();
        bool stillThere = false;
        w.press("close", yes, [&] {
            w.tick();
            w.tick();
            QTest::qWait(700);
            stillThere = w.page != nullptr;
        });
        QVERIFY(stillThere);
        QVERIFY(w.gone());
        QCOMPARE(rig.commands(from), Stop + LoadEnd);
        QVERIFY(w.quietAfter());
    }

    void foulWeather_data()
    {
        QTest::addColumn<bool>("load");
        QTest::addColumn<QString>("fault");
        for (bool load : {true, false})
            for (const char* f : {"silent", "hang-up", "stuck"})
                QTest::addRow("%s %s", load ? "load" : "unload", f) << load << QString(f);
    }
    // Mid-move the controller falls silent, hangs up or never ends a move: the
    // screen keeps ticking and the user can always leave.
    void foulWeather()
    {
        QFETCH(bool, load);
        QFETCH(QString, fault);
        PrintPageRig rig(quick());
        rig.link()->setTiming(LinkTiming{100, 20, 300, 300});
        rig.sim().pinNozzleTemperature(230);
        UnloadFilament::motionTickLimit = 3;
        Wizard w(rig, load);
        QVERIFY(w.tickUntil(load ? 4 : 3));
        const int from = rig.mark();
        if (fault == "silent")
            rig.sim().dropReplies(1000000);
        else if (fault == "hang-up")
            rig.sim().hangUp(-1);
        rig.sim().movesNeverEnd(true);
        for (int i = 0; i < 4; ++i)
            w.tick();
        if (load) {
            QCOMPARE(w.state(), 4);
            w.press("close", true);
        } else {
            QCOMPARE(w.text("label"), QString("Unloading did not finish.\nPlease check the machine."));
            w.doublePress("back");
        }
        QVERIFY(w.gone());
        if (fault == "stuck")
            QCOMPARE(rig.commands(from), Stop + (load ? LoadEnd : UnloadEnd));
        QVERIFY(w.quietAfter());
    }

    // A printing page waiting for heat leaves an unload wizard's target alone.
    void printPageIgnoresUnloadTarget()
    {
        PrintPageRig rig;
        rig.sim().pinNozzleTemperature(150);
        rig.mainWindow->slot_ThreadM23(rig.writeJob("job.gcode", makeJob(1, 4, 200, -1)));
        QVERIFY(rig.waitSent("G1 X-90 Y-90 F2000"));
        Wizard w(rig, false);
        QVERIFY(rig.waitFor([&] { return rig.text("extruderTemp") == "150/230"; }));
        rig.sim().pinNozzleTemperature(205);
        QVERIFY(rig.waitFor([&] { return rig.page()->getPrinterFileSendStatus(); }));
    }
};

QTEST_MAIN(TestFilamentWizards)
#include "test_filamentwizards.moc"
