#pragma once
// The preheat page: a set point and a start/cancel button for the nozzle and
// for the bed, with the measured temperatures while they heat.
#include <QDialog>

class SerialObject;
class QLabel;
class QProgressBar;
class QTimer;
class QToolButton;
namespace Ui { class Preheat; }

class Preheat : public QDialog {
    Q_OBJECT
public:
    explicit Preheat(QWidget* parent = nullptr);
    ~Preheat() override;
    static Preheat* instPreheat;

    // Kept for the whole run: set points (°C) and button states (1 idle, 0 heating).
    static int extruderSetTemp;
    static int platformSetTemp;
    static int preheatButtonExtruderState;
    static int preheatButtonPlatformState;

    // Period of the temperature monitor; tests shorten it.
    static int monitorTickMs;
    // Monitor ticks a reached target is held before the heating goes off (about ten minutes).
    static constexpr int HoldTicks = 600;

private slots:
    void on_back_clicked();
    void on_extruderTempMinus_pressed();
    void on_extruderTempMinus_released();
    void on_extruderTempPlus_pressed();
    void on_extruderTempPlus_released();
    void on_platformTempMinus_pressed();
    void on_platformTempMinus_released();
    void on_platformTempPlus_pressed();
    void on_platformTempPlus_released();
    void displayExtruderAndPlatformTempValue();
    void showExtruderOrPlatformTemp();
    void on_nozzleStart_pressed();
    void on_plateStart_pressed();

private:
    enum Heater { Nozzle, Bed };
    // The widgets and class-wide values of one heater's row.
    struct Row {
        QToolButton* minus;
        QToolButton* plus;
        QLabel* setPoint;
        QToolButton* start;
        QProgressBar* progress;
        QLabel* current;
        QLabel* target;
        int& setTemp;
        int& state;
        int low;
        int high;
    };
    Row row(Heater heater);
    void startStepping(int direction);
    void stopStepping();
    void toggleHeater(Heater heater);
    void showIdle(Heater heater);
    void showHeating(Heater heater);
    void showReadings(Heater heater, int current, int target);
    void switchHeater(Heater heater, int temp);
    bool overTemperature(int nozzle);

    Ui::Preheat* ui;
    SerialObject* m_serial = nullptr;
    bool m_held = false;        // a set-point button is down
    int m_direction = 4;        // 0 nozzle down, 1 nozzle up, 2 bed down, 3 bed up, 4 none
    QTimer* m_repeat = nullptr;
    bool m_reached = false;     // a heating heater has reached its target
    int m_holdTicks = 0;        // monitor ticks since then
    bool m_tooHot = false;      // the over-temperature stop has been made for this episode
};
