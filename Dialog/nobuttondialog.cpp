#include "Dialog/nobuttondialog.h"
#include "ui_nobuttondialog.h"

#include "Dialog/commondialog.h"
#include "tools/Log.h"

#include <QDebug>

NoButtonDialog* NoButtonDialog::instNoButtonDialog = nullptr;

NoButtonDialog::NoButtonDialog(QString title, QString text, QWidget* parent)
    : QDialog(parent), ui(new Ui::NoButtonDialog)
{
    qDebug() << LOG_SRC("Dialog/nobuttondialog.cpp") << title << text;
    ui->setupUi(this);
    CommonDialog::setupCard(this, ui->title, ui->line, ui->label, title, text);
    instNoButtonDialog = this;
}

NoButtonDialog::~NoButtonDialog()
{
    qDebug() << LOG_SRC("Dialog/nobuttondialog.cpp");
    if (instNoButtonDialog == this)
        instNoButtonDialog = nullptr;
    delete ui;
}

void NoButtonDialog::setLabelText(QString text)
{
    ui->label->setText(text);
}
