#include "UI/mainwindow.h"
#include "ui_mainwindow.h"

#include "Config/Config.h"
#include "Dialog/commondialog.h"
#include "Dialog/nobuttondialog.h"
#include "Dialog/onebuttondialog.h"
#include "Dialog/onelabledialog.h"
#include "Dialog/progressdialog.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/COneTimesClicked.h"
#include "Files/ResumePrintConfig.h"
#include "UI/build.h"
#include "UI/buildprint.h"
#include "UI/control.h"
#include "UI/manual.h"
#include "UI/preheat.h"
#include "UI/setting.h"
#include "cloudprinter/PolarClient.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"
#include "tools/Log.h"
#include "tools/PagePointer.h"
#include "tools/RootPath.h"
#include "wifiDevice/ServerListener.h"

#include <QDebug>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

MainWindow* MainWindow::instMainWindow = nullptr;

namespace {

constexpr int kStatusIntervalMs = 1000;
constexpr int kProbeCheckDelayMs = 100;
constexpr int kResumePromptDelayMs = 2000;
constexpr qint64 kMaxMountsBytes = 256 * 1024;
// Each unanswered query blocks the GUI thread for the link's reply time (twice,
// with the retry): while the controller is silent it is asked only this often.
constexpr qint64 kSilentRetryMs = 5000;

// /proc/mounts writes blanks, tabs, newlines and backslashes in paths as octal escapes.
QString unescapeMountField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3'
            && field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QString::fromUtf8(out);
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

QString temperatureText(int current, int target)
{
    return QStringLiteral("%1/%2\u2103").arg(current).arg(target);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow)
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
    instMainWindow = this;
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFixedSize(480, 272);
    move(0, 0);
    for (QToolButton* b : {ui->showBuild, ui->showSetting, ui->showInfo, ui->showControl})
        b->setStyleSheet(COneTimesClicked::styleSheet("TOOLBUTTON_MAIN_STYLE", false));

    m_serial = ExecuteGetSerialObject().serial();
    m_serverListener = new ServerListener(this);

    // Probe disarmed, end stops read once, the light as the settings keep it.
    m_serial->serialCheckCode("M141 T219");
    m_serial->serialCheckCode("M119");
    m_serial->serialCheckCode(getConfigFile().configFile()->getLedStatus() ? "M145" : "M144");

    m_statusTimer = new QTimer(this);
    m_statusTimer->setInterval(kStatusIntervalMs);
    connect(m_statusTimer, &QTimer::timeout, this, &MainWindow::statusTick);
    m_statusTimer->start();
    checkUsb();
    showUsbStatus();
    updateStatusRow();

    QTimer::singleShot(kProbeCheckDelayMs, this, &MainWindow::probeCheck);
    QTimer::singleShot(kResumePromptDelayMs, this, &MainWindow::askResume);
}

MainWindow::~MainWindow()
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
    if (instMainWindow == this)
        instMainWindow = nullptr;
    delete ui;
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        showUsbStatus();
        updateStatusRow();
    }
    QMainWindow::changeEvent(event);
}

// ---- status row ------------------------------------------------------------

void MainWindow::statusTick()
{
    if (!m_silentRetry.hasExpired()) {
        checkUsb();
        return;
    }
    pollStatus();
}

void MainWindow::pollStatus()
{
    // The exchanges block; a nested event loop must not start a second poll.
    if (m_polling)
        return;
    m_polling = true;
    const QString reply = m_serial->serialCheckCode("M105");
    if (const auto t = ControllerProtocol::parseM105(reply)) {
        QMutexLocker lock(&m_tempMutex);
        m_curNozzle = t->nozzle;
        m_targetNozzle = t->nozzleTarget;
        m_curBed = t->bed;
        m_targetBed = t->bedTarget;
        m_silentRetry = QDeadlineTimer();
    } else {
        qWarning() << LOG_SRC("UI/mainwindow.cpp") << "M105 reply unreadable:" << reply;
        m_silentRetry = QDeadlineTimer(kSilentRetryMs);
    }

    if (m_serial->isPrinting()) {
        // Filament fed: the sum of the forward E moves between polls (a reset
        // of E or a retraction counts nothing). A new job starts from nothing.
        if (const auto pos = ControllerProtocol::parseM114(m_serial->serialCheckCode("M114"))) {
            if (!m_haveE)
                m_filamentUsed = 0;
            else if (pos->e > m_lastE)
                m_filamentUsed = m_filamentUsed.load() + (pos->e - m_lastE);
            m_lastE = pos->e;
            m_haveE = true;
        }
    } else {
        m_haveE = false;
    }

    checkUsb();
    updateStatusRow();
    m_polling = false;
}

void MainWindow::updateStatusRow()
{
    int nozzle, nozzleTarget, bed, bedTarget;
    {
        QMutexLocker lock(&m_tempMutex);
        nozzle = m_curNozzle;
        nozzleTarget = m_targetNozzle;
        bed = m_curBed;
        bedTarget = m_targetBed;
    }
    ui->nozzleTemp->setText(temperatureText(nozzle, nozzleTarget));
    ui->bedTemp->setText(temperatureText(bed, bedTarget));
}

// Only on a change of the stick (and of the language), not on every poll.
void MainWindow::showUsbStatus()
{
    ui->usbIcon->setPixmap(QPixmap(m_usbFlag ? ":/Resource/icon/status_usb_on.png"
                                             : ":/Resource/icon/status_usb_off.png"));
    ui->usbIcon->setToolTip(m_usbFlag ? tr("USB stick") : tr("No USB stick"));
}

int MainWindow::lockedTemp(const int& value)
{
    QMutexLocker lock(&m_tempMutex);
    return value;
}

int MainWindow::getCurrentExtruderTemp() { return lockedTemp(m_curNozzle); }
int MainWindow::getTargetExtruderTemp() { return lockedTemp(m_targetNozzle); }
int MainWindow::getCurrentPlatformTemp() { return lockedTemp(m_curBed); }
int MainWindow::getTargetPlatformTemp() { return lockedTemp(m_targetBed); }

// ---- USB stick -------------------------------------------------------------

// Mounting is the system's job; the program only watches for a file system on /media.
bool MainWindow::usbMountedNow() const
{
    QFile mounts(rootPath(PrinterPath::ProcMounts));
    if (!mounts.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = mounts.read(kMaxMountsBytes);
    const QString media = QString::fromLatin1(PrinterPath::Media);
    const QString sandboxedMedia = withoutTrailingSlash(rootPath(PrinterPath::Media));
    for (const QByteArray& line : data.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        const QString mountPoint = withoutTrailingSlash(unescapeMountField(fields[1]));
        if (mountPoint == media || mountPoint == sandboxedMedia)
            return true;
    }
    return false;
}

void MainWindow::checkUsb()
{
    const bool mounted = usbMountedNow();
    if (mounted == m_usbFlag)
        return;
    if (mounted)
        usbUp();
    else
        usbDown();
}

void MainWindow::usbUp()
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
    m_usbFlag = true;
    showUsbStatus();
    emit sig_usbMount();
}

void MainWindow::usbDown()
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
    m_usbFlag = false;
    showUsbStatus();
    emit sig_usbUnmount();
}

// ---- machine ---------------------------------------------------------------

void MainWindow::probeCheck()
{
    const QString reply = m_serial->serialCheckCode("M130");
    qDebug() << LOG_SRC("UI/mainwindow.cpp") << "probe fitted:" << ControllerProtocol::probeFitted(reply);
}

bool MainWindow::filamentCheckStatu()
{
    return ControllerProtocol::filamentPresent(m_serial->serialCheckCode("M113"));
}

int MainWindow::setPrintTimeUsed(int seconds)
{
    m_printTimeUsed = seconds;
    return 0;
}

int MainWindow::setprintFileIsGxFile(bool isGx)
{
    m_printFileIsGx = isGx;
    qDebug() << LOG_SRC("UI/mainwindow.cpp") << "print file is gx file:" << (isGx ? "true" : "false");
    return 0;
}

void MainWindow::setPrintBuildTime(int seconds)
{
    m_printBuildTime = seconds;
}

void MainWindow::setLocalPrintJobId(std::string id)
{
    if (m_polarClient)
        m_polarClient->setPolarPrinterJobId(id);
}

// ---- buttons ---------------------------------------------------------------

void MainWindow::on_showBuild_clicked()
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
    if (!OneTimesClicked().acceptPress(this, ui->showBuild, "TOOLBUTTON_MAIN_STYLE") || Build::instBuild)
        return;
    Build::instBuild = new Build(nullptr);
    Build::instBuild->show();
}

void MainWindow::on_showControl_clicked()
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
    if (!OneTimesClicked().acceptPress(this, ui->showControl, "TOOLBUTTON_MAIN_STYLE") || Control::instControl)
        return;
    Control::instControl = new Control(nullptr);
    Control::instControl->show();
}

void MainWindow::on_showSetting_clicked()
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
    if (!OneTimesClicked().acceptPress(this, ui->showSetting, "TOOLBUTTON_MAIN_STYLE") || Setting::instSetting)
        return;
    Setting::instSetting = new Setting(nullptr);
    Setting::instSetting->show();
}

// The information page is not part of this program.
void MainWindow::on_showInfo_clicked()
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
}

// ---- jobs ------------------------------------------------------------------

// A LAN, cloud or resumed job: only while the machine is ready and no printing
// page exists; the open dialogs go first.
bool MainWindow::startJobPage(const QString& filePath, const char* origin)
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp") << origin << filePath;
    if (BuildPrint::instBuildPrint || m_machineStatus != 0) {
        qWarning() << LOG_SRC("UI/mainwindow.cpp") << "machine busy, job refused:" << filePath
                   << "status" << m_machineStatus.load();
        return false;
    }
    clearAgoState();
    m_machineStatus = MachineStatusBuilding;
    return true;
}

void MainWindow::slo_jumpToPrint(QString filePath)
{
    if (!startJobPage(filePath, "cloud job"))
        return;
    BuildPrint::instBuildPrint = new BuildPrint(filePath, nullptr);
    BuildPrint::instBuildPrint->show();
}

void MainWindow::slot_ThreadM23(QString filePath)
{
    if (!startJobPage(filePath, "LAN job"))
        return;
    BuildPrint::instBuildPrint = new BuildPrint(filePath, nullptr);
    BuildPrint::instBuildPrint->show();
}

void MainWindow::powerOffResumePrint(QString filePath)
{
    if (!startJobPage(filePath, "power-off resume"))
        return;
    int speed = 100;
    int zOffset = 0;
    _printcfg_t saved{100, 100, 60, 210, 0, 0};
    if (printdetail_read_config(&saved) == 0) {
        speed = saved.speed < 50 || saved.speed > 300 ? 100 : saved.speed;
        zOffset = saved.zoffset;
    }
    m_serial->setResumeLine(FILESNAMESPACE::ResumePrintConfigSaveFile().getResumePrintNumber());
    BuildPrint* page = new BuildPrint(filePath, nullptr);
    BuildPrint::instBuildPrint = page;
    page->markPowerOffResume();
    page->m_printSpeed = speed;
    page->m_zOffset = zOffset;
    page->show();
}

void MainWindow::askResume()
{
    Config* config = getConfigFile().configFile();
    const std::string saved = config->getPowerOffResumePrintFileName();
    if (saved.empty() || !config->getPowerOffResumePrintStatus())
        return;
    // Settings keep printer paths; a path already under the sandbox root is taken as it is.
    QString path = QString::fromStdString(saved);
    if (printerPath(path) == path)
        path = rootPath(path);
    if (!QFileInfo(path).isFile()) {
        qWarning() << LOG_SRC("UI/mainwindow.cpp") << "resume file gone:" << path;
        FILESNAMESPACE::clearResumeRecords();
        return;
    }
    if (TwoButtonDialog::instTwoButtonDialog || BuildPrint::instBuildPrint)
        return;

    PageGuard alive(this);
    m_resumeQuestionClosed = false;
    m_resumeQuestion = new TwoButtonDialog(tr("Resume Print"),
                                           tr("Resume the last print?") + "\n" + QFileInfo(path).fileName(),
                                           tr("Yes"), tr("No"), nullptr);
    const int answer = m_resumeQuestion->exec();
    if (!alive)
        return;
    if (answer == QDialog::Accepted) {
        powerOffResumePrint(path);
    } else if (!m_resumeQuestionClosed) {
        qDebug() << LOG_SRC("UI/mainwindow.cpp") << "resume declined";
        // Nothing of the declined job may reach the next one.
        FILESNAMESPACE::clearResumeRecords();
    }
}

void MainWindow::clearAgoState()
{
    qDebug() << LOG_SRC("UI/mainwindow.cpp");
    CommonDialog::closeThrough(OneButtonDialog::instOneButtonDialog);
    if (TwoButtonDialog::instTwoButtonDialog) {
        if (TwoButtonDialog::instTwoButtonDialog == m_resumeQuestion)
            m_resumeQuestionClosed = true;   // closed for a job, not declined by the user
        CommonDialog::closeThrough(TwoButtonDialog::instTwoButtonDialog);
        TwoButtonDialog::isShowDialog = false;
    }
    CommonDialog::closeThrough(NoButtonDialog::instNoButtonDialog);
    CommonDialog::closeThrough(OneLableDialog::instOneLableDialog);
    CommonDialog::closeThrough(ProgressDialog::instProgressDialog);
    // The information page is not part of this program.
    if (Preheat* preheat = Preheat::instPreheat) {
        Preheat::instPreheat = nullptr;
        preheat->close();
    }
    // The jog page stops the machine now, before the job is under way.
    if (Manual* jog = Manual::instManual) {
        Manual::instManual = nullptr;
        jog->stopMachine();
        jog->close();
    }
}

bool MainWindow::printJobUnderWay()
{
    return BuildPrint::instBuildPrint
        || (instMainWindow && instMainWindow->m_machineStatus == MachineStatusBuilding);
}

void MainWindow::releaseMachine(SerialObject* serial)
{
    if (printJobUnderWay())
        return;
    if (serial) {
        serial->serialCheckCode("M112");
        serial->serialSendCode("M18");
    }
    if (instMainWindow)
        instMainWindow->setLanStatus(0, 0);
}
