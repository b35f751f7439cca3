#include "UI/preheat.h"
#include "ui_preheat.h"

#include "Config/Config.h"
#include "Dialog/onebuttondialog.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/COneTimesClicked.h"
#include "Execute/MachineRules.h"
#include "UI/filepagehelpers.h"
#include "UI/mainwindow.h"
#include "buzzer/buzzerPlay.h"
#include "serial/SerialObject.h"

#include <QDebug>
#include <QTimer>
#include <cstdlib>

Preheat* Preheat::instPreheat = nullptr;
int Preheat::extruderSetTemp = 210;
int Preheat::platformSetTemp = 60;
int Preheat::preheatButtonExtruderState = 1;
int Preheat::preheatButtonPlatformState = 1;
int Preheat::monitorTickMs = 1000;

namespace {

constexpr int StepMs = 120;
constexpr int ReachedBand = 3;   // °C either side of the target
const char* const IdleLook =
    "QToolButton{background-color:#C2172D;font: 16px;color: #FFFFFF;border: 0px;border-radius:4px;}";
const char* const HeatingLook =
    "QToolButton{background-color:#222222;font: 16px;color: #FFFFFF;border: 0px;border-radius:4px;}";

bool buzzerOn() { return getConfigFile().configFile()->getBuzzerStatus(); }

void playTune(buzzerPlay::TuneId tune)
{
    buzzerPlay::getInstance("pwm1")->start();
    buzzerPlay::getInstance("pwm1")->play(tune);
}

}

Preheat::Preheat(QWidget* parent)
    : QDialog(parent), ui(new Ui::Preheat)
{
    qCritical().noquote() << "UI/preheat" << "Preheat";
    ui->setupUi(this);
    FilePages::setupPage(this);

    m_repeat = new QTimer(this);
    m_repeat->setInterval(StepMs);

    m_serial = ExecuteGetSerialObject().serial();
    if (m_serial)
        m_serial->serialSendCode("M18");

    showIdle(Nozzle);
    showIdle(Bed);
    // A heater this page left heating (the page was closed for a print job)
    // shows as heating while the controller still has a target for it; one
    // switched off meanwhile is idle again.
    MainWindow* mw = MainWindow::instMainWindow;
    for (Heater h : {Nozzle, Bed}) {
        Row r = row(h);
        if (r.state != 0)
            continue;
        const int target = !mw ? 1 : h == Nozzle ? mw->getTargetExtruderTemp() : mw->getTargetPlatformTemp();
        if (target > 0)
            showHeating(h);
        else
            r.state = 1;
    }

    showExtruderOrPlatformTemp();
    connect(m_repeat, &QTimer::timeout, this, &Preheat::displayExtruderAndPlatformTempValue);
}

Preheat::~Preheat()
{
    qCritical().noquote() << "UI/preheat" << "~Preheat";
    if (instPreheat == this)
        instPreheat = nullptr;
    delete ui;
}

Preheat::Row Preheat::row(Heater heater)
{
    if (heater == Nozzle)
        return {ui->extruderTempMinus, ui->extruderTempPlus, ui->extruderTemperature, ui->nozzleStart,
                ui->extruderProgressBar, ui->showCurrentExtruder, ui->showTargetExtruder,
                extruderSetTemp, preheatButtonExtruderState, 20, 260};
    return {ui->platformTempMinus, ui->platformTempPlus, ui->platformTemperature, ui->plateStart,
            ui->platformProgressBar, ui->showCurrentPlatform, ui->showTargetPlatform,
            platformSetTemp, preheatButtonPlatformState, 20, 110};
}

// ---- set points ------------------------------------------------------------

// The guard runs pending events, a queued release among them: the timer
// starts only while the button is still held.
void Preheat::startStepping(int direction)
{
    m_held = true;
    if (!OneTimesClicked().acceptPagePress(this) || !m_held)
        return;
    m_direction = direction;
    m_repeat->start();
}

void Preheat::stopStepping()
{
    m_held = false;
    m_repeat->stop();
    m_direction = 4;
}

void Preheat::on_extruderTempMinus_pressed() { startStepping(0); }
void Preheat::on_extruderTempMinus_released() { stopStepping(); }
void Preheat::on_extruderTempPlus_pressed() { startStepping(1); }
void Preheat::on_extruderTempPlus_released() { stopStepping(); }
void Preheat::on_platformTempMinus_pressed() { startStepping(2); }
void Preheat::on_platformTempMinus_released() { stopStepping(); }
void Preheat::on_platformTempPlus_pressed() { startStepping(3); }
void Preheat::on_platformTempPlus_released() { stopStepping(); }

// One step of 1 °C per repeat tick; a limit disables the button that reached it.
void Preheat::displayExtruderAndPlatformTempValue()
{
    if (m_direction < 0 || m_direction > 3) {
        m_repeat->stop();
        return;
    }
    Row r = row(m_direction < 2 ? Nozzle : Bed);
    const bool up = m_direction % 2 == 1;
    const int value = r.setTemp + (up ? 1 : -1);
    if (up ? value < r.high : value > r.low) {
        r.setTemp = value;
        r.minus->setEnabled(true);
        r.plus->setEnabled(true);
    } else {
        r.setTemp = up ? r.high : r.low;
        (up ? r.plus : r.minus)->setEnabled(false);
        stopStepping();
    }
    ui->extruderTemperature->setText(QString::number(extruderSetTemp));
    ui->platformTemperature->setText(QString::number(platformSetTemp));
}

// ---- heaters -----------------------------------------------------------------

void Preheat::switchHeater(Heater heater, int temp)
{
    if (!m_serial)
        return;
    if (heater == Nozzle)
        m_serial->Heating(temp);
    else
        m_serial->HeatingPlatform(temp);
}

void Preheat::showIdle(Heater heater)
{
    Row r = row(heater);
    r.start->setStyleSheet(IdleLook);
    r.setPoint->setText(QString::number(r.setTemp));
    r.current->hide();
    r.target->hide();
    r.progress->setValue(r.setTemp);
    r.progress->hide();
    r.setPoint->show();
    r.minus->show();
    r.plus->show();
}

void Preheat::showHeating(Heater heater)
{
    Row r = row(heater);
    r.start->setText(tr("Cancel"));
    r.start->setStyleSheet(HeatingLook);
    r.progress->setRange(0, r.setTemp);
    if (MainWindow* mw = MainWindow::instMainWindow) {
        if (heater == Nozzle)
            showReadings(heater, mw->getCurrentExtruderTemp(), mw->getTargetExtruderTemp());
        else
            showReadings(heater, mw->getCurrentPlatformTemp(), mw->getTargetPlatformTemp());
    }
    r.current->show();
    r.target->show();
    r.progress->show();
    r.setPoint->hide();
    r.minus->hide();
    r.plus->hide();
}

void Preheat::showReadings(Heater heater, int current, int target)
{
    Row r = row(heater);
    r.current->setText(QString::number(current));
    r.target->setText("/" + QString::number(target) + QString::fromUtf8("\u2103"));
    r.progress->setValue(qBound(r.progress->minimum(), current, r.progress->maximum()));
}

void Preheat::toggleHeater(Heater heater)
{
    Row r = row(heater);
    if (r.state == 1) {
        switchHeater(heater, r.setTemp);
        r.state = 0;
        showHeating(heater);
    } else {
        switchHeater(heater, 0);
        r.state = 1;
        r.start->setText(tr("Preheat"));
        showIdle(heater);
    }
}

void Preheat::on_nozzleStart_pressed()
{
    qCritical().noquote() << "UI/preheat" << "on_nozzleStart_pressed";
    toggleHeater(Nozzle);
}

void Preheat::on_plateStart_pressed()
{
    qCritical().noquote() << "UI/preheat" << "on_plateStart_pressed";
    toggleHeater(Bed);
}

// A nozzle above the ceiling stops everything once per episode, heating or not.
bool Preheat::overTemperature(int nozzle)
{
    if (!MachineRules::nozzleTooHot(nozzle)) {
        m_tooHot = false;
        return false;
    }
    if (m_tooHot)
        return true;
    m_tooHot = true;
    qWarning().noquote() << "UI/preheat" << "nozzle at" << nozzle << "C, heaters off";
    MachineRules::emergencyStop(m_serial);
    for (Heater h : {Nozzle, Bed}) {
        Row r = row(h);
        if (r.state == 0) {
            r.state = 1;
            r.start->setText(tr("Preheat"));
        }
        showIdle(h);
    }
    m_reached = false;
    m_holdTicks = 0;
    if (buzzerOn())
        playTune(buzzerPlay::Tune0);
    const QString text = tr("Abnormal temperature,\nPlease check the extruder.");
    if (OneButtonDialog* box = OneButtonDialog::instOneButtonDialog)
        box->setLabelText(text);
    else
        new OneButtonDialog("", text, "", nullptr);
    if (OneButtonDialog* box = OneButtonDialog::instOneButtonDialog) {
        box->show();
        box->raise();
    }
    return true;
}

// Once a second: the readings of the heating heaters, the tune when a target is
// reached and, ten minutes later, the heating switched off.
void Preheat::showExtruderOrPlatformTemp()
{
    QTimer::singleShot(monitorTickMs, this, &Preheat::showExtruderOrPlatformTemp);
    MainWindow* mw = MainWindow::instMainWindow;
    // A print job started meanwhile owns the heaters.
    if (!mw || MainWindow::printJobUnderWay())
        return;
    const int nozzle = mw->getCurrentExtruderTemp(), nozzleTarget = mw->getTargetExtruderTemp();
    if (overTemperature(nozzle))
        return;
    const bool nozzleOn = preheatButtonExtruderState == 0;
    const bool bedOn = preheatButtonPlatformState == 0;
    if (!nozzleOn && !bedOn) {
        m_reached = false;
        m_holdTicks = 0;
        return;
    }
    const int bed = mw->getCurrentPlatformTemp(), bedTarget = mw->getTargetPlatformTemp();
    if (nozzleOn)
        showReadings(Nozzle, nozzle, nozzleTarget);
    if (bedOn)
        showReadings(Bed, bed, bedTarget);

    // Only a heater that is heating can have reached its target.
    auto reached = [](bool on, int current, int target) {
        return on && target > 0 && std::abs(current - target) <= ReachedBand;
    };
    if (!m_reached) {
        if (!reached(nozzleOn, nozzle, nozzleTarget) && !reached(bedOn, bed, bedTarget))
            return;
        if (buzzerOn())
            playTune(buzzerPlay::Tune5);
        m_reached = true;
    }
    if (++m_holdTicks <= HoldTicks)
        return;
    qCritical().noquote() << "UI/preheat" << "hold time over, heating off";
    if (preheatButtonExtruderState == 0)
        on_nozzleStart_pressed();
    if (preheatButtonPlatformState == 0)
        on_plateStart_pressed();
    m_reached = false;
    m_holdTicks = 0;
}

void Preheat::on_back_clicked()
{
    qCritical().noquote() << "UI/preheat" << "on_back_clicked";
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    // Under a print job that started meanwhile the heaters are the job's.
    if (!MainWindow::printJobUnderWay()) {
        if (m_serial) {
            m_serial->HeatingPlatform(0);
            m_serial->Heating(0);
        }
        preheatButtonExtruderState = 1;
        preheatButtonPlatformState = 1;
    }
    close();
}
