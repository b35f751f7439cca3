#include "UI/control.h"
#include "ui_control.h"

#include "Execute/COneTimesClicked.h"
#include "UI/filepagehelpers.h"
#include "UI/home.h"
#include "UI/loadfilament.h"
#include "UI/manual.h"
#include "UI/PlatformLevel.h"
#include "UI/preheat.h"
#include "UI/unloadfilament.h"

#include <QDebug>
#include <QIcon>

Control* Control::instControl = nullptr;

namespace {

// A tool page exists at most once: a press while it is open leaves it alone.
template <class Page>
void openPage(Page*& pointer)
{
    if (pointer)
        return;
    pointer = new Page(nullptr);
    pointer->show();
}

}

Control::Control(QWidget* parent)
    : QDialog(parent), ui(new Ui::Control)
{
    qCritical().noquote() << "UI/control" << "Control";
    ui->setupUi(this);
    FilePages::setupPage(this);
    initView();
}

Control::~Control()
{
    qCritical().noquote() << "UI/control" << "~Control";
    delete ui;
    if (instControl == this)
        instControl = nullptr;
}

void Control::showLook(QToolButton* button, const char* icon, bool pressed)
{
    const QString name = QString(":/Resource/icon/%1%2.png").arg(icon, pressed ? "_c" : "");
    button->setIcon(QIcon(name));
    button->setStyleSheet(pressed ? "border: 0px;color:#C2172D;font:16px" : "border: 0px;color:#222222;font:16px");
    repaint();
}

void Control::on_back_clicked()
{
    qCritical().noquote() << "UI/control" << "on_back_clicked";
    if (OneTimesClicked().acceptPagePress(this))
        close();
}
void Control::on_back_pressed() { showLook(ui->back, "Back", true); }
void Control::on_back_released() { showLook(ui->back, "Back", false); }

// The tool buttons' texts in the language installed now.
void Control::initView()
{
    ui->showPreheat->setText(tr("Preheat"));
    ui->showManualControl->setText(tr("Move"));
    ui->showHome->setText(tr("Home"));
    ui->showLoad->setText(tr("Load"));
    ui->showUnload->setText(tr("Unload"));
    ui->showLeveling->setText(tr("Level"));
}

void Control::on_showPreheat_clicked()
{
    qCritical().noquote() << "UI/control" << "on_showPreheat_clicked";
    openPage(Preheat::instPreheat);
}
void Control::on_showPreheat_pressed() { showLook(ui->showPreheat, "prePreheat", true); }
void Control::on_showPreheat_released() { showLook(ui->showPreheat, "prePreheat", false); }

void Control::on_showManualControl_clicked()
{
    qCritical().noquote() << "UI/control" << "on_showManualControl_clicked";
    openPage(Manual::instManual);
}
void Control::on_showManualControl_pressed() { showLook(ui->showManualControl, "manual_control", true); }
void Control::on_showManualControl_released() { showLook(ui->showManualControl, "manual_control", false); }

void Control::on_showHome_clicked()
{
    qCritical().noquote() << "UI/control" << "on_showHome_clicked";
    openPage(Home::instHome);
}
void Control::on_showHome_pressed() { showLook(ui->showHome, "home", true); }
void Control::on_showHome_released() { showLook(ui->showHome, "home", false); }

void Control::on_showLoad_clicked()
{
    qCritical().noquote() << "UI/control" << "on_showLoad_clicked";
    openPage(LoadFilament::instLoadFilament);
}
void Control::on_showLoad_pressed() { showLook(ui->showLoad, "Load", true); }
void Control::on_showLoad_released() { showLook(ui->showLoad, "Load", false); }

void Control::on_showUnload_clicked()
{
    qCritical().noquote() << "UI/control" << "on_showUnload_clicked";
    openPage(UnloadFilament::instUnloadFilament);
}
void Control::on_showUnload_pressed() { showLook(ui->showUnload, "Unload", true); }
void Control::on_showUnload_released() { showLook(ui->showUnload, "Unload", false); }

void Control::on_showLeveling_clicked()
{
    qCritical().noquote() << "UI/control" << "on_showLeveling_clicked";
    openPage(PlatformLevel::instPlatformLevel);
}
void Control::on_showLeveling_pressed() { showLook(ui->showLeveling, "Level", true); }
void Control::on_showLeveling_released() { showLook(ui->showLeveling, "Level", false); }
