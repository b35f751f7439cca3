#pragma once
// Filament change in the middle of a job: waits for the job's pause, heats the
// nozzle, pushes and pulls the old filament out, then feeds the new one until
// the user sees its colour. Back hands the paused job back to the printing page.
#include <QDialog>
#include "Execute/MachineRules.h"

class SerialObject;
class QTimer;
namespace Ui { class ChangFilament; }

class ChangFilament : public QDialog {
    Q_OBJECT
public:
    // openedPaused: the job was paused already when the change was chosen.
    explicit ChangFilament(bool openedPaused, QWidget* parent = nullptr);
    ~ChangFilament() override;
    static ChangFilament* instHandle;

    // Closes the open page without a command; false when none was open.
    static bool closeOpen();

    // The printing page parked the head for this change.
    void pause_success();

public slots:
    void on_back_clicked();
    void on_ok_clicked();
    void showCheckProgress();
    void performFilamentFeedingProcess();

private:
    void startHeating();
    // "M112", "G92 E0", then the extruder moves mm at 180 mm/min; false when
    // the page gave up because the controller did not confirm.
    bool startExtruding(int mm);
    // Sends a move of mm at 180 mm/min and starts its wait, as above.
    bool extrude(int mm);
    // Asks whether the last move has ended; gives up once its limit has passed.
    bool moveEnded();
    // Stops the change for good: "M112", heaters off, the cause shown, Back offered.
    void giveUp(MachineRules::Trouble why);
    void abnormalTemperature();

    Ui::ChangFilament* ui;
    SerialObject* m_serial = nullptr;
    QTimer* m_timer = nullptr;
    int m_currentTemp = 0;
    int m_unloadState = 0;
    int m_feedState = 6;
    bool m_abnormal = false;        // stopped: too hot, or given up on the machine
    bool m_heaterOff = false;       // the page has switched the nozzle heater off
    MachineRules::MoveWait m_moveWait;
};
