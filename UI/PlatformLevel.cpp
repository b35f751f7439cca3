#include "UI/PlatformLevel.h"
#include "ui_PlatformLevel.h"

#include "Config/Config.h"
#include "Dialog/commondialog.h"
#include "Dialog/onelabledialog.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/COneTimesClicked.h"
#include "Execute/MachineRules.h"
#include "UI/filepagehelpers.h"
#include "UI/machinetrouble.h"
#include "UI/mainwindow.h"
#include "buzzer/buzzerPlay.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"
#include "tools/PagePointer.h"

#include <QDebug>
#include <cmath>
#include <QTimer>

#define PL_LOG qCritical().noquote() << "UI/PlatformLevel" << __func__

PlatformLevel* PlatformLevel::instPlatformLevel = nullptr;

namespace {

constexpr int RearPointZ = 30;            // tenths of a mm: the first gap at the rear point
constexpr int FloorOffsetUm = -15000;     // the arrow down is refused from here on
constexpr int FirstPollMs = 2000;
constexpr int PollMs = 1000;
constexpr int RearPointSettleMs = 1000;
constexpr int GoodbyeMs = 3000;

// Tenths of a millimetre as "2.5", "-0.3", "0.0": exact, never a negative zero.
QString tenthsText(int tenths)
{
    const int a = tenths < 0 ? -tenths : tenths;
    return QString("%1%2.%3").arg(tenths < 0 ? "-" : "").arg(a / 10).arg(a % 10);
}

void showWaiting(const QString& text)
{
    if (!OneLableDialog::instOneLableDialog)
        (new OneLableDialog(text, nullptr))->show();
}

void closeWaiting() { CommonDialog::closeThrough(OneLableDialog::instOneLableDialog); }

void playArrivalTune()
{
    buzzerPlay* buzzer = buzzerPlay::getInstance("pwm1");
    buzzer->start();
    buzzer->play(buzzerPlay::Tune2);
}

}  // namespace

PlatformLevel::PlatformLevel(QWidget* parent)
    : QDialog(parent), ui(new Ui::PlatformLevel)
{
    PL_LOG;
    ui->setupUi(this);
    FilePages::setupPage(this);

    m_serial = ExecuteGetSerialObject().serial();
    if (m_serial) {
        m_serial->serialCheckCode("M112");
        m_serial->serialSendCode("M17");
    }

    instPlatformLevel = this;
    hiddenUI();
    ui->ok->setText(tr("Next"));

    // Counted in micrometres; a wild value from the settings file is held to a metre.
    const double shown = getConfigFile().configFile()->getExtruderCalibrationValue() + RearPointZ / 10.0;
    m_ZShowOffset = static_cast<int>(qRound64(qBound(-1000.0, shown, 1000.0) * 1000.0));
    showOffset();

    showWaiting(tr("Pre-adjusting, please wait..."));

    m_pointStage = 0;
    m_homingStage = 0;
    startMoving();
    ExecuteReturnHome().setObject(this);
    ExecuteReturnHome().returnHome(false);
}

PlatformLevel::~PlatformLevel()
{
    PL_LOG;
    ExecuteReturnHome().releaseObject(this);
    closeWaiting();
    MainWindow::releaseMachine(m_serial);
    if (instPlatformLevel == this)
        instPlatformLevel = nullptr;
    delete ui;
}

void PlatformLevel::checkReturnHomeDone()
{
    PL_LOG << m_homingStage;
    if (m_homingStage == 0) {
        m_isMoving = false;
        ExecuteReturnHome().releaseObject(this);
        if (m_serial) {
            m_serial->serialCheckCode("M112");
            m_serial->serialSendCode(HomedPosition::levellingCoordinateSetCommand());
            m_serial->serialSendCode("G1 X5 Y80 F2000");
            m_serial->serialSendCode("G1 Z3 F300");
        }
        m_targetZ = RearPointZ;
        m_pointStage = 0;
        // From the homed corner to the rear point, then down to the first gap.
        const double homedZ = HomedPosition::homedZText().toDouble();
        startMoving(ControllerProtocol::moveLimitMs(std::hypot(95.0, 20.0), 2000)
                    + ControllerProtocol::moveLimitMs(homedZ - RearPointZ / 10.0, 300));
        pollMotionIn(FirstPollMs);
    } else if (m_homingStage == 1) {
        m_isMoving = false;
        if (m_serial)
            m_serial->serialSendCode(HomedPosition::levellingCoordinateSetCommand());
        ui->label->setText(tr("Calibration completed"));
        // The page stays drawn meanwhile; the timer dies with the page.
        QTimer::singleShot(GoodbyeMs, this, &QWidget::close);
    }
}

void PlatformLevel::startMoving(int limitMs)
{
    m_isMoving = true;
    if (limitMs > 0)
        m_moveWait.start(limitMs);
    else
        m_moveWait.stop();
}

void PlatformLevel::pollMotionIn(int ms)
{
    QTimer::singleShot(ms, this, &PlatformLevel::checkMove);
}

void PlatformLevel::checkMove()
{
    const auto result = m_moveWait.poll(m_serial);
    if (result == MachineRules::MoveWait::GaveUp) {
        giveUp(m_moveWait.trouble());
        return;
    }
    if (result == MachineRules::MoveWait::Moving) {
        pollMotionIn(PollMs);
        return;
    }
    m_isMoving = false;
    switch (m_pointStage) {
    case 0:
        QTimer::singleShot(RearPointSettleMs, this, &PlatformLevel::arrivedAtRearPoint);
        break;
    case 1:
        m_pointStage = 2;
        playArrivalTune();
        closeWaiting();
        break;
    case 2:
        m_pointStage = 3;
        ui->ok->setText(tr("Complete"));
        playArrivalTune();
        closeWaiting();
        break;
    default:
        break;
    }
}

void PlatformLevel::arrivedAtRearPoint()
{
    PL_LOG;
    m_pointStage = 1;
    playArrivalTune();
    closeWaiting();
    showUI();
}

void PlatformLevel::returnHomeFailed()
{
    PL_LOG;
    giveUp(MachineRules::troubleNow(m_serial));
}

void PlatformLevel::giveUp(MachineRules::Trouble why)
{
    qWarning().noquote() << "UI/PlatformLevel" << __func__
                         << (why == MachineRules::Trouble::Silent ? "silent" : "stuck");
    ExecuteReturnHome().releaseObject(this);
    MachineRules::emergencyStop(m_serial);
    closeWaiting();
    hiddenUI();
    ui->label->setText(why == MachineRules::Trouble::Silent
                           ? MachineTrouble::text(why)
                           : tr("The machine did not finish moving.\nPlease check the machine."));
    ui->label->setVisible(true);
    ui->widget->setVisible(true);   // Back; OK stays ignored while m_isMoving holds
}

void PlatformLevel::on_back_clicked()
{
    PL_LOG;
    if (OneTimesClicked().acceptPagePress(this))
        close();
}

void PlatformLevel::on_ok_clicked()
{
    PL_LOG << m_pointStage;
    if (m_isMoving || m_inOk || OneTimesClicked().isHasClicked())
        return;
    // A flag, not a lock: a second press arriving while events run returns above.
    m_inOk = true;
    PageGuard alive(this);
    OneTimesClicked().setOneTimesClicked(ui->ok, "TOOLBUTTON_DIALOG_YES_STYLE");
    if (!alive)
        return;
    m_inOk = false;

    switch (m_pointStage) {
    case 1:
        moveToPoint(tr("Moving to Point 2.\nplease wait..."), "G1 X-65 Y-80 F2000");
        ui->LabelZ->setVisible(false);
        ui->showLabelZ->setVisible(false);
        ui->Zm->setVisible(false);
        ui->Zp->setVisible(false);
        ui->label->move(0, 60);
        ui->label->setText(tr("Unscrew corresponding nut under platform\nuntil touching the nozzle."));
        break;
    case 2:
        moveToPoint(tr("Moving to Point 3.\nplease wait..."), "G1 X80 Y-80 F2000");
        break;
    case 3: {
        startMoving();
        const double offset = m_ZShowOffset / 1000.0;
        getConfigFile().configFile()->setExtruderCalibrationValue(offset);
        qCritical().noquote() << "m_ZShowOffset:" << offset;
        m_homingStage = 1;
        ExecuteReturnHome().setObject(this);
        ExecuteReturnHome().returnHome(false);
        platformLevelDone();
        break;
    }
    default:
        break;
    }
}

// Lifts clear of the platform, travels, and comes down to the gap set at the rear point.
void PlatformLevel::moveToPoint(const QString& notice, const QString& travel)
{
    showWaiting(notice);
    // Up to Z30, across the bed, down to the gap again.
    const int across = HomedPosition::buildWidth() + HomedPosition::buildDepth();
    const int lift = ControllerProtocol::moveLimitMs(30.0 - m_targetZ / 10.0, 300);
    startMoving(2 * lift + ControllerProtocol::moveLimitMs(across, 2000));
    if (m_serial) {
        m_serial->serialSendCode("G1 Z30 F300");
        m_serial->serialSendCode(travel);
        m_serial->serialSendCode("G1 Z" + tenthsText(m_targetZ) + " F300");
    }
    pollMotionIn(FirstPollMs);
}

void PlatformLevel::on_Zp_pressed() { stepZ(5); }

void PlatformLevel::on_Zm_pressed()
{
    if (m_ZShowOffset <= FloorOffsetUm)
        return;
    stepZ(-1);
}

void PlatformLevel::stepZ(int tenths)
{
    m_targetZ += tenths;
    m_ZShowOffset += tenths * 100;
    if (m_serial)
        m_serial->serialSendCode("G1 Z" + tenthsText(m_targetZ) + " F300");
    showOffset();
}

void PlatformLevel::showOffset()
{
    // Micrometres to tenths, halves away from zero.
    const int um = m_ZShowOffset;
    const int tenths = um >= 0 ? (um + 50) / 100 : -((-um + 50) / 100);
    ui->showLabelZ->setText(tenthsText(tenths));
}

QList<QWidget*> PlatformLevel::stepWidgets() const
{
    return {ui->label, ui->widget, ui->LabelZ, ui->ok, ui->showLabelZ, ui->Zm, ui->Zp};
}

void PlatformLevel::showUI()
{
    ui->label->setText(tr("Click the arrow to adjust the platform\nso that it just touches the nozzle"));
    for (QWidget* w : stepWidgets())
        w->setVisible(true);
}

void PlatformLevel::hiddenUI()
{
    for (QWidget* w : stepWidgets())
        w->setVisible(false);
}

void PlatformLevel::platformLevelDone()
{
    hiddenUI();
    ui->label->move(0, 60);
    ui->label->setText(tr("Calibration is stored. Extruder is homing..."));
    ui->label->setVisible(true);
}
