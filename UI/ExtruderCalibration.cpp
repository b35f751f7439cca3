#include "UI/ExtruderCalibration.h"

#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/MachineRules.h"
#include "UI/filepagehelpers.h"
#include "UI/machinetrouble.h"
#include "UI/mainwindow.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"

#include <QCloseEvent>
#include <QDebug>
#include <QIcon>
#include <QLabel>
#include <QToolButton>
#include <chrono>
#include <cmath>
#include <unistd.h>

ExtruderCalibration* ExtruderCalibration::instExtruderCalibration = nullptr;
int ExtruderCalibration::stepIntervalMs = 1000;

namespace {

constexpr const char* kSrc = "UI/ExtruderCalibration";
constexpr int kParkPoint = 10;

// Three rows at Y100, Y0, Y-90; the middle row from right to left.
const char* const kPointMoves[9] = {
    "G1 X-80 Y100 F2000", "G1 X20 Y100 F2000", "G1 X100 Y100 F2000",
    "G1 X100 Y0 F2000",   "G1 X20 Y0 F2000",   "G1 X-80 Y0 F2000",
    "G1 X-80 Y-90 F2000", "G1 X20 Y-90 F2000", "G1 X100 Y-90 F2000",
};

const QString kBackStyle = QStringLiteral("border:0px;color:#222222;font:16px");
const QString kBackPressedStyle = QStringLiteral("border:0px;color:#C2172D;font:16px");

}

struct ExtruderCalibration::Widgets {
    QWidget* widget = nullptr;
    QToolButton* back = nullptr;
    QLabel* showMessage = nullptr;
};

ExtruderCalibration::ExtruderCalibration(QWidget* parent)
    : QWidget(parent), ui(new Widgets)
{
    qCritical().noquote() << kSrc << "ExtruderCalibration";
    setObjectName("ExtruderCalibration");
    setWindowTitle("Form");
    setFixedSize(480, 232);
    setWindowFlags(windowFlags() | Qt::Window);

    ui->showMessage = new QLabel(this);
    ui->showMessage->setObjectName("showMessage");
    ui->showMessage->setGeometry(0, 60, 480, 70);
    ui->showMessage->setStyleSheet("font: 20px ;\ncolor:#222222;");
    ui->showMessage->setAlignment(Qt::AlignCenter);
    ui->showMessage->setWordWrap(true);

    ui->widget = new QWidget(this);
    ui->widget->setObjectName("widget");
    ui->widget->setGeometry(0, 180, 480, 52);
    ui->widget->setStyleSheet("QWidget#widget{border-top:2px solid #CCCCCC;border-left:0px;"
                              "border-right:0px;border-bottom:0px;}");
    ui->back = new QToolButton(ui->widget);
    ui->back->setObjectName("back");
    ui->back->setGeometry(180, 2, 120, 48);
    ui->back->setFocusPolicy(Qt::NoFocus);
    ui->back->setText(tr("Back"));
    ui->back->setIcon(QIcon(":/Resource/icon/Back.png"));
    ui->back->setIconSize(QSize(24, 24));
    ui->back->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ui->back->setStyleSheet(kBackStyle);
    FilePages::setupPage(this);
    QMetaObject::connectSlotsByName(this);
    // The worker never touches widgets: what it reports is set here, on the GUI thread.
    connect(this, &ExtruderCalibration::sig_pointReached, this, &ExtruderCalibration::showPoint,
            Qt::QueuedConnection);
    connect(this, &ExtruderCalibration::sig_workerEnded, this, &ExtruderCalibration::workerEnded,
            Qt::QueuedConnection);
    connect(this, &ExtruderCalibration::sig_gaveUp, this, &ExtruderCalibration::showTrouble,
            Qt::QueuedConnection);

    instExtruderCalibration = this;
    m_serial = ExecuteGetSerialObject().serial();
    if (m_serial)
        m_serial->serialCheckCode("M112");
    ui->showMessage->setText(tr("Pre-adjusting, please wait..."));

    ExecuteReturnHome().setObject(this);
    ExecuteReturnHome().returnHome(false);
}

ExtruderCalibration::~ExtruderCalibration()
{
    qCritical().noquote() << kSrc << "~ExtruderCalibration";
    ExecuteReturnHome().releaseObject(this);
    // The worker goes first, so nothing it sends can follow the stop.
    requestStop();
    joinWorker();
    if (m_serial) {
        // A job that started meanwhile owns the machine now: it is not stopped,
        // but the probe is stowed all the same.
        if (!MainWindow::printJobUnderWay())
            m_serial->serialCheckCode("M112");
        m_serial->serialCheckCode("M141 T219");
    }
    if (instExtruderCalibration == this)
        instExtruderCalibration = nullptr;
    delete ui;
}

void ExtruderCalibration::checkReturnHomeDone()
{
    qCritical().noquote() << kSrc << "checkReturnHomeDone";
    if (!m_serial)
        return;
    m_serial->serialCheckCode("M112");
    const bool declared = sendHomedCoordinates(m_serial, false);
    if (m_probePoint.load() != 0 || m_failed.load())
        return;   // a run exists already, or has stopped
    if (!declared) {
        stopMachine(MachineRules::Trouble::Silent);
        return;
    }
    m_probePoint.store(1);
    showPoint(1);

    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_stop = false;
    }
    m_workerRunning.store(true);
    if (pthread_create(&m_calibrationThread, nullptr, &ExtruderCalibration::autoCalibrationPthread, this) != 0) {
        m_workerRunning.store(false);
        qCritical().noquote() << kSrc << "creare pthread error.";
        return;
    }
    m_hasThread = true;
}

void ExtruderCalibration::returnHomeFailed()
{
    qCritical().noquote() << kSrc << "returnHomeFailed";
    if (m_probePoint.load() != 0 || m_failed.load())
        return;
    stopMachine(MachineRules::troubleNow(m_serial));
}

void ExtruderCalibration::stopMachine(MachineRules::Trouble why)
{
    qWarning().noquote() << kSrc << "giving up at point" << m_probePoint.load() << "phase" << m_probePhase.load()
                         << (why == MachineRules::Trouble::Silent ? "silent" : "stuck");
    m_failed.store(true);
    MachineRules::emergencyStop(m_serial);
    if (m_serial)
        m_serial->serialCheckCode("M141 T219");
    emit sig_gaveUp(int(why));   // queued: shown on the GUI thread
}

void ExtruderCalibration::showTrouble(int why)
{
    ui->showMessage->setText(MachineTrouble::text(MachineRules::Trouble(why)));
}

void* ExtruderCalibration::autoCalibrationPthread(void* arg)
{
    auto* page = static_cast<ExtruderCalibration*>(arg);
    while (!page->stopRequested()) {
        if (page->performAutoCalibrationProcess() < 0)
            break;
        if (!page->sleepStep())
            break;
    }
    page->m_workerRunning.store(false);
    emit page->sig_workerEnded();
    return nullptr;
}

int ExtruderCalibration::performAutoCalibrationProcess()
{
    const int point = m_probePoint.load();
    if (point >= 1 && point <= 9) {
        const int phase = onePointProcess(kPointMoves[point - 1]);
        if (m_failed.load())
            return -1;
        if (phase != 3)
            return 0;
        qCritical().noquote() << (point == 9 ? QStringLiteral("Completed!") : QStringLiteral("Point%1").arg(point + 1));
        m_probePoint.store(point + 1);
        m_probePhase.store(0);
        emit sig_pointReached(point + 1);
        return 0;
    }
    if (point == kParkPoint) {
        if (sendStep("G1 X100 Y100 F2000"))
            sendStep("G1 Z215 F300");
        return -1;
    }
    return 0;
}

// A request to end is honoured between two exchanges, never inside one. A
// command the link could not confirm stops the run: the step did not happen.
bool ExtruderCalibration::sendStep(const QString& command)
{
    if (stopRequested() || m_failed.load())
        return false;
    if (MachineRules::sendConfirmed(m_serial, command))
        return true;
    stopMachine(MachineRules::Trouble::Silent);
    return false;
}

int ExtruderCalibration::onePointProcess(QString moveCommand)
{
    // Every wait is limited by its moves' own time, counted from as high as
    // homing declares the head (a homing report may declare it again mid-run).
    const int travelLimitMs
        = ControllerProtocol::moveLimitMs(HomedPosition::HomedZ, 300)
          + ControllerProtocol::moveLimitMs(std::hypot(HomedPosition::buildWidth(), HomedPosition::buildDepth()), 2000);
    switch (m_probePhase.load()) {
    case 0:
        usleep(1000);
        if (!sendStep("M141 T219"))
            break;
        usleep(1000);
        if (sendStep("G1 Z15 F300") && sendStep(moveCommand)) {
            m_moveWait.start(travelLimitMs);
            m_probePhase.store(1);
        }
        break;
    case 1:
        if (returnMotorMoveStatus() == 0 && sendStep("M141 T65") && sendStep("G1 Z0 F200")) {
            m_moveWait.start(ControllerProtocol::moveLimitMs(HomedPosition::HomedZ, 200));
            m_probePhase.store(2);
        }
        break;
    case 2:
        if (returnMotorMoveStatus() != 0 || stopRequested())
            break;
        logReading(m_serial->serialCheckCode("M114"));
        m_probePhase.store(3);
        sendStep("M141 T219");
        break;
    default:
        break;
    }
    return m_probePhase.load();
}

int ExtruderCalibration::returnMotorMoveStatus()
{
    switch (m_moveWait.poll(m_serial)) {
    case MachineRules::MoveWait::Moving:
        return 1;
    case MachineRules::MoveWait::GaveUp:
        stopMachine(m_moveWait.trouble());
        return -1;
    case MachineRules::MoveWait::Ended:
        break;
    }
    m_serial->serialCheckCode("M112");
    return 0;
}

// An error text or a reply of another shape is a failed reading, never a height of 0.
void ExtruderCalibration::logReading(const QString& reply)
{
    const auto pos = ControllerProtocol::parseM114(reply);
    if (pos)
        qCritical().noquote() << "Z: " + QString::number(float(pos->z));
    else
        qCritical().noquote() << "Z: failed reading:" << reply.trimmed();
}

bool ExtruderCalibration::stopRequested()
{
    std::lock_guard<std::mutex> lock(m_stopMutex);
    return m_stop;
}

bool ExtruderCalibration::sleepStep()
{
    std::unique_lock<std::mutex> lock(m_stopMutex);
    return !m_stopWake.wait_for(lock, std::chrono::milliseconds(stepIntervalMs), [this] { return m_stop; });
}

void ExtruderCalibration::requestStop()
{
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_stop = true;
    }
    m_stopWake.notify_all();
}

void ExtruderCalibration::joinWorker()
{
    if (!m_hasThread)
        return;
    pthread_join(m_calibrationThread, nullptr);
    m_hasThread = false;
    m_calibrationThread = pthread_t{};
}

void ExtruderCalibration::showPoint(int point)
{
    ui->showMessage->setText(point >= kParkPoint ? tr("Completed!")
                                                 : tr("Moving to Point %1.please wait...").arg(point));
}

// Closing waits for the worker's current exchange on the GUI thread's own
// terms: the close is put off until the worker has ended, and the screen runs on.
void ExtruderCalibration::closeEvent(QCloseEvent* event)
{
    if (m_workerRunning.load()) {
        m_closing = true;
        requestStop();
        ui->back->setEnabled(false);
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void ExtruderCalibration::workerEnded()
{
    if (m_closing)
        close();
}

void ExtruderCalibration::on_back_clicked()
{
    qCritical().noquote() << kSrc << "on_back_clicked";
    close();
}

void ExtruderCalibration::on_back_pressed()
{
    ui->back->setIcon(QIcon(":/Resource/icon/Back_c.png"));
    ui->back->setStyleSheet(kBackPressedStyle);
}

void ExtruderCalibration::on_back_released()
{
    ui->back->setIcon(QIcon(":/Resource/icon/Back.png"));
    ui->back->setStyleSheet(kBackStyle);
}
