#pragma once
// Filament change in the middle of a job: waits for the job's pause, heats the
// nozzle, pushes and pulls the old filament out, then feeds the new one until
// the user sees its colour. Back hands the paused job back to the printing page.
#include <QDialog>

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

    // Ticks a move may take before Back is offered again while it still runs.
    static int moveWaitTicks;

public slots:
    void on_back_clicked();
    void on_ok_clicked();
    void showCheckProgress();
    void performFilamentFeedingProcess();

private:
    void startHeating();
    // "M112", "G92 E0", then the extruder moves mm at 180 mm/min.
    void startExtruding(int mm);
    // Asks whether the last move has ended; offers Back when it runs too long.
    bool moveEnded();
    void abnormalTemperature();

    Ui::ChangFilament* ui;
    SerialObject* m_serial = nullptr;
    QTimer* m_timer = nullptr;
    int m_currentTemp = 0;
    int m_unloadState = 0;
    int m_feedState = 6;
    bool m_abnormal = false;
    int m_moveTicks = 0;
};
