#include "UI/filamentpages.h"

#include "Config/Config.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/MachineRules.h"
#include "UI/mainwindow.h"
#include "buzzer/buzzerPlay.h"
#include "serial/SerialObject.h"
#include "tools/PagePointer.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QDebug>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

namespace FilamentPages {

void setupPage(QWidget* page)
{
    page->setWindowFlags(page->windowFlags() | Qt::FramelessWindowHint);
    page->setAttribute(Qt::WA_DeleteOnClose);
    page->move(0, 40);
}

void paintBackground(QWidget* page)
{
    static const QPixmap background(":/Resource/icon/bg.png");
    QPainter p(page);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(page->rect(), background);
}

static QString targetText(int target)
{
    return "/" + QString::number(target) + QStringLiteral("\u2103");
}

// The main window's last nozzle reading shown; 0 while there is no main window.
static int showReading(QLabel* current)
{
    MainWindow* mw = MainWindow::instMainWindow;
    const int now = mw ? mw->getCurrentExtruderTemp() : 0;
    current->setText(QString::number(now));
    return now;
}

int showNozzle(QLabel* current, QLabel* target)
{
    const int now = showReading(current);
    MainWindow* mw = MainWindow::instMainWindow;
    target->setText(targetText(mw ? mw->getTargetExtruderTemp() : 0));
    return now;
}

SerialObject* startHeating(int target, QLabel* current, QLabel* targetLabel)
{
    SerialObject* link = ExecuteGetSerialObject().serial();
    if (link)
        link->Heating(target);
    showReading(current);
    targetLabel->setText(targetText(target));
    return link;
}

void closeLater(QWidget* page, const char* source, bool& closing, QToolButton* button,
                const std::function<void()>& closeOperation)
{
    qCritical().noquote() << source << "closePage" << " close page: " << (closing ? "true" : "false");
    if (closing)
        return;
    closing = true;
    button->setEnabled(false);
    QTimer::singleShot(500, page, closeOperation);
}

bool pushFilament(SerialObject* serial, const char* move)
{
    if (getConfigFile().configFile()->getBuzzerStatus()) {
        buzzerPlay::getInstance("pwm1")->start();
        buzzerPlay::getInstance("pwm1")->play(buzzerPlay::Tune5);
    }
    if (!serial)
        return false;
    serial->serialCheckCode("M112");
    return MachineRules::sendConfirmed(serial, "G92 E0") && MachineRules::sendConfirmed(serial, move);
}

Answer askCancel(QWidget* page, QPointer<TwoButtonDialog>& question,
                 const QString& title, const QString& text)
{
    PageGuard alive(page);
    QPointer<TwoButtonDialog> asked = new TwoButtonDialog(title, text, "", "", nullptr);
    question = asked;
    const int result = asked->exec();
    if (asked)
        delete asked.data();
    // `question` belongs to the page: not touched unless the page is still there.
    if (!alive)
        return Answer::PageGone;
    return result == QDialog::Accepted ? Answer::Yes : Answer::No;
}

}
