#pragma once
// The file page: one print file with its thumbnail and print figures, and
// the print, copy and delete actions.
#include <QByteArray>
#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QString>

namespace Ui { class BuildFileManage; }
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
    void on_buildPrint_clicked();
    void on_copyFile_clicked();
    void on_deleteFile_clicked();
    void on_back_clicked();
    void on_back_pressed();
    void on_back_released();

private:
    void copyButtonShow();
    void getPrintFileParam();
    void totalPrintFileTimeShow();
    void thumbnailShow();

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
};
