#pragma once
// The probing page: homes, then probes the platform at nine points on a
// worker thread of its own, one step a second, and logs the heights it reads.
#include <QString>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include "Execute/CExecuteReturnHome.h"
#include "Execute/MachineRules.h"

class SerialObject;
class QCloseEvent;

class ExtruderCalibration : public QWidget, public ReturnHomeListener {
    Q_OBJECT
public:
    explicit ExtruderCalibration(QWidget* parent = nullptr);
    ~ExtruderCalibration() override;
    static ExtruderCalibration* instExtruderCalibration;
    // Time between two steps of the worker; tests shorten it.
    static int stepIntervalMs;

    void checkReturnHomeDone() override;
    void returnHomeFailed() override;

    // One step of the run: 0 to go on, -1 when probing is over.
    int performAutoCalibrationProcess();
    // One step of the current point; returns the new phase (3: point done).
    int onePointProcess(QString moveCommand);
    // 0 when every move has ended, 1 while the machine still moves, -1 when
    // the wait has given up (the run has stopped).
    int returnMotorMoveStatus();
    static void* autoCalibrationPthread(void* page);

signals:
    // Worker to GUI thread, always queued: the point now probed (10: done).
    void sig_pointReached(int point);
    void sig_workerEnded();
    void sig_gaveUp(int why);

private slots:
    void on_back_clicked();
    void on_back_pressed();
    void on_back_released();
    void showPoint(int point);
    void workerEnded();
    void showTrouble(int why);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Widgets;
    bool stopRequested();
    bool sleepStep();          // false when asked to end meanwhile
    void requestStop();
    void joinWorker();
    void logReading(const QString& reply);
    // Stops the machine and stows the probe; the run ends with the cause shown.
    // Either thread: the cause reaches the screen through sig_gaveUp.
    void stopMachine(MachineRules::Trouble why);
    bool sendStep(const QString& command);

    std::atomic<int> m_probePoint{0};
    std::atomic<int> m_probePhase{0};
    Widgets* ui = nullptr;
    SerialObject* m_serial = nullptr;
    pthread_t m_calibrationThread{};
    bool m_hasThread = false;
    MachineRules::MoveWait m_moveWait;   // the worker's own
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_workerRunning{false};

    std::mutex m_stopMutex;
    std::condition_variable m_stopWake;
    bool m_stop = false;
    bool m_closing = false;
};
