#include "UI/buildfilemanage.h"
#include "ui_buildfilemanage.h"

#include "Execute/COneTimesClicked.h"
#include "Dialog/nobuttondialog.h"
#include "Dialog/progressdialog.h"
#include "Dialog/twobuttondialog.h"
#include "Files/FileCopy.h"
#include "Files/PrintFile.h"
#include "UI/buildprint.h"
#include "UI/filepagehelpers.h"
#include "UI/mainwindow.h"
#include "UI/showtfcard.h"
#include "tools/Log.h"
#include "tools/PagePointer.h"
#include "tools/RootPath.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QTimer>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

BuildFileManage* BuildFileManage::instBuildFileManage = nullptr;

namespace {
const QString ICON_PATH = ":/Resource/icon/";
constexpr int kShownNameChars = 13;
constexpr int kCopyPollMs = 1000;
constexpr int kPrintCopyAttempts = 3;
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

    m_copyTimer = new QTimer(this);
    m_copyTimer->setInterval(kCopyPollMs);
    connect(m_copyTimer, &QTimer::timeout, this, &BuildFileManage::showCopyProgress);

    if (MainWindow* main = MainWindow::instMainWindow)
        connect(main, &MainWindow::sig_usbUnmount, this, &BuildFileManage::slot_usbRemove);
    if (ShowTFCard* list = ShowTFCard::instShowTFCard)
        connect(this, &BuildFileManage::sig_updateDisk, list, &ShowTFCard::slot_showmemorylist);
}

BuildFileManage::~BuildFileManage()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    instBuildFileManage = nullptr;
    // The copy before printing is finished by its thread (nothing abandons
    // it); any other copy is cancelled, not waited for: its thread removes
    // its temporary file and ends by itself.
    if (printCopyRunning()) {
        m_copyJob->detach();
        m_copyJob.reset();
    }
    endCopy();
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
    // A file without a real header gives figures no print has: shown as unknown.
    const bool timeKnown = PrintFile::plausibleFigure(m_timeUsed);
    const QString hours = timeKnown ? QString::number(m_timeUsed / 3600) : QString("--");
    const QString minutes = timeKnown ? QString::number((m_timeUsed % 3600) / 60) : QString("--");
    ui->labelTatleTime->setText(QString("%1 %2 %3 %4").arg(hours, tr("h"), minutes, tr("min")));
    const QString metres = PrintFile::plausibleFigure(m_materialUsed) ? QString::number(m_materialUsed / 1000.0, 'f', 2)
                                                                      : QString("--");
    ui->labelUsedMaterial->setText(metres + " " + tr("M"));
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
        ui->thumbnails->setPixmap(thumbnail.isNull() ? FilePages::genericFileIcon(124, 124) : thumbnail);
        return;
    }
    ui->thumbnails->setStyleSheet("border-radius:10px;background-color:#FFFFFF;");
    ui->thumbnails->setPixmap(FilePages::genericFileIcon(124, 124));
}

void BuildFileManage::oneButtonDialogShow(QString text)
{
    FilePages::showMessage(this, text);
}

bool BuildFileManage::actionAllowed()
{
    if (!OneTimesClicked().acceptPagePress(this))
        return false;
    // The page's buttons stay reachable beside the copy's notice; the file
    // and the copy are left alone until it ends.
    if (copyBusy()) {
        qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "a copy is running";
        return false;
    }
    return true;
}

void BuildFileManage::on_deleteFile_clicked()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    if (!actionAllowed())
        return;
    PageGuard alive(this);

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
    if (!actionAllowed())
        return;
    PageGuard alive(this);

    if (BuildPrint::instBuildPrint) {
        // A job is running: leave it (and its build time) alone.
        qWarning() << LOG_SRC("UI/buildfilemanage.cpp") << "a printing page exists; no second print started";
        return;
    }
    if (!FilePages::roundTrips(m_nativePath.toStdString())) {
        // The printing page and the print loop take the path as text, which
        // would name another file: say so rather than do nothing.
        qCritical() << LOG_SRC("UI/buildfilemanage.cpp") << "the file name cannot be handed to the printing page:"
                    << m_filePath;
        oneButtonDialogShow(tr("The file name cannot be printed,\nplease rename the file"));
        return;
    }
    if (!m_isUsbFile) {
        startPrint(m_filePath);
        return;
    }

    // A file of the stick is printed from a verified copy in internal storage.
    // The copy made for an earlier print of it is replaced: its room counts.
    const std::string data = ::rootPath(std::string(PrinterPath::Data));
    const int64_t size = FileCopyJob::totalSize({m_nativePath.toStdString()});
    const int64_t free = FilePages::freeSpace(data.c_str());
    if (free < 0 || free + FileCopyJob::bytesFreedByReplacing(m_nativePath.toStdString(), data) < size) {
        oneButtonDialogShow(tr("Storage space is not enough"));
        return;
    }
    m_printWait = new NoButtonDialog(tr("Copy File"), tr("Waiting..."), nullptr);
    m_printWait->show();
    repaint();
    QCoreApplication::processEvents();
    if (!alive)
        return;
    m_printCopyAttempts = 0;
    startPrintCopyAttempt();
}

void BuildFileManage::startPrint(const QString& path)
{
    if (BuildPrint::instBuildPrint) {
        qWarning() << LOG_SRC("UI/buildfilemanage.cpp") << "a printing page appeared meanwhile; no second print";
        return;
    }
    if (MainWindow* main = MainWindow::instMainWindow)
        main->setLocalPrintJobId("123");
    auto* page = new BuildPrint(path, nullptr);
    BuildPrint::instBuildPrint = page;
    QPointer<BuildPrint> printing(page);
    page->show();
    if (printing)
        printing->ClearBuildTime();
}

void BuildFileManage::startPrintCopyAttempt()
{
    ++m_printCopyAttempts;
    auto job = std::make_unique<FileCopyJob>();
    m_printCopyPath = job->addFile(m_nativePath.toStdString(), ::rootPath(std::string(PrinterPath::Data)));
    job->setFreeSpaceQuery(&FilePages::freeSpace);
    // With no room beside the copy of an earlier print, that copy goes first.
    job->setRemoveOldFilesWhenShort(true);
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "copy for printing, attempt" << m_printCopyAttempts << "to"
             << FilePages::displayName(m_printCopyPath);
    m_copyJob = std::move(job);
    m_copyKind = CopyKind::Print;
    m_copyJob->start();   // a thread that cannot start is reported by the poll
    m_copyTimer->start();
}

void BuildFileManage::on_copyFile_clicked()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    if (!actionAllowed())
        return;
    PageGuard alive(this);
    if (!FilePages::usbMounted()) {
        oneButtonDialogShow(tr("Please insert USB Disk !"));
        return;
    }
    const std::string targetDir = ::rootPath(std::string(m_isUsbFile ? PrinterPath::Data : PrinterPath::Media));
    const int64_t size = FileCopyJob::totalSize({m_nativePath.toStdString()});
    if (FilePages::freeSpace(targetDir.c_str()) < size) {
        oneButtonDialogShow(tr("Storage space is not enough"));
        return;
    }

    ProgressDialog* progress = ProgressDialog::instProgressDialog;
    if (!progress)
        progress = new ProgressDialog("", tr("Copying..."), nullptr);
    m_copyProgress = progress;
    progress->show();
    repaint();
    QCoreApplication::processEvents();
    if (!alive)
        return;
    if (!m_copyProgress) {   // cancelled before it began
        qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "copy cancelled before it started";
        return;
    }
    // Cancel is acted on at once, not at the next poll.
    connect(progress, &QObject::destroyed, this, [this] {
        if (m_copyJob && m_copyKind == CopyKind::Button)
            m_copyJob->cancel();
        QTimer::singleShot(0, this, &BuildFileManage::showCopyProgress);
    });

    m_copyTotalBytes = size;
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "allCopyBytes=" << m_copyTotalBytes;
    progress->setMax(m_copyTotalBytes);
    // The old file at the target stays until the verified copy replaces it.
    auto job = std::make_unique<FileCopyJob>();
    job->addFile(m_nativePath.toStdString(), targetDir);
    job->setFreeSpaceQuery(&FilePages::freeSpace);
    job->setStampNewest(m_isUsbFile);   // copies into internal storage list first
    m_copyJob = std::move(job);
    m_copyKind = CopyKind::Button;
    m_copyJob->start();   // a thread that cannot start is reported by the poll
    m_copyTimer->start();
}

void BuildFileManage::showCopyProgress()
{
    if (!m_copyJob) {
        m_copyTimer->stop();
        return;
    }
    if (m_copyKind == CopyKind::Print)
        pollPrintCopy();
    else
        pollButtonCopy();
}

void BuildFileManage::pollButtonCopy()
{
    const FileCopyProgress p = m_copyJob->progress();
    if (!m_copyProgress) {
        // Cancel pressed: the copy stops and the old file stays; a copy that
        // was already complete is verified and stays too.
        qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "copy cancelled, result so far:"
                 << fileCopyResultName(p.result);
        endCopy();
        return;
    }
    if (!p.finished()) {
        if (p.verifying) {
            m_copyProgress->setValue(m_copyTotalBytes);
            m_copyProgress->setLabelText(tr("Verifying file..."));
        } else {
            m_copyProgress->setValue(p.fileDone);
        }
        return;
    }

    if (p.result == FileCopyResult::Done)
        qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "copy end";
    else
        qWarning() << LOG_SRC("UI/buildfilemanage.cpp") << "Failure copy end:" << fileCopyResultName(p.result);
    endCopy();
    if (p.result == FileCopyResult::Done) {
        oneButtonDialogShow(tr("Copy completed"));
        return;
    }
    showCopyFailure(p.result);
}

void BuildFileManage::pollPrintCopy()
{
    const FileCopyProgress p = m_copyJob->progress();
    if (!p.finished())
        return;
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "copy for printing ended:" << fileCopyResultName(p.result);
    if (p.result == FileCopyResult::VerifyFailed && m_printCopyAttempts < kPrintCopyAttempts) {
        m_copyJob.reset();
        startPrintCopyAttempt();
        return;
    }
    const std::string copy = m_printCopyPath;
    endCopy();
    if (p.result == FileCopyResult::Done) {
        m_printCopyPath.clear();
        startPrint(QFile::decodeName(QByteArray::fromStdString(copy)));
        return;
    }
    showCopyFailure(p.result);
}

void BuildFileManage::showCopyFailure(FileCopyResult result)
{
    // A cancel says nothing; a disk that filled up during the copy is named
    // as such, since another try would only fill it again.
    if (result == FileCopyResult::Cancelled)
        return;
    oneButtonDialogShow(result == FileCopyResult::DiskFull ? tr("Storage space is not enough") : tr("Please retry"));
}

bool BuildFileManage::copyBusy() const
{
    return m_copyJob || m_copyProgress || m_printWait;
}

bool BuildFileManage::printCopyRunning() const
{
    return m_copyJob && m_copyKind == CopyKind::Print;
}

void BuildFileManage::endCopy()
{
    if (m_copyTimer)
        m_copyTimer->stop();
    if (m_copyJob)
        m_copyJob->cancel();   // nothing to stop when it has finished
    m_copyJob.reset();
    m_copyKind = CopyKind::None;
    if (m_copyProgress) {
        disconnect(m_copyProgress, &QObject::destroyed, this, nullptr);
        m_copyProgress->close();
        m_copyProgress = nullptr;
    }
    if (m_printWait) {
        m_printWait->close();
        m_printWait = nullptr;
    }
}

void BuildFileManage::on_back_clicked()
{
    qDebug() << LOG_SRC("UI/buildfilemanage.cpp");
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    if (printCopyRunning()) {
        qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "the copy before printing runs: no Back";
        return;
    }
    close();
}

void BuildFileManage::closeEvent(QCloseEvent* event)
{
    // Only a pulled stick stops the copy before printing (and ends it before
    // it closes the page): the page stays until the print starts from it.
    if (printCopyRunning()) {
        qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "the copy before printing runs: the page stays";
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
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
    // Every copy involves the stick: one that has not finished is stopped.
    if (m_copyJob) {
        PageGuard alive(this);
        if (m_copyJob->finished()) {
            showCopyProgress();   // it ended before the stick went: say how
        } else {
            qDebug() << LOG_SRC("UI/buildfilemanage.cpp") << "stick removed during a copy";
            endCopy();
            // Owned by no page, so closing the list of the stick leaves it up.
            FilePages::showMessage(nullptr, tr("USB Disk removed,\ncopy stopped"));
        }
        if (!alive)
            return;
    }
    if (!m_isUsbFile)
        return;
    if (m_deleteQuestion)
        m_deleteQuestion->close();
    close();
}
