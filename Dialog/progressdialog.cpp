#include "Dialog/progressdialog.h"
#include "ui_progressdialog.h"

#include "Dialog/commondialog.h"
#include "Execute/COneTimesClicked.h"
#include "tools/Log.h"

#include <QDebug>
#include <cmath>

ProgressDialog* ProgressDialog::instProgressDialog = nullptr;

ProgressDialog::ProgressDialog(QString title, QString text, QWidget* parent)
    : QDialog(parent), ui(new Ui::ProgressDialog)
{
    qDebug() << LOG_SRC("Dialog/progressdialog.cpp") << title << text;
    ui->setupUi(this);
    CommonDialog::prepare(this, QPoint(0, 0));
    CommonDialog::styleButton(ui->cancel, "TOOLBUTTON_DIALOG_NO_STYLE");
    ui->title->setText(title);
    ui->label->setText(text);
    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(0);
    instProgressDialog = this;
}

ProgressDialog::~ProgressDialog()
{
    qDebug() << LOG_SRC("Dialog/progressdialog.cpp");
    if (instProgressDialog == this)
        instProgressDialog = nullptr;
    delete ui;
}

void ProgressDialog::setMax(qint64 max)
{
    m_max = max;
}

void ProgressDialog::setValue(qint64 value)
{
    int percent = 0;
    if (value >= m_max) {
        percent = 100;
    } else if (m_max > 0) {
        // In floating point: value * 100 overflows 64 bits for large files.
        const double p = std::floor(static_cast<double>(value) * 100.0 / static_cast<double>(m_max));
        if (p < 1.0)
            return;
        percent = p > 100.0 ? 100 : static_cast<int>(p);
    } else {
        return;
    }
    ui->progressBar->setValue(percent);
}

void ProgressDialog::setLabelText(QString text)
{
    ui->label->setText(text);
}

int ProgressDialog::percent() const
{
    return ui->progressBar->value();
}

void ProgressDialog::on_cancel_clicked()
{
    qDebug() << LOG_SRC("Dialog/progressdialog.cpp");
    if (OneTimesClicked().acceptPress(this, ui->cancel, "TOOLBUTTON_DIALOG_NO_STYLE"))
        close();
}
