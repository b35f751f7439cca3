// The pages over a running job: the in-print menu, the adjustments page and
// the filament change, driven against the simulator as a user would.
#include "Config/Config.h"
#include "UI/changfilament.h"
#include "UI/printctl.h"
#include "UI/printdetail.h"
#include "tests/support/PrintPageRig.h"

#include <QDir>
#include <QRegularExpression>

using namespace PageTools;

namespace {

bool shown(QWidget* w, const char* name)
{
    return w && w->findChild<QToolButton*>(name)->isVisible();
}

const char* const Record = "/data/resume_printdetail_file";

QString tips() { return label(ChangFilament::instHandle, "tips"); }

// A job streaming a long first layer, then a second one whose temperature lines
// an override must replace.
void startStreamingJob(PrintPageRig& rig)
{
    QByteArray job = makeJob(2, 250, 200, 60);
    job.replace(";layer:1\n", ";layer:1\nM104 S200 T0\nM140 S60\n");
    rig.startJob("job.gcode", job);
    QVERIFY(rig.waitSent("G1 Z0.30 F600"));
}

void openMenu(PrintPageRig& rig)
{
    rig.press("buildSetting");
    QVERIFY(PrintCtl::instHandle);
}

void changeFromMenu(PrintPageRig& rig)
{
    openMenu(rig);
    answerSoon(true);
    click(PrintCtl::instHandle, "ChangeFilament");
    QVERIFY(ChangFilament::instHandle && rig.waitFor([] { return !PrintCtl::instHandle; }));
}

}

class TestInPrint : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        PrintPageRig::closeDialogs();
        QApplication::processEvents();
    }

    void menuFromRunningAndPausedJob()
    {
        PrintPageRig rig;
        getConfigFile().configFile()->setLedStatus(true);
        startStreamingJob(rig);
        int mark = rig.mark();
        openMenu(rig);
        for (bool expected : {false, true}) {
            click(PrintCtl::instHandle, "LightSet");
            QCOMPARE(getConfigFile().configFile()->getLedStatus(), expected);
        }
        QCOMPARE(rig.commands(mark).filter(QRegularExpression("^M14[45]$")), QStringList({"M145", "M144", "M145"}));

        // Closed by its button, a tap outside it, play/pause (which does not pause).
        rig.press("buildSetting");
        QVERIFY(!PrintCtl::instHandle);
        openMenu(rig);
        QTest::mouseClick(rig.page(), Qt::LeftButton, {}, QPoint(305, 150));
        QVERIFY(PrintCtl::instHandle);
        QTest::mouseClick(rig.page(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!PrintCtl::instHandle);
        openMenu(rig);
        click(PrintCtl::instHandle, "printset");
        rig.press("play_pause");
        QVERIFY(!PrintCtl::instHandle && !PrintDetail::instPrintDetail && rig.state() == 1);

        // "NO" leaves the job running.
        openMenu(rig);
        answerSoon(false);
        click(PrintCtl::instHandle, "ChangeFilament");
        QVERIFY(rig.waitFor([] { return !PrintCtl::instHandle; }));
        QVERIFY(!ChangFilament::instHandle && rig.state() == 1);

        // Opened over a paused job: the change starts at once, without a question.
        rig.press("play_pause");
        QVERIFY(rig.waitFor([&] { return rig.page()->pauseSettled() && rig.button("buildSetting")->isEnabled(); }));
        openMenu(rig);
        mark = rig.mark();
        click(PrintCtl::instHandle, "ChangeFilament");
        QVERIFY(ChangFilament::instHandle && !TwoButtonDialog::instTwoButtonDialog && !PrintCtl::instHandle);
        QCOMPARE(rig.commands(mark), QStringList({"M104 S230 T0"}));
    }

    // Every value at both of its bounds, and stored records brought into range.
    void adjustmentBounds()
    {
        PrintPageRig rig;
        struct Bound { const char* dec; const char* inc; const char* value; QString lo, hi; };
        const Bound bounds[] = {{"btnNozzleDec", "btnNozzleInc", "extruderTemp", "170", "260"},
                                {"btnPlateDec", "btnPlateInc", "platformTemp", "30", "110"},
                                {"btnSpeedDec", "btnSpeedInc", "buildSpeed", "50%", "300%"},
                                {"btnZDec", "btnZInc", "buildZOffset", "-1.00mm", "1.00mm"}};   // second page
        const auto values = [](QWidget* p) {
            return QStringList({label(p, "buildSpeed"), label(p, "extruderTemp"), label(p, "platformTemp"),
                                label(p, "buildZOffset")});
        };
        auto* page = new PrintDetail(false, true, 1200, nullptr);
        page->setJobTargets(200, 60);
        page->initView();
        page->show();
        for (const Bound& b : bounds) {
            if (QString(b.dec) == "btnZDec")
                click(page, "down");
            auto* dec = page->findChild<QToolButton*>(b.dec);
            auto* inc = page->findChild<QToolButton*>(b.inc);
            for (int i = 0; i < 300 && dec->isEnabled(); ++i)
                click(page, b.dec);
            QCOMPARE(label(page, b.value), b.lo);
            click(page, b.inc);
            QVERIFY(dec->isEnabled());
            for (int i = 0; i < 300 && inc->isEnabled(); ++i)
                click(page, b.inc);
            QCOMPARE(label(page, b.value), b.hi);
            QVERIFY(!inc->isEnabled() && dec->isEnabled());
        }
        // Out-of-range values of a stored record are clamped; a damaged one is ignored.
        _printcfg_t wild{900, 250, 5, 390, -700, 1};
        printdetail_write_config(&wild);
        page->initView();
        QCOMPARE(values(page), QStringList({"300%", "260", "30", "-1.00mm"}));
        rig.sandbox().writeFile(Record, "1\nfast\n");
        page->initView();
        QCOMPARE(values(page), QStringList({"100%", "200", "60", "0.00mm"}));
        delete page;
    }

    void adjustmentsApplied()
    {
        PrintPageRig rig;
        startStreamingJob(rig);
        openMenu(rig);
        click(PrintCtl::instHandle, "printset");
        PrintDetail* page = PrintDetail::instPrintDetail;
        for (auto [name, presses] : {std::pair("btnSpeedInc", 10), {"btnNozzleInc", 15}, {"btnPlateInc", 10},
                                     {"down", 1}, {"btnZDec", 5}})
            for (int i = 0; i < presses; ++i)
                click(page, name);
        const int mark = rig.mark();
        click(page, "ok_2");
        QCOMPARE(rig.sandbox().readFile(Record), QByteArray("1\n150\n100\n-10\n70\n215\n0\n0\n"));
        // The second may be kept for a slot (or a screen event with time to
        // spare); it follows in order.
        const auto targets = [&] { return rig.commands(mark).filter(QRegularExpression("^M1(04|40) ")).mid(0, 2); };
        QVERIFY(rig.waitFor([&] { return targets().size() == 2; }));
        QCOMPARE(targets(), QStringList({"M140 S70", "M104 S215 T0"}));
        QVERIFY(rig.page()->m_printSpeed == 150 && rig.page()->m_zOffset == -10);
        PrintPageRig::closeMessage();

        // The second layer's own temperature lines carry the overrides.
        QVERIFY(rig.waitFor([&] { return rig.commands(mark).count("M140 S70") >= 2; }, 30000));
        QVERIFY(!rig.commands(mark).contains("M104 S200 T0") && rig.commands(mark).count("M104 S215 T0") >= 2);
        QVERIFY(rig.waitFor([&] { return rig.text("speed") == "150%" && rig.text("zValue") == "-0.10"; }));

        // A record that cannot be stored is reported, not confirmed.
        QVERIFY(QDir().remove(rig.sandbox().path(Record)) && QDir().mkpath(rig.sandbox().path(Record)));
        click(page, "ok_2");
        QCOMPARE(PrintPageRig::messageText(), QString("Parameters applied, but they could not be saved"));
        PrintPageRig::closeMessage();
        QDir(rig.sandbox().path(Record)).removeRecursively();

        // Back applies nothing; a cancel takes the menu and the page with it.
        click(page, "btnZInc");
        click(page, "back");
        QVERIFY(!PrintDetail::instPrintDetail && PrintCtl::instHandle);
        QCOMPARE(rig.link()->printingAdjust().zOffset, -10);
        click(PrintCtl::instHandle, "printset");
        QVERIFY(PrintDetail::instPrintDetail);
        emit rig.lan()->sig_printcancel();
        QVERIFY(!PrintCtl::instHandle && !PrintDetail::instPrintDetail);
        QVERIFY(rig.waitPageGone());
        QVERIFY(rig.waitFor([&] { return !rig.link()->isPrinting(); }));

        // The stored adjustments carry over into a power-off resume.
        rig.sandbox().writeFile(Record, "1\n150\n100\n-10\n70\n215\n0\n0\n");
        rig.mainWindow->powerOffResumePrint(rig.sandbox().path("/data/job.gcode"));
        QVERIFY(rig.waitFor([&] { return rig.link()->printingAdjust().zOffset == -10 && rig.text("speed") == "150%"; }));
    }

    // Pause, park, heat, unload, OK, load, Back, resume.
    void filamentChangeWholeRun()
    {
        PrintPageRig rig;
        startStreamingJob(rig);
        int mark = rig.mark();
        changeFromMenu(rig);
        QCOMPARE(tips(), QString("pause print..."));
        QVERIFY(!rig.button("play_pause")->isEnabled());
        QVERIFY(rig.waitFor([] { return shown(ChangFilament::instHandle, "ok"); }, 30000));
        QVERIFY(shown(ChangFilament::instHandle, "back"));
        QStringList since = rig.commands(mark);
        QCOMPARE(since.mid(since.indexOf("G1 Z212.00 F300")),
                 QStringList({"G1 Z212.00 F300", "G1 X95 Y97 F2000", "M104 S230 T0", "M112", "G92 E0",
                              "G1 E10 F180", "G1 E-100 F180", "M112"}));

        mark = rig.mark();
        click(ChangFilament::instHandle, "ok");
        QVERIFY(!shown(ChangFilament::instHandle, "ok"));
        QVERIFY(rig.waitFor([&] { return rig.commands(mark).size() >= 5; }, 20000));
        QVERIFY(shown(ChangFilament::instHandle, "back"));
        QCOMPARE(rig.commands(mark), QStringList({"M104 S230 T0", "M112", "G92 E0", "G1 E50 F180", "G1 E150 F180"}));

        mark = rig.mark();
        click(ChangFilament::instHandle, "back");
        QVERIFY(rig.waitFor([] { return !ChangFilament::instHandle; }));
        QCOMPARE(rig.commands(mark), QStringList({"M104 S0 T0", "M112"}));
        QVERIFY(rig.state() == 2 && rig.button("play_pause")->isEnabled());

        // The resume returns to the job's own targets, not the change's 230 C.
        mark = rig.mark();
        rig.press("play_pause");
        QCOMPARE(rig.firstTwo(mark), PrintPageRig::jobHeat());
        QVERIFY(rig.waitSettled(1, 20000));
    }

    // A remote cancel during a change, then OK: both pages close and the nozzle is left cold.
    void cancelDuringChange()
    {
        PrintPageRig rig;
        startStreamingJob(rig);
        changeFromMenu(rig);
        QVERIFY(rig.waitFor([] { return shown(ChangFilament::instHandle, "ok"); }, 30000));
        emit rig.cloud->sig_cloudprintcancel();
        QVERIFY(rig.waitSent("G1 X90 Y92 F2000"));   // the job's stop and park
        if (shown(ChangFilament::instHandle, "ok"))
            click(ChangFilament::instHandle, "ok");
        QVERIFY(rig.waitPageGone());
        QVERIFY(rig.waitFor([] { return !ChangFilament::instHandle; }));
        QTest::qWait(1200);
        QCOMPARE(rig.sim().nozzleTarget(), 0);
    }

    // Chosen before the print thread started: no park to wait for, the change's
    // heat never becomes the job's, and foul weather never traps the user.
    void filamentChangeBeforeStreamingInFoulWeather()
    {
        PrintPageRig rig;
        rig.startHeldJob();
        QVERIFY(rig.waitFor([&] { return rig.state() == 1 && rig.button("buildSetting")->isEnabled(); }));
        int mark = rig.mark();
        changeFromMenu(rig);
        QVERIFY(rig.waitFor([] { return tips() == "Heating..."; }, 5000));
        QStringList since = rig.commands(mark);
        QCOMPARE(since.mid(since.indexOf("M140 S0")), QStringList({"M140 S0", "M104 S0 T0", "M112", "M104 S230 T0"}));
        emit rig.lan()->sig_printresume();
        QCOMPARE(rig.state(), 2);
        QVERIFY(rig.waitFor([&] { return rig.mainWindow->getTargetExtruderTemp() == 230; }));
        QTest::qWait(1200);   // a monitor tick sees the change's 230 C

        // Stuck motion: within the push's limit the change stops, heaters off, and names it.
        rig.sim().pinNozzleTemperature(235);
        rig.sim().movesNeverEnd(true);
        QVERIFY(rig.waitSent("G1 E10 F180", 10000));
        QVERIFY(!shown(ChangFilament::instHandle, "back"));
        QVERIFY(rig.waitFor([] { return shown(ChangFilament::instHandle, "back"); }, 20000));
        QCOMPARE(tips(), QString("The printer did not finish its move.\nPlease check the printer."));
        QVERIFY(!rig.sent("G1 E-100 F180") && rig.sim().nozzleTarget() == 0);
        mark = rig.mark();
        click(ChangFilament::instHandle, "back");
        QVERIFY(rig.waitFor([] { return !ChangFilament::instHandle; }));
        QCOMPARE(rig.commands(mark), QStringList({"M104 S0 T0", "M112"}));
        rig.sim().movesNeverEnd(false);

        // The resume prepares the machine again for the job's own 200 C.
        rig.sim().pinNozzleTemperature(-1);
        mark = rig.mark();
        rig.press("play_pause");
        QVERIFY(rig.waitSent("G1 Z0.30 F600", 30000));
        QCOMPARE(rig.firstTwo(mark), PrintPageRig::jobHeat());
        QVERIFY(!rig.commands(mark).contains("M104 S230 T0"));

        // 281 C during a change: the job stops and its page takes the change page with it.
        changeFromMenu(rig);
        rig.sim().pinNozzleTemperature(281);
        QVERIFY(rig.waitPageGone());
        QVERIFY(rig.waitFor([&] { return !ChangFilament::instHandle && rig.sim().nozzleTarget() == 0; }));

        // Without a job: stopped at once, no further step, Back still closes it.
        rig.sim().pinNozzleTemperature(-1);
        auto* alone = new ChangFilament(true, nullptr);
        alone->show();
        QVERIFY(rig.waitFor([] { return tips() == "Heating..." && shown(ChangFilament::instHandle, "back"); }));
        rig.sim().pinNozzleTemperature(281);
        QVERIFY(rig.waitFor([] { return tips() == "Abnormal temperature,\nPlease check the extruder."; }, 5000));
        QCOMPARE(rig.sim().nozzleTarget(), 0);
        mark = rig.mark();
        QTest::qWait(1500);
        QVERIFY(rig.commands(mark).isEmpty());
        click(alone, "back");
        QVERIFY(rig.waitFor([] { return !ChangFilament::instHandle; }));
    }
};

QTEST_MAIN(TestInPrint)
#include "test_inprint.moc"
