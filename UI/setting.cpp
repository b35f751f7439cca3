#include "UI/setting.h"
#include "ui_setting.h"

#include "Execute/COneTimesClicked.h"
#include "UI/ExtruderCalibration.h"
#include "UI/filepagehelpers.h"

#include <QDebug>
#include <QEvent>
#include <QIcon>

Setting* Setting::instSetting = nullptr;

Setting::Setting(QWidget* parent)
    : QDialog(parent), ui(new Ui::Setting)
{
    qCritical().noquote() << "UI/setting" << "Setting";
    ui->setupUi(this);
    FilePages::setupPage(this);
    ui->showExtruderCalibration->setStyleSheet(COneTimesClicked::styleSheet("TOOLBUTTON_ICON_STYLE", false));
}

Setting::~Setting()
{
    qCritical().noquote() << "UI/setting" << "~Setting";
    if (instSetting == this)
        instSetting = nullptr;
    delete ui;
}

void Setting::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}

void Setting::on_showExtruderCalibration_clicked()
{
    qCritical().noquote() << "UI/setting" << "on_showExtruderCalibration_clicked";
    if (!OneTimesClicked().acceptPress(this, ui->showExtruderCalibration, "TOOLBUTTON_ICON_STYLE")
        || ExtruderCalibration::instExtruderCalibration)
        return;
    ExtruderCalibration::instExtruderCalibration = new ExtruderCalibration(nullptr);
    ExtruderCalibration::instExtruderCalibration->show();
}

void Setting::on_back_clicked()
{
    if (OneTimesClicked().acceptPagePress(this))
        close();
}

void Setting::on_back_pressed()
{
    ui->back->setIcon(QIcon(":/Resource/icon/Back_c.png"));
    ui->back->setStyleSheet("border: 0px;color:#C2172D;font:16px");
}

void Setting::on_back_released()
{
    ui->back->setIcon(QIcon(":/Resource/icon/Back.png"));
    ui->back->setStyleSheet("border: 0px;color:#222222;font:16px");
}
