#include "UI/manual.h"
#include "ui_manual.h"

#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/COneTimesClicked.h"
#include "UI/filepagehelpers.h"
#include "UI/mainwindow.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"

#include <QDebug>
#include <QEvent>
#include <QHash>
#include <QIcon>
#include <QTimer>

Manual* Manual::instManual = nullptr;
int Manual::guardMs = 5000;

namespace {
// Beyond the travel of every axis: a move lasts until it is stopped.
const QString FarAway = "1000";
constexpr int FeedXY = 2000;
constexpr int FeedZ = 300;
}

Manual::Manual(QWidget* parent)
    : QDialog(parent), ui(new Ui::Manual)
{
    qCritical().noquote() << "UI/manual" << "Manual";
    ui->setupUi(this);
    FilePages::setupPage(this);
    instManual = this;

    m_serial = ExecuteGetSerialObject().serial();
    if (m_serial)
        m_serial->serialSendCode("M17");
    showCoordinate();

    m_guard = new QTimer(this);
    m_guard->setInterval(guardMs);
    m_guard->setSingleShot(true);
    connect(m_guard, &QTimer::timeout, this, &Manual::timerOut);
}

Manual::~Manual()
{
    qCritical().noquote() << "UI/manual" << "~Manual";
    // Under a print job that started meanwhile the machine is the job's.
    if (!m_stopped && !MainWindow::printJobUnderWay())
        stopMachine();
    if (instManual == this)
        instManual = nullptr;
    delete ui;
}

void Manual::stopMachine()
{
    m_stopped = true;
    m_guard->stop();
    if (m_serial) {
        m_serial->serialCheckCode("M112");
        m_serial->serialSendCode("M18");
    }
    if (MainWindow::instMainWindow)
        MainWindow::instMainWindow->setLanStatus(0, 0);
}

// ---- arrows ------------------------------------------------------------------

namespace {
// Each arrow's picture; the pressed one ends in "_h".
const char* arrowIcon(const QString& button)
{
    static const QHash<QString, const char*> icons{
        {"Xm", "l"}, {"Xp", "r"}, {"Yp", "b"}, {"Ym", "f"}, {"Zp", "u"}, {"Zm", "d"}};
    return icons.value(button, "l");
}
void showArrow(QToolButton* arrow, bool pressed)
{
    arrow->setIcon(QIcon(QString(":/Resource/icon/%1%2.png").arg(arrowIcon(arrow->objectName()), pressed ? "_h" : "")));
}
}

void Manual::jog(QToolButton* arrow, const QString& axisWord, int feed)
{
    qCritical().noquote() << "UI/manual" << "on_" + arrow->objectName() + "_pressed";
    showArrow(arrow, true);
    if (m_serial)
        m_serial->serialSendCode("G1 " + axisWord + FarAway + " F" + QString::number(feed));
    m_guard->start();
}

void Manual::release(QToolButton* arrow)
{
    if (arrow) {
        qCritical().noquote() << "UI/manual" << "on_" + arrow->objectName() + "_released";
        showArrow(arrow, false);
    }
    if (m_serial)
        m_serial->serialCheckCode("M112");
    showCoordinate();
    m_guard->stop();
}

void Manual::on_Xm_pressed() { jog(ui->Xm, "X-", FeedXY); }
void Manual::on_Xp_pressed() { jog(ui->Xp, "X", FeedXY); }
void Manual::on_Ym_pressed() { jog(ui->Ym, "Y-", FeedXY); }
void Manual::on_Yp_pressed() { jog(ui->Yp, "Y", FeedXY); }
// The up arrow of Z sends the negative coordinate, the down arrow the positive one.
void Manual::on_Zp_pressed() { jog(ui->Zp, "Z-", FeedZ); }
void Manual::on_Zm_pressed() { jog(ui->Zm, "Z", FeedZ); }

void Manual::on_Xm_released() { release(ui->Xm); }
void Manual::on_Xp_released() { release(ui->Xp); }
void Manual::on_Ym_released() { release(ui->Ym); }
void Manual::on_Yp_released() { release(ui->Yp); }
void Manual::on_Zm_released() { release(ui->Zm); }
void Manual::on_Zp_released() { release(ui->Zp); }

void Manual::timerOut()
{
    qCritical().noquote() << "UI/manual" << "timerOut";
    m_guard->stop();
    if (m_serial)
        m_serial->serialCheckCode("M112");
    showCoordinate();
}

// A release that never comes (the page hidden, the window no longer the
// active one) must not leave the axis running until the guard expires.
void Manual::stopIfMoving()
{
    if (m_guard && m_guard->isActive()) {
        qCritical().noquote() << "UI/manual" << "release lost, stopping";
        for (QToolButton* arrow : {ui->Xm, ui->Xp, ui->Ym, ui->Yp, ui->Zm, ui->Zp})
            showArrow(arrow, false);
        release(nullptr);
    }
}

void Manual::hideEvent(QHideEvent* event)
{
    stopIfMoving();
    QDialog::hideEvent(event);
}

void Manual::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        stopIfMoving();
    QDialog::changeEvent(event);
}

// ---- position ------------------------------------------------------------------

void Manual::showCoordinate() const
{
    qCritical().noquote() << "UI/manual" << "showCoordinate";
    if (!m_serial)
        return;
    const QString reply = m_serial->serialCheckCode("M114");
    // Each axis the answer reads is shown; one it lacks, or a failed answer,
    // keeps the position last shown.
    const auto pos = ControllerProtocol::readM114(reply);
    if (!(pos.x && pos.y && pos.z))
        qWarning().noquote() << "UI/manual" << "position not fully read:" << reply;
    if (pos.x)
        ui->labelX->setText("X: " + QString::number(pos.at.x, 'f', 2));
    if (pos.y)
        ui->labelY->setText("Y: " + QString::number(pos.at.y, 'f', 2));
    if (pos.z)
        ui->labelZ->setText("Z: " + QString::number(pos.at.z, 'f', 2));
}

void Manual::on_back_clicked()
{
    qCritical().noquote() << "UI/manual" << "on_back_clicked";
    if (OneTimesClicked().acceptPagePress(this))
        close();
}
