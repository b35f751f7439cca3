#include "UI/build.h"
#include "ui_build.h"

#include "Execute/COneTimesClicked.h"
#include "UI/filepagehelpers.h"
#include "UI/mainwindow.h"
#include "UI/showtfcard.h"
#include "tools/Log.h"

#include <QDebug>
#include <QIcon>

Build* Build::instBuild = nullptr;

namespace {
const char* const kIconDir = ":/Resource/icon/";
QIcon icon(const char* name) { return QIcon(QString(kIconDir) + name); }
}

Build::Build(QWidget* parent) : QDialog(parent), ui(new Ui::Build)
{
    qDebug() << LOG_SRC("UI/build.cpp");
    ui->setupUi(this);
    FilePages::setupPage(this);

    if (FilePages::usbMounted())
        slot_usbInsert();
    else
        slot_usbRemove();
    if (MainWindow* main = MainWindow::instMainWindow) {
        connect(main, &MainWindow::sig_usbUnmount, this, &Build::slot_usbRemove);
        connect(main, &MainWindow::sig_usbMount, this, &Build::slot_usbInsert);
    }
}

Build::~Build()
{
    qDebug() << LOG_SRC("UI/build.cpp");
    if (MainWindow* main = MainWindow::instMainWindow)
        disconnect(main, nullptr, this, nullptr);
    delete ui;
    instBuild = nullptr;
}

void Build::slot_usbInsert()
{
    ui->upan->setIcon(icon("USB Stick.png"));
    ui->upan->setStyleSheet("border:0px;color:#222222;font:16px");
    ui->upan->setEnabled(true);
}

void Build::slot_usbRemove()
{
    ui->upan->setIcon(icon("USB Stick_d.png"));
    ui->upan->setStyleSheet("border:0px;color:#cccccc;font:16px");
    ui->upan->setEnabled(false);
}

void Build::on_memory_clicked()
{
    qDebug() << LOG_SRC("UI/build.cpp");
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    if (ShowTFCard::instShowTFCard)
        return;
    (new ShowTFCard(FromMemory, nullptr))->show();
}

void Build::on_upan_clicked()
{
    qDebug() << LOG_SRC("UI/build.cpp");
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    // The flag is read again: the stick may have gone before the button greyed out.
    if (!FilePages::usbMounted() || ShowTFCard::instShowTFCard)
        return;
    (new ShowTFCard(FromUsbDisk, nullptr))->show();
}

void Build::on_back_clicked()
{
    qDebug() << LOG_SRC("UI/build.cpp");
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    close();
}

void Build::on_memory_pressed()
{
    ui->memory->setIcon(icon("Internal Memory_c.png"));
    ui->memory->setStyleSheet("border:0px;color:#C2172D;font:16px");
}

void Build::on_memory_released()
{
    ui->memory->setIcon(icon("Internal Memory.png"));
    ui->memory->setStyleSheet("border:0px;color:#222222;font:16px");
}

void Build::on_upan_pressed()
{
    ui->upan->setIcon(icon("USB Stick_c.png"));
    ui->upan->setStyleSheet("border:0px;color:#C2172D;font:16px");
}

void Build::on_upan_released()
{
    // Disabling a held button releases it: keep the grey look then.
    if (!FilePages::usbMounted()) {
        slot_usbRemove();
        return;
    }
    ui->upan->setIcon(icon("USB Stick.png"));
    ui->upan->setStyleSheet("border:0px;color:#222222;font:16px");
}

void Build::on_back_pressed()
{
    ui->back->setIcon(icon("Back_c.png"));
    ui->back->setStyleSheet("border:0px;color:#C2172D;font:16px");
    update();
}

void Build::on_back_released()
{
    ui->back->setIcon(icon("Back.png"));
    ui->back->setStyleSheet("border:0px;color:#222222;font:16px");
    update();
}
