#include "UI/printdetail.h"
#include "ui_printdetail.h"

#include "Dialog/onebuttondialog.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/COneTimesClicked.h"
#include "Files/ResumePrintConfig.h"
#include "UI/buildprint.h"
#include "UI/filepagehelpers.h"
#include "serial/SerialObject.h"
#include "tools/Log.h"
#include "tools/PagePointer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QIcon>
#include <algorithm>

#define PD_LOG qDebug() << LOG_SRC("UI/printdetail.cpp")

PrintDetail* PrintDetail::instPrintDetail = nullptr;

PrintDetail::PrintDetail(bool paused, bool gxFile, int materialUsed, QWidget* parent)
    : QDialog(parent), ui(new Ui::PrintDetail)
{
    PD_LOG << "paused" << paused << "gx" << (gxFile ? "true" : "false") << "materialUsed: " << materialUsed;
    ui->setupUi(this);
    FilePages::setupPage(this);
    ui->OnePageWidget->move(0, 0);
    ui->twoPageWidget->move(0, 0);
    ui->OnePageWidget->show();
    ui->twoPageWidget->hide();
    resize(480, 232);
    instPrintDetail = this;
    m_serial = ExecuteGetSerialObject().serial();

    // The extrusion row stays hidden: the page always applies 100 %.
    ui->showFIlament->hide();
    ui->buildPurge->hide();
    ui->btnPurgeDec->hide();
    ui->btnPurgeInc->hide();

    m_rows[Nozzle] = {170, 260, 1, ui->btnNozzleDec, ui->btnNozzleInc, ui->extruderTemp};
    m_rows[Plate] = {30, 110, 1, ui->btnPlateDec, ui->btnPlateInc, ui->platformTemp};
    m_rows[Speed] = {50, 300, 5, ui->btnSpeedDec, ui->btnSpeedInc, ui->buildSpeed};
    m_rows[ZOffset] = {-100, 100, 2, ui->btnZDec, ui->btnZInc, ui->buildZOffset};
    m_rows[Purge] = {80, 300, 1, ui->btnPurgeDec, ui->btnPurgeInc, ui->buildPurge};
}

PrintDetail::~PrintDetail()
{
    PD_LOG;
    if (instPrintDetail == this)
        instPrintDetail = nullptr;
    delete ui;
}

bool PrintDetail::closeOpen()
{
    return closePagePointer(instPrintDetail);
}

void PrintDetail::setJobTargets(int nozzle, int platform)
{
    m_jobNozzle = nozzle;
    m_jobPlate = platform;
}

void PrintDetail::initView()
{
    m_values[Nozzle] = m_jobNozzle;
    m_values[Plate] = m_jobPlate;
    m_values[Speed] = 100;
    m_values[ZOffset] = 0;
    m_values[Purge] = 100;
    _printcfg_t saved{};
    if (printdetail_read_config(&saved) == 0 && saved.set_flag != 0) {
        // A record from elsewhere may hold anything: bring it into the page's ranges.
        auto bounded = [this](Value v, int x) { return std::clamp(x, m_rows[v].lo, m_rows[v].hi); };
        m_values[Speed] = bounded(Speed, saved.speed);
        m_values[ZOffset] = bounded(ZOffset, saved.zoffset);
        m_values[Nozzle] = bounded(Nozzle, saved.Extruder);
        m_values[Plate] = bounded(Plate, saved.plate);
    }
    for (int v = 0; v < ValueCount; ++v)
        showValue(static_cast<Value>(v));
    ui->down->setEnabled(true);
    ui->up->setEnabled(false);
}

void PrintDetail::showValue(Value v)
{
    const int x = m_values[v];
    QString text;
    if (v == ZOffset)
        text = QString::number(x / 100.0, 'f', 2) + "mm";
    else if (v == Speed || v == Purge)
        text = QString::number(x) + "%";
    else
        text = QString::number(x);
    m_rows[v].label->setText(text);
}

void PrintDetail::stepValue(Value v, int dir)
{
    const Row& row = m_rows[v];
    const int x = std::clamp(m_values[v] + dir * row.step, row.lo, row.hi);
    if (x == (dir < 0 ? row.lo : row.hi)) {
        (dir < 0 ? row.dec : row.inc)->setEnabled(false);
    } else {
        row.dec->setEnabled(true);
        row.inc->setEnabled(true);
    }
    m_values[v] = x;
    showValue(v);
    if (v == ZOffset)
        PD_LOG << "offset:" << row.label->text();
}

void PrintDetail::on_btnNozzleDec_pressed() { stepValue(Nozzle, -1); }
void PrintDetail::on_btnNozzleInc_pressed() { stepValue(Nozzle, +1); }
void PrintDetail::on_btnPlateDec_pressed() { stepValue(Plate, -1); }
void PrintDetail::on_btnPlateInc_pressed() { stepValue(Plate, +1); }
void PrintDetail::on_btnSpeedDec_pressed() { stepValue(Speed, -1); }
void PrintDetail::on_btnSpeedInc_pressed() { stepValue(Speed, +1); }
void PrintDetail::on_btnZDec_pressed() { stepValue(ZOffset, -1); }
void PrintDetail::on_btnZInc_pressed() { stepValue(ZOffset, +1); }
void PrintDetail::on_btnPurgeDec_pressed() { stepValue(Purge, -1); }
void PrintDetail::on_btnPurgeInc_pressed() { stepValue(Purge, +1); }

void PrintDetail::showPage(int index)
{
    ui->OnePageWidget->setVisible(index == 0);
    ui->twoPageWidget->setVisible(index == 1);
    ui->label->setText(index == 0 ? tr("1/2") : tr("2/2"));
    ui->down->setEnabled(index == 0);
    ui->up->setEnabled(index == 1);
}

void PrintDetail::on_up_clicked() { showPage(0); }
void PrintDetail::on_down_clicked() { showPage(1); }

void PrintDetail::on_ok_clicked()
{
    BuildPrint* page = BuildPrint::instBuildPrint;
    if (!page || page->getPrintState() == 3) {
        PD_LOG << "the job has gone or is ending: nothing applied";
        return;
    }
    const int nozzle = m_values[Nozzle], plate = m_values[Plate];
    const int speed = m_values[Speed], zOffset = m_values[ZOffset], purge = m_values[Purge];
    PD_LOG << "speed" << speed << "zOffset" << zOffset << "nozzle" << nozzle << "bed" << plate;
    _printcfg_t record{speed, purge, plate, nozzle, zOffset, 1};
    const bool stored = printdetail_write_config(&record) == 0;
    PrintingAdjust adjust;
    adjust.speed = speed;
    adjust.zOffset = zOffset;
    adjust.extrusion = purge;
    m_serial->setPrintingAdjust(adjust);
    m_serial->printingAdjustPlatformTemp(plate);
    m_serial->printingAdjustNozzleTemp(nozzle);
    page->m_printSpeed = speed;
    page->m_zOffset = zOffset;
    if (stored)
        confirm(tr("Parameter set successfully"), tr("Parameter set successfully."));
    else
        confirm(tr("Parameters applied, but they could not be saved"),
                tr("Parameters applied, but they could not be saved."));
}

void PrintDetail::on_ok_2_clicked()
{
    on_ok_clicked();
}

void PrintDetail::confirm(const QString& text, const QString& textWhenOpen)
{
    if (OneButtonDialog* open = OneButtonDialog::instOneButtonDialog)
        open->setLabelText(textWhenOpen);
    else
        new OneButtonDialog("", text, "", nullptr);
    if (OneButtonDialog* box = OneButtonDialog::instOneButtonDialog) {
        box->show();
        box->raise();
    }
    QCoreApplication::processEvents();
}

void PrintDetail::on_back_pressed()
{
    ui->back->setIcon(QIcon(":/Resource/icon/Back_c.png"));
    ui->back->setStyleSheet("border: 0px;color:#C2172D;font:16px");
    repaint();
}

void PrintDetail::on_back_released()
{
    ui->back->setIcon(QIcon(":/Resource/icon/Back.png"));
    ui->back->setStyleSheet("border: 0px;color:#000000;font:16px");
    repaint();
}

void PrintDetail::on_back_clicked()
{
    PD_LOG;
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    closePagePointer(instPrintDetail);
    close();
}
