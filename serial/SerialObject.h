#pragma once
// The single link to the motion and heater controller, and the print loop
// that streams one file through it.
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

class SerialPort;
class MachineProgress;

struct PrintingAdjust {
    int speed = 100;      // percent, scales feed rates
    int zOffset = 0;      // hundredths of a millimetre, added to Z
    int extrusion = 100;  // percent, scales E
};

// Time limits of the link; tests shorten them.
struct LinkTiming {
    int replyMs = 1500;      // wait for one reply line
    int quietMs = 60;        // silence that ends the draining of stale input after a fault
    int flowMs = 60000;      // flow-control lock and wait for a free buffer slot
    int portLostMs = 30000;  // a print waits this long for a lost line to come back
    // The longest one query may take: two tries, each a reply wait and a drain.
    // No thread but the print thread ever waits on the link longer than this.
    int exchangeLimitMs() const { return 2 * (replyMs + quietMs); }
};

class SerialObject : public QObject {
    Q_OBJECT
public:
    // portPath: a printer path ("/dev/ttyS2"), mapped under the sandbox root.
    // busyGpio: the controller's buffer-busy line, -1 for none.
    explicit SerialObject(const QString& portPath, int busyGpio, QObject* parent = nullptr);
    ~SerialObject() override;

    bool open();          // false when the port cannot be opened
    bool isOpen() const;
    void close();

    // Flow-controlled send of a motion, motor or heater command. Waits (60 s at
    // most; outside the print thread one exchange limit at most) for a free buffer
    // slot; on time-out nothing is sent and an error text returned. A command whose
    // reply never came and whose arrival cannot be proven returns "not confirmed.".
    // A command that makes the machine safe (heaters, fan, motors off, stop) that
    // the controller does not answer is written at once and kept, and delivered
    // again first once the controller takes commands again.
    QString serialSendCode(const QString& code);
    // One command and reply under the I/O lock; "send failed." after a failed retry.
    // The lock is handed over fairly between threads; outside the print thread the
    // wait for it is bounded, and while the controller is silent one try is made.
    QString serialCheckCode(const QString& code);
    // Safety commands still waiting for the line (tests and the log).
    int pendingSafetyCommands() const;
    // Commands kept in order until the controller has room for them.
    int keptCommands() const;
    // Milliseconds the calling thread's calls spent waiting on a link since the
    // last call, as the link accounts them against each call's limit; for tests.
    static int64_t takeWaitSpentMs();

    void Heating(int temp);
    void HeatingPlatform(int temp);
    void HeatingHalmetII(int nozzle, int bed);
    void stopHalmetIIHeating();

    // Print loop: runs on the caller's thread until the file ends or the job is quit.
    // path: the file as this machine sees it (already under the sandbox root).
    // serialPrint: 0 after a finished or quit job, -1 when the file could not be streamed;
    // it then clears the resume records. printFile: 0 finished, 1 quit, -1 failed.
    int serialPrint(QString path);
    int printFile(const std::string& path);
    // Start streaming at this G-code line (power-off resume); 0 streams from the start.
    void setResumeLine(int line);
    // The last job ended because the controller stopped answering or the line
    // was lost; its resume records are kept.
    bool jobLostController() const { return m_lostController.load(); }
    // Why a job that lost its controller ended: no answer, replies that could
    // not be read, or a stop of the program's own (the page that sent it says why).
    enum class EndCause { None, Silent, Unreadable, Stopped };
    EndCause jobEndCause() const { return EndCause(m_endCause.load()); }
    // The link's judgement: nothing at all has come for the late limit while a
    // reply was awaited. A late or garbled answer is a controller that answers.
    bool controllerSilent() const;
    // Program exit: ends a running stream (keeping its resume records) and
    // returns once the print thread has left the link.
    void endPrintForExit();

    void setTiming(const LinkTiming& timing);
    // Whether the machine gets on with its work, from every command written and reply taken.
    MachineProgress& progress();

    void setInitPrintingPersent();
    float printingPersent() const { return m_persent.load(); }
    bool isPrinting() const { return m_printing.load(); }
    bool isPaused() const { return m_paused.load(); }

    void setPrintingAdjust(PrintingAdjust adjust);
    PrintingAdjust printingAdjust() const;
    void resetPrintingAdjust();
    void printingAdjustNozzleTemp(int temp);
    void printingAdjustPlatformTemp(int temp);
    // In-print override flags; the printing page clears both when a fresh job starts.
    std::atomic<bool> m_nozzleTempOverride{false};
    std::atomic<bool> m_platformTempOverride{false};
    int nozzleTarget() const { return m_nozzleTarget.load(); }
    int platformTarget() const { return m_platformTarget.load(); }

signals:
    void sendPrintPersent(float persent);
    void printOver();
    void printPause();
    void printResume();
    void printStart();
    void printQuit();
    void readM25();
    void sendPrintLayer();
    void sig_returnHome();

public slots:
    void slo_printingPause();
    void slo_printingContinue();
    void slo_printingQuit();
    void slo_printCtlInit();

private:
    struct Impl;
    enum class SendStatus { Sent, Unconfirmed, FlowTimeout, Aborted, PortDown, NoTime };
    enum class AbortOn { Nothing, Quit, PauseOrQuit };
    SendStatus sendFlowControlled(std::string_view code, int flowMs, AbortOn abortOn, QString* reply);
    SendStatus sendNow(std::string_view code, QString* reply);
    // Kept commands of other threads go out in order, within the caller's bound.
    void deliverQueued();
    void armQueuedTick();
    enum class JobEnd { Finished, Quit, Failed };
    JobEnd streamFile(const std::string& path);
    enum class Step { Done, Quit, Lost, Paused };
    Step sendJobCommand(std::string_view code, AbortOn abortOn);
    Step pauseJob();
    Step waitMotionEnd();
    Step setJobHeaters(int nozzle, int bed);
    Step waitJobHeaters(int nozzle, int bed, bool pauseStops);
    struct RestorePoint;
    Step restoreJob(const RestorePoint& at, bool pauseStops);
    void keepIfSafety(std::string_view code);
    void keepAndWrite(std::string_view code);
    void writeKeptNow();
    void giveUpQueued(const char* why);
    bool refusedBehindKept(std::string_view command);
    QString keepInOrder(std::string_view command);
    void stopAtOnce();
    Step lostLines();
    Step stoppedJob();
    void noteOwnStop();
    void deliverPending();
    void deliverPendingLocked();
    void saveResumeLine(int64_t line);
    Impl* d;
    std::atomic<float> m_persent{0.f};
    std::atomic<bool> m_printing{false};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_lostController{false};
    std::atomic<int> m_endCause{0};
    std::atomic<int> m_nozzleTarget{0};
    std::atomic<int> m_platformTarget{0};
};
