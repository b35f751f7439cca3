// The filament wizards against the controller simulator, and the printing page beside them.
#include "UI/loadfilament.h"
#include "UI/unloadfilament.h"
#include "tests/support/PrintPageRig.h"

#include <QRegularExpression>

namespace {

const QStringList Stop{"M112", "M140 S0", "M104 S0 T0"};
const QStringList LoadEnd{"M112", "M18", "M140 S0", "M104 S0 T0"};
const QStringList UnloadEnd{"M112", "M18", "G92 E0", "M140 S0", "M104 S0 T0"};
const QStringList Homing{"G28 Z", "G28 X", "G28 Y", "M112", "G90", "G92 X100 Y102 Z212.00 A0 B0", "G1 X0 Y0 F2000"};
const QString Abnormal = "Abnormal temperature,\nPlease check the extruder.";
const QString NotAnswering = "The printer's controller is not answering.\nPlease check the printer.";

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
    int state() const
    {
        auto* l = qobject_cast<LoadFilament*>(page.data());
        auto* u = qobject_cast<UnloadFilament*>(page.data());
        return l ? l->feedState() : u ? u->unloadState() : -1;
    }
    void tick()
    {
        rig.mainWindow->pollStatus();
        QMetaObject::invokeMethod(page, "showCheckProgress", Qt::DirectConnection);
    }
    bool tickUntil(int wanted) { return rig.waitFor([&] { tick(); return state() == wanted; }); }
    QString text(const char* name) { return page->findChild<QLabel*>(name)->text(); }
    QToolButton* button(const char* name) { return page->findChild<QToolButton*>(name); }
    // Presses a visible button; `then` runs behind the question it opens, then the answer is given.
    void press(const char* name, bool yes = true, const std::function<void()>& then = {})
    {
        SimHarness::waitUntil([] { return !OneTimesClicked().isHasClicked(); }, 1000);
        QTimer::singleShot(0, [=] {
            if (then)
                then();
            PageTools::answer(yes);
        });
        PageTools::click(page, name);
    }
    // Two presses of a visible button in a row (the page may be gone after the first).
    void doublePress(const char* name)
    {
        QPointer<QToolButton> b = button(name);
        QVERIFY2(b && b->isVisible() && b->isEnabled(), name);
        for (int i = 0; i < 2 && b; ++i)
            QTest::mouseClick(b, Qt::LeftButton);
    }
    // The page has gone, and after it nothing more reaches the controller.
    bool goneQuietly()
    {
        const bool gone = rig.waitFor([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !page && !LoadFilament::instLoadFilament && !UnloadFilament::instUnloadFilament;
        });
        const int n = rig.commands().size();
        QTest::qWait(400);
        return gone && rig.commands().size() == n;
    }
};

}

class TestFilamentWizards : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        LoadFilament::tickMs = UnloadFilament::tickMs = 3600 * 1000;
    }
    void cleanup() { PrintPageRig::closeDialogs(); }

    // A whole run on the wizards' own timers, as the user sees it.
    void fullRun_data()
    {
        QTest::addColumn<bool>("load");
        QTest::newRow("load") << true;
        QTest::newRow("unload") << false;
    }
    void fullRun()
    {
        QFETCH(bool, load);
        PrintPageRig rig(quick());
        LoadFilament::tickMs = UnloadFilament::tickMs = 100;
        Wizard w(rig, load);
        if (load) {
            QVERIFY(rig.waitFor([&] { return w.button("close")->text() == "ok"; }));
            QVERIFY(w.goneQuietly());
            const QStringList push{"M112", "G92 E0", "G1 E500 F180"};
            QCOMPARE(rig.commands(), QStringList("M104 S230 T0") + Homing + push + Stop + LoadEnd);
        } else {
            QVERIFY(rig.waitFor([&] { return w.state() == 8; }));
            QVERIFY(w.button("close")->isHidden());
            const QStringList unload{"M104 S230 T0", "M112", "G92 E0", "G1 E10 F180", "G1 E-200 F1000"};
            w.doublePress("back");
            QVERIFY(w.goneQuietly());
            QCOMPARE(rig.commands(), unload + Stop + UnloadEnd);
        }
        QVERIFY(PrintPageRig::tunePlayed(buzzerPlay::Tune5));
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
        QCOMPARE(w.state(), (load ? 0 : 1) + int(hot));
        QVERIFY(w.text("label") != Abnormal);
    }

    void leaveInEachState_data()
    {
        QTest::addColumn<bool>("load");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("how");
        const auto row = [](bool load, int s, const char* how) {
            QTest::addRow("%s %d %s", load ? "load" : "unload", s, how) << load << s << QString(how);
        };
        for (const char* how : {"281", "yes", "no"})
            for (int s : {0, 1, 4, 5})
                row(true, s, how);
        for (int s : {1, 3, 4})
            row(false, s, "281");
        row(false, 1, "yes");
        row(false, 1, "no");
        row(true, 5, "end yes");   // the load ends behind its open question
        row(true, 5, "end no");
        for (const char* fault : {"silent", "hang-up", "stuck"}) {
            row(true, 4, fault);
            row(false, 3, fault);
        }
        row(true, 3, "unconfirmed");   // the line goes down as the push is sent
        row(false, 2, "unconfirmed");
        row(true, 0, "homing fails");
    }
    // Over 280 C, a cancel, the end behind the question or a controller gone
    // wrong, in each state: the user can leave, the machine is stopped and
    // nothing follows the page; a rejected question leaves the wizard as it was.
    void leaveInEachState()
    {
        QFETCH(bool, load);
        QFETCH(int, state);
        QFETCH(QString, how);
        // Load state 0: cold, homing under way; state 1: hot, homing not done (it
        // runs at the machine's own pace). Unload 1: cold.
        ControllerSimulator::Options options = quick();
        if (load && state < 2 && how != "homing fails")
            options.timeScale = 1;
        PrintPageRig rig(options);
        rig.sim().pinNozzleTemperature(state == (load ? 0 : 1) ? 100 : 230);
        Wizard w(rig, load);
        QVERIFY(w.tickUntil(state));
        if (load && state == 0)
            QVERIFY(rig.waitSent("G28 Z"));
        const int from = rig.mark();
        bool stillThere = true;
        if (how == "281") {
            rig.sim().pinNozzleTemperature(281);
            w.tick();
            w.tick();
            QCOMPARE(w.text("label"), Abnormal);
            QCOMPARE(rig.commands(from), Stop);
            w.doublePress(load || state == 1 ? "close" : "back");   // Cancel until heated, then Back
        } else if (how.startsWith("end")) {
            w.press("close", how == "end yes", [&] {
                w.tick();
                w.tick();
                QTest::qWait(700);
                stillThere = w.page != nullptr;
            });
        } else if (how == "yes" || how == "no") {
            w.press("close", how == "yes");
            if (how == "no") {
                QCOMPARE(w.state(), state);
                for (const QString& c : rig.commands(from))   // the wizard goes on as it was
                    QVERIFY2(!Stop.contains(c) && c != "M18", qPrintable(c));
                return;
            }
        } else {
            // Stuck or silent: within the move's own limit the wizard stops, names
            // the cause and offers its way out.
            rig.link()->setTiming(LinkTiming{100, 20, 300, 300});
            if (how == "silent")
                rig.sim().dropReplies(1000000);
            else if (how == "hang-up")
                rig.sim().hangUp(-1);
            else if (how == "unconfirmed")
                rig.sim().hangUp(3000);
            rig.sim().movesNeverEnd(how != "unconfirmed");
            const QString text = how == "silent" || how == "hang-up" || how == "unconfirmed" ? NotAnswering
                : load ? "The printer did not finish its move.\nPlease check the printer."
                       : "Unloading did not finish.\nPlease check the machine.";
            QVERIFY(rig.waitFor([&] { w.tick(); return w.text("label") == text; }, 10000));
            QVERIFY(!rig.sent("G1 E-200 F1000") && w.button(load ? "close" : "back")->isVisible());
            QVERIFY(!load || w.button("close")->text() == "Back");
            rig.sim().dropReplies(0);
            rig.sim().movesNeverEnd(false);
            // A job started meanwhile keeps the machine when the page goes.
            if (how == "stuck") {
                rig.startHeldJob();
                QVERIFY(rig.waitSent("G28 Z"));
            }
            const int before = rig.mark();
            w.press(load ? "close" : "back");
            QVERIFY(PageTools::gone(w.page));
            if (how == "stuck") {
                QVERIFY(rig.waitSent("G1 X-90 Y-90 F2000"));
                QVERIFY(!rig.commands(before).contains("M18") && rig.sim().nozzleTarget() == 200);
            } else if (how == "hang-up") {   // the line stays down: the stop waits for it
                QVERIFY(rig.link()->pendingSafetyCommands() > 0);
            } else {   // what the controller did not take goes out once it answers again
                QVERIFY(rig.waitFor([&] {
                    rig.mainWindow->pollStatus();
                    return rig.sim().nozzleTarget() == 0 && rig.link()->pendingSafetyCommands() == 0;
                }, 10000));
            }
            return;
        }
        QVERIFY(stillThere);
        QVERIFY(w.goneQuietly());
        QCOMPARE(rig.commands(from), Stop + (load ? LoadEnd : UnloadEnd));
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
