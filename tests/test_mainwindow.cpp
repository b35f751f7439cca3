// The main window against the controller simulator: start-up commands, status
// row, USB stick, the resume question, the LAN status pair and the jobs it
// starts, the cloud client's states and the language switch.
#include "Config/Config.h"
#include "Dialog/progressdialog.h"
#include "Files/ResumePrintConfig.h"
#include "UI/setting.h"
#include "cloudprinter/PolarClient.h"
#include "serial/SerialObject.h"
#include "tests/support/FilePageDriver.h"
#include "tests/support/GxWriter.h"

#include <QSignalSpy>
#include <memory>
#include <thread>

class TestMainWindow : public FilePageDriver::Fixture {
    Q_OBJECT
    ControllerSimulator& sim() { return m_harness->sim(); }
    Sandbox& box() { return m_harness->sandbox(); }
    QString label(const char* name) const { return PageTools::label(m_main.get(), name); }

private slots:
    void initTestCase() { initOrlenkResources(); }
    void init()
    {
        m_harness = std::make_unique<SimHarness>();
        getConfigFile().configFile()->setPowerOffResumePrintFileName("");   // no resume question
    }
    void cleanup()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 2000);
        stopMainWindow();
    }

    void startUpCommands_data()
    {
        QTest::addColumn<bool>("led");
        QTest::addColumn<QString>("ledCommand");
        QTest::newRow("light on") << true << "M145";
        QTest::newRow("light off") << false << "M144";
    }
    void startUpCommands()
    {
        QFETCH(bool, led);
        QFETCH(QString, ledCommand);
        getConfigFile().configFile()->setLedStatus(led);
        m_main = std::make_unique<MainWindow>();
        QTRY_VERIFY_WITH_TIMEOUT(sim().transcript().contains("M130"), 3000);   // the probe check, 100 ms later
        const QStringList t = sim().transcript();
        const int probeOff = t.indexOf("M141 T219");
        QCOMPARE(t.mid(probeOff, 3), QStringList({"M141 T219", "M119", ledCommand}));
        QVERIFY(t.indexOf("M130") > probeOff);
    }

    void statusRowShowsLiveTemperatures()
    {
        m_main = std::make_unique<MainWindow>();
        sim().pinNozzleTemperature(123);
        m_harness->link()->HeatingPlatform(60);
        QTRY_COMPARE_WITH_TIMEOUT(label("bedTemp"), QString("60/60\u2103"), 5000);   // the 1 s timer
        QCOMPARE(label("nozzleTemp"), QString("123/0\u2103"));
        m_harness->link()->Heating(200);
        sim().pinNozzleTemperature(150);
        m_main->pollStatus();
        QCOMPARE(label("nozzleTemp"), QString("150/200\u2103"));

        // A silent controller leaves the last readings in place.
        sim().dropReplies(4);
        m_main->pollStatus();
        QCOMPARE(m_main->getCurrentExtruderTemp(), 150);
        QCOMPARE(label("nozzleTemp"), QString("150/200\u2103"));
    }

    // While a job streams the status poll also reads the position and adds up
    // the filament fed.
    void filamentUsedWhilePrinting()
    {
        QByteArray gcode = "G90\nG92 E0\n";
        for (int i = 1; i <= 400; ++i)
            gcode += "G1 X" + QByteArray::number(i % 2 ? 20 : 40) + " E" + QByteArray::number(i) + " F600\n";
        box().writeFile("/data/feed.g", gcode);
        m_main = std::make_unique<MainWindow>();
        SerialObject* link = m_harness->link();
        std::thread printer([link, path = box().path("/data/feed.g")] { link->serialPrint(path); });
        QVERIFY(SimHarness::waitUntil([link] { return link->isPrinting(); }, 5000));
        sim().clearTranscript();
        QVERIFY(SimHarness::waitUntil([&] {
            m_main->pollStatus();
            return m_main->filamentUsed() > 0 || !link->isPrinting();
        }, 20000));
        QVERIFY(m_main->filamentUsed() > 0);
        QVERIFY(sim().transcript().contains("M114"));
        link->slo_printingQuit();
        printer.join();
        const double used = m_main->filamentUsed();
        m_main->pollStatus();
        QCOMPARE(m_main->filamentUsed(), used);   // kept after the job
    }

    void usbStateFollowsMounts()
    {
        m_main = std::make_unique<MainWindow>();
        QSignalSpy mounted(m_main.get(), &MainWindow::sig_usbMount);
        QSignalSpy unmounted(m_main.get(), &MainWindow::sig_usbUnmount);
        box().setUsbMounted(true);
        QTRY_VERIFY_WITH_TIMEOUT(m_main->usbFlag(), 3000);
        m_main->pollStatus();
        QCOMPARE(mounted.count(), 1);   // only changes are told
        // A mount below /media is no stick, nor is an unreadable mount table.
        const QByteArray stick = "/dev/sdb1 " + box().path("/media").toUtf8() + " vfat rw 0 0\n";
        for (const QByteArray& table : {QByteArray("/dev/sdb1 /media/other vfat rw 0 0\n"), stick, QByteArray()}) {
            if (table.isEmpty())
                QFile::remove(box().path("/proc/mounts"));
            else
                box().writeFile("/proc/mounts", table);
            m_main->pollStatus();
            QCOMPARE(m_main->usbFlag(), table == stick);
        }
        QVERIFY(mounted.count() == 2 && unmounted.count() == 2);
    }

    // Each button opens its page; one for a page this program lacks does nothing.
    void buttonsOpenPages()
    {
        m_main = std::make_unique<MainWindow>();
        m_main->show();
        PageTools::click(m_main.get(), "showSetting");
        QVERIFY(Setting::instSetting && Setting::instSetting->isVisible());
        const int windows = QApplication::topLevelWidgets().size();
        PageTools::click(m_main.get(), "showInfo");
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    }

    // The job named for a power-off resume, met at start-up.
    void resumeQuestion_data()
    {
        QTest::addColumn<bool>("on");          // power-off resume switched on
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("answer");   // "ok", "cancel", "cloud job" while asked, "" not asked
        QTest::addColumn<bool>("printing");
        QTest::addColumn<bool>("nameKept");
        QTest::newRow("yes") << true << "/data/job.gcode" << "ok" << true << true;
        QTest::newRow("no") << true << "/data/job.gcode" << "cancel" << false << false;
        QTest::newRow("a cloud job closes it undeclined") << true << "/data/job.gcode" << "cloud job" << true << true;
        QTest::newRow("switched off") << false << "/data/job.gcode" << "" << false << true;
        QTest::newRow("file gone") << true << "/data/missing.gcode" << "" << false << false;
    }
    void resumeQuestion()
    {
        QFETCH(bool, on);
        QFETCH(QString, file);
        QFETCH(QString, answer);
        QFETCH(bool, printing);
        QFETCH(bool, nameKept);
        Config* config = getConfigFile().configFile();
        box().writeFile("/data/job.gcode", GxWriter::generateGcode({}));
        config->setPowerOffResumePrintStatus(on);
        config->setPowerOffResumePrintFileName(file.toStdString());
        _printcfg_t saved{400, 100, 60, 210, 25, 1};   // speed out of range: 100
        QCOMPARE(printdetail_write_config(&saved), 0);
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumePrintNumber(42);

        m_main = std::make_unique<MainWindow>();
        QString asked;
        if (!answer.isEmpty()) {
            MainWindow* w = m_main.get();
            const QString job = box().path("/data/job.gcode");
            FilePageDriver::answerQuestion(answer == "ok", [&asked, answer, w, job] {
                asked = TwoButtonDialog::instTwoButtonDialog->findChild<QLabel*>("label")->text();
                if (answer == "cloud job")
                    w->slo_jumpToPrint(job);
            });
        }
        if (printing)
            QTRY_VERIFY_WITH_TIMEOUT(BuildPrint::instBuildPrint, 5000);
        else if (!nameKept)
            QTRY_VERIFY_WITH_TIMEOUT(config->getPowerOffResumePrintFileName().empty(), 5000);
        else
            QTest::qWait(2500);   // the question would be up by now
        QTRY_VERIFY(!TwoButtonDialog::instTwoButtonDialog);
        QCoreApplication::processEvents();
        QCOMPARE(config->getPowerOffResumePrintFileName() == file.toStdString(), nameKept);
        QCOMPARE(BuildPrint::instBuildPrint != nullptr, printing);
        QCOMPARE(m_main->m_machineStatus != 0, printing);
        QVERIFY(answer.isEmpty() || asked.contains("job.gcode"));
        if (answer == "ok") {
            QCOMPARE(BuildPrint::instBuildPrint->m_printSpeed, 100);
            QCOMPARE(BuildPrint::instBuildPrint->m_zOffset, 25);
        }
    }

    // A job for a busy machine is refused; a job for a ready one closes the dialogs first.
    void lanStatusPairGatesJobs()
    {
        m_main = std::make_unique<MainWindow>();
        const QString job = box().path("/data/lan.gcode");
        box().writeFile("/data/lan.gcode", GxWriter::generateGcode({}));
        m_main->setLanStatus(3, 2);
        m_main->slot_ThreadM23(job);
        m_main->slo_jumpToPrint(job);
        m_main->powerOffResumePrint(job);
        QVERIFY(!BuildPrint::instBuildPrint);

        m_main->setLanStatus(0, 0);
        QPointer<OneButtonDialog> message = new OneButtonDialog("", "old message", "", nullptr);
        message->show();
        (new ProgressDialog("Upload", "x.gx", nullptr))->show();
        m_main->slot_ThreadM23(job);
        QVERIFY(BuildPrint::instBuildPrint);
        QVERIFY(!OneButtonDialog::instOneButtonDialog && !ProgressDialog::instProgressDialog);
        QTRY_VERIFY(message.isNull());
        QVERIFY(m_main->m_machineStatus != 0);
        // A printing page exists: the next job waits its turn.
        BuildPrint* page = BuildPrint::instBuildPrint;
        m_main->setLanStatus(0, 0);
        m_main->slo_jumpToPrint(job);
        QCOMPARE(BuildPrint::instBuildPrint, page);
    }

    void cloudClientStates()
    {
        PolarClient cloud;
        cloud.sendPrintingStatus("a.gx");   // not connected: states change, nothing is pushed
        cloud.sendPauseStatus();
        QCOMPARE(cloud.m_printState.load(), 4);
        cloud.setPolarPrinterJobId("job-9");   // a completion while disconnected still ends the job
        cloud.sendCompleteStatus();
        QVERIFY(cloud.sentUpdates().isEmpty());
        QCOMPARE(cloud.polarPrinterJobId(), std::string());

        // (The page tests follow the states of a connected client through a job.)
        cloud.m_connectState = 2;
        cloud.setPolarPrinterJobId("job-8");
        cloud.sendCompleteStatus();
        QCOMPARE(cloud.sentUpdates(), QStringList({"Complete", "Complete"}));
        QCOMPARE(cloud.m_printState.load(), 0);
        QCOMPARE(cloud.polarPrinterJobId(), std::string());

        cloud.m_connectState = 2;   // a bad state index is never used to index the names
        cloud.m_printState = 99;
        cloud.sendPauseStatus();
        QCOMPARE(cloud.sentUpdates().last(), QString("Paused"));
    }

    void languageSwitchRedrawsTexts()
    {
        m_main = std::make_unique<MainWindow>();
        auto text = [this](const char* name) { return m_main->findChild<QToolButton*>(name)->text(); };
        QVERIFY(installOrlenkTranslator("chinese"));
        QTRY_COMPARE(text("showSetting"), QString::fromUtf8("设置"));
        QCOMPARE(text("showBuild"), QString::fromUtf8("打印"));
        QVERIFY(!installOrlenkTranslator("klingon"));   // an unknown language keeps the last
        QCoreApplication::processEvents();
        QCOMPARE(text("showSetting"), QString::fromUtf8("设置"));
        QVERIFY(installOrlenkTranslator(""));
        QTRY_COMPARE(text("showSetting"), QString("Settings"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
