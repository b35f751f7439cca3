#pragma once
// The printing page: checks the chosen file, prepares the machine (heating,
// homing, start position), starts the print thread and then shows progress,
// pauses, resumes, cancels and finishes the job.
#include <QDeadlineTimer>
#include <QDialog>
#include <QString>
#include <atomic>
#include <mutex>
#include <pthread.h>
#include "Execute/CExecuteReturnHome.h"
#include "Execute/MachineRules.h"

class SerialObject;
class MainWindow;
class PolarClient;
class QTimer;
class QMouseEvent;
namespace Ui { class BuildPrint; }

// What the print thread needs; owned by the thread once it runs.
struct PrintThreadJob {
    SerialObject* link = nullptr;
    QString path;
};
// The print thread's entry: streams one file through the controller link.
// Takes a heap-allocated PrintThreadJob and deletes it.
void* startPrintPthread(void* job);

class BuildPrint : public QDialog, public ReturnHomeListener {
    Q_OBJECT
public:
    BuildPrint(QString filePath, QWidget* parent = nullptr);
    ~BuildPrint() override;
    static BuildPrint* instBuildPrint;

    void checkReturnHomeDone() override;
    void returnHomeFailed() override;

    // A fresh job: resume records, elapsed time and adjustments back to their
    // defaults. Ignored once the file is streaming.
    void ClearBuildTime();
    // The power-off resume path: keep the resume records, stream from the saved
    // line and carry the saved adjustments over. Call right after construction.
    void markPowerOffResume();
    // Layers reached and total ("12/215", "0/0" without a layer count). Safe from
    // any thread, also while or after the page goes away.
    static QString getPrintLayer();
    int getPrintBuildTime();
    bool getPrinterFileSendStatus();
    void updateSetParam(float zOffset, int speedPercent);
    bool getPrintFileParam();

    // Filament change during a print.
    void PausePrint();
    void EnablePrint();

    // 0 preparing, 1 printing (or heating for it), 2 paused, 3 ending.
    int getPrintState() const { return printState; }
    // Paused and standing still: the head has parked (or the machine was stopped
    // before streaming began), however the pause was asked for.
    bool pauseSettled() const { return printState == 2 && !m_parking && !m_pauseGaveUp; }

    // Tests: the function that creates the print thread (pthread_create by default).
    using ThreadCreator = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static void setThreadCreator(ThreadCreator creator);

    int m_printSpeed = 100;   // speed copy, percent
    int m_zOffset = 0;        // Z-offset copy, hundredths of a millimetre

signals:
    void sendPrintPauseToHome();

public slots:
    void showPrintLayer();
    void on_play_pause_pressed();
    void on_stop_clicked();
    void on_buildSetting_pressed();
    void checkMove();
    void checkPrintOverMove();
    void checkSpecifiedLocationMove();
    void doorOpenProcess();
    void printContinue();
    void printFileHasSendProcess();
    void printFileNoSendProcess(int currentNozzle);
    void printPause();
    void printPlayPauseDo();
    void printStop();
    void showExtruderTemp();
    void showPrintProgress(float persent);
    void slot_printAbort();
    void slot_printOver();
    void slot_printPause();
    void slot_printResume();
    void slot_printQuit();

private slots:
    void slot_readM25();
    void pollMotion();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    enum class PauseFrom { Button, FileM25, RunOut, Remote };
    // WaitPauseRequest: from a pause request to the print thread's report that it
    // stopped; the controller's queue runs out meanwhile.
    enum MotionWait { WaitStartPosition = 1, WaitPark = 2, WaitFinish = 4, WaitPauseRequest = 8 };

    void initData();
    void initView();
    void refuseFile();
    void freshJobReset();
    void applyPowerOffResume();
    void requestPause(PauseFrom from);
    void requestResume(bool fromButton);
    void stopJob(bool overTemperature);
    void cancelBeforeStart();
    void overTemperatureStop();
    void startPrintThread();
    void waitMotion(int what, int delayMs);
    void parkReached();
    void finishReached();
    void redoPreparation();
    void startHoming();
    void stopHoming();
    // A wait on the machine that did not end: heaters off, a message, and the
    // page leaves the wait (paused, or closed when the job cannot go on).
    void machineStuck(MachineRules::Trouble why);
    void endForLostController();
    void keepPauseTargets();
    void showPauseLook(bool pauseLook);
    void showNotice(const QString& text);
    void hideNotice();
    void showMessage(const QString& title, const QString& text, const QString& button);
    // Holds the page's work for ms with the screen drawn; false when the page
    // went away meanwhile.
    bool sleepKeepingPage(int ms);
    void setButtonsEnabled(bool enabled);
    // First stage of a pause: targets kept, LAN "paused", buttons locked.
    void lockForPause(bool withNotice);
    // The head has stopped: buttons back, notice gone.
    void unlockAfterWait();
    // Z up to the park height, then X and Y.
    void sendParkMoves(int x, int y);
    bool buzzerOn();
    void playTune(int tune);
    MainWindow* mainWindow() const;
    PolarClient* cloud() const;
    bool fileSent() const { return m_fileSent.load(); }

    Ui::BuildPrint* ui;
    SerialObject* m_serial = nullptr;
    QString m_filePath;
    int printState = 0;
    int m_buildTime = 0;             // elapsed build time, seconds (time mutex)
    int m_minuteTicks = 0;
    std::atomic<int> m_timeReset{0};
    float m_progress = 0.f;
    int timeUsed = 0;
    bool m_gxFile = false;
    bool m_fileAccepted = true;
    bool m_refused = false;
    int m_buildFileNozzleTemp = 0;
    int m_buildFilePlatformTemp = 0;
    int m_pauseNozzleTemp = 0;
    int m_pausePlatformTemp = 0;
    bool m_startPosition = false;
    std::atomic<bool> m_fileSent{false};   // the print thread has been started
    bool m_prepareRedo = false;
    bool m_powerOffResume = false;
    bool m_homing = false;           // our homing run is under way

    // Pause and resume run in two stages; these tell a request that comes
    // between them to wait.
    bool m_parking = false;          // pause asked, head not parked yet
    bool m_resuming = false;         // resume asked, print thread not streaming yet
    bool m_pauseAfterResume = false; // an "M25" line came while resuming
    bool m_pauseGaveUp = false;      // paused by giving up on the machine: the head never parked
    bool m_quitReported = false;     // the print thread has stopped after a cancel
    bool m_ending = false;           // the cancel or finish sequence has begun
    bool m_overTemperature = false;
    bool m_keepResumeRecords = false;   // the controller was lost: a restart may resume the job

    // In-print menu and filament change.
    int m_materialUsed = 0;             // filament length of a ".gx" job, for the menu
    bool m_filamentChangePause = false; // the pause was asked for by a filament change
    bool closeMenu();   // true when the menu was open

    std::mutex m_timeMutex;
    QTimer* m_monitor = nullptr;
    QTimer* m_motionTimer = nullptr;
    int m_motionWaits = 0;
    MachineRules::MoveWait m_motionWait;

    static ThreadCreator s_threadCreator;
};
