#pragma once
// The unload filament wizard: heats the nozzle, pushes a little filament
// forward, pulls it back out of the extruder and switches the heaters off.
#include <QPointer>
#include <QWidget>
#include "Execute/MachineRules.h"

class SerialObject;
class QTimer;
class TwoButtonDialog;
namespace Ui { class UnloadFilament; }

class UnloadFilament : public QWidget {
    Q_OBJECT
public:
    explicit UnloadFilament(QWidget* parent = nullptr);
    ~UnloadFilament() override;

    static constexpr int extruderSetTemp = MachineRules::FilamentTemp;
    static UnloadFilament* instUnloadFilament;
    // The wizard's tick; tests shorten it or stretch it to tick by hand.
    static int tickMs;

    // One step of the wizard: 1 while the temperature is abnormal, -1 once the
    // unload has completed (or stalled), 0 otherwise.
    int performChangeFilamentProcess();
    int unloadState() const { return m_unloadState; }

signals:
    void sig_preheatCompleted();
    void sig_unloadFilamentCompleted();
    void sig_abnormalTemperature();
    void sig_closePage();

public slots:
    void showCheckProgress();
    void on_close_pressed();
    void on_back_clicked();
    void on_back_pressed();
    void on_back_released();
    void preheatCompleted();
    void unloadFilamentCompleted();
    void abnormalTemperature();
    void closePage();
    void closeOperation();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The extruder move has ended; gives up on the machine when its limit has passed.
    bool moveEnded();
    void giveUp(MachineRules::Trouble why);
    void showBack();

    Ui::UnloadFilament* ui;
    SerialObject* m_serial = nullptr;
    int m_unloadState = 1;
    bool m_abnormal = false;
    bool m_closing = false;
    QTimer* m_checkTimer = nullptr;
    MachineRules::MoveWait m_moveWait;
    bool m_stalled = false;         // the wizard has given up on the machine
    QPointer<TwoButtonDialog> m_question;
};
