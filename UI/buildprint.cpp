#include "UI/buildprint.h"
#include "ui_buildprint.h"

#include "Config/Config.h"
#include "Dialog/onebuttondialog.h"
#include "Dialog/onelabledialog.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/COneTimesClicked.h"
#include "Files/PrintFile.h"
#include "Files/ResumePrintConfig.h"
#include "UI/changfilament.h"
#include "Execute/MachineRules.h"
#include "UI/machinetrouble.h"
#include "UI/mainwindow.h"
#include "UI/printctl.h"
#include "UI/printdetail.h"
#include "UI/unloadfilament.h"
#include "buzzer/buzzerPlay.h"
#include "cloudprinter/PolarClient.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"
#include "tools/Log.h"
#include "tools/PagePointer.h"
#include "tools/RootPath.h"
#include "wifiDevice/ServerListener.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <cmath>
#include <memory>

#define BP_LOG qDebug() << LOG_SRC("UI/buildprint.cpp")

namespace {

// Layer counters outlive the page: the LAN listener reads them from its own
// thread through BuildPrint::getPrintLayer(), also while the page goes away.
struct LayerCounters {
    std::mutex mutex;
    int real = 0;
    int total = 0;
};

LayerCounters& layerCounters()
{
    static LayerCounters counters;
    return counters;
}

int layerTotal()
{
    LayerCounters& c = layerCounters();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.total;
}

void setLayerCounters(int real, int total)
{
    LayerCounters& c = layerCounters();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.real = real;
    c.total = total;
}

// Blocks the page's work for ms while the screen keeps being drawn and timers
// keep running; user input waits until afterwards. The caller must check its
// page is still alive when this returns.
void waitKeepingScreen(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

const char* const PauseLook =
    "QToolButton{border-image: url(:/Resource/icon/Pause.png);}\n"
    "QToolButton:pressed{border-image: url(:/Resource/icon/Pause_c.png);}";
const char* const ResumeLook =
    "QToolButton{border-image: url(:/Resource/icon/Resume.png);}\n"
    "QToolButton:pressed{border-image: url(:/Resource/icon/Resume_c.png);}";


QString hoursMinutes(int seconds)
{
    if (seconds < 0)
        seconds = 0;
    return QString::number(seconds / 3600) + ":" + QString::number((seconds % 3600) / 60);
}

}

BuildPrint* BuildPrint::instBuildPrint = nullptr;
BuildPrint::ThreadCreator BuildPrint::s_threadCreator = &pthread_create;

void BuildPrint::setThreadCreator(ThreadCreator creator)
{
    s_threadCreator = creator ? creator : &pthread_create;
}

void* startPrintPthread(void* arg)
{
    std::unique_ptr<PrintThreadJob> job(static_cast<PrintThreadJob*>(arg));
    if (job && job->link)
        job->link->serialPrint(job->path);
    return nullptr;
}

BuildPrint::BuildPrint(QString filePath, QWidget* parent)
    : QDialog(parent), ui(new Ui::BuildPrint), m_filePath(filePath)
{
    BP_LOG << filePath;
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    move(0, 40);
    QPalette pal = palette();
    const QBrush background(QPixmap(":/Resource/icon/bg.png"));
    pal.setBrush(QPalette::Active, QPalette::Window, background);
    pal.setBrush(QPalette::Inactive, QPalette::Window, background);
    pal.setBrush(QPalette::Disabled, QPalette::Window, background);
    setPalette(pal);

    m_monitor = new QTimer(this);
    m_monitor->setSingleShot(true);
    connect(m_monitor, &QTimer::timeout, this, &BuildPrint::showExtruderTemp);
    m_motionTimer = new QTimer(this);
    m_motionTimer->setSingleShot(true);
    connect(m_motionTimer, &QTimer::timeout, this, &BuildPrint::pollMotion);

    m_prepareRedo = false;
    setLayerCounters(0, 0);

    initData();

    m_serial = ExecuteGetSerialObject().serial();
    if (!OneLableDialog::instOneLableDialog) {
        new OneLableDialog("", nullptr);
        if (OneLableDialog::instOneLableDialog)
            OneLableDialog::instOneLableDialog->hide();
    }

    if (!getPrintFileParam() || !m_fileAccepted) {
        refuseFile();
        return;
    }

    initView();

    m_serial->serialSendCode("M17");
    m_serial->stopHalmetIIHeating();
    m_serial->setInitPrintingPersent();
    m_serial->slo_printCtlInit();

    connect(m_serial, &SerialObject::sendPrintPersent, this, &BuildPrint::showPrintProgress);
    connect(m_serial, &SerialObject::printOver, this, &BuildPrint::slot_printOver);
    connect(m_serial, &SerialObject::printPause, this, &BuildPrint::slot_printPause);
    connect(m_serial, &SerialObject::printResume, this, &BuildPrint::slot_printResume);
    connect(m_serial, &SerialObject::printQuit, this, &BuildPrint::slot_printQuit);
    connect(m_serial, &SerialObject::readM25, this, &BuildPrint::slot_readM25);
    connect(m_serial, &SerialObject::sendPrintLayer, this, &BuildPrint::showPrintLayer);

    MainWindow* mw = mainWindow();
    if (mw && mw->m_serverListener) {
        connect(mw->m_serverListener, &ServerListener::sig_printresume, this, &BuildPrint::printContinue);
        connect(mw->m_serverListener, &ServerListener::sig_printpause, this, &BuildPrint::printPause);
        connect(mw->m_serverListener, &ServerListener::sig_printcancel, this, &BuildPrint::printStop);
    }
    if (PolarClient* client = cloud()) {
        client->sendPrintingStatus(filePath);
        connect(client, &PolarClient::sig_cloudprintcancel, this, &BuildPrint::printStop);
        connect(client, &PolarClient::sig_cloudprintresume, this, &BuildPrint::printContinue);
        connect(client, &PolarClient::sig_cloudprintpause, this, &BuildPrint::printPause);
        // The print thread's resume reaches the cloud through slot_printResume,
        // so the report ends with the page.
    }

    QTimer::singleShot(1, this, &BuildPrint::doorOpenProcess);
}

BuildPrint::~BuildPrint()
{
    // First of all: nobody may reach this page through the pointer any more.
    const bool current = !instBuildPrint || instBuildPrint == this;
    if (instBuildPrint == this)
        instBuildPrint = nullptr;
    BP_LOG;
    m_monitor->stop();
    m_motionTimer->stop();
    if (current)
        setLayerCounters(0, 0);

    Config* config = getConfigFile().configFile();
    if (config->getPowerOffResumePrintStatus() && !m_keepResumeRecords) {
        config->setPowerOffResumePrintFileName("");
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumePrintNumber(0);
    }

    if (m_serial) {
        // A stream must never outlive its page.
        if (fileSent() && !m_quitReported && !m_ending && m_serial->isPrinting())
            m_serial->slo_printingQuit();
        if (m_fileAccepted) {
            if (m_homing)
                stopHoming();
            m_serial->serialSendCode("M18");
            m_serial->serialCheckCode("M112");
            m_serial->serialSendCode("M17 Y");
            m_serial->serialSendCode("G92 E0");
        }
        m_serial->serialCheckCode("M112");
        m_serial->serialSendCode("M18");
    }

    if (MainWindow* mw = mainWindow())
        mw->setLanStatus(0, 0);

    if (TwoButtonDialog* question = TwoButtonDialog::instTwoButtonDialog) {
        TwoButtonDialog::instTwoButtonDialog = nullptr;
        TwoButtonDialog::isShowDialog = false;
        question->close();
    }
    PrintDetail::closeOpen();
    PrintCtl::closeOpen();
    ChangFilament::closeOpen();
    if (OneLableDialog* notice = OneLableDialog::instOneLableDialog) {
        OneLableDialog::instOneLableDialog = nullptr;
        notice->close();
    }
    delete ui;
}

MainWindow* BuildPrint::mainWindow() const
{
    return MainWindow::instMainWindow;
}

PolarClient* BuildPrint::cloud() const
{
    MainWindow* mw = mainWindow();
    return mw ? mw->m_polarClient : nullptr;
}

bool BuildPrint::buzzerOn()
{
    return getConfigFile().configFile()->getBuzzerStatus();
}

void BuildPrint::playTune(int tune)
{
    buzzerPlay* player = buzzerPlay::getInstance("pwm1");
    player->start();
    player->play(static_cast<buzzerPlay::TuneId>(tune));
}

void BuildPrint::initData()
{
    if (MainWindow* mw = mainWindow())
        mw->setLanStatus(3, 2);
    m_startPosition = false;
    m_fileSent = false;
    m_pauseNozzleTemp = 0;
    m_pausePlatformTemp = 0;
    printState = 0;
    m_buildFileNozzleTemp = 0;
    m_buildFilePlatformTemp = 0;
    m_progress = 0.f;
    m_minuteTicks = 0;
    timeUsed = 0;
    m_timeReset = 0;
    m_fileAccepted = true;
    m_printSpeed = 100;
    m_zOffset = 0;
    Config* config = getConfigFile().configFile();
    const int buildTime = config->getPowerOffResumePrintStatus()
        ? FILESNAMESPACE::ResumePrintConfigSaveFile().getResumeBuildTime() : 0;
    std::lock_guard<std::mutex> lock(m_timeMutex);
    m_buildTime = buildTime;
}

bool BuildPrint::getPrintFileParam()
{
    const PrintFile::CheckResult r = PrintFile::checkPrintFile(m_filePath);
    MainWindow* mw = mainWindow();
    m_gxFile = r.isGx;
    if (r.headerComplete) {
        timeUsed = r.timeUsed;
        if (mw)
            mw->setPrintTimeUsed(timeUsed);
    }
    if (r.gxFlagReported && mw)
        mw->setprintFileIsGxFile(r.isGx);
    m_materialUsed = r.headerComplete ? r.materialUsed : 0;
    m_buildFileNozzleTemp = r.nozzleTemp;
    m_buildFilePlatformTemp = r.platformTemp;
    const int layers = r.layerCountFound ? r.layerCount : 0;
    if (r.layerCountFound) {
        setLayerCounters(0, layers);
        ui->showLayer->setText(tr("Layer: ") + QString::number(0) + "/" + QString::number(layers));
    }
    if (!r.accepted)
        m_fileAccepted = false;
    BP_LOG << "gx" << m_gxFile << "timeUsed" << timeUsed << "material" << (r.headerComplete ? r.materialUsed : 0)
           << "nozzle" << m_buildFileNozzleTemp << "bed" << m_buildFilePlatformTemp
           << "layers" << layers << "accepted" << m_fileAccepted << "passed" << r.passed;
    return r.passed;
}

void BuildPrint::refuseFile()
{
    BP_LOG << "refused" << m_filePath;
    m_refused = true;
    if (PolarClient* client = cloud())
        client->sendCancelStatus();
    const QString text = tr("File format error");
    if (OneButtonDialog::instOneButtonDialog)
        OneButtonDialog::instOneButtonDialog->setLabelText(text);
    else
        new OneButtonDialog(text, text, "", nullptr);
    if (OneButtonDialog::instOneButtonDialog)
        OneButtonDialog::instOneButtonDialog->show();
    repaint();
    PageGuard alive(this);
    QCoreApplication::processEvents();
    if (!alive)
        return;
    close();
}

void BuildPrint::initView()
{
    ui->play_pause->setEnabled(false);
    ui->stop->setEnabled(false);
    ui->buildSetting->setEnabled(false);
    hideNotice();
    const QString name = m_filePath.section('/', -1).trimmed();
    ui->printFileName->setText(ui->printFileName->fontMetrics().elidedText(
        name, Qt::ElideRight, ui->printFileName->width()));

    const QPixmap fileIcon = QPixmap(":/Resource/icon/G_File.png")
                                 .scaled(110, 110, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (m_gxFile) {
        ui->remainTimelabel->setText(tr("Time Remaining"));
        const QImage thumb = PrintFile::readThumbnail(m_filePath, 110, 110);
        ui->thumbNails->setPixmap(thumb.isNull() ? fileIcon : QPixmap::fromImage(thumb));
    } else {
        ui->thumbNails->setStyleSheet("border-radius:10px;background-color:#FFFFFF;");
        ui->thumbNails->setPixmap(fileIcon);
        ui->remainTimelabel->hide();
        ui->remainTime->hide();
    }
    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(1);
    if (MainWindow* mw = mainWindow()) {
        ui->extruderTemp->setText(QString::number(mw->getCurrentExtruderTemp()));
        ui->platformTemp->setText(QString::number(mw->getCurrentPlatformTemp()));
    }
    ui->showLayer->setVisible(layerTotal() != 0);
    showPauseLook(true);
}

void BuildPrint::ClearBuildTime()
{
    if (m_refused)
        return;
    if (fileSent()) {
        BP_LOG << "the job is streaming already: its records stay";
        return;
    }
    BP_LOG;
    m_powerOffResume = false;
    printdetail_clear_config();
    m_timeReset = 1;
    {
        std::lock_guard<std::mutex> lock(m_timeMutex);
        m_buildTime = 0;
    }
    FILESNAMESPACE::ResumePrintConfigSaveFile().setResumeBuildTime(0);
    m_serial->m_nozzleTempOverride = false;
    m_serial->m_platformTempOverride = false;
    m_zOffset = 0;
    m_printSpeed = 100;
}

void BuildPrint::markPowerOffResume()
{
    if (fileSent()) {
        BP_LOG << "too late: the job streams already";
        return;
    }
    BP_LOG;
    m_powerOffResume = true;
}

void BuildPrint::freshJobReset()
{
    ClearBuildTime();
    m_serial->resetPrintingAdjust();
}

void BuildPrint::applyPowerOffResume()
{
    PrintingAdjust adjust;
    adjust.speed = m_printSpeed;
    adjust.zOffset = m_zOffset;
    _printcfg_t saved{};
    if (printdetail_read_config(&saved) == 0 && saved.set_flag == 1
        && saved.extrusion >= 50 && saved.extrusion <= 300)
        adjust.extrusion = saved.extrusion;
    m_serial->setPrintingAdjust(adjust);
    BP_LOG << "speed" << adjust.speed << "zOffset" << adjust.zOffset << "extrusion" << adjust.extrusion;
}

QString BuildPrint::getPrintLayer()
{
    LayerCounters& c = layerCounters();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.total == 0)
        return "0/0";
    return QString::number(c.real) + "/" + QString::number(c.total);
}

int BuildPrint::getPrintBuildTime()
{
    std::lock_guard<std::mutex> lock(m_timeMutex);
    return m_buildTime;
}

bool BuildPrint::getPrinterFileSendStatus()
{
    return fileSent();
}

void BuildPrint::updateSetParam(float zOffset, int speedPercent)
{
    ui->zValue->setText(QString::number(zOffset / 100.0, 'f', 2));
    ui->speed->setText(QString::number(speedPercent) + "%");
}

void BuildPrint::showPauseLook(bool pauseLook)
{
    ui->play_pause->setStyleSheet(pauseLook ? PauseLook : ResumeLook);
}

void BuildPrint::showNotice(const QString& text)
{
    if (!OneLableDialog::instOneLableDialog)
        new OneLableDialog(text, nullptr);
    if (OneLableDialog* notice = OneLableDialog::instOneLableDialog) {
        notice->setLabelText(text);
        notice->setVisible(true);
    }
}

void BuildPrint::hideNotice()
{
    if (OneLableDialog* notice = OneLableDialog::instOneLableDialog)
        notice->setVisible(false);
}

void BuildPrint::showMessage(const QString& title, const QString& text, const QString& button)
{
    // One message box at a time. An untitled message takes over the open box;
    // a titled one replaces it, since a box cannot change its title.
    OneButtonDialog* box = OneButtonDialog::instOneButtonDialog;
    if (box && title.isEmpty()) {
        box->setLabelText(text);
        box->setBtnText(button.isEmpty() ? tr("OK") : button);
    } else {
        if (box) {
            OneButtonDialog::instOneButtonDialog = nullptr;
            box->close();
        }
        new OneButtonDialog(title, text, button, nullptr);
    }
    if (OneButtonDialog* box = OneButtonDialog::instOneButtonDialog) {
        box->show();
        box->raise();
    }
}

bool BuildPrint::sleepKeepingPage(int ms)
{
    PageGuard alive(this);
    waitKeepingScreen(ms);
    return static_cast<bool>(alive);
}

void BuildPrint::setButtonsEnabled(bool enabled)
{
    ui->buildSetting->setEnabled(enabled);
    ui->play_pause->setEnabled(enabled);
    ui->stop->setEnabled(enabled);
}

void BuildPrint::lockForPause(bool withNotice)
{
    keepPauseTargets();
    if (MainWindow* mw = mainWindow())
        mw->setLanStatus(3, 1);
    ui->buildSetting->setEnabled(false);
    if (withNotice)
        showNotice(tr("Pausing...\nplease wait..."));
    ui->play_pause->setEnabled(false);
    showPauseLook(false);
    // Stop stays usable: a park that never ends must not lock the user out.
}

void BuildPrint::unlockAfterWait()
{
    ui->buildSetting->setEnabled(true);
    hideNotice();
    ui->play_pause->setEnabled(true);
    ui->stop->setEnabled(true);
}

void BuildPrint::sendParkMoves(int x, int y)
{
    // The file may have left relative positioning on.
    m_serial->serialCheckCode("G90");
    m_serial->serialSendCode("G1 Z" + HomedPosition::homedZText() + " F" + "300");
    m_serial->serialSendCode("G1 X" + QString::number(x) + " Y" + QString::number(y) + " F" + "2000");
}

// ---- Preparation -------------------------------------------------------

void BuildPrint::doorOpenProcess()
{
    BP_LOG << (m_powerOffResume ? "power-off resume" : "fresh job");
    if (m_powerOffResume)
        applyPowerOffResume();
    else
        freshJobReset();
    m_serial->HeatingHalmetII(m_buildFileNozzleTemp, m_buildFilePlatformTemp);
    PageGuard alive(this);
    showExtruderTemp();
    if (!alive || printState == 3)
        return;
    startHoming();
    setButtonsEnabled(true);
}

void BuildPrint::startHoming()
{
    m_homing = true;
    ExecuteReturnHome().setObject(this);
    ExecuteReturnHome().returnHome(false);
}

void BuildPrint::stopHoming()
{
    m_homing = false;
    ExecuteReturnHome().releaseObject(this);
}

void BuildPrint::checkReturnHomeDone()
{
    BP_LOG << "printState=" << printState;
    stopHoming();
    if (printState == 3)
        return;
    m_serial->serialCheckCode("M112");
    sendHomedCoordinates(m_serial, true);
    if (printState != 2) {
        printState = 1;
        m_serial->serialSendCode("G1 X-90 Y-90 F2000");
    } else {
        m_serial->stopHalmetIIHeating();
        m_serial->serialSendCode("G1 X-90 Y-90 F2000");
    }
    if (!sleepKeepingPage(1000))
        return;
    // A pause that came during homing parks here, at the start position.
    waitMotion(WaitStartPosition | (m_parking ? WaitPark : 0), 0);
}

void BuildPrint::checkSpecifiedLocationMove()
{
    waitMotion(WaitStartPosition, 0);
}

// ---- The monitor -------------------------------------------------------

void BuildPrint::showExtruderTemp()
{
    MainWindow* mw = mainWindow();
    if (!mw) {
        m_monitor->start(1000);
        return;
    }
    PageGuard alive(this);
    const int currentNozzle = mw->getCurrentExtruderTemp();

    // Checked before anything else, so a hot nozzle never starts a print.
    if (MachineRules::nozzleTooHot(currentNozzle)) {
        // The reading that stops the job is the one on screen.
        ui->extruderTemp->setText(QString::number(currentNozzle) + "/" + QString::number(mw->getTargetExtruderTemp()));
        if (!m_overTemperature) {
            overTemperatureStop();
            if (!alive)
                return;
        } else if (mw->getTargetExtruderTemp() > 0 || mw->getTargetPlatformTemp() > 0) {
            m_serial->stopHalmetIIHeating();
        }
        m_monitor->start(1000);
        return;
    }

    if (m_gxFile) {
        const int remaining = static_cast<int>(timeUsed * (1.0 - static_cast<double>(m_progress)));
        ui->remainTime->setText(hoursMinutes(remaining));
    }
    updateSetParam(m_zOffset, m_printSpeed);
    ui->buildTime->setText(hoursMinutes(getPrintBuildTime()));

    if (printState == 1 && !m_resuming && !mw->filamentCheckStatu()
        && getConfigFile().configFile()->getFilamentDetect()) {
        BP_LOG << "filament run out";
        showMessage("", tr("No material detected. Please\nload material before resuming\nthe print."), tr("OK"));
        QCoreApplication::processEvents();
        if (!alive)
            return;
        if (buzzerOn())
            playTune(buzzerPlay::Tune5);
        if (!sleepKeepingPage(2000))
            return;
        if (printState == 1)
            requestPause(PauseFrom::RunOut);
        if (!alive)
            return;
    }

    const int nozzleTarget = mw->getTargetExtruderTemp();
    const int bedTarget = mw->getTargetPlatformTemp();
    ui->extruderTemp->setText(QString::number(currentNozzle) + "/" + QString::number(nozzleTarget));
    ui->platformTemp->setText(QString::number(mw->getCurrentPlatformTemp()) + "/" + QString::number(bedTarget));

    if (!fileSent()) {
        // Targets set on the controller from elsewhere while the job waits; never
        // the filament change's own heat, which would outlast the change, nor an
        // open unload wizard's.
        const bool othersHeat = printState == 2 || ChangFilament::instHandle || UnloadFilament::instUnloadFilament;
        if (nozzleTarget != m_buildFileNozzleTemp && nozzleTarget > 10 && nozzleTarget != 235 && !othersHeat)
            m_buildFileNozzleTemp = nozzleTarget;
        if (bedTarget != m_buildFilePlatformTemp && bedTarget > 10)
            m_buildFilePlatformTemp = bedTarget;
        printFileNoSendProcess(currentNozzle);
    } else {
        printFileHasSendProcess();
    }
    if (!alive)
        return;
    m_monitor->start(1000);
}

void BuildPrint::printFileNoSendProcess(int currentNozzle)
{
    if (!m_startPosition || currentNozzle < m_buildFileNozzleTemp - 2)
        return;
    if (m_buildFilePlatformTemp > 0) {
        MainWindow* mw = mainWindow();
        if (!mw || mw->getCurrentPlatformTemp() < m_buildFilePlatformTemp - 2)
            return;
    }
    if (printState != 1 || fileSent())
        return;
    if (m_serial->isPrinting()) {
        // The link streams one file at a time: an earlier job is still ending.
        BP_LOG << "the link is still busy with an earlier job";
        return;
    }
    startPrintThread();
}

void BuildPrint::startPrintThread()
{
    m_fileSent = true;
    Config* config = getConfigFile().configFile();
    // A fresh job resumes from its own start until its first layer mark, never
    // from a line an earlier job left behind.
    FILESNAMESPACE::beginResumeRecords(printerPath(m_filePath).toStdString(), m_powerOffResume,   // UTF-8
                                       config->getPowerOffResumePrintStatus());
    const int line = m_powerOffResume
        ? FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber() : 0;
    m_serial->setResumeLine(line);

    auto* job = new PrintThreadJob{m_serial, m_filePath};
    pthread_t thread{};
    const int rc = s_threadCreator(&thread, nullptr, &startPrintPthread, job);
    if (rc != 0) {
        delete job;
        qDebug() << LOG_SRC("UI/buildprint.cpp") << "create pthread error" << rc;
        m_fileSent = false;
        if (config->getPowerOffResumePrintStatus())
            config->setPowerOffResumePrintFileName("");
        showMessage("", tr("The print could not be started.\nPlease try again."), "");
        cancelBeforeStart();
        return;
    }
    pthread_detach(thread);
    BP_LOG << "print thread started, from line" << line;
}

void BuildPrint::printFileHasSendProcess()
{
    if (printState != 1)
        return;
    const int estimate = static_cast<int>(static_cast<float>(timeUsed) * m_progress);
    const bool reset = m_timeReset.exchange(0) != 0;
    bool minute = false;
    int elapsed = 0;
    {
        std::lock_guard<std::mutex> lock(m_timeMutex);
        if (estimate > m_buildTime)
            m_buildTime = estimate;
        else
            m_buildTime += 1;
        if (reset)
            m_buildTime = 0;
        if (++m_minuteTicks >= 60) {
            m_minuteTicks = 0;
            minute = true;
        }
        elapsed = m_buildTime;
    }
    if (minute) {
        getConfigFile().configFile()->setPrinterTotalTime(1);
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumeBuildTime(elapsed);
    }
    if (MainWindow* mw = mainWindow())
        mw->setPrintBuildTime(elapsed);
    if (reset)
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumeBuildTime(0);
}

void BuildPrint::overTemperatureStop()
{
    qWarning() << LOG_SRC("UI/buildprint.cpp") << "nozzle above" << MachineRules::NozzleCeiling
               << "C, stopping the job";
    m_overTemperature = true;
    m_serial->stopHalmetIIHeating();
    if (buzzerOn())
        playTune(buzzerPlay::Tune0);
    // An open question must not hold the stop back.
    if (TwoButtonDialog* question = TwoButtonDialog::instTwoButtonDialog)
        question->reject();
    showMessage("", tr("Abnormally print.\nPlease check the extruder."), "");
    repaint();
    update();
    PageGuard alive(this);
    QCoreApplication::processEvents();
    if (!alive)
        return;
    stopJob(true);
}

// ---- Progress and layers -----------------------------------------------

void BuildPrint::showPrintProgress(float persent)
{
    if (!(persent >= 0.f))   // negative or not a number
        persent = 0.f;
    int value;
    if (persent > 1.0f) {
        m_progress = 1.0f;
        value = 100;
    } else {
        m_progress = persent;
        value = static_cast<int>(persent * 100.f);
        if (value < 1)
            value = 1;
    }
    ui->progressBar->setValue(value);
    ui->progressBar->repaint();
}

void BuildPrint::showPrintLayer()
{
    int real, total;
    {
        LayerCounters& c = layerCounters();
        std::lock_guard<std::mutex> lock(c.mutex);
        if (c.real < c.total)
            ++c.real;
        real = c.real;
        total = c.total;
    }
    ui->showLayer->setText(tr("Layer: ") + QString::number(real) + "/" + QString::number(total));
    ui->showLayer->repaint();
}

// ---- Pause and resume --------------------------------------------------

void BuildPrint::on_play_pause_pressed()
{
    if (closeMenu())
        return;
    if (printState == 3)
        return;
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    if (printState == 1)
        requestPause(PauseFrom::Button);
    else
        requestResume(true);
}

void BuildPrint::slot_readM25()
{
    BP_LOG << "M25 in the file, printState=" << printState;
    closeMenu();   // the file's pause is never lost to an open menu
    if (printState == 1)
        requestPause(PauseFrom::FileM25);
}

void BuildPrint::printPause()
{
    requestPause(PauseFrom::Remote);
}

void BuildPrint::printContinue()
{
    if (ChangFilament::instHandle) {
        BP_LOG << "remote resume refused: a filament change is under way";
        return;
    }
    requestResume(false);
}

void BuildPrint::requestPause(PauseFrom from)
{
    if (printState == 2 || printState == 3)
        return;
    if (m_resuming) {
        // The print thread is still reheating and moving back.
        if (from == PauseFrom::FileM25 || from == PauseFrom::Remote)
            m_pauseAfterResume = true;
        BP_LOG << "pause held back: a resume is under way";
        return;
    }
    if (printState == 0 && from != PauseFrom::Remote)
        return;
    printState = 2;
    printPlayPauseDo();
}

void BuildPrint::requestResume(bool fromButton)
{
    if (printState != 0 && printState != 2)
        return;
    if (m_parking) {
        BP_LOG << "resume ignored: the pause is still parking";
        return;
    }
    // Only the page's own button asks the filament sensor; the LAN and the
    // cloud resume as they are told.
    MainWindow* mw = mainWindow();
    if (fromButton && mw && !mw->filamentCheckStatu() && getConfigFile().configFile()->getFilamentDetect()) {
        if (!OneButtonDialog::instOneButtonDialog && instBuildPrint)
            showMessage("", tr("Out of material.You can\nload more material to\ncontinue this print."), tr("OK"));
        BP_LOG << "resume refused: no filament";
        return;
    }
    if (fileSent() || !m_prepareRedo) {
        printState = 1;
        printPlayPauseDo();
    } else {
        redoPreparation();
    }
}

void BuildPrint::redoPreparation()
{
    BP_LOG << "preparing the machine again";
    m_prepareRedo = false;
    m_startPosition = false;
    showPauseLook(true);
    m_serial->HeatingHalmetII(m_buildFileNozzleTemp, m_buildFilePlatformTemp);
    startHoming();
    setButtonsEnabled(true);
    printState = 1;
    printPlayPauseDo();
}

void BuildPrint::keepPauseTargets()
{
    // The targets last commanded; a reading of 10 C or less is a heater that
    // is off already, never a target to come back to.
    auto pick = [](int commanded, int polled, int job) {
        if (commanded > 10)
            return commanded;
        if (polled > 10)
            return polled;
        return job;
    };
    MainWindow* mw = mainWindow();
    m_pauseNozzleTemp = pick(m_serial->nozzleTarget(), mw ? mw->getTargetExtruderTemp() : 0,
                             m_buildFileNozzleTemp);
    m_pausePlatformTemp = pick(m_serial->platformTarget(), mw ? mw->getTargetPlatformTemp() : 0,
                               m_buildFilePlatformTemp);
    BP_LOG << "pause temp:" << m_pauseNozzleTemp << m_pausePlatformTemp;
}

void BuildPrint::printPlayPauseDo()
{
    const bool sent = fileSent();
    BP_LOG << "printState=" << printState << "sent" << sent;
    MainWindow* mw = mainWindow();
    if (printState == 2) {
        lockForPause(true);
        m_parking = true;
        if (!sent) {
            m_serial->stopHalmetIIHeating();
            // In mid-homing the controller would run this move right after the
            // axis' "G28", on axes not homed yet, and take the axis off its end
            // stop before the executor's next "M119": the run would never end.
            // The head parks at its start position after homing instead.
            if (!m_homing) {
                m_serial->serialCheckCode("G90");
                m_serial->serialSendCode("G1 X70 Y-70 Z150");
                waitMotion(WaitPark, 500);
            }
        } else {
            m_serial->slo_printingPause();
            waitMotion(WaitPauseRequest, 500);
        }
    } else if (printState == 1) {
        if (mw)
            mw->setLanStatus(3, 2);
        showPauseLook(true);
        if (!sent) {
            m_serial->HeatingHalmetII(m_buildFileNozzleTemp, m_buildFilePlatformTemp);
            if (PolarClient* client = cloud())
                client->sendResumeStatus();
            unlockAfterWait();
            showPauseLook(true);
        } else {
            m_pauseGaveUp = false;
            ui->buildSetting->setEnabled(false);
            showNotice(tr("Prepare to resume..."));
            ui->play_pause->setEnabled(false);
            m_resuming = true;
            m_serial->HeatingHalmetII(m_pauseNozzleTemp, m_pausePlatformTemp);
            m_serial->slo_printingContinue();
        }
    }
}

void BuildPrint::slot_printPause()
{
    BP_LOG << "printState=" << printState;
    if (printState == 3)
        return;   // the job is ending: a late report changes nothing
    m_motionWaits &= ~WaitPauseRequest;
    if (m_pauseGaveUp) {
        // Given up on already: heaters off, nothing to park; a resume asked
        // meanwhile goes on by itself.
        if (!m_resuming)
            printState = 2;
        return;
    }
    if (!m_parking) {
        // The print thread paused without our asking: show the pausing screen.
        lockForPause(true);
        m_parking = true;
    }
    m_resuming = false;
    printState = 2;
    sendParkMoves(HomedPosition::buildWidth() / 2, HomedPosition::buildDepth() / 2);
    waitMotion(WaitPark, 500);
}

void BuildPrint::slot_printResume()
{
    BP_LOG << "printState=" << printState;
    if (printState == 3)
        return;
    m_resuming = false;
    if (MainWindow* mw = mainWindow())
        mw->setLanStatus(3, 2);
    printState = 1;
    unlockAfterWait();
    showPauseLook(true);
    if (PolarClient* client = cloud())
        client->sendResumeStatus();
    if (m_pauseAfterResume) {
        m_pauseAfterResume = false;
        requestPause(PauseFrom::FileM25);
    }
}

void BuildPrint::PausePrint()
{
    if (printState == 2 || printState == 3)
        return;
    BP_LOG;
    m_filamentChangePause = true;
    lockForPause(false);
    if (!fileSent()) {
        m_serial->stopHalmetIIHeating();
        m_serial->serialSendCode("M112");
        stopHoming();
        printState = 2;
    } else {
        m_parking = true;
        m_serial->slo_printingPause();
        printState = 2;
        waitMotion(WaitPauseRequest, 500);
    }
}

void BuildPrint::EnablePrint()
{
    BP_LOG << "printState=" << printState;
    m_filamentChangePause = false;
    if (printState == 3)
        return;
    if (!m_parking)   // a pause still parking unlocks the buttons when it arrives
        setButtonsEnabled(true);
    if (!fileSent())
        m_prepareRedo = true;
}

// ---- Motion-end polls --------------------------------------------------

void BuildPrint::waitMotion(int what, int delayMs)
{
    // Limit from the longest move the page sends: to the park height and across
    // the bed; before a pause parks, the moves the controller still holds.
    const int across = HomedPosition::buildWidth() + HomedPosition::buildDepth();
    const int limit = what == WaitStartPosition ? ControllerProtocol::moveLimitMs(across / 2, 2000)
        : what == WaitPauseRequest              ? ControllerProtocol::moveLimitMs(across, 2000)
        : ControllerProtocol::moveLimitMs(HomedPosition::homedZText().toDouble(), 300)
            + ControllerProtocol::moveLimitMs(across, 2000);
    if (!m_motionWaits)
        m_motionWait.start(limit + delayMs);
    else
        m_motionWait.extend(limit);
    m_motionWaits |= what;
    if (!m_motionTimer->isActive())
        m_motionTimer->start(delayMs);
}

void BuildPrint::pollMotion()
{
    if (!m_motionWaits)
        return;
    const auto result = m_motionWait.poll(m_serial);
    if (result == MachineRules::MoveWait::GaveUp) {
        machineStuck(m_motionWait.trouble());
        return;
    }
    if (result == MachineRules::MoveWait::Moving || m_motionWaits == WaitPauseRequest) {
        if (result == MachineRules::MoveWait::Ended)   // the queue ran out; the print thread parks next
            m_motionWait.start(ControllerProtocol::moveLimitMs(0, 1));
        m_motionTimer->start(500);
        return;
    }
    const int waits = m_motionWaits;
    m_motionWaits = 0;
    PageGuard alive(this);
    if (waits & WaitStartPosition)
        m_startPosition = true;
    if (waits & WaitPark)
        parkReached();
    if (!alive)
        return;
    if (waits & WaitFinish)
        finishReached();
}

void BuildPrint::machineStuck(MachineRules::Trouble why)
{
    const int waits = m_motionWaits;
    m_motionWaits = 0;
    m_motionWait.stop();
    qWarning() << LOG_SRC("UI/buildprint.cpp") << "gave up on the machine, printState" << printState
               << (why == MachineRules::Trouble::Silent ? "silent" : "stuck");
    MachineRules::emergencyStop(m_serial);
    hideNotice();
    showMessage("", MachineTrouble::text(why), "");
    if (printState == 2 && !(waits & WaitStartPosition)) {
        // Paused: the heaters are off; resume or cancel stay open to the user.
        if (waits & WaitPauseRequest)
            m_pauseGaveUp = true;
        m_parking = false;
        unlockAfterWait();
        return;
    }
    if (!fileSent()) {
        cancelBeforeStart();
        return;
    }
    if (printState == 3) {
        if (PolarClient* client = cloud())
            client->sendCancelStatus();
        close();
    }
}

void BuildPrint::returnHomeFailed()
{
    BP_LOG << "printState=" << printState;
    m_homing = false;
    m_motionWaits = 0;
    if (printState == 3)
        return;
    m_serial->stopHalmetIIHeating();
    showMessage("", MachineTrouble::text(MachineRules::troubleNow(m_serial)), "");
    cancelBeforeStart();
}

void BuildPrint::endForLostController()
{
    BP_LOG;
    m_quitReported = true;
    m_ending = true;
    printState = 3;
    m_parking = false;
    m_resuming = false;
    m_motionWaits = 0;
    const SerialObject::EndCause cause = m_serial->jobEndCause();
    // Kept until the line is back, then delivered first.
    m_serial->serialCheckCode("M112");
    m_serial->stopHalmetIIHeating();
    // The job can go on after a restart, once the controller answers again.
    m_keepResumeRecords = true;
    if (PolarClient* client = cloud())
        client->sendCancelStatus();
    hideNotice();
    // A stop of the program's own has shown its reason already.
    if (cause != SerialObject::EndCause::Stopped)
        showMessage("", MachineTrouble::text(cause == SerialObject::EndCause::Unreadable ? MachineRules::Trouble::Unreadable
                                                                                       : MachineRules::Trouble::Silent), "");
    close();
}

void BuildPrint::checkMove()
{
    waitMotion(WaitPark, 0);
}

void BuildPrint::checkPrintOverMove()
{
    waitMotion(WaitFinish, 0);
}

void BuildPrint::parkReached()
{
    BP_LOG << "printState=" << printState;
    if (printState == 3 && fileSent() && !m_quitReported)
        return;   // the cancel's own park has not begun yet
    if (buzzerOn())
        playTune(buzzerPlay::Tune6);
    if (printState == 2) {
        m_parking = false;
        if (m_filamentChangePause && ChangFilament::instHandle)
            ChangFilament::instHandle->pause_success();
        unlockAfterWait();
        if (PolarClient* client = cloud())
            client->sendPauseStatus();
        emit sendPrintPauseToHome();
    } else if (printState == 3) {
        if (PolarClient* client = cloud())
            client->sendCancelStatus();
        m_serial->serialCheckCode("G90");
        m_serial->serialCheckCode("M18");
        if (sleepKeepingPage(3000))
            close();
    }
}

// ---- Cancel ------------------------------------------------------------

void BuildPrint::on_stop_clicked()
{
    if (closeMenu())
        return;
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    if (printState == 3 || TwoButtonDialog::instTwoButtonDialog)
        return;
    PageGuard alive(this);
    QPointer<TwoButtonDialog> question = new TwoButtonDialog(
        tr("Cancel print job"), tr("Are you sure to\n cancel print job?"), tr("YES"), tr("NO"), nullptr);
    const int answer = question->exec();
    if (question)
        delete question.data();
    if (!alive)
        return;
    if (answer != QDialog::Accepted || printState == 3)
        return;
    closeMenu();
    m_serial->resetPrintingAdjust();
    printStop();
}

void BuildPrint::printStop()
{
    stopJob(false);
}

void BuildPrint::stopJob(bool overTemperature)
{
    if (printState == 3)
        return;
    if (!overTemperature && TwoButtonDialog::instTwoButtonDialog)
        return;
    BP_LOG << "sent" << fileSent();
    printState = 3;
    closeMenu();
    showNotice(tr("Cancelling Build..."));
    if (fileSent()) {
        slot_printAbort();
        ui->buildSetting->setEnabled(false);
        ui->play_pause->setEnabled(false);
        ui->stop->setEnabled(false);
        QCoreApplication::processEvents();
    } else {
        cancelBeforeStart();
    }
}

void BuildPrint::cancelBeforeStart()
{
    BP_LOG;
    printState = 3;
    m_ending = true;
    stopHoming();
    m_serial->serialCheckCode("M112");
    m_serial->stopHalmetIIHeating();
    if (PolarClient* client = cloud())
        client->sendCancelStatus();
    close();
}

void BuildPrint::slot_printAbort()
{
    m_serial->slo_printingQuit();
}

void BuildPrint::slot_printQuit()
{
    BP_LOG << "printState=" << printState;
    if (m_quitReported || m_ending)
        return;
    if (m_serial->jobLostController()) {
        endForLostController();
        return;
    }
    m_quitReported = true;
    m_ending = true;
    printState = 3;
    m_parking = false;
    m_resuming = false;
    m_motionWaits &= ~WaitPauseRequest;
    m_serial->serialCheckCode("M112");
    m_serial->stopHalmetIIHeating();
    sendParkMoves(HomedPosition::buildWidth() / 2 - 5, HomedPosition::buildDepth() / 2 - 5);
    ui->buildSetting->setEnabled(false);
    if (OneLableDialog::instOneLableDialog) {
        showNotice(tr("Cancelling Build..."));
        ui->play_pause->setEnabled(false);
        ui->stop->setEnabled(false);
    }
    PageGuard alive(this);
    QCoreApplication::processEvents();
    if (!alive)
        return;
    waitMotion(WaitPark, 1000);
}

// ---- Finish ------------------------------------------------------------

void BuildPrint::slot_printOver()
{
    BP_LOG << "printState=" << printState;
    if (m_ending)
        return;
    if (printState == 3) {
        // Cancelled while the last lines went out: end as the cancel asked.
        slot_printQuit();
        return;
    }
    m_ending = true;
    printState = 3;
    m_parking = false;
    m_resuming = false;
    m_motionWaits &= ~WaitPauseRequest;
    closeMenu();
    m_serial->stopHalmetIIHeating();
    m_serial->serialSendCode("M50 S0");
    sendParkMoves(90, 90);
    checkPrintOverMove();
}

void BuildPrint::finishReached()
{
    BP_LOG;
    if (buzzerOn())
        playTune(buzzerPlay::Tune1);
    m_serial->serialCheckCode("G90");
    m_serial->serialSendCode("G92 X100 Y100 Z" + HomedPosition::homedZText());
    if (!sleepKeepingPage(3000))
        return;
    m_serial->serialCheckCode("M18");
    showMessage(tr("Build Completed"), tr("Build completed!"), "");
    PageGuard alive(this);
    QCoreApplication::processEvents();
    if (!alive)
        return;
    if (PolarClient* client = cloud())
        client->sendCompleteStatus();
    close();
}

// ---- In-print control page ---------------------------------------------

bool BuildPrint::closeMenu()
{
    return PrintCtl::closeOpen();
}

void BuildPrint::on_buildSetting_pressed()
{
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    if (closeMenu())
        return;
    BP_LOG << "printState=" << printState;
    PrintCtl::instHandle = new PrintCtl(m_gxFile, m_materialUsed, m_buildFileNozzleTemp, m_buildFilePlatformTemp,
                                        printState == 2, nullptr);
    PrintCtl::instHandle->show();
}

void BuildPrint::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->pos();
    const bool onMenu = p.x() >= 225 && p.x() <= 455 && p.y() >= 113 && p.y() <= 179;
    if (!onMenu)
        closeMenu();
    QDialog::mousePressEvent(event);
}
