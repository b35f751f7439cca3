#include "Dialog/onelabledialog.h"
#include "ui_onelabledialog.h"

#include "Dialog/commondialog.h"
#include "tools/Log.h"

#include <QDebug>

OneLableDialog* OneLableDialog::instOneLableDialog = nullptr;

OneLableDialog::OneLableDialog(QString text, QWidget* parent)
    : QDialog(parent), ui(new Ui::OneLableDialog)
{
    qDebug() << LOG_SRC("Dialog/onelabledialog.cpp") << text;
    ui->setupUi(this);
    // Centred on the 480 x 272 screen.
    CommonDialog::prepare(this, QPoint((480 - width()) / 2, (272 - height()) / 2));
    ui->label->setText(text);
    instOneLableDialog = this;
}

OneLableDialog::~OneLableDialog()
{
    qDebug() << LOG_SRC("Dialog/onelabledialog.cpp");
    if (instOneLableDialog == this)
        instOneLableDialog = nullptr;
    delete ui;
}

void OneLableDialog::setLabelText(QString text)
{
    ui->label->setText(text);
}
