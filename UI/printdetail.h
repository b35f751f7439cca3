#pragma once
// The in-print adjustments page: nozzle and bed targets, print speed and Z
// offset of the running job. OK applies them and keeps them for a power-off resume.
#include <QDialog>

class SerialObject;
class QLabel;
class QToolButton;
namespace Ui { class PrintDetail; }

class PrintDetail : public QDialog {
    Q_OBJECT
public:
    // paused, gxFile and materialUsed as the menu hands them (logged only).
    // The caller gives the job's targets and then calls initView(), which
    // reads the record once.
    PrintDetail(bool paused, bool gxFile, int materialUsed, QWidget* parent = nullptr);
    ~PrintDetail() override;
    static PrintDetail* instPrintDetail;

    // Closes the open page; false when none was open.
    static bool closeOpen();

    // The job's own targets, shown when no adjustment has been stored.
    void setJobTargets(int nozzle, int platform);
    // Loads the values (the stored adjustments, or the job's targets) and shows them.
    void initView();

private slots:
    void on_back_clicked();
    void on_back_pressed();
    void on_back_released();
    void on_up_clicked();
    void on_down_clicked();
    void on_btnNozzleDec_pressed();
    void on_btnNozzleInc_pressed();
    void on_btnPlateDec_pressed();
    void on_btnPlateInc_pressed();
    void on_btnSpeedDec_pressed();
    void on_btnSpeedInc_pressed();
    void on_btnZDec_pressed();
    void on_btnZInc_pressed();
    void on_btnPurgeDec_pressed();
    void on_btnPurgeInc_pressed();
    void on_ok_clicked();
    void on_ok_2_clicked();

private:
    enum Value { Nozzle, Plate, Speed, ZOffset, Purge, ValueCount };
    struct Row {
        int lo, hi, step;
        QToolButton* dec;
        QToolButton* inc;
        QLabel* label;
    };
    void showValue(Value v);
    // One press of minus (dir -1) or plus (dir +1).
    void stepValue(Value v, int dir);
    void showPage(int index);
    void confirm(const QString& text, const QString& textWhenOpen);

    Ui::PrintDetail* ui;
    SerialObject* m_serial = nullptr;
    int m_values[ValueCount] = {210, 60, 100, 0, 100};
    int m_jobNozzle = 210;
    int m_jobPlate = 60;
    Row m_rows[ValueCount];
};
