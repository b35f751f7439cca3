#pragma once
// The load filament wizard: heats the nozzle while the machine homes, moves
// the head to X0 Y0, then pushes filament through until the new colour shows.
#include <QPointer>
#include <QWidget>
#include "Execute/CExecuteReturnHome.h"
#include "Execute/MachineRules.h"

class SerialObject;
class QTimer;
class TwoButtonDialog;
namespace Ui { class LoadFilament; }

class LoadFilament : public QWidget, public ReturnHomeListener {
    Q_OBJECT
public:
    explicit LoadFilament(QWidget* parent = nullptr);
    ~LoadFilament() override;

    static constexpr int extruderSetTemp = MachineRules::FilamentTemp;
    static LoadFilament* instLoadFilament;
    // The wizard's tick; tests shorten it or stretch it to tick by hand.
    static int tickMs;

    void checkReturnHomeDone() override;
    void returnHomeFailed() override;
    // One step of the wizard: 1 while the temperature is abnormal, -1 once it
    // has finished, 0 otherwise.
    int performFilamentFeedingProcess();
    int feedState() const { return m_feedState; }

signals:
    void sig_abnormalTemperature();
    void sig_closePage();

public slots:
    void showCheckProgress();
    void on_close_pressed();
    void abnormalTemperature();
    void closePage();
    void closeOperation();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void stopHoming();
    // The push has ended; gives up on the machine when its limit has passed.
    bool moveEnded();
    // Stops the wizard for good: heaters off, the cause shown, the button leaves.
    void giveUp(MachineRules::Trouble why);

    Ui::LoadFilament* ui;
    SerialObject* m_serial = nullptr;
    int m_feedState = 0;
    bool m_abnormal = false;
    bool m_failed = false;          // the wizard gave up on the machine
    MachineRules::MoveWait m_moveWait;
    bool m_homed = false;
    bool m_closing = false;
    QTimer* m_checkTimer = nullptr;
    bool m_homingStart = false;
    bool m_homingRun = false;       // our homing run is registered and under way
    QPointer<TwoButtonDialog> m_question;
    bool m_closeWhenAnswered = false;
};
