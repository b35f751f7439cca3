#include "UI/home.h"

#include <QTimer>
#include "ui_home.h"

#include "Config/Config.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/COneTimesClicked.h"
#include "UI/machinetrouble.h"
#include "UI/mainwindow.h"
#include "buzzer/buzzerPlay.h"
#include "serial/SerialObject.h"

#include <QCoreApplication>
#include <QDebug>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QTimer>

Home* Home::instHome = nullptr;

Home::Home(QWidget* parent)
    : QDialog(parent), ui(new Ui::Home)
{
    qCritical().noquote() << "UI/home" << "Home";
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    move(0, 40);
    QPalette pal = palette();
    pal.setBrush(QPalette::Window, QBrush(QPixmap(":/Resource/icon/bg.png")));
    setPalette(pal);
    setAutoFillBackground(true);
    ui->label->setText(tr("Homing, please wait..."));
    ui->yes->setEnabled(false);

    m_serial = ExecuteGetSerialObject().serial();
    if (m_serial)
        m_serial->serialSendCode("M17");

    // The executor ends every run, done or failed within the axes' own limit.
    ExecuteReturnHome().setObject(this);
    ExecuteReturnHome().returnHome(false);
}

Home::~Home()
{
    qCritical().noquote() << "UI/home" << "~Home";
    ExecuteReturnHome().releaseObject(this);
    MainWindow::releaseMachine(m_serial);
    if (instHome == this)
        instHome = nullptr;
    delete ui;
}

void Home::checkReturnHomeDone()
{
    qCritical().noquote() << "UI/home" << "checkReturnHomeDone";
    if (!sendHomedCoordinates(m_serial, true)) {
        giveUp(MachineRules::Trouble::Silent);
        return;
    }
    completeWhenSent();
}

void Home::completeWhenSent()
{
    if (m_serial->keptCommands() > 0) {
        // A busy controller takes the coordinate set once a slot frees.
        if (MachineRules::troubleNow(m_serial) == MachineRules::Trouble::Silent && m_serial->keptCommands() == 0) {
            giveUp(MachineRules::Trouble::Silent);
            return;
        }
        QTimer::singleShot(100, this, &Home::completeWhenSent);
        return;
    }
    ui->label->setText(tr("Homing completed"));
    ui->yes->setEnabled(true);
    if (getConfigFile().configFile()->getBuzzerStatus()) {
        buzzerPlay::getInstance("pwm1")->start();
        buzzerPlay::getInstance("pwm1")->play(buzzerPlay::Tune1);
    }
}

void Home::returnHomeFailed()
{
    qCritical().noquote() << "UI/home" << "returnHomeFailed";
    giveUp(MachineRules::troubleNow(m_serial));
}

void Home::giveUp(MachineRules::Trouble why)
{
    qWarning().noquote() << "UI/home" << "giveUp" << (why == MachineRules::Trouble::Silent ? "silent" : "stuck");
    MachineRules::emergencyStop(m_serial);
    ui->label->setText(MachineTrouble::text(why));
    ui->yes->setEnabled(true);
}

void Home::on_yes_pressed()
{
    ui->yes->setIcon(QIcon(":/Resource/icon/Back_c.png"));
    ui->yes->setStyleSheet("border: 0px;color:#C2172D;font:16px");
}

void Home::on_yes_released()
{
    ui->yes->setIcon(QIcon(":/Resource/icon/Back.png"));
    ui->yes->setStyleSheet("border: 0px;color:#000000;font:16px");
}

void Home::on_yes_clicked()
{
    if (OneTimesClicked().acceptPagePress(this))
        close();
}
