#pragma once
// The file list page: the print files and folders of one storage, four to a
// page, with a select mode for deleting or copying several files.
#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "qxsdk/src/FileManager.h"

namespace Ui { class ShowList; }
class FileCopyJob;
class OneButtonDialog;
class ProgressDialog;
class QCheckBox;
class QTimer;
class QToolButton;

enum ShowFilesFromWhere {
    FromUsbDisk = 0,   // "/media"
    FromMemory = 1,    // "/data"
};

class ShowTFCard : public QDialog {
    Q_OBJECT
public:
    ShowTFCard(ShowFilesFromWhere where, QWidget* parent = nullptr);
    ~ShowTFCard() override;
    static ShowTFCard* instShowTFCard;

    // Makes path the folder shown and reads it, starting again at page 1.
    void getDiskFileList(QString path);
    void showFileMsgToWidget();
    static QPixmap readFileGetPixmap(const QString& path, int w, int h);
    void visibleBox(bool visible);

    // Lists the print files and folders of folder: only folders and regular
    // files (a link only when it stays inside storageRoot, which must be a
    // resolved path), folders first, each group newest first and equal times
    // by name, without the file systems' own folders. 0, or -errno.
    static int listFolder(const std::string& folder, const std::string& storageRoot,
                          std::vector<qxsdk::FileInfo>& out);

    // For the tests and the screenshot tool.
    const std::string& currentPath() const { return m_currentPath; }
    const std::string& rootPath() const { return m_rootPath; }
    bool selectMode() const { return m_selectMode; }
    const std::vector<std::string>& selectedFiles() const { return m_selectedFiles; }
    int currentPage() const { return m_currentPage; }
    int pageCount() const { return m_pageCount; }
    int fileCount() const { return m_fileCount; }
    const std::vector<qxsdk::FileInfo>& fileList() const { return m_fileList; }

public slots:
    void slot_showmemorylist();
    void slot_usbInsert();
    void slot_usbRemove();
    void delayClose();

private slots:
    void slot_click_btn_pressed();
    void slot_delay_click();
    void slot_click_btn_released();
    void on_up_pressed();
    void on_down_pressed();
    void on_back_clicked();
    void on_delectBtn_clicked();
    void on_copyBtn_clicked();
    // The 1000 ms poll of the copy of the selection.
    void showCopyProgress();

private:
    void readFolder(const std::string& nativePath);   // getDiskFileList by the path's own bytes
    void showPage(int page);
    void fillSlot(int slot, const qxsdk::FileInfo& entry);
    void updateIndicator();
    void enterSelectMode();
    void leaveSelectMode();
    void activateEntry(int index);
    void toggleSelection(int slot, const std::string& path);
    int slotOfSender() const;

    // Copy of the selection: the copy engine runs it on its own thread.
    void TFDiskCopyAllFile();
    void copySuccessful();
    void copyFail(int code);
    void copyCancelled();
    void copyEnded(const QString& text);
    void stopCopy();
    void oneButtonDialogShow(QString text);

    // Native paths (the names' own bytes) throughout; QString only for display.
    std::vector<std::string> m_selectedFiles;   // in the order they were ticked
    ShowFilesFromWhere m_fromWhere;
    Ui::ShowList* ui;
    QTimer* m_pressTimer = nullptr;
    std::array<QToolButton*, 4> m_fileButtons{};
    std::array<QCheckBox*, 4> m_checkBoxes{};
    std::vector<qxsdk::FileInfo> m_fileList;    // folders first, then files
    std::string m_currentPath;
    int m_fileCount = 0;
    int m_currentPage = 0;
    int m_pageCount = 1;
    bool m_selectMode = false;

    std::string m_rootPath;       // the storage's root as the page names it
    std::string m_rootResolved;   // the same with every link resolved
    int m_pressedSlot = -1;       // slot and entry of the press being timed
    std::string m_pressedPath;

    std::unique_ptr<FileCopyJob> m_copyJob;   // the running copy, null when none
    QTimer* m_copyTimer = nullptr;
    QPointer<ProgressDialog> m_copyProgress;
    // The one-button dialog kept hidden during a copy: the copy goes on to
    // another file only while it exists, and the final message reuses it.
    QPointer<OneButtonDialog> m_copyGate;
};
