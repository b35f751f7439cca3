// The main window against the controller simulator: status row, USB stick,
// start-up commands, the resume question, its buttons, the LAN status pair
// and the jobs it starts, and the LAN and cloud services it keeps.
#include "Config/Config.h"
#include "Dialog/onebuttondialog.h"
#include "Dialog/progressdialog.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/COneTimesClicked.h"
#include "Files/ResumePrintConfig.h"
#include "UI/build.h"
#include "UI/buildprint.h"
#include "UI/control.h"
#include "UI/home.h"
#include "UI/mainwindow.h"
#include "UI/resources.h"
#include "UI/setting.h"
#include "cloudprinter/PolarClient.h"
#include "serial/SerialObject.h"
#include "tests/support/GxWriter.h"
#include "tests/support/SimHarness.h"
#include "wifiDevice/ServerListener.h"

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <memory>
#include <thread>

namespace {

QString label(MainWindow& w, const char* name)
{
    auto* l = w.findChild<QLabel*>(name);
    return l ? l->text() : QString();
}

void press(QWidget* w, const char* name)
{
    QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 2000);
    auto* b = w->findChild<QToolButton*>(name);
    QVERIFY2(b, name);
    QTest::mouseClick(b, Qt::LeftButton);
}

// A small job the printing page accepts.
QByteArray sampleGcode()
{
    GxWriter::GcodeOptions options;
    options.layers = 3;
    return GxWriter::generateGcode(options);
}

// The main window asks its question in a nested event loop that a waiting test
// sits under: the answer has to come from a timer running inside that loop.
// Runs action once the question is up and returns the question's text.
std::shared_ptr<QString> whenAsked(std::function<void(TwoButtonDialog*)> action)
{
    auto text = std::make_shared<QString>();
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, text, action] {
        TwoButtonDialog* question = TwoButtonDialog::instTwoButtonDialog;
        if (!question || OneTimesClicked().isHasClicked())
            return;
        timer->stop();
        timer->deleteLater();
        *text = question->findChild<QLabel*>("label")->text();
        action(question);
    });
    timer->start();
    return text;
}

void answer(TwoButtonDialog* question, const char* button)
{
    QTest::mouseClick(question->findChild<QToolButton*>(button), Qt::LeftButton);
}

void closeAllPages()
{
    QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 2000);
    delete BuildPrint::instBuildPrint;
    delete Build::instBuild;
    delete Home::instHome;
    delete Setting::instSetting;
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!qobject_cast<MainWindow*>(w))
            windows << w;
    for (const QPointer<QWidget>& w : windows)
        delete w.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initOrlenkResources(); }
    void init()
    {
        m_h = std::make_unique<SimHarness>();
        // No resume question unless a test asks for one.
        getConfigFile().configFile()->setPowerOffResumePrintFileName("");
    }
    void cleanup()
    {
        closeAllPages();
        m_w.reset();
        m_h.reset();
    }

    void startUpCommands()
    {
        getConfigFile().configFile()->setLedStatus(true);
        m_w = std::make_unique<MainWindow>();
        QCOMPARE(MainWindow::instMainWindow, m_w.get());
        QVERIFY(m_w->m_serverListener);
        QVERIFY(!m_w->m_polarClient);
        QTRY_VERIFY_WITH_TIMEOUT(m_h->sim().transcript().contains("M130"), 3000);   // the probe check, 100 ms later
        const QStringList t = m_h->sim().transcript();
        const int probeOff = t.indexOf("M141 T219");
        QVERIFY(probeOff >= 0);
        QCOMPARE(t.mid(probeOff, 3), QStringList({"M141 T219", "M119", "M145"}));
        QVERIFY(t.indexOf("M130") > probeOff);

        m_w.reset();
        QVERIFY(!MainWindow::instMainWindow);
        getConfigFile().configFile()->setLedStatus(false);
        m_h->sim().clearTranscript();
        m_w = std::make_unique<MainWindow>();
        QCOMPARE(m_h->sim().transcript().mid(0, 3), QStringList({"M141 T219", "M119", "M144"}));
    }

    void statusRowShowsLiveTemperatures()
    {
        m_w = std::make_unique<MainWindow>();
        m_h->sim().pinNozzleTemperature(123);
        m_h->link()->HeatingPlatform(60);
        // The 1 s timer keeps the row current.
        QTRY_COMPARE_WITH_TIMEOUT(label(*m_w, "bedTemp"), QString("60/60\u2103"), 5000);
        QCOMPARE(label(*m_w, "nozzleTemp"), QString("123/0\u2103"));
        QCOMPARE(m_w->getCurrentPlatformTemp(), 60);

        m_h->link()->Heating(200);
        m_h->sim().pinNozzleTemperature(150);
        m_w->pollStatus();
        QCOMPARE(label(*m_w, "nozzleTemp"), QString("150/200\u2103"));

        // A silent controller leaves the last readings in place.
        m_h->sim().dropReplies(4);
        m_w->pollStatus();
        QCOMPARE(m_w->getCurrentExtruderTemp(), 150);
        QCOMPARE(label(*m_w, "nozzleTemp"), QString("150/200\u2103"));
    }

    // While a job streams the status poll also reads the position and adds up
    // the filament fed.
    void filamentUsedWhilePrinting()
    {
        QByteArray gcode = "G90\nG92 E0\n";
        for (int i = 1; i <= 400; ++i)
            gcode += "G1 X" + QByteArray::number(i % 2 ? 20 : 40) + " E" + QByteArray::number(i) + " F600\n";
        m_h->sandbox().writeFile("/data/feed.g", gcode);
        m_w = std::make_unique<MainWindow>();
        SerialObject* link = m_h->link();
        std::thread printer([link, path = m_h->sandbox().path("/data/feed.g")] { link->serialPrint(path); });
        QVERIFY(SimHarness::waitUntil([link] { return link->isPrinting(); }, 5000));
        m_h->sim().clearTranscript();
        QVERIFY(SimHarness::waitUntil([&] {
            m_w->pollStatus();
            return m_w->filamentUsed() > 0 || !link->isPrinting();
        }, 20000));
        QVERIFY(m_w->filamentUsed() > 0);
        QVERIFY(m_h->sim().transcript().contains("M114"));
        link->slo_printingQuit();
        printer.join();
        const double used = m_w->filamentUsed();
        m_w->pollStatus();
        QCOMPARE(m_w->filamentUsed(), used);   // kept after the job
    }

    void usbStateFollowsMounts()
    {
        m_w = std::make_unique<MainWindow>();
        QVERIFY(!m_w->usbFlag());
        QSignalSpy mounted(m_w.get(), &MainWindow::sig_usbMount);
        QSignalSpy unmounted(m_w.get(), &MainWindow::sig_usbUnmount);

        m_h->sandbox().setUsbMounted(true);
        QTRY_VERIFY_WITH_TIMEOUT(m_w->usbFlag(), 3000);
        QCOMPARE(mounted.count(), 1);
        m_w->pollStatus();
        QCOMPARE(mounted.count(), 1);   // only changes are told

        m_h->sandbox().setUsbMounted(false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_w->usbFlag(), 3000);
        QCOMPARE(unmounted.count(), 1);

        // A mount under the sandboxed path counts too; a mount below /media does not.
        m_h->sandbox().writeFile("/proc/mounts", "/dev/sdb1 /media/other vfat rw 0 0\n");
        m_w->pollStatus();
        QVERIFY(!m_w->usbFlag());
        m_h->sandbox().writeFile("/proc/mounts", "/dev/sdb1 " + m_h->sandbox().path("/media").toUtf8() + " vfat rw 0 0\n");
        m_w->pollStatus();
        QVERIFY(m_w->usbFlag());

        // An unreadable mount table counts as no stick.
        QFile::remove(m_h->sandbox().path("/proc/mounts"));
        m_w->pollStatus();
        QVERIFY(!m_w->usbFlag());
        QCOMPARE(unmounted.count(), 2);
    }

    void buttonsOpenPages()
    {
        m_w = std::make_unique<MainWindow>();
        m_w->show();
        press(m_w.get(), "showBuild");
        QVERIFY(Build::instBuild);
        QVERIFY(Build::instBuild->isVisible());
        Build* first = Build::instBuild;
        press(m_w.get(), "showBuild");
        QCOMPARE(Build::instBuild, first);   // an open page is not made twice

        press(m_w.get(), "showControl");
        QVERIFY(Control::instControl);
        QVERIFY(Control::instControl->isVisible());
        press(m_w.get(), "showSetting");
        QVERIFY(Setting::instSetting);
        QVERIFY(Setting::instSetting->isVisible());
        // A page that this program does not have: nothing happens.
        const int windows = QApplication::topLevelWidgets().size();
        press(m_w.get(), "showInfo");
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    }

    void resumeQuestionYes()
    {
        Config* config = saveJobToResume(true);
        _printcfg_t saved{400, 100, 60, 210, 25, 1};   // speed out of range: 100
        QCOMPARE(printdetail_write_config(&saved), 0);
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumePrintNumber(42);

        m_w = std::make_unique<MainWindow>();
        QVERIFY(!TwoButtonDialog::instTwoButtonDialog);
        auto asked = whenAsked([](TwoButtonDialog* q) { answer(q, "ok"); });
        QTRY_VERIFY_WITH_TIMEOUT(BuildPrint::instBuildPrint, 5000);
        QVERIFY(asked->contains("job.gcode"));
        QCOMPARE(BuildPrint::instBuildPrint->m_printSpeed, 100);
        QCOMPARE(BuildPrint::instBuildPrint->m_zOffset, 25);
        QVERIFY(m_w->m_machineStatus != 0);
        QCOMPARE(config->getPowerOffResumePrintFileName(), std::string("/data/job.gcode"));
    }

    void resumeQuestionNo()
    {
        Config* config = saveJobToResume(true);
        m_w = std::make_unique<MainWindow>();
        auto asked = whenAsked([](TwoButtonDialog* q) { answer(q, "cancel"); });
        QTRY_COMPARE_WITH_TIMEOUT(config->getPowerOffResumePrintFileName(), std::string(), 5000);
        QVERIFY(asked->contains("job.gcode"));
        QVERIFY(!TwoButtonDialog::instTwoButtonDialog);
        QVERIFY(!BuildPrint::instBuildPrint);
        QCOMPARE(m_w->m_machineStatus.load(), 0);
    }

    void noResumeQuestionWithoutAJob()
    {
        // Power-off resume switched off: no question although a file is named.
        Config* config = saveJobToResume(false);
        m_w = std::make_unique<MainWindow>();
        QTest::qWait(2500);
        QVERIFY(!TwoButtonDialog::instTwoButtonDialog);
        m_w.reset();

        // The named file is gone: nothing to resume, the name is dropped.
        config->setPowerOffResumePrintStatus(true);
        config->setPowerOffResumePrintFileName("/data/missing.gcode");
        m_w = std::make_unique<MainWindow>();
        QTRY_COMPARE_WITH_TIMEOUT(config->getPowerOffResumePrintFileName(), std::string(), 5000);
        QVERIFY(!TwoButtonDialog::instTwoButtonDialog);
    }

    // A job for a busy machine is refused; a job for a ready one closes the dialogs first.
    void lanStatusPairGatesJobs()
    {
        m_w = std::make_unique<MainWindow>();
        const QString job = m_h->sandbox().path("/data/lan.gcode");
        m_h->sandbox().writeFile("/data/lan.gcode", sampleGcode());

        m_w->setLanStatus(3, 2);
        m_w->slot_ThreadM23(job);
        m_w->slo_jumpToPrint(job);
        m_w->powerOffResumePrint(job);
        QVERIFY(!BuildPrint::instBuildPrint);

        m_w->setLanStatus(0, 0);
        auto* message = new OneButtonDialog("", "old message", "", nullptr);
        message->show();
        QPointer<OneButtonDialog> messageAlive(message);
        auto* progress = new ProgressDialog("Upload", "x.gx", nullptr);
        progress->show();
        m_w->slot_ThreadM23(job);
        QVERIFY(BuildPrint::instBuildPrint);
        QVERIFY(!OneButtonDialog::instOneButtonDialog);
        QVERIFY(!ProgressDialog::instProgressDialog);
        QTRY_VERIFY(messageAlive.isNull());
        QVERIFY(m_w->m_machineStatus != 0);

        // A printing page exists: the next job waits its turn.
        BuildPrint* page = BuildPrint::instBuildPrint;
        m_w->setLanStatus(0, 0);
        m_w->slo_jumpToPrint(job);
        QCOMPARE(BuildPrint::instBuildPrint, page);
    }

    void cloudJobClosesResumeQuestionWithoutDecliningIt()
    {
        Config* config = saveJobToResume(true);
        m_w = std::make_unique<MainWindow>();
        const QString job = m_h->sandbox().path("/data/job.gcode");
        MainWindow* w = m_w.get();
        whenAsked([w, job](TwoButtonDialog*) { w->slo_jumpToPrint(job); });
        QTRY_VERIFY_WITH_TIMEOUT(BuildPrint::instBuildPrint, 5000);
        QTRY_VERIFY(!TwoButtonDialog::instTwoButtonDialog);
        QCoreApplication::processEvents();
        QCOMPARE(config->getPowerOffResumePrintFileName(), std::string("/data/job.gcode"));
    }

    void filamentAndCloudJobId()
    {
        m_w = std::make_unique<MainWindow>();
        m_h->sim().setFilament(false);
        QVERIFY(!m_w->filamentCheckStatu());
        m_h->sim().setFilament(true);
        QVERIFY(m_w->filamentCheckStatu());

        m_w->setLocalPrintJobId("123");   // no cloud client: nothing happens
        PolarClient cloud;
        m_w->m_polarClient = &cloud;
        m_w->setLocalPrintJobId("123");
        QCOMPARE(cloud.polarPrinterJobId(), std::string("123"));
        m_w->m_polarClient = nullptr;
    }

    void cloudClientStates()
    {
        PolarClient cloud;
        // Not connected: states change, nothing is pushed.
        cloud.sendPrintingStatus("a.gx");
        QCOMPARE(cloud.m_printState.load(), 3);
        cloud.sendPauseStatus();
        QCOMPARE(cloud.m_printState.load(), 4);
        QVERIFY(cloud.sentUpdates().isEmpty());

        cloud.m_connectState = 2;
        cloud.setPolarPrinterJobId("job-7");
        cloud.sendPrintingStatus("a.gx");
        cloud.sendPauseStatus();
        cloud.sendResumeStatus();
        QCOMPARE(cloud.sendCancelStatus(), 0);
        QCOMPARE(cloud.m_printState.load(), 0);
        QCOMPARE(cloud.polarPrinterJobId(), std::string());
        QCOMPARE(cloud.sentUpdates(), QStringList({"Printing", "Paused", "Printing", "Idle"}));

        cloud.setPolarPrinterJobId("job-8");
        cloud.sendCompleteStatus();
        QCOMPARE(cloud.sentUpdates().mid(4), QStringList({"Complete", "Complete"}));
        QCOMPARE(cloud.m_printState.load(), 0);
        QCOMPARE(cloud.polarPrinterJobId(), std::string());

        cloud.m_connectState = 1;
        cloud.setPolarPrinterJobId("job-9");
        cloud.sendPrintingStatus("b.gx");
        cloud.sendCompleteStatus();
        QCOMPARE(cloud.sentUpdates().size(), 6);
        QCOMPARE(cloud.m_printState.load(), 0);
        QCOMPARE(cloud.polarPrinterJobId(), std::string());

        // A bad state index is never used to index the names.
        cloud.m_connectState = 2;
        cloud.m_printState = 99;
        cloud.sendPauseStatus();
        QCOMPARE(cloud.sentUpdates().last(), QString("Paused"));
    }

    void languageSwitchRedrawsTexts()
    {
        m_w = std::make_unique<MainWindow>();
        auto text = [this](const char* name) { return m_w->findChild<QToolButton*>(name)->text(); };
        QCOMPARE(text("showSetting"), QString("Settings"));
        QVERIFY(installOrlenkTranslator("chinese"));
        QTRY_COMPARE(text("showSetting"), QString::fromUtf8("设置"));
        QCOMPARE(text("showBuild"), QString::fromUtf8("打印"));
        QVERIFY(!installOrlenkTranslator("klingon"));
        QCoreApplication::processEvents();
        QCOMPARE(text("showSetting"), QString::fromUtf8("设置"));
        QVERIFY(installOrlenkTranslator(""));   // english
        QTRY_COMPARE(text("showSetting"), QString("Settings"));
    }

    void freeSpace()
    {
        const int64_t free = ServerListener::check_free_space(m_h->sandbox().root().toLocal8Bit().constData());
        QVERIFY(free > 0);
        QCOMPARE(ServerListener::check_free_space("/no/such/folder/anywhere"), int64_t(-1));
        QCOMPARE(ServerListener::check_free_space(nullptr), int64_t(-1));
    }

private:
    // A job named in the settings for a power-off resume; on: resume switched on.
    Config* saveJobToResume(bool on)
    {
        Config* config = getConfigFile().configFile();
        m_h->sandbox().writeFile("/data/job.gcode", sampleGcode());
        config->setPowerOffResumePrintStatus(on);
        config->setPowerOffResumePrintFileName("/data/job.gcode");
        return config;
    }

    std::unique_ptr<SimHarness> m_h;
    std::unique_ptr<MainWindow> m_w;
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
