#include "Dialog/onebuttondialog.h"
#include "ui_onebuttondialog.h"

#include "Dialog/commondialog.h"
#include "Execute/COneTimesClicked.h"
#include "tools/Log.h"

#include <QDebug>

OneButtonDialog* OneButtonDialog::instOneButtonDialog = nullptr;

OneButtonDialog::OneButtonDialog(QString title, QString text, QString buttonText, QWidget* parent)
    : QDialog(parent), ui(new Ui::OneButtonDialog)
{
    qDebug() << LOG_SRC("Dialog/onebuttondialog.cpp") << title << text;
    ui->setupUi(this);
    CommonDialog::setupCard(this, ui->title, ui->line, ui->label, title, text);
    CommonDialog::styleButton(ui->ok, "TOOLBUTTON_DIALOG_YES_STYLE");
    if (!buttonText.isEmpty())
        ui->ok->setText(buttonText);
    instOneButtonDialog = this;
}

OneButtonDialog::~OneButtonDialog()
{
    qDebug() << LOG_SRC("Dialog/onebuttondialog.cpp");
    // A newer dialog may own the pointer already (the old one was closed through it).
    if (instOneButtonDialog == this)
        instOneButtonDialog = nullptr;
    delete ui;
}

void OneButtonDialog::setLabelText(QString text)
{
    ui->label->setText(text);
}

void OneButtonDialog::setBtnText(QString text)
{
    ui->ok->setText(text);
}

void OneButtonDialog::on_ok_clicked()
{
    qDebug() << LOG_SRC("Dialog/onebuttondialog.cpp");
    if (OneTimesClicked().acceptPress(this, ui->ok, "TOOLBUTTON_DIALOG_YES_STYLE"))
        accept();
}
