#pragma once
// The file page: one print file with its thumbnail and print figures, and
// the print, copy and delete actions.
#include <QByteArray>
#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>

namespace Ui { class BuildFileManage; }
class FileCopyJob;
enum class FileCopyResult;
class NoButtonDialog;
class ProgressDialog;
class QCloseEvent;
class QTimer;
class TwoButtonDialog;

class BuildFileManage : public QDialog {
    Q_OBJECT
public:
    // A path by its own bytes, as the file list has it.
    struct NativePath {
        QByteArray bytes;
    };

    BuildFileManage(QString path, QWidget* parent = nullptr);
    explicit BuildFileManage(NativePath path, QWidget* parent = nullptr);
    ~BuildFileManage() override;
    static BuildFileManage* instBuildFileManage;

    // The thumbnail of a print file scaled into w x h (aspect ratio kept,
    // fast scaling), or a null pixmap when it has none.
    static QPixmap getPixmap(QString path, int w, int h);

    void oneButtonDialogShow(QString text);

    // For the tests and the screenshot tool.
    bool isGxFile() const { return m_isGxFile; }
    bool isUsbFile() const { return m_isUsbFile; }
    const QByteArray& nativePath() const { return m_nativePath; }

signals:
    void sig_updateDisk();

public slots:
    void slot_usbRemove();

private slots:
    // The 1000 ms poll of a running copy (copy button and copy before printing).
    void showCopyProgress();
    void on_buildPrint_clicked();
    void on_copyFile_clicked();
    void on_deleteFile_clicked();
    void on_back_clicked();
    void on_back_pressed();
    void on_back_released();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void copyButtonShow();
    void getPrintFileParam();
    void totalPrintFileTimeShow();
    void thumbnailShow();

    // Copies run on the copy engine's thread; the page only polls them.
    enum class CopyKind { None, Button, Print };
    // A copy runs, or its dialog is up and it is about to start.
    bool copyBusy() const;
    // The copy before printing is under way (it is never abandoned).
    bool printCopyRunning() const;
    // The one-press guard of the action buttons; false when the press must be
    // dropped (the page may be gone then).
    bool actionAllowed();
    void pollButtonCopy();
    void pollPrintCopy();
    void startPrintCopyAttempt();
    void endCopy();
    void showCopyFailure(FileCopyResult result);
    void startPrint(const QString& path);

    QString m_filePath;            // for display and for the APIs that take a QString
    Ui::BuildFileManage* ui;
    bool m_isGxFile = false;
    bool m_isUsbFile = false;
    int m_timeUsed = 0;            // seconds
    int m_materialUsed = 0;        // mm
    int m_layerHeight = 0;         // micrometres
    int m_speed = 0;               // mm/s

    QByteArray m_nativePath;       // the file's own bytes, for every file operation
    QPointer<TwoButtonDialog> m_deleteQuestion;

    std::unique_ptr<FileCopyJob> m_copyJob;   // the running copy, null when none
    CopyKind m_copyKind = CopyKind::None;
    QTimer* m_copyTimer = nullptr;
    QPointer<ProgressDialog> m_copyProgress;   // the copy button's progress
    QPointer<NoButtonDialog> m_printWait;      // shown while copying before printing
    std::string m_printCopyPath;              // final name of the copy made before printing
    qint64 m_copyTotalBytes = 0;
    int m_printCopyAttempts = 0;
};
