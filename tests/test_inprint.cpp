// The pages over a running job: the in-print menu, the adjustments page and
// the filament change, driven against the simulator as a user would.
#include "Config/Config.h"
#include "UI/changfilament.h"
#include "UI/printctl.h"
#include "UI/printdetail.h"
#include "tests/support/PrintPageRig.h"

#include <QDir>
#include <QFile>

namespace {

void click(QWidget* window, const char* name)
{
    SimHarness::waitUntil([] { return !OneTimesClicked().isHasClicked(); }, 1000);
    auto* b = window ? window->findChild<QToolButton*>(name) : nullptr;
    QVERIFY2(b && b->isVisible() && b->isEnabled(), name);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Answers the question that the next press opens.
void answerSoon(bool yes)
{
    QTimer::singleShot(300, [yes] {
        if (TwoButtonDialog* q = TwoButtonDialog::instTwoButtonDialog)
            QTest::mouseClick(q->findChild<QToolButton*>(yes ? "ok" : "cancel"), Qt::LeftButton);
    });
}

QString label(QWidget* w, const char* name)
{
    auto* l = w ? w->findChild<QLabel*>(name) : nullptr;
    return l ? l->text() : QString();
}

bool shown(QWidget* w, const char* name)
{
    auto* b = w ? w->findChild<QToolButton*>(name) : nullptr;
    return b && b->isVisible();
}

// The lines among `lines` that begin with one of `starts` (the stream runs meanwhile).
QStringList only(const QStringList& lines, const QStringList& starts)
{
    QStringList out;
    for (const QString& l : lines)
        for (const QString& s : starts)
            if (l.startsWith(s)) {
                out << l;
                break;
            }
    return out;
}

QString tips() { return label(ChangFilament::instHandle, "tips"); }

// A job streaming a long first layer, then a second one whose temperature lines
// an override must replace.
void startStreamingJob(PrintPageRig& rig)
{
    QByteArray job = makeJob(2, 250, 200, 60);
    job.replace(";layer:1\n", ";layer:1\nM104 S200 T0\nM140 S60\n");
    rig.mainWindow->slot_ThreadM23(rig.writeJob("job.gcode", job));
    QVERIFY(rig.waitSent("G1 Z0.30 F600"));
}

// Prepared, but held short of its start by a nozzle pinned at 150 C.
void startHeldJob(PrintPageRig& rig)
{
    rig.sim().pinNozzleTemperature(150);
    rig.mainWindow->slot_ThreadM23(rig.writeJob("held.gcode", makeJob(1, 50, 200, 60)));
    QVERIFY(rig.waitFor([&] { return rig.state() == 1 && rig.button("buildSetting")->isEnabled(); }));
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
    QVERIFY(ChangFilament::instHandle);
    QVERIFY(rig.waitFor([] { return !PrintCtl::instHandle; }));
}

QByteArray recordBytes()
{
    QFile f(rootPath("/data/resume_printdetail_file"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}

class TestInPrint : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        ChangFilament::moveWaitTicks = 180;
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
        QCOMPARE(PrintCtl::instHandle->geometry(), QRect(237, 112, 233, 68));
        click(PrintCtl::instHandle, "LightSet");
        QCOMPARE(getConfigFile().configFile()->getLedStatus(), false);
        click(PrintCtl::instHandle, "LightSet");
        QCOMPARE(getConfigFile().configFile()->getLedStatus(), true);
        QCOMPARE(only(rig.commands(mark), {"M144", "M145"}), QStringList({"M145", "M144", "M145"}));

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
        QVERIFY(PrintDetail::instPrintDetail);
        rig.press("play_pause");
        QVERIFY(!PrintCtl::instHandle && !PrintDetail::instPrintDetail);
        QCOMPARE(rig.state(), 1);

        // "NO" leaves the job running.
        openMenu(rig);
        answerSoon(false);
        click(PrintCtl::instHandle, "ChangeFilament");
        QVERIFY(!ChangFilament::instHandle);
        QVERIFY(rig.waitFor([] { return !PrintCtl::instHandle; }));
        QCOMPARE(rig.state(), 1);

        // Opened over a paused job: the change starts at once, without a question.
        rig.press("play_pause");
        QVERIFY(rig.waitFor([&] { return rig.page()->pauseSettled() && rig.button("buildSetting")->isEnabled(); }));
        openMenu(rig);
        mark = rig.mark();
        click(PrintCtl::instHandle, "ChangeFilament");
        QVERIFY(ChangFilament::instHandle && !TwoButtonDialog::instTwoButtonDialog);
        QVERIFY(rig.waitFor([] { return !PrintCtl::instHandle; }));
        QCOMPARE(rig.commands(mark), QStringList({"M104 S230 T0"}));
        QCOMPARE(tips(), QString("Heating..."));
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
        auto* page = new PrintDetail(false, true, 1200, nullptr);
        page->setJobTargets(200, 60);
        page->initView();
        page->show();
        QCOMPARE(label(page, "buildZOffset"), QString("0.00mm"));
        QCOMPARE(label(page, "extruderTemp"), QString("200"));
        for (const Bound& b : bounds) {
            if (QString(b.dec) == "btnZDec") {
                click(page, "down");
                QVERIFY(!page->findChild<QToolButton*>("down")->isEnabled());
            }
            auto* dec = page->findChild<QToolButton*>(b.dec);
            auto* inc = page->findChild<QToolButton*>(b.inc);
            for (int i = 0; i < 300 && dec->isEnabled(); ++i)
                QTest::mouseClick(dec, Qt::LeftButton);
            QCOMPARE(label(page, b.value), b.lo);
            QTest::mouseClick(inc, Qt::LeftButton);
            QVERIFY(dec->isEnabled());
            for (int i = 0; i < 300 && inc->isEnabled(); ++i)
                QTest::mouseClick(inc, Qt::LeftButton);
            QCOMPARE(label(page, b.value), b.hi);
            QVERIFY(!inc->isEnabled() && dec->isEnabled());
        }
        // Out-of-range values of a stored record are clamped; a damaged one is ignored.
        _printcfg_t wild{900, 250, 5, 390, -700, 1};
        printdetail_write_config(&wild);
        page->initView();
        QCOMPARE(label(page, "buildSpeed"), QString("300%"));
        QCOMPARE(label(page, "buildZOffset"), QString("-1.00mm"));
        QCOMPARE(label(page, "extruderTemp"), QString("260"));
        QCOMPARE(label(page, "platformTemp"), QString("30"));
        rig.sandbox().writeFile("/data/resume_printdetail_file", "1\nfast\n");
        page->initView();
        QCOMPARE(label(page, "buildSpeed"), QString("100%"));
        QCOMPARE(label(page, "extruderTemp"), QString("200"));
        delete page;
    }

    void adjustmentsApplied()
    {
        PrintPageRig rig;
        startStreamingJob(rig);
        openMenu(rig);
        click(PrintCtl::instHandle, "printset");
        PrintDetail* page = PrintDetail::instPrintDetail;
        QCOMPARE(label(page, "extruderTemp"), QString("200"));
        QCOMPARE(label(page, "platformTemp"), QString("60"));
        for (int i = 0; i < 10; ++i)
            click(page, "btnSpeedInc");
        for (int i = 0; i < 15; ++i)
            click(page, "btnNozzleInc");
        for (int i = 0; i < 10; ++i)
            click(page, "btnPlateInc");
        click(page, "down");
        for (int i = 0; i < 5; ++i)
            click(page, "btnZDec");
        const int mark = rig.mark();
        click(page, "ok_2");
        QCOMPARE(recordBytes(), QByteArray("1\n150\n100\n-10\n70\n215\n0\n0\n"));
        QCOMPARE(PrintPageRig::messageText(), QString("Parameter set successfully"));
        QCOMPARE(only(rig.commands(mark), {"M104", "M140"}), QStringList({"M140 S70", "M104 S215 T0"}));
        QCOMPARE(rig.page()->m_printSpeed, 150);
        QCOMPARE(rig.page()->m_zOffset, -10);
        click(page, "ok_2");
        QCOMPARE(PrintPageRig::messageText(), QString("Parameter set successfully."));
        PrintPageRig::closeMessage();

        // The second layer's own temperature lines carry the overrides.
        QVERIFY(rig.waitFor([&] { return rig.commands(mark).count("M104 S215 T0") >= 3; }, 30000));
        QVERIFY(!rig.commands(mark).contains("M104 S200 T0"));
        QVERIFY(rig.commands(mark).count("M140 S70") >= 3);
        QVERIFY(rig.waitFor([&] { return rig.text("speed") == "150%" && rig.text("zValue") == "-0.10"; }));

        // A record that cannot be stored is reported, not confirmed.
        QVERIFY(QDir().mkpath(rootPath("/data/resume_printdetail_file.blocked")));
        QFile::remove(rootPath("/data/resume_printdetail_file"));
        QVERIFY(QDir().rename(rootPath("/data/resume_printdetail_file.blocked"),
                              rootPath("/data/resume_printdetail_file")));
        click(page, "ok_2");
        QCOMPARE(PrintPageRig::messageText(), QString("Parameters applied, but they could not be saved"));
        PrintPageRig::closeMessage();
        QDir(rootPath("/data/resume_printdetail_file")).removeRecursively();

        // Back applies nothing; a cancel takes the menu and the page with it.
        click(page, "btnZInc");
        click(page, "back");
        QVERIFY(!PrintDetail::instPrintDetail && PrintCtl::instHandle);
        click(PrintCtl::instHandle, "printset");
        QVERIFY(PrintDetail::instPrintDetail);
        emit rig.lan()->sig_printcancel();
        QVERIFY(!PrintCtl::instHandle && !PrintDetail::instPrintDetail);
        QVERIFY(rig.waitPageGone());
        QVERIFY(rig.waitFor([&] { return !rig.link()->isPrinting(); }));

        // The stored adjustments carry over into a power-off resume.
        rig.sandbox().writeFile("/data/resume_printdetail_file", "1\n150\n100\n-10\n70\n215\n0\n0\n");
        rig.mainWindow->powerOffResumePrint(rig.sandbox().path("/data/job.gcode"));
        QVERIFY(rig.waitFor([&] { return rig.link()->printingAdjust().speed == 150; }));
        QCOMPARE(rig.link()->printingAdjust().zOffset, -10);
        QVERIFY(rig.waitFor([&] { return rig.text("speed") == "150%" && rig.text("zValue") == "-0.10"; }));
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
        QCOMPARE(tips(), QString("Prepare load"));
        QVERIFY(shown(ChangFilament::instHandle, "back"));
        QStringList since = rig.commands(mark);
        QCOMPARE(since.mid(since.indexOf("G1 Z212.00 F300")),
                 QStringList({"G1 Z212.00 F300", "G1 X95 Y97 F2000", "M104 S230 T0", "M112", "G92 E0",
                              "G1 E10 F180", "G1 E-100 F180", "M112"}));

        mark = rig.mark();
        click(ChangFilament::instHandle, "ok");
        QCOMPARE(tips(), QString("heating..."));
        QVERIFY(!shown(ChangFilament::instHandle, "ok"));
        QVERIFY(rig.waitFor([] { return tips().startsWith("Loading,about 1-2 minute"); }, 20000));
        QVERIFY(shown(ChangFilament::instHandle, "back"));
        QVERIFY(rig.waitFor([&] { return rig.commands(mark).size() >= 5; }));
        QCOMPARE(rig.commands(mark), QStringList({"M104 S230 T0", "M112", "G92 E0", "G1 E50 F180", "G1 E150 F180"}));

        mark = rig.mark();
        click(ChangFilament::instHandle, "back");
        QVERIFY(rig.waitFor([] { return !ChangFilament::instHandle; }));
        QCOMPARE(rig.commands(mark), QStringList({"M104 S0 T0", "M112"}));
        QCOMPARE(rig.state(), 2);
        QVERIFY(rig.button("play_pause")->isEnabled());

        // The resume returns to the job's own targets, not the change's 230 C.
        mark = rig.mark();
        rig.press("play_pause");
        QCOMPARE(rig.commands(mark).mid(0, 2), QStringList({"M140 S60", "M104 S200 T0"}));
        QVERIFY(rig.waitFor([&] { return rig.state() == 1 && rig.button("play_pause")->isEnabled(); }, 20000));
    }

    // Chosen before the print thread started: no park to wait for, and the
    // change's heat never becomes the job's.
    void filamentChangeBeforeStreaming()
    {
        PrintPageRig rig;
        startHeldJob(rig);
        int mark = rig.mark();
        changeFromMenu(rig);
        QVERIFY(rig.waitFor([] { return tips() == "Heating..."; }, 5000));
        QStringList since = rig.commands(mark);
        QCOMPARE(since.mid(since.indexOf("M140 S0")), QStringList({"M140 S0", "M104 S0 T0", "M112", "M104 S230 T0"}));
        emit rig.lan()->sig_printresume();
        QCOMPARE(rig.state(), 2);
        QTest::qWait(2500);   // monitor ticks with 230 C on the controller
        click(ChangFilament::instHandle, "back");
        QVERIFY(rig.waitFor([] { return !ChangFilament::instHandle; }));

        rig.sim().pinNozzleTemperature(-1);
        mark = rig.mark();
        rig.press("play_pause");
        QVERIFY(rig.waitSent("G1 Z0.30 F600", 30000));
        QCOMPARE(rig.commands(mark).mid(0, 2), QStringList({"M140 S60", "M104 S200 T0"}));
        QVERIFY(!rig.commands(mark).contains("M104 S230 T0"));
    }

    void filamentChangeFoulWeather()
    {
        PrintPageRig rig;
        // Stuck motion behind a silent spell: Back comes back, and leaves the heater off.
        ChangFilament::moveWaitTicks = 3;
        startHeldJob(rig);
        changeFromMenu(rig);
        rig.sim().pinNozzleTemperature(235);
        rig.sim().movesNeverEnd(true);
        QVERIFY(rig.waitSent("G1 E10 F180", 10000));
        rig.sim().dropReplies(2);
        QVERIFY(!shown(ChangFilament::instHandle, "back"));
        QVERIFY(rig.waitFor([] { return shown(ChangFilament::instHandle, "back"); }, 20000));
        QVERIFY(!rig.sent("G1 E-100 F180"));
        int mark = rig.mark();
        click(ChangFilament::instHandle, "back");
        QVERIFY(rig.waitFor([] { return !ChangFilament::instHandle; }));
        QCOMPARE(rig.commands(mark), QStringList({"M104 S0 T0", "M112"}));
        QVERIFY(rig.button("play_pause")->isEnabled());
        rig.sim().movesNeverEnd(false);

        // 281 C during a change: the job stops and its page takes the change page with it.
        openMenu(rig);
        click(PrintCtl::instHandle, "ChangeFilament");
        QVERIFY(ChangFilament::instHandle);
        rig.sim().pinNozzleTemperature(281);
        QVERIFY(rig.waitPageGone());
        QVERIFY(rig.waitFor([] { return !ChangFilament::instHandle; }));
        QCOMPARE(rig.sim().nozzleTarget(), 0);

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
