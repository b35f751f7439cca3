#include "UI/unloadfilament.h"
#include "ui_unloadfilament.h"

#include "Dialog/twobuttondialog.h"
#include "Execute/COneTimesClicked.h"
#include "UI/filamentpages.h"
#include "UI/machinetrouble.h"
#include "UI/mainwindow.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"

#include <QDebug>
#include <QIcon>
#include <QThread>
#include <QTimer>

namespace {
constexpr const char* kSrc = "UI/unloadfilament";
constexpr const char* kBarWithLine = "border-top:2px solid #CCCCCC;border-left:0px;border-right:0px;border-bottom:0px;";

void step(const char* word)
{
    qDebug().noquote() << kSrc << "performChangeFilamentProcess" << word;
}
}

UnloadFilament* UnloadFilament::instUnloadFilament = nullptr;
int UnloadFilament::tickMs = 1000;

UnloadFilament::UnloadFilament(QWidget* parent)
    : QWidget(parent), ui(new Ui::UnloadFilament)
{
    qCritical().noquote() << kSrc << "UnloadFilament";
    ui->setupUi(this);
    FilamentPages::setupPage(this);
    instUnloadFilament = this;

    QThread::msleep(150);
    m_serial = FilamentPages::startHeating(extruderSetTemp, ui->extruderTemp, ui->extruderTargetTemp);

    ui->back->hide();
    ui->label->setText(tr("Heating extruder..."));

    m_checkTimer = new QTimer;
    connect(m_checkTimer, &QTimer::timeout, this, &UnloadFilament::showCheckProgress);
    connect(this, &UnloadFilament::sig_preheatCompleted, this, &UnloadFilament::preheatCompleted);
    connect(this, &UnloadFilament::sig_unloadFilamentCompleted, this, &UnloadFilament::unloadFilamentCompleted);
    connect(this, &UnloadFilament::sig_abnormalTemperature, this, &UnloadFilament::abnormalTemperature);
    connect(this, &UnloadFilament::sig_closePage, this, &UnloadFilament::closePage);
    m_checkTimer->start(tickMs);
}

UnloadFilament::~UnloadFilament()
{
    qCritical().noquote() << kSrc << "~UnloadFilament";
    // A question still open runs its loop below us on the stack: end it.
    if (m_question)
        m_question->reject();
    // A job that started meanwhile owns the machine now.
    const bool release = m_serial && !MainWindow::printJobUnderWay();
    if (release) {
        m_serial->serialCheckCode("M112");
        m_serial->serialSendCode("M18");
        m_serial->serialSendCode("G92 E0");
    }
    m_checkTimer->stop();
    m_checkTimer->disconnect();
    delete m_checkTimer;
    if (release)
        m_serial->stopHalmetIIHeating();
    if (instUnloadFilament == this)
        instUnloadFilament = nullptr;
    delete ui;
}

void UnloadFilament::paintEvent(QPaintEvent*)
{
    FilamentPages::paintBackground(this);
}

void UnloadFilament::showCheckProgress()
{
    if (performChangeFilamentProcess() < 0)
        m_checkTimer->stop();
}

bool UnloadFilament::moveEnded()
{
    return m_moveWait.ended(m_serial, [this](MachineRules::Trouble why) { giveUp(why); });
}

int UnloadFilament::performChangeFilamentProcess()
{
    const int currentTemp = FilamentPages::showNozzle(ui->extruderTemp, ui->extruderTargetTemp);
    if (m_abnormal)
        return 1;
    if (m_stalled)
        return -1;
    if (MachineRules::nozzleTooHot(currentTemp)) {
        m_abnormal = true;
        emit sig_abnormalTemperature();
        return 1;
    }

    switch (m_unloadState) {
    case 1:
        if (MachineRules::inHeatedWindow(currentTemp, extruderSetTemp)) {
            step("preheatCompleted");
            emit sig_preheatCompleted();
            m_unloadState = 2;
            // No visible button on the bar: no line above it either.
            ui->widget_2->setStyleSheet("border-top:0px;border-left:0px;border-right:0px;border-bottom:0px;");
            QThread::msleep(50);
        }
        break;
    case 2:
        ui->label->setText(tr("Unloading the filament\n about 1 minute..."));
        if (!FilamentPages::pushFilament(m_serial, "G1 E10 F180")) {
            giveUp(MachineRules::Trouble::Silent);
            return -1;
        }
        m_moveWait.start(ControllerProtocol::moveLimitMs(10, 180));
        step("prepare loading");
        m_unloadState = 3;
        break;
    case 3:
        if (moveEnded()) {
            if (!MachineRules::sendConfirmed(m_serial, "G1 E-200 F1000")) {
                giveUp(MachineRules::Trouble::Silent);
                return -1;
            }
            m_moveWait.start(ControllerProtocol::moveLimitMs(200, 1000));
            step("fast unloading");
            m_unloadState = 4;
        }
        break;
    case 4:
        if (moveEnded()) {
            ui->widget_2->setStyleSheet(kBarWithLine);
            MachineRules::emergencyStop(m_serial);
            emit sig_unloadFilamentCompleted();
            m_unloadState = 8;
            step("unloading completed");
            ui->label->setText(tr("Press and hold the handle.\npull out the filament, and\nunloading is completed!"));
            return -1;
        }
        break;
    default:
        break;
    }
    return m_stalled ? -1 : 0;
}

// Cancel is gone once the extruder moves: a move that never ends, or a
// controller that stops answering, must not keep the nozzle hot and the page locked.
void UnloadFilament::giveUp(MachineRules::Trouble why)
{
    qWarning().noquote() << kSrc << "giveUp in state" << m_unloadState
                         << (why == MachineRules::Trouble::Silent ? "silent" : "stuck");
    m_stalled = true;
    MachineRules::emergencyStop(m_serial);
    ui->label->setText(why != MachineRules::Trouble::Stuck ? MachineTrouble::text(why)
                                                            : tr("Unloading did not finish.\nPlease check the machine."));
    showBack();
}

void UnloadFilament::showBack()
{
    ui->widget_2->setStyleSheet(kBarWithLine);
    ui->back->move(195, 2);
    ui->back->show();
}

void UnloadFilament::preheatCompleted()
{
    ui->close->hide();
}

void UnloadFilament::unloadFilamentCompleted()
{
    ui->labelTip->hide();
    ui->extruderTargetTemp->hide();
    ui->extruderTemp->hide();
    ui->label->move(40, 50);
    ui->back->move(195, 2);
    ui->back->show();
}

void UnloadFilament::abnormalTemperature()
{
    MachineRules::emergencyStop(m_serial);
    ui->label->setText(tr("Abnormal temperature,\nPlease check the extruder."));
    // Cancel is hidden once heating has ended: Back is then the way out.
    if (ui->close->isHidden())
        showBack();
}

void UnloadFilament::on_close_pressed()
{
    if (m_abnormal) {
        close();
        return;
    }
    if (m_question)
        return;
    // The tick keeps running behind the question.
    const auto answer = FilamentPages::askCancel(this, m_question, tr("Cancel unload"),
                                                 tr("Are you sure to\n cancel unload?"));
    if (answer != FilamentPages::Answer::Yes)
        return;
    // Nothing moves or heats once the user has said stop.
    m_checkTimer->stop();
    MachineRules::emergencyStop(m_serial);
    emit sig_closePage();
}

void UnloadFilament::closePage()
{
    FilamentPages::closeLater(this, kSrc, m_closing, ui->close, [this] { closeOperation(); });
}

void UnloadFilament::closeOperation()
{
    close();
}

void UnloadFilament::on_back_clicked()
{
    if (OneTimesClicked().acceptPagePress(this))
        close();
}

void UnloadFilament::on_back_pressed()
{
    ui->back->setIcon(QIcon(":/Resource/icon/Back_c.png"));
    ui->back->setStyleSheet("border: 0px;color:#C2172D;font:16px");
    repaint();
}

void UnloadFilament::on_back_released()
{
    ui->back->setIcon(QIcon(":/Resource/icon/Back.png"));
    ui->back->setStyleSheet("border: 0px;color:#000000;font:16px");
    repaint();
}
