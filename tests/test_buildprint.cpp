// The printing page driving whole jobs against the controller simulator:
// start, heat wait, streaming, finish, cancel, over-temperature and refusal.
#include "Config/Config.h"
#include "Files/ResumePrintConfig.h"
#include "tests/support/GxWriter.h"
#include "tests/support/PrintPageRig.h"

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QStringList StartOfJob{"M17", "M140 S0", "M104 S0 T0", "M140 S60", "M104 S200 T0",
                             "G28 Z", "G28 X", "G28 Y", "M112", "G90",
                             "G92 X100 Y102 Z212.00 A0 B0", "G1 X-90 Y-90 F2000"};
const QStringList PageEnd{"M18", "M112", "M17 Y", "G92 E0", "M112", "M18"};

int failingThreadCreator(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) { return EAGAIN; }

// speed, extrusion, bed, nozzle, Z offset, written by the adjustments page.
_printcfg_t adjustedRecord() { return {150, 90, 70, 230, 20, 1}; }

}

class TestBuildPrint : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { PrintPageRig::closeDialogs(); QApplication::processEvents(); }

    // A file the checks refuse: the message, the cloud's cancel, the page gone,
    // only the page's end sent to the controller; a second refusal reuses the
    // open message.
    void refusedFile()
    {
        PrintPageRig rig;
        const QString bad = rig.writeJob("too_wide.gcode", "M104 S200\nM118 X100.5 Y10 Z10\nG1 X1\n");
        rig.mainWindow->slot_ThreadM23(bad);
        QVERIFY(rig.waitPageGone(3000));
        QCOMPARE(PrintPageRig::messageText(), QString("File format error"));
        QCOMPARE(rig.cloud->sentUpdates(), QStringList({"Idle"}));
        QCOMPARE(rig.mainWindow->m_machineStatus.load(), 0);
        QCOMPARE(rig.commands(), PageEnd);

        // The file page's way in keeps the open message: it is reused.
        QPointer<OneButtonDialog> first = OneButtonDialog::instOneButtonDialog;
        const QString t1 = rig.writeJob("second_tool.gcode", "M104 S200\nM603 MINX-1 MAXX1 MINY-1 MAXY1 Z1 T1\n");
        BuildPrint::instBuildPrint = new BuildPrint(t1, nullptr);
        BuildPrint::instBuildPrint->show();
        QVERIFY(rig.waitPageGone(3000));
        QVERIFY(first && OneButtonDialog::instOneButtonDialog == first.data());
        QCOMPARE(PrintPageRig::visibleMessageBoxes(), 1);
        QCOMPARE(rig.cloud->sentUpdates(), QStringList({"Idle", "Idle"}));
        QTest::qWait(50);
        // Refused for its "T1": the page's end without the accepted file's part.
        QCOMPARE(rig.commands(), PageEnd + QStringList({"M112", "M18"}));
    }

    // A fresh LAN job from start to "Build Completed": the exact commands, the
    // screen while it streams, the cleared records, and stale adjustments gone.
    void wholeJob()
    {
        PrintPageRig rig;
        // Left over from an earlier job: adjustments, an override, records.
        rig.link()->setPrintingAdjust(PrintingAdjust{150, 20, 90});
        rig.link()->printingAdjustNozzleTemp(230);
        _printcfg_t record = adjustedRecord();
        printdetail_write_config(&record);
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumeBuildTime(500);

        const QByteArray job = makeJob(3, 10, 200, 60);
        const QString name = QString::fromUtf8("W\u00fcrfel_\u20ac.gcode");
        const QString path = rig.writeJob(name, job);
        rig.mainWindow->slot_ThreadM23(path);
        QVERIFY(rig.page());
        QCOMPARE(rig.mainWindow->m_machineStatus.load(), 3);
        QVERIFY(!rig.button("play_pause")->isEnabled());

        QVERIFY(rig.waitSent("G28 Z"));
        const PrintingAdjust fresh = rig.link()->printingAdjust();
        QVERIFY(fresh.speed == 100 && fresh.zOffset == 0 && fresh.extrusion == 100);
        QVERIFY(!rig.link()->m_nozzleTempOverride.load());
        QCOMPARE(PrintPageRig::resumeRecordFlag(), 0);
        QCOMPARE(FILESNAMESPACE::ResumePrintConfigSaveFile().getResumeBuildTime(), 0);

        // Streaming: the resume settings name the file, UTF-8 intact.
        QVERIFY(rig.waitSent("G92 E0"));
        QCOMPARE(QString::fromStdString(getConfigFile().configFile()->getPowerOffResumePrintFileName()),
                 "/data/" + name);

        QVERIFY(rig.waitSent("M50 S0", 20000));
        QCOMPARE(rig.widget<QProgressBar>("progressBar")->value(), 100);
        QCOMPARE(BuildPrint::getPrintLayer(), QString("3/3"));

        QVERIFY(rig.waitPageGone());
        QCOMPARE(PrintPageRig::messageTitle(), QString("Build Completed"));

        QStringList expected = StartOfJob;
        expected << StreamCheck::expectedLines(job);
        expected << "M140 S0" << "M104 S0 T0" << "M50 S0" << "G90" << "G1 Z212.00 F300" << "G1 X90 Y90 F2000"
                 << "G90" << "G92 X100 Y100 Z212.00" << "M18";
        expected << PageEnd;
        QCOMPARE(rig.commands(), expected);

        QCOMPARE(rig.cloud->sentUpdates().first(), QString("Printing"));
        QVERIFY(rig.cloud->sentUpdates().contains("Complete"));
        QCOMPARE(getConfigFile().configFile()->getPowerOffResumePrintFileName(), std::string());
        QCOMPARE(FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber(), 0);
        QCOMPARE(rig.mainWindow->m_machineStatus.load(), 0);
        QVERIFY(PrintPageRig::tunePlayed(buzzerPlay::Tune1));
    }

    // The print starts only when the nozzle is no more than 2 C below its
    // target (no bed target here); then a cancel from the screen, "NO" first.
    void heatWaitThenCancel()
    {
        PrintPageRig rig;
        rig.sim().pinNozzleTemperature(197);
        rig.startJob("slow.gcode", makeJob(2, 400, 200, -1));
        QVERIFY(rig.waitSent("G1 X-90 Y-90 F2000"));
        QTest::qWait(2500);
        QVERIFY(rig.state() == 1 && !rig.sent("G92 E0"));

        rig.sim().pinNozzleTemperature(198);
        QVERIFY(rig.waitSent("G92 E0"));

        // The file page asking for a fresh job must not wipe the one streaming.
        _printcfg_t record = adjustedRecord();
        printdetail_write_config(&record);
        rig.page()->ClearBuildTime();
        QCOMPARE(PrintPageRig::resumeRecordFlag(), 1);

        rig.cancelFromScreen(false);
        QVERIFY(rig.page() && rig.state() == 1 && !rig.sent("M107"));

        rig.link()->setPrintingAdjust(PrintingAdjust{150, 0, 100});
        rig.cancelFromScreen(true);
        QVERIFY(rig.waitSent("G1 X90 Y92 F2000"));
        QCOMPARE(rig.link()->printingAdjust().speed, 100);
        QCOMPARE(PrintPageRig::noticeText(), QString("Cancelling Build..."));
        // Late reports of the print thread change nothing once the job ends.
        emit rig.link()->printPause();
        emit rig.link()->printResume();
        QCOMPARE(rig.state(), 3);
        QVERIFY(rig.waitPageGone());

        const QStringList cmds = rig.commands();
        const int quit = cmds.indexOf("M107", cmds.indexOf("G92 E0"));
        QVERIFY(quit > 0);
        QCOMPARE(cmds.mid(quit), QStringList({"M107", "M112", "M140 S0", "M104 S0 T0", "G90", "G1 Z212.00 F300",
                                              "G1 X90 Y92 F2000", "G90", "M18"}) + PageEnd);
        QVERIFY(!cmds.contains("G1 X95 Y97 F2000"));
        QCOMPARE(rig.cloud->sentUpdates().last(), QString("Idle"));
    }

    // A cancel while the machine is still being prepared, or no print thread:
    // stopped at once, nothing of the file sent, never counted as printing.
    void endsBeforeStart_data()
    {
        QTest::addColumn<bool>("noThread");
        QTest::newRow("cancelled") << false;
        QTest::newRow("no print thread") << true;
    }
    void endsBeforeStart()
    {
        QFETCH(bool, noThread);
        PrintPageRig rig;
        if (noThread)
            BuildPrint::setThreadCreator(&failingThreadCreator);
        rig.startJob("early.gcode", makeJob(1, 4, 200, 60));
        if (!noThread) {
            QVERIFY(rig.waitFor([&] { return rig.button("stop") && rig.button("stop")->isEnabled(); }));
            rig.cancelFromScreen(true);
        }
        QVERIFY(rig.waitPageGone());
        if (noThread)
            QCOMPARE(PrintPageRig::messageText(), QString("The print could not be started.\nPlease try again."));
        const QStringList cmds = rig.commands();
        const int stop = cmds.lastIndexOf("M112", cmds.size() - PageEnd.size() - 1);
        QVERIFY(stop > 0);
        QCOMPARE(cmds.mid(stop), QStringList({"M112", "M140 S0", "M104 S0 T0"}) + PageEnd);
        QVERIFY(!cmds.contains("G1 Z212.00 F300") && !cmds.contains("G1 Z0.30 F600"));
        QCOMPARE(rig.mainWindow->printBuildTime(), 0);
        QCOMPARE(getConfigFile().configFile()->getPowerOffResumePrintFileName(), std::string());
        QCOMPARE(rig.cloud->sentUpdates().last(), QString("Idle"));
    }

    // The controller goes silent, the line is lost (and comes back later), or
    // moves never end, in mid-job or in a pause's park. The screen keeps running,
    // the job ends with a message naming the cause, heaters off, and the resume
    // records stay when the controller was lost. A pause that gives up on moves
    // that never end stops the controller: the moves it held are lost, so the
    // job ends too, never resumed as if they had run.
    void foulWeather_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("silent, cancelled") << "silent" << "";
        QTest::newRow("line lost") << "hangUp" << "The printer's controller is not answering.\nPlease check the printer.";
        QTest::newRow("line back later") << "hangUpBack" << "The printer's controller is not answering.\nPlease check the printer.";
        QTest::newRow("moves never end") << "stuck" << "The printer did not finish its move.\nPlease check the printer.";
        QTest::newRow("pause, moves never end") << "stuckPause" << "The printer did not finish its move.\nPlease check the printer.";
        // A reply that cannot be read among lines in flight proves nothing: the
        // job ends, and says so rather than that the controller is silent.
        QTest::newRow("garbled reply") << "garbled"
                                       << "The printer's controller sent a reply that could not be read.\nPlease check the printer.";
    }
    void foulWeather()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        PrintPageRig rig;
        const LinkTiming timing = StreamCheck::quickTiming(1500);
        if (fault != "stuckPause")   // the page's own limit, not the link's, ends the pause
            rig.link()->setTiming(timing);
        getConfigFile().configFile()->setPowerOffResumePrintStatus(true);
        if (fault == "stuck")
            rig.sim().movesNeverEnd(true);
        // Short layers for the pause: it comes a few layers in.
        rig.startJob("foul.gcode", fault == "stuckPause" ? makeJob(20, 20, 200, 60) : makeJob(4, 400, 200, 60));
        QVERIFY(rig.waitStreaming());
        if (fault == "stuckPause") {
            QVERIFY(rig.waitFor([&] { return FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber() > 60; }));
            rig.sim().movesNeverEnd(true);
            rig.press("play_pause");
            QVERIFY(rig.waitFor([] { return !PrintPageRig::messageText().isEmpty(); }));
            QCOMPARE(PrintPageRig::messageText(), message);
            QVERIFY(PrintPageRig::noticeText().isEmpty() && rig.sim().nozzleTarget() == 0 && rig.sim().bedTarget() == 0);
        } else if (fault == "garbled") {
            QVERIFY(rig.waitFor([&] { return FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber() > 0; }));
            // Until one lands on a line in flight (one on a query is read again).
            QVERIFY(rig.waitFor([&] {
                rig.sim().garbleReplies(4);
                QTest::qWait(50);
                return !rig.page();
            }, 40000));
        } else if (fault != "stuck") {
            QVERIFY(rig.waitFor([&] { return FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber() > 0; }));
            if (fault == "silent")
                rig.sim().dropReplies(1 << 30);
            else
                rig.sim().hangUp(fault == "hangUpBack" ? 4000 : -1);
        }
        const PageTools::GuiGapMeter meter;
        // Cancel pressed in the silence; a slow machine may see the job give up
        // on the controller first, which then ends it as lost.
        bool cancelled = false;
        if (fault == "silent" && rig.page() && rig.button("stop")->isVisible() && rig.button("stop")->isEnabled()) {
            rig.cancelFromScreen(true);
            cancelled = true;
            QVERIFY(rig.state() == 3 || !rig.page());
        }
        QVERIFY(rig.waitPageGone(30000));
        QVERIFY2(meter.longest() < 3 * timing.exchangeLimitMs(), qPrintable(QString::number(meter.longest())));
        if (!message.isEmpty())
            QCOMPARE(PrintPageRig::messageText(), message);
        const bool lost = fault.startsWith("hangUp") || fault == "stuckPause" || fault == "garbled"
            || (fault == "silent" && !cancelled);
        QCOMPARE(QString::fromStdString(getConfigFile().configFile()->getPowerOffResumePrintFileName()).isEmpty(), !lost);
        QCOMPARE(FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber() > 0, lost);
        QVERIFY(rig.cloud->sentUpdates().last() != "Printing");
        if (fault == "hangUp")
            QVERIFY(rig.link()->pendingSafetyCommands() > 0);
        if (fault == "hangUpBack" || fault == "silent") {
            // What the page asked for while the line was down reaches the controller once it is back.
            rig.sim().dropReplies(0);
            QVERIFY(rig.waitFor([&] { return rig.sim().nozzleTarget() == 0 && rig.sim().bedTarget() == 0; }, 20000));
        } else if (fault.startsWith("stuck")) {
            QCOMPARE(rig.sim().nozzleTarget(), 0);
            const int n = rig.mark();
            QTest::qWait(500);
            QVERIFY(rig.commands(n).isEmpty());
        }
    }

    // The file is replaced while the machine homes, after the page checked it:
    // by a link to a file outside the storage, or by a FIFO. Nothing of what
    // now lies there reaches the controller, the job never ends as completed,
    // a cancel ends it while the screen keeps running, and the heaters end off.
    void fileSwappedAfterTheCheck_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("link to a system file") << false;
        QTest::newRow("fifo, then cancel") << true;
    }
    void fileSwappedAfterTheCheck()
    {
        QFETCH(bool, fifo);
        PrintPageRig rig;
        QByteArray system;
        for (int i = 0; i < 30; ++i)
            system += "G1 X111 Y" + QByteArray::number(i) + " F600\n";
        rig.sandbox().writeFile("/etc/system.gcode", system);
        const QString path = rig.writeJob("swapped.gcode", makeJob(2, 20, 200, 60));
        rig.mainWindow->slot_ThreadM23(path);
        QVERIFY(rig.page());
        QVERIFY(rig.waitSent("G28 Z"));
        QVERIFY(QFile::remove(path));
        if (fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        else
            QVERIFY(QFile::link(rig.sandbox().path("/etc/system.gcode"), path));
        // Should the print thread wait on the FIFO, a writer lets it go once the test is over.
        struct LetGo {
            PrintPageRig& rig;
            QString fifo;
            ~LetGo()
            {
                for (int i = 0; i < 1000 && rig.link()->isPrinting(); ++i) {
                    const int w = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                    if (w >= 0)
                        ::close(w);
                    QTest::qWait(10);
                }
            }
        } letGo{rig, path};

        QVERIFY(rig.waitStreaming());
        if (fifo && rig.page())
            rig.page()->printStop();   // as a LAN or cloud cancel does
        QVERIFY(rig.waitPageGone());
        QVERIFY(!rig.link()->isPrinting());
        const QStringList cmds = rig.commands();
        QVERIFY2(cmds.filter("X111").isEmpty(), qPrintable(cmds.filter("X111").join(", ")));
        QVERIFY(!cmds.contains("G92 E0") || cmds.indexOf("G92 E0") > cmds.indexOf("M107"));
        QVERIFY(PrintPageRig::messageTitle() != "Build Completed");
        QVERIFY(PrintPageRig::messageText() != "Build completed!");
        QVERIFY(!rig.cloud->sentUpdates().contains("Complete"));
        QCOMPARE(rig.sim().nozzleTarget(), 0);
        QCOMPARE(rig.sim().bedTarget(), 0);
    }

    // A ".gx" job: thumbnail and remaining time; 280 C keeps printing, 281 C
    // stops the job at once even while the cancel question is open.
    void overTemperature()
    {
        PrintPageRig rig;
        GxWriter::GxContent gx;
        gx.timeUsed = 3600;
        gx.materialUsed = 1200;
        gx.firstImage = GxWriter::drawPicture("T");
        gx.gcode = makeJob(2, 400, 200, -1);
        const QString path = rig.writeJob("hot.gx", GxWriter::buildGx(gx));
        rig.sim().pinNozzleTemperature(280);
        rig.mainWindow->slot_ThreadM23(path);
        QVERIFY(rig.page());
        QVERIFY(!rig.widget<QLabel>("thumbNails")->pixmap().isNull());
        QVERIFY(rig.waitSent("G92 E0"));
        QVERIFY(rig.waitFor([&] { return rig.text("remainTime") == "0:59" || rig.text("remainTime") == "1:0"; }, 3000));
        QTest::qWait(2200);
        QCOMPARE(rig.state(), 1);

        buzzerPlay::getInstance("pwm1")->clearPlayed();
        bool questionOpen = false, forced = false;
        QTimer heat, fallback;   // owned here: they never fire after the test
        heat.callOnTimeout([&] {
            questionOpen = TwoButtonDialog::instTwoButtonDialog && TwoButtonDialog::instTwoButtonDialog->isVisible();
            rig.sim().pinNozzleTemperature(281);
        });
        fallback.callOnTimeout([&] {   // never hang here, whatever happens
            if ((forced = TwoButtonDialog::instTwoButtonDialog))
                TwoButtonDialog::instTwoButtonDialog->reject();
        });
        heat.setSingleShot(true);
        heat.start(400);
        fallback.start(10000);
        rig.press("stop");   // the question stays open until the over-temperature closes it
        QVERIFY(questionOpen);
        QVERIFY(!forced);
        QCOMPARE(PrintPageRig::messageText(), QString("Abnormally print.\nPlease check the extruder."));
        QVERIFY(rig.text("extruderTemp").startsWith("281/"));   // the reading that stopped the job
        QVERIFY(rig.waitPageGone());

        const QStringList cmds = rig.commands();
        const int off = cmds.indexOf("M140 S0", cmds.indexOf("G92 E0"));
        QVERIFY(off > 0);
        // The print thread may slip a line in between; the order is what counts.
        const int heaterOff = cmds.indexOf("M104 S0 T0", off);
        QVERIFY(heaterOff > off);
        QVERIFY(cmds.indexOf("M107", off) > heaterOff);
        QVERIFY(cmds.mid(off).contains("G1 X90 Y92 F2000"));
        QCOMPARE(rig.sim().nozzleTarget(), 0);
        QCOMPARE(rig.sim().bedTarget(), 0);
        QVERIFY(PrintPageRig::tunePlayed(buzzerPlay::Tune0));
    }

    // The LAN listener reads the layer counters from its own thread while
    // pages come and go.
    void layersFromAnotherThread()
    {
        PrintPageRig rig;
        const QString path = rig.writeJob("layers.gcode", makeJob(7, 1, 200, 60));
        std::atomic<bool> stop{false};
        std::atomic<int> reads{0};
        std::thread lan([&] {
            while (!stop) {
                const QString v = BuildPrint::getPrintLayer();
                if (v != "0/0" && v != "0/7")
                    qFatal("unexpected layer text");
                ++reads;
            }
        });
        for (int i = 0; i < 3; ++i) {
            rig.mainWindow->slot_ThreadM23(path);
            QVERIFY(rig.page());
            QCOMPARE(BuildPrint::getPrintLayer(), QString("0/7"));
            rig.page()->close();
            QVERIFY(rig.waitPageGone(5000));
        }
        stop = true;
        lan.join();
        QVERIFY(reads > 0);
        QCOMPARE(BuildPrint::getPrintLayer(), QString("0/0"));
    }
};

QTEST_MAIN(TestBuildPrint)
#include "test_buildprint.moc"
