#include "UI/buildfilemanage.h"
#include "ui_buildfilemanage.h"

#include "Dialog/onebuttondialog.h"
#include "Dialog/twobuttondialog.h"
#include "Files/PrintFile.h"
#include "UI/buildprint.h"
#include "UI/filepagehelpers.h"
#include "UI/mainwindow.h"
#include "UI/showtfcard.h"
#include "tools/Log.h"
#include "tools/PagePointer.h"
#include "tools/RootPath.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

BuildFileManage* BuildFileManage::instBuildFileManage = nullptr;

namespace {
const QString ICON_PATH = ":/Resource/icon/";
constexpr int kShownNameChars = 13;

QPixmap genericFileIcon(int w, int h)
{
    return QPixmap(ICON_PATH + "G_File.png").scaled(w, h, Qt::KeepAspectRatio, Qt::FastTransformation);
}
}

BuildFileManage::BuildFileManage(QString path, QWidget* parent)
    : BuildFileManage(NativePath{QFile::encodeName(path)}, parent)
{
}

BuildFileManage::BuildFileManage(NativePath path, QWidget* parent)
    : QDialog(parent),
      m_filePath(QFile::decodeName(path.bytes)),
      ui(new Ui::BuildFileManage),
      m_nativePath(path.bytes)
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << m_filePath;
    ui->setupUi(this);
    FilePages::setupPage(this);
    instBuildFileManage = this;

    copyButtonShow();
    getPrintFileParam();
    totalPrintFileTimeShow();
    thumbnailShow();

    const QString name = FilePages::displayName(FilePages::baseName(m_nativePath.toStdString())).trimmed();
    ui->printFileName->setText(FilePages::cutName(name, kShownNameChars));
    ui->printFileName->setToolTip(name);

    if (MainWindow* main = MainWindow::instMainWindow)
        connect(main, &MainWindow::sig_usbUnmount, this, &BuildFileManage::slot_usbRemove);
    if (ShowTFCard* list = ShowTFCard::instShowTFCard)
        connect(this, &BuildFileManage::sig_updateDisk, list, &ShowTFCard::slot_showmemorylist);
}

BuildFileManage::~BuildFileManage()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    instBuildFileManage = nullptr;
    if (MainWindow* main = MainWindow::instMainWindow)
        disconnect(main, nullptr, this, nullptr);
    disconnect(this, &BuildFileManage::sig_updateDisk, nullptr, nullptr);
    delete ui;
}

void BuildFileManage::copyButtonShow()
{
    // The first folder of the printer path tells the storage.
    const QString first = "/" + printerPath(m_filePath).section('/', 1, 1).trimmed();
    m_isUsbFile = first == QLatin1String(PrinterPath::Media);
}

void BuildFileManage::getPrintFileParam()
{
    m_isGxFile = PrintFile::isGxFile(m_filePath);
    if (!m_isGxFile || !FilePages::roundTrips(m_nativePath.toStdString()))
        return;
    const std::optional<PrintFile::Header> header = PrintFile::readHeader(m_filePath);
    if (!header)
        return;
    m_timeUsed = header->timeUsed;
    m_materialUsed = header->materialUsed;
    m_layerHeight = header->layerHeight;
    m_speed = header->speed;
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "timeUsed=" << m_timeUsed << "materialUsed" << m_materialUsed;
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "layerHeight=" << m_layerHeight << "speed" << m_speed;
}

void BuildFileManage::totalPrintFileTimeShow()
{
    QWidget* const figures[] = {ui->labelTatleTime, ui->showTimeBtn, ui->labelUsedMaterial, ui->showFilamentBtn,
                                ui->labelLayerHiht, ui->showLayerHight, ui->labelSpeed, ui->showSpeed};
    if (!m_isGxFile) {
        for (QWidget* w : figures)
            w->hide();
        ui->printFileName->move(210, 30);
        return;
    }
    for (QWidget* w : figures)
        w->show();
    ui->printFileName->move(0, 150);
    const int hours = m_timeUsed / 3600;
    const int minutes = (m_timeUsed % 3600) / 60;
    ui->labelTatleTime->setText(QString("%1 %2 %3 %4").arg(hours).arg(tr("h")).arg(minutes).arg(tr("min")));
    ui->labelUsedMaterial->setText(QString::number(m_materialUsed / 1000.0, 'f', 2) + " " + tr("M"));
    ui->labelLayerHiht->setText(QString::number(m_layerHeight / 1000.0, 'f', 2) + " " + tr("mm"));
    ui->labelSpeed->setText(QString::number(m_speed, 'f', 2) + tr("mm/s"));
}

QPixmap BuildFileManage::getPixmap(QString path, int w, int h)
{
    const QImage image = PrintFile::readThumbnail(path, w, h);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

void BuildFileManage::thumbnailShow()
{
    if (m_isGxFile) {
        QPixmap thumbnail;
        if (FilePages::roundTrips(m_nativePath.toStdString()))
            thumbnail = getPixmap(m_filePath, 124, 124);
        ui->thumbnails->setPixmap(thumbnail.isNull() ? genericFileIcon(124, 124) : thumbnail);
        return;
    }
    ui->thumbnails->setStyleSheet("border-radius:10px;background-color:#FFFFFF;");
    ui->thumbnails->setPixmap(genericFileIcon(124, 124));
}

void BuildFileManage::oneButtonDialogShow(QString text)
{
    OneButtonDialog* dialog = OneButtonDialog::instOneButtonDialog;
    if (dialog)
        dialog->setLabelText(text);
    else
        dialog = new OneButtonDialog("", text, "", nullptr);
    dialog->show();
    repaint();
    QCoreApplication::processEvents();
}

void BuildFileManage::on_deleteFile_clicked()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    PageGuard alive(this);
    if (!FilePages::pressGuard() || !alive)
        return;

    auto* question = new TwoButtonDialog(tr("Are you sure to delete"), tr("Are you sure\n to delete the file?"),
                                         tr("OK"), tr("Cancel"), nullptr);
    TwoButtonDialog::instTwoButtonDialog = question;
    m_deleteQuestion = question;
    const int answer = question->exec();
    // The stick may have been pulled meanwhile, which closes this page.
    if (!alive)
        return;

    if (answer == QDialog::Accepted) {
        struct stat st;
        if (::lstat(m_nativePath.constData(), &st) == 0) {
            qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "remove file: " << m_filePath;
            // unlink removes a link itself, never the file it points at.
            if (::unlink(m_nativePath.constData()) != 0)
                qWarning() << LOG_SRC("UI/buildfilemanage.cpp") << "remove failed:" << qt_error_string(errno);
        }
        ::sync();
        emit sig_updateDisk();
        if (!alive)
            return;
        close();
    }
    ui->deleteFile->setStyleSheet("border-radius:5px;background-image:url(:/Resource/icon/model_delete.png)");
}

void BuildFileManage::on_buildPrint_clicked()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    PageGuard alive(this);
    if (!FilePages::pressGuard() || !alive)
        return;

    if (BuildPrint::instBuildPrint) {
        // A job is running: leave it (and its build time) alone.
        qWarning() << LOG_SRC("UI/buildfilemanage.cpp") << "a printing page exists; no second print started";
        return;
    }
    if (m_isUsbFile) {
        // The copy to internal storage that must come first is not built yet.
        qWarning() << LOG_SRC("UI/buildfilemanage.cpp") << "a file of the USB stick is not copied yet; nothing printed:"
                   << m_filePath;
        return;
    }
    if (!FilePages::roundTrips(m_nativePath.toStdString())) {
        qCritical() << LOG_SRC("UI/buildfilemanage.cpp") << "the file name cannot be handed to the printing page:"
                    << m_filePath;
        return;
    }

    if (MainWindow* main = MainWindow::instMainWindow)
        main->setLocalPrintJobId("123");
    auto* page = new BuildPrint(m_filePath, nullptr);
    BuildPrint::instBuildPrint = page;
    QPointer<BuildPrint> printing(page);
    page->show();
    if (printing)
        printing->ClearBuildTime();
}

void BuildFileManage::on_copyFile_clicked()
{
    // Copying between the storages is not built yet.
    qWarning() << LOG_SRC("UI/buildfilemanage.cpp") << "copying is not available; nothing copied:" << m_filePath;
}

void BuildFileManage::on_back_clicked()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    PageGuard alive(this);
    if (!FilePages::pressGuard() || !alive)
        return;
    close();
}

void BuildFileManage::on_back_pressed()
{
    ui->back->setIcon(QIcon(ICON_PATH + "Back_c.png"));
    ui->back->setStyleSheet("border: 0px;color:#C2172D;font:16px");
    update();
}

void BuildFileManage::on_back_released()
{
    ui->back->setIcon(QIcon(ICON_PATH + "Back.png"));
    ui->back->setStyleSheet("border: 0px;color:#000000;font:16px");
    update();
}

void BuildFileManage::slot_usbRemove()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    if (!m_isUsbFile)
        return;
    if (m_deleteQuestion)
        m_deleteQuestion->close();
    close();
}
