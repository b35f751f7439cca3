#include "UI/showtfcard.h"
#include "ui_showtfcard.h"

#include "Execute/COneTimesClicked.h"
#include "Dialog/onebuttondialog.h"
#include "Dialog/progressdialog.h"
#include "Dialog/twobuttondialog.h"
#include "Files/FileCopy.h"
#include "UI/buildfilemanage.h"
#include "UI/filepagehelpers.h"
#include "UI/mainwindow.h"
#include "tools/Log.h"
#include "tools/PagePointer.h"
#include "tools/RootPath.h"
#include "wifiDevice/ServerListener.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFontMetrics>
#include <QIcon>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

ShowTFCard* ShowTFCard::instShowTFCard = nullptr;

namespace {

const QString ICON_PATH = ":/Resource/icon/";

const char* const kNormalLook =
    "QToolButton{border:0px;color:#222222;border-radius:20px;padding-top:5px;font:16px}"
    "QToolButton:pressed{border: 0px;color:#3993FA}";
const char* const kSelectLook =
    "QToolButton{border:0px;color:#222230;border-radius:20px;padding-top:5px;font:16px}"
    "QToolButton:pressed{border: 0px;color:#222230}";

constexpr int kSlots = 4;
constexpr int kCopyPollMs = 1000;

bool insideRoot(const std::string& path, const std::string& root)
{
    if (root == "/")
        return true;
    return path == root
        || (path.size() > root.size() && path.compare(0, root.size(), root) == 0
            && path[root.size()] == '/');
}

// What an entry really is: a folder, a regular file, or 0 for anything else
// (FIFO, device, socket, a dangling link or a link leading out of the storage).
int entryKind(const std::string& path, const std::string& root)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return 0;
    if (S_ISLNK(st.st_mode)) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (!resolved)
            return 0;
        const std::string target(resolved);
        std::free(resolved);
        if (!insideRoot(target, root) || ::stat(target.c_str(), &st) != 0)
            return 0;
    }
    if (S_ISDIR(st.st_mode))
        return qxsdk::FileInfo::Directory;
    if (S_ISREG(st.st_mode))
        return qxsdk::FileInfo::File;
    return 0;
}

bool newerFirst(const qxsdk::FileInfo& a, const qxsdk::FileInfo& b)
{
    if (a.mtime != b.mtime)
        return a.mtime > b.mtime;
    if (a.mtimeNsec != b.mtimeNsec)
        return a.mtimeNsec > b.mtimeNsec;
    return a.path < b.path;   // one folder: the names decide
}

std::string resolvedOr(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string parentOf(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return path;
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}

ShowTFCard::ShowTFCard(ShowFilesFromWhere where, QWidget* parent)
    : QDialog(parent), m_fromWhere(where), ui(new Ui::ShowList)
{
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << "from" << where;
    ui->setupUi(this);
    FilePages::setupPage(this);
    instShowTFCard = this;

    m_fileButtons = {ui->toolButton_2, ui->toolButton_3, ui->toolButton_4, ui->toolButton_5};
    m_checkBoxes = {ui->checkBox, ui->checkBox_2, ui->checkBox_3, ui->checkBox_4};
    for (int i = 0; i < kSlots; ++i) {
        QToolButton* button = m_fileButtons[i];
        button->setIconSize(QSize(100, 130));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setStyleSheet(kNormalLook);
        connect(button, &QToolButton::pressed, this, &ShowTFCard::slot_click_btn_pressed);
        connect(button, &QToolButton::released, this, &ShowTFCard::slot_click_btn_released);
        // A touch on the tick box belongs to the file button beneath it, so
        // the tick can never differ from the selection.
        m_checkBoxes[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    visibleBox(false);

    m_rootPath = ::rootPath(std::string(where == FromMemory ? PrinterPath::Data : PrinterPath::Media));
    m_rootResolved = resolvedOr(m_rootPath);
    readFolder(m_rootPath);

    m_pressTimer = new QTimer(this);
    m_pressTimer->setInterval(500);
    connect(m_pressTimer, &QTimer::timeout, this, &ShowTFCard::slot_delay_click);
    m_copyTimer = new QTimer(this);
    m_copyTimer->setInterval(kCopyPollMs);
    connect(m_copyTimer, &QTimer::timeout, this, &ShowTFCard::showCopyProgress);

    if (MainWindow* main = MainWindow::instMainWindow) {
        if (main->m_serverListener)
            connect(main->m_serverListener, &ServerListener::sig_showMemoryList,
                    this, &ShowTFCard::slot_showmemorylist);
        connect(main, &MainWindow::sig_usbUnmount, this, &ShowTFCard::slot_usbRemove);
        connect(main, &MainWindow::sig_usbMount, this, &ShowTFCard::slot_usbInsert);
    }
}

ShowTFCard::~ShowTFCard()
{
    qDebug() << LOG_SRC("UI/showtfcard.cpp");
    // A running copy is cancelled, not waited for: its thread removes its
    // temporary file and ends by itself.
    stopCopy();
    m_fileList.clear();
    m_selectedFiles.clear();
    if (TwoButtonDialog::instTwoButtonDialog) {
        TwoButtonDialog::instTwoButtonDialog->close();
        TwoButtonDialog::instTwoButtonDialog = nullptr;
    }
    // Only a message of this page: one that another page shows (a file page
    // telling that the stick went during its copy) stays until acknowledged.
    if (OneButtonDialog* message = FilePages::messageOf(this)) {
        message->close();
        OneButtonDialog::instOneButtonDialog = nullptr;
    }
    for (int i = 0; i < kSlots; ++i) {
        delete m_fileButtons[i];
        delete m_checkBoxes[i];
    }
    instShowTFCard = nullptr;
    if (MainWindow* main = MainWindow::instMainWindow) {
        if (main->m_serverListener)
            disconnect(main->m_serverListener, nullptr, this, nullptr);
        disconnect(main, nullptr, this, nullptr);
    }
    delete ui;
}

int ShowTFCard::listFolder(const std::string& folder, const std::string& storageRoot,
                           std::vector<qxsdk::FileInfo>& out)
{
    out.clear();
    static const std::vector<std::string> suffixes{".gcode", ".g", ".gx"};
    std::vector<qxsdk::FileInfo> listed;
    const int rc = qxsdk::FileManager::entryList(listed, folder, false, false, true, "", suffixes);
    if (rc != 0)
        return rc;

    std::vector<qxsdk::FileInfo> folders;
    std::vector<qxsdk::FileInfo> files;
    for (qxsdk::FileInfo& entry : listed) {
        const int kind = entryKind(entry.path, storageRoot);
        // The listing's type must still hold: a folder only escapes the
        // suffix filter as long as it is a folder.
        if (kind == 0 || kind != entry.type)
            continue;
        if (kind == qxsdk::FileInfo::Directory) {
            const std::string name = FilePages::baseName(entry.path);
            if (name == "lost+found" || name == "System Volume Information")
                continue;
            folders.push_back(std::move(entry));
        } else {
            files.push_back(std::move(entry));
        }
    }
    std::sort(folders.begin(), folders.end(), newerFirst);
    std::sort(files.begin(), files.end(), newerFirst);
    out = std::move(folders);
    out.insert(out.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
    return 0;
}

void ShowTFCard::getDiskFileList(QString path)
{
    readFolder(QFile::encodeName(path).toStdString());
}

void ShowTFCard::readFolder(const std::string& nativePath)
{
    for (QToolButton* button : m_fileButtons)
        button->hide();
    m_currentPath = nativePath;
    m_fileList.clear();
    m_fileCount = 0;
    m_currentPage = 0;

    const int rc = listFolder(m_currentPath, m_rootResolved, m_fileList);
    if (rc != 0) {
        qWarning() << LOG_SRC("UI/showtfcard.cpp") << "entrylist error" << rc
                   << FilePages::displayName(m_currentPath);
        m_fileList.clear();
        m_pageCount = 1;
        for (QCheckBox* box : m_checkBoxes)
            box->hide();
        return;
    }

    m_fileCount = static_cast<int>(m_fileList.size());
    // One line per folder: a line per file would rotate the log away on a big stick.
    const auto folders = std::count_if(m_fileList.begin(), m_fileList.end(), [](const qxsdk::FileInfo& e) {
        return e.type == qxsdk::FileInfo::Directory;
    });
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << FilePages::displayName(m_currentPath) << m_fileCount << "entries,"
             << folders << "folders";
    m_pageCount = (m_fileCount - 1) / kSlots + 1;
    ui->label->setText(QString("1/%1").arg(m_pageCount));
    showFileMsgToWidget();
}

void ShowTFCard::showFileMsgToWidget()
{
    showPage(0);
}

void ShowTFCard::showPage(int page)
{
    m_currentPage = page;
    for (int i = 0; i < kSlots; ++i) {
        m_fileButtons[i]->hide();
        m_checkBoxes[i]->hide();
        m_checkBoxes[i]->setChecked(false);
    }
    for (int i = 0; i < kSlots; ++i) {
        const int index = page * kSlots + i;
        if (index >= m_fileCount)
            break;
        fillSlot(i, m_fileList[static_cast<size_t>(index)]);
    }
}

void ShowTFCard::updateIndicator()
{
    ui->label->setText(QString("%1/%2").arg(m_currentPage + 1).arg(m_pageCount));
}

QPixmap ShowTFCard::readFileGetPixmap(const QString& path, int w, int h)
{
    return BuildFileManage::getPixmap(path, w, h);
}

void ShowTFCard::fillSlot(int slot, const qxsdk::FileInfo& entry)
{
    QToolButton* button = m_fileButtons[slot];
    QCheckBox* box = m_checkBoxes[slot];
    if (entry.type == qxsdk::FileInfo::Directory) {
        button->setIcon(QIcon(QPixmap(ICON_PATH + "Folder.png")
                                  .scaled(100, 130, Qt::KeepAspectRatio, Qt::FastTransformation)));
        box->hide();
        box->setChecked(false);
    } else {
        QPixmap thumbnail;
        // A name that does not survive the trip through QString would reach
        // another file; such a file simply gets the generic icon.
        if (FilePages::roundTrips(entry.path))
            thumbnail = readFileGetPixmap(FilePages::displayName(entry.path), 100, 130);
        if (thumbnail.isNull())
            thumbnail = FilePages::genericFileIcon(100, 130);
        button->setIcon(QIcon(thumbnail));
        if (m_selectMode) {
            const bool ticked = std::find(m_selectedFiles.begin(), m_selectedFiles.end(), entry.path)
                != m_selectedFiles.end();
            box->setChecked(ticked);
            box->show();
        }
    }
    const QString name = FilePages::displayName(FilePages::baseName(entry.path));
    button->ensurePolished();   // the style sheet's font decides the width
    button->setText(button->fontMetrics().elidedText(name, Qt::ElideRight, button->width()));
    button->show();
}

void ShowTFCard::visibleBox(bool visible)
{
    for (QCheckBox* box : m_checkBoxes)
        box->setVisible(visible);
    ui->delectBtn->hide();
    ui->copyBtn->hide();
}

void ShowTFCard::on_down_pressed()
{
    if (m_fileCount <= 3)
        return;
    if ((m_currentPage + 1) * kSlots < m_fileCount) {
        showPage(m_currentPage + 1);
        updateIndicator();
    }
}

void ShowTFCard::on_up_pressed()
{
    if (m_fileCount <= 3)
        return;
    if (m_currentPage > 0) {
        showPage(m_currentPage - 1);
        updateIndicator();
    }
}

int ShowTFCard::slotOfSender() const
{
    for (int i = 0; i < kSlots; ++i)
        if (sender() == m_fileButtons[i])
            return i;
    return -1;
}

void ShowTFCard::slot_click_btn_pressed()
{
    const int slot = slotOfSender();
    const int index = m_currentPage * kSlots + slot;
    m_pressedSlot = slot;
    m_pressedPath = (slot >= 0 && index < m_fileCount) ? m_fileList[static_cast<size_t>(index)].path
                                                       : std::string();
    if (!m_pressTimer->isActive())
        m_pressTimer->start();
}

void ShowTFCard::slot_delay_click()
{
    m_pressTimer->stop();
}

void ShowTFCard::slot_click_btn_released()
{
    const bool shortPress = m_pressTimer->isActive();
    m_pressTimer->stop();
    const int slot = slotOfSender();
    const int pressedSlot = m_pressedSlot;
    const std::string pressedPath = m_pressedPath;
    m_pressedSlot = -1;
    m_pressedPath.clear();
    if (slot < 0 || slot != pressedSlot)
        return;

    // The list may have been read again while the button was held.
    const int index = m_currentPage * kSlots + slot;
    if (index >= m_fileCount || m_fileList[static_cast<size_t>(index)].path != pressedPath
        || m_fileButtons[slot]->isHidden()) {
        qDebug() << LOG_SRC("UI/showtfcard.cpp") << "the pressed entry is gone";
        return;
    }
    if (!shortPress) {
        if (m_selectMode)
            return;
        enterSelectMode();
    }
    activateEntry(index);
}

void ShowTFCard::enterSelectMode()
{
    ui->delectBtn->show();
    m_selectMode = true;
    ui->copyBtn->setVisible(FilePages::usbMounted());
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << "change to DISBUTTONSTYLE";
    for (QToolButton* button : m_fileButtons)
        button->setStyleSheet(kSelectLook);
    for (int i = 0; i < kSlots; ++i) {
        const int index = m_currentPage * kSlots + i;
        if (index >= m_fileCount)
            break;
        if (m_fileList[static_cast<size_t>(index)].type == qxsdk::FileInfo::Directory)
            m_checkBoxes[i]->hide();
        else if (!m_fileButtons[i]->isHidden())
            m_checkBoxes[i]->show();
    }
}

void ShowTFCard::leaveSelectMode()
{
    m_selectMode = false;
    m_selectedFiles.clear();
    visibleBox(false);
    for (QCheckBox* box : m_checkBoxes)
        box->setChecked(false);
    for (QToolButton* button : m_fileButtons)
        button->setStyleSheet(kNormalLook);
    update();
}

void ShowTFCard::activateEntry(int index)
{
    // A copy: opening a folder replaces the list.
    const qxsdk::FileInfo entry = m_fileList[static_cast<size_t>(index)];
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << "select fileName:" << FilePages::displayName(entry.path);
    if (entry.type == qxsdk::FileInfo::Directory) {
        readFolder(entry.path);
        return;
    }
    if (m_selectMode) {
        toggleSelection(index % kSlots, entry.path);
        return;
    }
    if (BuildFileManage::instBuildFileManage)
        return;
    auto* page = new BuildFileManage(BuildFileManage::NativePath{QByteArray::fromStdString(entry.path)},
                                     nullptr);
    BuildFileManage::instBuildFileManage = page;
    page->show();
}

void ShowTFCard::toggleSelection(int slot, const std::string& path)
{
    auto it = std::find(m_selectedFiles.begin(), m_selectedFiles.end(), path);
    if (it == m_selectedFiles.end()) {
        m_selectedFiles.push_back(path);
        m_checkBoxes[slot]->setChecked(true);
    } else {
        m_selectedFiles.erase(it);
        m_checkBoxes[slot]->setChecked(false);
    }
}

void ShowTFCard::on_back_clicked()
{
    qDebug() << LOG_SRC("UI/showtfcard.cpp");
    if (!OneTimesClicked().acceptPagePress(this))
        return;
    const bool atRoot = m_currentPath == m_rootPath;
    if (m_selectMode && (m_selectedFiles.empty() || atRoot)) {
        leaveSelectMode();
        return;
    }
    if (!atRoot) {
        std::string parent = parentOf(m_currentPath);
        if (!insideRoot(parent, m_rootPath))
            parent = m_rootPath;
        qDebug() << LOG_SRC("UI/showtfcard.cpp") << " search path: " << FilePages::displayName(parent);
        readFolder(parent);
        return;
    }
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << " close";
    close();
}

void ShowTFCard::on_delectBtn_clicked()
{
    qDebug() << LOG_SRC("UI/showtfcard.cpp");
    if (m_selectedFiles.empty())
        return;
    PageGuard alive(this);
    if (TwoButtonDialog::instTwoButtonDialog) {
        TwoButtonDialog::instTwoButtonDialog->close();
        QCoreApplication::processEvents();
        TwoButtonDialog::instTwoButtonDialog = nullptr;
        if (!alive)
            return;
    }
    auto* question = new TwoButtonDialog(tr("Are you sure to delete"), tr("Are you sure\n to delete the file?"),
                                         tr("OK"), tr("Cancel"), nullptr);
    TwoButtonDialog::instTwoButtonDialog = question;
    const int answer = question->exec();
    // The stick may have been pulled meanwhile, which closes this page.
    if (!alive)
        return;

    if (answer == QDialog::Accepted) {
        for (const std::string& path : m_selectedFiles) {
            qDebug() << LOG_SRC("UI/showtfcard.cpp") << "delete select file:" << FilePages::displayName(path);
            if (m_fromWhere == FromUsbDisk && !FilePages::usbMounted())
                break;
            struct stat st;
            int rc = 0;
            if (::lstat(path.c_str(), &st) != 0)
                rc = qxsdk::FileManager::remove(path);   // gone already: only logged
            else if (S_ISDIR(st.st_mode))
                rc = -EISDIR;   // only files are ever selected: never remove a folder that took a file's place
            else if (S_ISLNK(st.st_mode))
                rc = ::unlink(path.c_str()) == 0 ? 0 : -errno;   // the link, never what it points at
            else
                rc = qxsdk::FileManager::remove(path);
            if (rc != 0)
                qWarning() << LOG_SRC("UI/showtfcard.cpp") << "delete file [Error]:" << FilePages::displayName(path);
        }
        ::sync();
    }
    leaveSelectMode();
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << " delete complete , get file again";
    readFolder(m_rootPath);
}

void ShowTFCard::on_copyBtn_clicked()
{
    qDebug() << LOG_SRC("UI/showtfcard.cpp");
    if (m_selectedFiles.empty())
        return;
    if (m_copyJob || m_copyProgress) {
        qDebug() << LOG_SRC("UI/showtfcard.cpp") << "a copy is running";
        return;
    }
    const int64_t selectedBytes = FileCopyJob::totalSize(m_selectedFiles);
    int64_t freeSpace = -1;
    if (m_fromWhere == FromMemory) {
        if (!FilePages::usbMounted()) {
            oneButtonDialogShow(tr("Please insert USB Disk !"));
            return;
        }
        freeSpace = FilePages::freeSpace(::rootPath(std::string(PrinterPath::Media)).c_str());
    } else {
        freeSpace = FilePages::freeSpace(::rootPath(std::string(PrinterPath::Data)).c_str());
    }
    if (freeSpace < selectedBytes) {
        oneButtonDialogShow(tr("Storage space is not enough"));
        return;
    }

    PageGuard alive(this);
    ProgressDialog* progress = ProgressDialog::instProgressDialog;
    if (!progress)
        progress = new ProgressDialog("", tr("Copy File..."), nullptr);
    m_copyProgress = progress;
    OneButtonDialog* gate = OneButtonDialog::instOneButtonDialog;
    if (gate)
        gate->setLabelText(tr("Copy File..."));
    else
        gate = new OneButtonDialog("", tr("Copy File..."), tr("Cancel"), nullptr);
    FilePages::setMessageOwner(gate, this);
    m_copyGate = gate;
    progress->show();
    progress->setValue(0);
    repaint();
    QCoreApplication::processEvents();
    if (!alive)
        return;
    if (!m_copyProgress) {
        qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy cancelled before it started";
        if (m_copyGate && !m_copyGate->isVisible())
            m_copyGate->close();
        return;
    }
    // Cancel is acted on at once, not at the next poll.
    connect(progress, &QObject::destroyed, this, [this] {
        if (m_copyJob)
            m_copyJob->cancel();
        QTimer::singleShot(0, this, &ShowTFCard::showCopyProgress);
    });
    TFDiskCopyAllFile();
}

void ShowTFCard::TFDiskCopyAllFile()
{
    if (!FilePages::usbMounted()) {
        qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy fail , usb remove";
        copyFail(0);
        return;
    }
    if (!m_copyGate) {
        qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy fail , click cancel";
        return;
    }
    // Every copy lands in the other storage's root folder.
    const std::string targetDir = ::rootPath(std::string(m_fromWhere == FromMemory ? PrinterPath::Media
                                                                                   : PrinterPath::Data));
    auto job = std::make_unique<FileCopyJob>();
    for (const std::string& source : m_selectedFiles) {
        const std::string target = job->addFile(source, targetDir);
        qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy start targetPath:" << FilePages::displayName(target);
    }
    job->setFreeSpaceQuery(&FilePages::freeSpace);
    job->setStampNewest(m_fromWhere == FromUsbDisk);   // copies into internal storage list first
    m_copyJob = std::move(job);
    // The gate gone: the file being copied is finished, no other is begun.
    connect(m_copyGate, &QObject::destroyed, this, [this] {
        if (m_copyJob)
            m_copyJob->stopBeforeNextFile();
    });
    m_copyJob->start();   // a thread that cannot start is reported by the poll
    m_copyTimer->start();
    showCopyProgress();
}

void ShowTFCard::showCopyProgress()
{
    if (!m_copyJob) {
        m_copyTimer->stop();
        return;
    }
    const FileCopyProgress p = m_copyJob->progress();
    if (!m_copyProgress) {
        // Cancel pressed: the file being copied is dropped, earlier ones stay.
        if (p.result == FileCopyResult::Done)
            copySuccessful();
        else
            copyCancelled();
        return;
    }
    if (!p.finished()) {
        const QString count = QString("(%1/%2)").arg(std::max(p.fileIndex, 1)).arg(p.fileCount);
        m_copyProgress->setLabelText((p.verifying ? tr("Verifying file...") : tr("Copy File...")) + count);
        if (p.fileIndex > 0) {   // each file's bar starts again at 0
            m_copyProgress->setMax(p.fileTotal);
            m_copyProgress->setValue(p.verifying ? p.fileTotal : p.fileDone);
        }
        return;
    }

    qDebug() << LOG_SRC("UI/showtfcard.cpp") << "g_isFail : " << (p.result == FileCopyResult::Done ? "false" : "true")
             << fileCopyResultName(p.result) << "at file" << p.failedIndex;
    switch (p.result) {
    case FileCopyResult::Done:
        copySuccessful();
        break;
    case FileCopyResult::Cancelled:
        if (!m_copyGate) {
            // Stopped between files because the gate went: no word, and the
            // selection, select mode and the progress screen stay as they are.
            qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy fail , click cancel";
            m_copyTimer->stop();
            m_copyJob.reset();
            disconnect(m_copyProgress, &QObject::destroyed, this, nullptr);
            m_copyProgress = nullptr;
            break;
        }
        copyCancelled();
        break;
    default:
        if (!FilePages::usbMounted()) {
            qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy fail , usb remove";
            copyFail(0);
        } else if (p.result == FileCopyResult::DiskFull) {
            // Another try would only fill it again: say why.
            qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy fail, storage full";
            copyEnded(tr("Storage space is not enough"));
        } else if (p.result == FileCopyResult::WriteError) {
            qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy file write fail, copy error";
            copyFail(1);
        } else if (p.result == FileCopyResult::VerifyFailed) {
            qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy file fail, md5 not same";
            copyFail(2);
        } else {
            qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy file fail, copy error";
            copyFail(3);
        }
        break;
    }
}

void ShowTFCard::copySuccessful()
{
    copyEnded(tr("Copy Complete"));
}

void ShowTFCard::copyFail(int code)
{
    copyEnded(tr("Copy Failed") + "(" + QString::number(code) + ")");
}

void ShowTFCard::copyCancelled()
{
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy file click cancel";
    stopCopy();
    leaveSelectMode();
    // A cancel says nothing: the gate that was never shown goes too.
    if (m_copyGate && !m_copyGate->isVisible())
        m_copyGate->close();
}

void ShowTFCard::copyEnded(const QString& text)
{
    stopCopy();
    leaveSelectMode();
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << "..................copy progress finished..............." << text;
    FilePages::showMessage(this, text, tr("Ok"));
}

void ShowTFCard::stopCopy()
{
    if (m_copyTimer)
        m_copyTimer->stop();
    if (m_copyJob)
        m_copyJob->cancel();   // nothing to stop when it has finished
    m_copyJob.reset();
    if (m_copyProgress) {
        disconnect(m_copyProgress, &QObject::destroyed, this, nullptr);
        m_copyProgress->close();
        m_copyProgress = nullptr;
    }
}

void ShowTFCard::oneButtonDialogShow(QString text)
{
    FilePages::showMessage(this, text);
}

void ShowTFCard::slot_usbInsert()
{
    if (m_selectMode)
        ui->copyBtn->show();
}

void ShowTFCard::slot_usbRemove()
{
    // Every copy involves the stick: one that has not finished is stopped at
    // once rather than left to run into read or write errors.
    const bool wasCopying = m_copyJob != nullptr;
    if (wasCopying) {
        PageGuard alive(this);
        if (m_copyJob->finished()) {
            showCopyProgress();   // it ended before the stick went: say how
        } else {
            qDebug() << LOG_SRC("UI/showtfcard.cpp") << "copy fail , usb remove";
            copyFail(0);
        }
        if (!alive)
            return;
    }
    if (m_fromWhere == FromMemory) {
        ui->copyBtn->hide();
        return;
    }
    if (wasCopying)
        return;   // the list stays under the message; Back closes it
    QTimer::singleShot(200, this, &ShowTFCard::delayClose);
}

void ShowTFCard::delayClose()
{
    qDebug() << LOG_SRC("UI/showtfcard.cpp");
    close();
}

void ShowTFCard::slot_showmemorylist()
{
    readFolder(m_currentPath);
    qDebug() << LOG_SRC("UI/showtfcard.cpp") << "end";
}
