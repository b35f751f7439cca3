#include "UI/loadfilament.h"
#include "ui_loadfilament.h"

#include "Dialog/twobuttondialog.h"
#include "UI/filamentpages.h"
#include "UI/machinetrouble.h"
#include "UI/mainwindow.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"

#include <QDebug>
#include <QTimer>

namespace {
constexpr const char* kSrc = "UI/loadfilament";

void step(const char* word)
{
    qDebug().noquote() << kSrc << "performFilamentFeedingProcess" << word;
}
}

LoadFilament* LoadFilament::instLoadFilament = nullptr;
int LoadFilament::tickMs = 1000;

LoadFilament::LoadFilament(QWidget* parent)
    : QWidget(parent), ui(new Ui::LoadFilament)
{
    qCritical().noquote() << kSrc << "LoadFilament";
    ui->setupUi(this);
    FilamentPages::setupPage(this);
    instLoadFilament = this;

    m_serial = FilamentPages::startHeating(extruderSetTemp, ui->extruderTemp, ui->extruderTargetTemp);

    ui->label->setText(tr("Extruder heating..."));

    // Homing starts with the first tick and runs while the nozzle heats.
    m_homingStart = true;
    m_checkTimer = new QTimer;
    connect(m_checkTimer, &QTimer::timeout, this, &LoadFilament::showCheckProgress);
    connect(this, &LoadFilament::sig_abnormalTemperature, this, &LoadFilament::abnormalTemperature);
    connect(this, &LoadFilament::sig_closePage, this, &LoadFilament::closePage);
    m_checkTimer->start(tickMs);
}

LoadFilament::~LoadFilament()
{
    qCritical().noquote() << kSrc << "~LoadFilament";
    // A question still open runs its loop below us on the stack: end it.
    if (m_question)
        m_question->reject();
    m_checkTimer->stop();
    m_checkTimer->disconnect();
    delete m_checkTimer;
    stopHoming();
    // A job that started meanwhile owns the machine now.
    if (m_serial && !MainWindow::printJobUnderWay()) {
        m_serial->serialCheckCode("M112");
        m_serial->serialSendCode("M18");
        // Leaving the page never leaves the nozzle hot.
        m_serial->stopHalmetIIHeating();
    }
    if (instLoadFilament == this)
        instLoadFilament = nullptr;
    delete ui;
}

void LoadFilament::paintEvent(QPaintEvent*)
{
    FilamentPages::paintBackground(this);
}

void LoadFilament::stopHoming()
{
    if (!m_homingRun)
        return;
    m_homingRun = false;
    ExecuteReturnHome().releaseObject(this);
}

void LoadFilament::showCheckProgress()
{
    if (m_homingStart) {
        m_homingStart = false;
        m_homingRun = true;
        ExecuteReturnHome().setObject(this);
        ExecuteReturnHome().returnHome(false);
    }
    if (performFilamentFeedingProcess() < 0)
        m_checkTimer->stop();
}

int LoadFilament::performFilamentFeedingProcess()
{
    const int currentTemp = FilamentPages::showNozzle(ui->extruderTemp, ui->extruderTargetTemp);
    if (m_abnormal)
        return 1;
    if (m_failed)
        return -1;
    if (MachineRules::nozzleTooHot(currentTemp)) {
        m_abnormal = true;
        emit sig_abnormalTemperature();
        return 1;
    }

    switch (m_feedState) {
    case 0:
        if (MachineRules::inHeatedWindow(currentTemp, extruderSetTemp)) {
            step("preheatCompleted");
            m_feedState = 1;
        }
        break;
    case 1:
        // The coordinate set and the move to X0 Y0 go out before the push's stop,
        // which would give up what a busy controller has not taken yet.
        if (m_homed && (!m_serial || m_serial->keptCommands() == 0)) {
            step("home completed");
            m_feedState = 3;
        }
        break;
    case 3:
        ui->label->setText(tr("Preheat completed.\n Begin loading..."));
        if (!FilamentPages::pushFilament(m_serial, "G1 E500 F180")) {
            giveUp(MachineRules::Trouble::Silent);
            return -1;
        }
        m_moveWait.start(ControllerProtocol::moveLimitMs(500, 180));
        step("fast loading");
        m_feedState = 4;
        break;
    case 4:
        ui->label->setText(tr("Loading,about 1-2 minute\nPress ok when new color appears"));
        ui->close->setText(tr("ok"));
        if (moveEnded()) {
            step("slow loading");
            m_feedState = 5;
            m_moveWait.start(ControllerProtocol::moveLimitMs(0, 180));
        }
        break;
    case 5:
        if (moveEnded()) {
            step("slow loading completed");
            m_feedState = 6;
        }
        break;
    case 6:
        MachineRules::emergencyStop(m_serial);
        emit sig_closePage();
        return -1;
    }
    return m_failed ? -1 : 0;
}

bool LoadFilament::moveEnded()
{
    return m_moveWait.ended(m_serial, [this](MachineRules::Trouble why) { giveUp(why); });
}

void LoadFilament::checkReturnHomeDone()
{
    qCritical().noquote() << kSrc << "checkReturnHomeDone";
    m_homed = true;
    m_homingRun = false;
    if (m_serial)
        m_serial->serialCheckCode("M112");
    ExecuteReturnHome().releaseObject(this);
    if (!sendHomedCoordinates(m_serial, true) || !MachineRules::sendConfirmed(m_serial, "G1 X0 Y0 F2000"))
        giveUp(MachineRules::Trouble::Silent);
}

void LoadFilament::returnHomeFailed()
{
    qCritical().noquote() << kSrc << "returnHomeFailed";
    m_homingRun = false;
    giveUp(MachineRules::troubleNow(m_serial));
}

void LoadFilament::giveUp(MachineRules::Trouble why)
{
    if (m_failed || m_abnormal)
        return;
    qWarning().noquote() << kSrc << "giveUp in state" << m_feedState
                         << (why == MachineRules::Trouble::Silent ? "silent" : "stuck");
    m_failed = true;
    m_checkTimer->stop();
    stopHoming();
    MachineRules::emergencyStop(m_serial);
    ui->label->setText(MachineTrouble::text(why));
    ui->close->setText(tr("Back"));
}

void LoadFilament::abnormalTemperature()
{
    // No homing move may follow an abnormal temperature.
    stopHoming();
    MachineRules::emergencyStop(m_serial);
    ui->label->setText(tr("Abnormal temperature,\nPlease check the extruder."));
}

void LoadFilament::on_close_pressed()
{
    if (m_abnormal || m_failed) {
        emit sig_closePage();
        return;
    }
    if (m_feedState == 6) {
        if (m_serial)
            m_serial->stopHalmetIIHeating();
        emit sig_closePage();
        return;
    }
    if (m_question)
        return;
    // The tick keeps running behind the question.
    const auto answer = FilamentPages::askCancel(this, m_question, tr("Cancel load"),
                                                 tr("Are you sure to\n cancel load?"));
    if (answer == FilamentPages::Answer::PageGone)
        return;
    if (answer == FilamentPages::Answer::Yes && !m_closing) {
        // Nothing moves or heats once the user has said stop.
        m_checkTimer->stop();
        stopHoming();
        MachineRules::emergencyStop(m_serial);
        QTimer::singleShot(50, this, &LoadFilament::closeOperation);
    } else if (m_closeWhenAnswered) {
        closeOperation();
    }
}

void LoadFilament::closePage()
{
    FilamentPages::closeLater(this, kSrc, m_closing, ui->close, [this] { closeOperation(); });
}

void LoadFilament::closeOperation()
{
    // The question's loop runs on this page's stack: close once it has been answered.
    if (m_question) {
        m_closeWhenAnswered = true;
        return;
    }
    close();
}
