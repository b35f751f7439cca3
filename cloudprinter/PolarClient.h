#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <string>

extern const char* const Cloud_Print_State_String[16];

// The part of the cloud client that the printing pages use. Status updates are
// recorded (there is no cloud connection here) and gated by the connection state.
class PolarClient : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    int sendPrintingStatus(QString file);
    int sendPauseStatus();
    int sendResumeStatus();
    int sendCancelStatus();
    int sendCompleteStatus();
    void setPolarPrinterJobId(const std::string& id);
    std::string polarPrinterJobId();

    std::atomic<int> m_connectState{0};   // 2 = connected
    std::atomic<int> m_printState{0};     // index into Cloud_Print_State_String
    QStringList sentUpdates();            // names of the states pushed, in order
signals:
    void sig_cloudprintpause();
    void sig_cloudprintresume();
    void sig_cloudprintcancel();
private:
    int setStatus(int state, const char* caller);
    void pushUpdate();
    std::mutex m_mutex;
    std::string m_jobId;
    QStringList m_sent;
};
