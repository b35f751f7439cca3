#include "UI/changfilament.h"
#include "ui_changfilament.h"

#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/COneTimesClicked.h"
#include "Execute/MachineRules.h"
#include "UI/buildprint.h"
#include "UI/filepagehelpers.h"
#include "UI/machinetrouble.h"
#include "serial/ControllerProtocol.h"
#include "UI/mainwindow.h"
#include "serial/SerialObject.h"
#include "tools/Log.h"
#include "tools/PagePointer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#define CF_LOG qDebug() << LOG_SRC("UI/changfilament.cpp")

ChangFilament* ChangFilament::instHandle = nullptr;

ChangFilament::ChangFilament(bool openedPaused, QWidget* parent)
    : QDialog(parent), ui(new Ui::ChangFilament)
{
    ui->setupUi(this);
    instHandle = this;
    FilePages::setupPage(this);
    ui->ok->hide();
    m_serial = ExecuteGetSerialObject().serial();

    BuildPrint* page = BuildPrint::instBuildPrint;
    CF_LOG << "opened paused" << openedPaused << "job running" << (page && page->getPrinterFileSendStatus());
    // A pause that is still parking the head is waited for, however it was asked.
    if (openedPaused && (!page || page->pauseSettled())) {
        m_serial->Heating(MachineRules::FilamentTemp);
        m_unloadState = 1;
    } else {
        ui->tips->setText(tr("pause print..."));
    }
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &ChangFilament::showCheckProgress);
    m_timer->start(1000);
}

ChangFilament::~ChangFilament()
{
    CF_LOG;
    m_timer->stop();
    // However the page closes (a cancelled job takes it with it), the nozzle
    // does not stay at the change's heat; a resume heats for the job again.
    if (!m_heaterOff && m_serial)
        m_serial->Heating(0);
    if (instHandle == this)
        instHandle = nullptr;
    delete ui;
}

bool ChangFilament::closeOpen()
{
    if (instHandle)
        instHandle->m_timer->stop();
    return closePagePointer(instHandle);
}

void ChangFilament::startHeating()
{
    CF_LOG;
    ui->tips->setText(tr("Heating..."));
    m_serial->Heating(MachineRules::FilamentTemp);
    m_unloadState = 1;
}

void ChangFilament::pause_success()
{
    CF_LOG << "unload state" << m_unloadState;
    if (m_unloadState == 0 && !m_abnormal)
        startHeating();
}

bool ChangFilament::startExtruding(int mm)
{
    // The queue is emptied and the extruder counted from 0 before the first move.
    m_serial->serialCheckCode("M112");
    if (!MachineRules::sendConfirmed(m_serial, "G92 E0")) {
        giveUp(MachineRules::Trouble::Silent);
        return false;
    }
    return extrude(mm);
}

bool ChangFilament::extrude(int mm)
{
    if (!MachineRules::sendConfirmed(m_serial, "G1 E" + QString::number(mm) + " F180")) {
        giveUp(MachineRules::Trouble::Silent);
        return false;
    }
    m_moveWait.start(ControllerProtocol::moveLimitMs(mm, 180));
    return true;
}

bool ChangFilament::moveEnded()
{
    return m_moveWait.ended(m_serial, [this](MachineRules::Trouble why) { giveUp(why); });
}

void ChangFilament::giveUp(MachineRules::Trouble why)
{
    qWarning() << LOG_SRC("UI/changfilament.cpp") << "gave up on the machine:"
               << (why == MachineRules::Trouble::Silent ? "silent" : "stuck");
    m_abnormal = true;
    MachineRules::emergencyStop(m_serial);
    ui->tips->setText(MachineTrouble::text(why));
    ui->ok->hide();
    ui->back->show();
}

void ChangFilament::abnormalTemperature()
{
    qWarning() << LOG_SRC("UI/changfilament.cpp") << "nozzle at" << m_currentTemp << "C";
    m_abnormal = true;
    MachineRules::emergencyStop(m_serial);
    ui->tips->setText(tr("Abnormal temperature,\nPlease check the extruder."));
    ui->ok->hide();
    ui->back->show();
}

void ChangFilament::showCheckProgress()
{
    MainWindow* mw = MainWindow::instMainWindow;
    m_currentTemp = mw ? mw->getCurrentExtruderTemp() : 0;
    const int target = mw ? mw->getTargetExtruderTemp() : 0;
    ui->tempture->setText(QString::number(m_currentTemp) + "/" + QString::number(target) + "℃");
    if (m_abnormal)
        return;
    if (MachineRules::nozzleTooHot(m_currentTemp)) {
        abnormalTemperature();
        return;
    }
    // A job that is ending parks and cools on its own page; nothing more to do here.
    BuildPrint* page = BuildPrint::instBuildPrint;
    if (page && page->getPrintState() == 3) {
        ui->ok->hide();
        ui->back->show();
        return;
    }

    switch (m_unloadState) {
    case 0:
        if (page && page->pauseSettled())
            startHeating();
        break;
    case 1:
        if (MachineRules::inHeatedWindow(m_currentTemp)) {
            ui->back->hide();
            m_unloadState = 2;
            CF_LOG << "preheatCompleted";
        }
        break;
    case 2:
        ui->tips->setText(tr("Unloading the filament\n about 1 minute..."));
        if (!startExtruding(10))
            return;
        m_unloadState = 3;
        CF_LOG << "prepare loading";
        break;
    case 3:
        if (moveEnded()) {
            if (!extrude(-100))
                return;
            m_unloadState = 4;
            CF_LOG << "fast unloading";
        }
        break;
    case 4:
        if (moveEnded()) {
            m_serial->serialCheckCode("M112");
            ui->back->show();
            m_unloadState = 8;
            CF_LOG << "unloading completed";
            ui->tips->setText(tr("Prepare load"));
            ui->ok->show();
            return;
        }
        break;
    default:
        break;
    }
    if (!m_abnormal)
        performFilamentFeedingProcess();
}

void ChangFilament::performFilamentFeedingProcess()
{
    switch (m_feedState) {
    case 0:
        if (MachineRules::inHeatedWindow(m_currentTemp)) {
            m_feedState = 3;
            CF_LOG << "preheatCompleted";
        }
        break;
    case 3:
        ui->back->hide();
        ui->tips->setText(tr("Preheat completed.\n Begin loading..."));
        if (!startExtruding(50))
            return;
        m_feedState = 4;
        CF_LOG << "fast loading";
        break;
    case 4:
        if (moveEnded()) {
            ui->tips->setText(tr("Loading,about 1-2 minute\nPress back when new color appears"));
            if (!extrude(150))
                return;
            m_feedState = 5;
            ui->back->show();
            CF_LOG << "slow loading";
        }
        break;
    case 5:
        if (moveEnded()) {
            m_feedState = 6;
            CF_LOG << "slow loading completed";
        }
        break;
    default:
        break;
    }
}

void ChangFilament::on_ok_clicked()
{
    CF_LOG;
    BuildPrint* page = BuildPrint::instBuildPrint;
    if (m_abnormal || (page && page->getPrintState() == 3))
        return;   // nothing more to heat for
    ui->tips->setText(tr("heating..."));
    ui->ok->hide();
    repaint();
    PageGuard alive(this);
    QCoreApplication::processEvents();
    if (!alive)
        return;
    m_feedState = 0;
    m_serial->Heating(MachineRules::FilamentTemp);
}

void ChangFilament::on_back_clicked()
{
    CF_LOG;
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    m_timer->stop();
    m_serial->Heating(0);
    m_heaterOff = true;
    m_serial->serialSendCode("M112");
    if (BuildPrint* page = BuildPrint::instBuildPrint)
        page->EnablePrint();
    if (instHandle == this)
        instHandle = nullptr;
    close();
}
