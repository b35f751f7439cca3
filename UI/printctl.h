#pragma once
// The small menu the printing page opens over itself during a job: filament
// change, the in-print adjustments and the printer's light.
#include <QDialog>

class SerialObject;
namespace Ui { class PrintCtl; }

class PrintCtl : public QDialog {
    Q_OBJECT
public:
    // gxFile, materialUsed, the job's nozzle and bed targets, and whether the
    // job was paused when the menu opened. The caller shows the menu.
    PrintCtl(bool gxFile, int materialUsed, int nozzleTemp, int platformTemp, bool paused,
             QWidget* parent = nullptr);
    ~PrintCtl() override;
    static PrintCtl* instHandle;

    // Closes the open menu (and with it the adjustments page); false when none was open.
    static bool closeOpen();

private slots:
    void on_LightSet_clicked();
    void on_ChangeFilament_clicked();
    void on_printset_clicked();
    void on_ChangeFilament_pressed();
    void on_ChangeFilament_released();
    void on_printset_pressed();
    void on_printset_released();

private:
    void showLight();

    Ui::PrintCtl* ui;
    SerialObject* m_serial = nullptr;
    bool m_gxFile;
    int m_materialUsed;
    int m_nozzleTemp;
    int m_platformTemp;
    bool m_paused;
    bool m_lightOn = true;
};
