#include "Dialog/twobuttondialog.h"
#include "ui_twobuttondialog.h"

#include "Dialog/commondialog.h"
#include "Execute/COneTimesClicked.h"
#include "tools/Log.h"

#include <QDebug>
#include <QToolButton>

TwoButtonDialog* TwoButtonDialog::instTwoButtonDialog = nullptr;
bool TwoButtonDialog::isShowDialog = false;

TwoButtonDialog::TwoButtonDialog(QString title, QString text, QString okText, QString cancelText, QWidget* parent)
    : QDialog(parent), ui(new Ui::TwoButtonDialog)
{
    qDebug() << LOG_SRC("Dialog/twobuttondialog.cpp") << title << text;
    ui->setupUi(this);
    CommonDialog::setupCard(this, ui->title, ui->line, ui->label, title, text);
    CommonDialog::styleButton(ui->ok, "TOOLBUTTON_DIALOG_YES_STYLE");
    CommonDialog::styleButton(ui->cancel, "TOOLBUTTON_DIALOG_NO_STYLE");
    if (!okText.isEmpty())
        ui->ok->setText(okText);
    if (!cancelText.isEmpty())
        ui->cancel->setText(cancelText);
    instTwoButtonDialog = this;
    isShowDialog = true;
}

TwoButtonDialog::~TwoButtonDialog()
{
    qDebug() << LOG_SRC("Dialog/twobuttondialog.cpp");
    // A newer question may own the pointer already (this one was closed through it).
    if (instTwoButtonDialog == this)
        instTwoButtonDialog = nullptr;
    isShowDialog = instTwoButtonDialog != nullptr;
    delete ui;
}

void TwoButtonDialog::setLabelText(QString text)
{
    ui->label->setText(text);
}

void TwoButtonDialog::answer(int result)
{
    QToolButton* button = result == QDialog::Accepted ? ui->ok : ui->cancel;
    const char* style = result == QDialog::Accepted ? "TOOLBUTTON_DIALOG_YES_STYLE" : "TOOLBUTTON_DIALOG_NO_STYLE";
    if (OneTimesClicked().acceptPress(this, button, QString::fromLatin1(style)))
        done(result);
}

void TwoButtonDialog::on_ok_clicked()
{
    qDebug() << LOG_SRC("Dialog/twobuttondialog.cpp");
    answer(QDialog::Accepted);
}

void TwoButtonDialog::on_cancel_clicked()
{
    qDebug() << LOG_SRC("Dialog/twobuttondialog.cpp");
    answer(QDialog::Rejected);
}
