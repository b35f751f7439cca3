#pragma once
#include <QDeadlineTimer>
#include <QMainWindow>
#include <QMutex>
#include <QPointer>
#include <atomic>
#include <string>

namespace Ui { class MainWindow; }
class ServerListener;
class PolarClient;
class QTimer;
class SerialObject;
class TwoButtonDialog;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    static MainWindow* instMainWindow;

    // LAN status pair: indices into the LAN "M119" reply's MachineStatus and MoveMode tables.
    std::atomic<int> m_machineStatus{0};
    std::atomic<int> m_moveMode{0};
    void setLanStatus(int machineStatus, int moveMode) { m_machineStatus = machineStatus; m_moveMode = moveMode; }
    static constexpr int MachineStatusBuilding = 3;
    // A print job owns the machine: the printing page exists or the machine
    // status says building. Tool pages then leave heaters and motors alone.
    static bool printJobUnderWay();
    // A closing tool page stops the machine ("M112", "M18") and clears the
    // LAN status pair, unless a print job owns the machine by now.
    static void releaseMachine(SerialObject* serial);

    // True while a USB stick is mounted on /media.
    std::atomic<bool> m_usbFlag{false};
    bool usbFlag() const { return m_usbFlag.load(); }
    void usbUp();
    void usbDown();

    ServerListener* m_serverListener = nullptr;
    PolarClient* m_polarClient = nullptr;   // null until the cloud client exists

    int getCurrentExtruderTemp();
    int getTargetExtruderTemp();
    int getCurrentPlatformTemp();
    int getTargetPlatformTemp();

    bool filamentCheckStatu();
    int setPrintTimeUsed(int seconds);
    int getPrintTimeUsed() const { return m_printTimeUsed; }
    int setprintFileIsGxFile(bool isGx);
    bool printFileIsGxFile() const { return m_printFileIsGx; }
    void setPrintBuildTime(int seconds);
    int printBuildTime() const { return m_printBuildTime; }
    void setLocalPrintJobId(std::string id);

    // Runs one status poll at once (the 1 s timer does the same; while the
    // controller is silent it asks only every 5 s).
    void pollStatus();
    // Filament fed during the current (or last) print, mm, from the "M114" polls.
    double filamentUsed() const { return m_filamentUsed.load(); }

signals:
    void sig_usbMount();
    void sig_usbUnmount();

public slots:
    void on_showBuild_clicked();
    void on_showControl_clicked();
    void on_showSetting_clicked();
    void on_showInfo_clicked();
    void slo_jumpToPrint(QString filePath);
    void slot_ThreadM23(QString filePath);
    void powerOffResumePrint(QString filePath);
    void clearAgoState();

private:
    Ui::MainWindow* ui;
    QMutex m_tempMutex;
    int m_curNozzle = 0, m_targetNozzle = 0, m_curBed = 0, m_targetBed = 0;
    std::atomic<int> m_printTimeUsed{0};
    std::atomic<bool> m_printFileIsGx{false};
    std::atomic<int> m_printBuildTime{0};
    // Private helpers of the shell may be added below.
    void changeEvent(QEvent* event) override;
    int lockedTemp(const int& value);
    void statusTick();
    void updateStatusRow();
    void showUsbStatus();
    void checkUsb();
    bool usbMountedNow() const;
    void probeCheck();
    void askResume();
    bool startJobPage(const QString& filePath, const char* origin);

    SerialObject* m_serial = nullptr;
    QTimer* m_statusTimer = nullptr;
    bool m_polling = false;
    QDeadlineTimer m_silentRetry;   // a silent controller is asked again once this expires
    bool m_haveE = false;
    double m_lastE = 0;
    std::atomic<double> m_filamentUsed{0};
    QPointer<TwoButtonDialog> m_resumeQuestion;
    bool m_resumeQuestionClosed = false;
};
