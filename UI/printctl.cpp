#include "UI/printctl.h"
#include "ui_printctl.h"

#include "Config/Config.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "UI/buildprint.h"
#include "UI/changfilament.h"
#include "UI/printdetail.h"
#include "serial/SerialObject.h"
#include "tools/Log.h"
#include "tools/PagePointer.h"

#include <QDebug>
#include <QIcon>
#include <QPointer>

#define PC_LOG qDebug() << LOG_SRC("UI/printctl.cpp")

PrintCtl* PrintCtl::instHandle = nullptr;

PrintCtl::PrintCtl(bool gxFile, int materialUsed, int nozzleTemp, int platformTemp, bool paused, QWidget* parent)
    : QDialog(parent), ui(new Ui::PrintCtl), m_gxFile(gxFile), m_materialUsed(materialUsed),
      m_nozzleTemp(nozzleTemp), m_platformTemp(platformTemp), m_paused(paused)
{
    PC_LOG << "paused" << paused;
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    instHandle = this;
    m_serial = ExecuteGetSerialObject().serial();

    // Each opening sends the stored light state again.
    m_lightOn = getConfigFile().configFile()->getLedStatus();
    if (m_serial)
        m_serial->serialCheckCode(m_lightOn ? "M145" : "M144");
    showLight();
    setGeometry(237, 112, 233, 68);
}

PrintCtl::~PrintCtl()
{
    PC_LOG;
    PrintDetail::closeOpen();
    if (instHandle == this)
        instHandle = nullptr;
    delete ui;
}

bool PrintCtl::closeOpen()
{
    if (!instHandle)
        return false;
    // The adjustments page goes with the menu at once, not when the menu is deleted.
    PrintDetail::closeOpen();
    return closePagePointer(instHandle);
}

void PrintCtl::showLight()
{
    ui->LightSet->setIcon(QIcon(m_lightOn ? ":/Resource/icon/lamp.png" : ":/Resource/icon/lamp_n.png"));
}

void PrintCtl::on_LightSet_clicked()
{
    PC_LOG << "light was" << m_lightOn;
    m_lightOn = !m_lightOn;
    showLight();
    ui->LightSet->setStyleSheet(m_lightOn ? "border: 0px;color:#C2172D;font:16px" : "border: 0px;color:#222222;font:16px");
    getConfigFile().configFile()->setLedStatus(m_lightOn);
    if (m_serial)
        m_serial->serialCheckCode(m_lightOn ? "M145" : "M144");
}

void PrintCtl::on_ChangeFilament_clicked()
{
    PC_LOG;
    // The flag may be stale: a remote resume can have come since the menu opened.
    BuildPrint* page = BuildPrint::instBuildPrint;
    const bool paused = m_paused && (!page || page->getPrintState() == 2);
    if (paused) {
        if (!ChangFilament::instHandle)
            new ChangFilament(true, nullptr);
        ChangFilament::instHandle->show();
        closeOpen();
        return;
    }
    if (TwoButtonDialog::instTwoButtonDialog) {
        closeOpen();
        return;
    }
    PageGuard alive(this);
    QPointer<TwoButtonDialog> question = new TwoButtonDialog(
        tr("Cancel print job"), tr("Are you sure to\n pause print job?"), tr("YES"), tr("NO"), nullptr);
    const int answer = question->exec();
    if (question)
        delete question.data();
    // The question ran its own event loop: the menu and the printing page may be gone.
    if (answer == QDialog::Accepted) {
        page = BuildPrint::instBuildPrint;
        if (page && page->getPrintState() != 3) {
            page->PausePrint();
            if (!ChangFilament::instHandle)
                new ChangFilament(false, nullptr);
            ChangFilament::instHandle->show();
        } else {
            PC_LOG << "the job has gone or is ending: no filament change";
        }
    }
    if (alive && instHandle == this)
        closeOpen();
}

void PrintCtl::on_printset_clicked()
{
    PC_LOG;
    if (PrintDetail::instPrintDetail)
        return;
    auto* detail = new PrintDetail(m_paused, m_gxFile, m_materialUsed, nullptr);
    detail->setJobTargets(m_nozzleTemp, m_platformTemp);
    PrintDetail::instPrintDetail = detail;
    detail->initView();
    detail->show();
}

void PrintCtl::on_ChangeFilament_pressed()
{
    ui->ChangeFilament->setIcon(QIcon(":/Resource/icon/change_c.png"));
}

void PrintCtl::on_ChangeFilament_released()
{
    ui->ChangeFilament->setIcon(QIcon(":/Resource/icon/change.png"));
}

void PrintCtl::on_printset_pressed()
{
    ui->printset->setIcon(QIcon(":/Resource/icon/more_set_c.png"));
}

void PrintCtl::on_printset_released()
{
    ui->printset->setIcon(QIcon(":/Resource/icon/more_set.png"));
}
