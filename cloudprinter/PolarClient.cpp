#include "cloudprinter/PolarClient.h"

#include "tools/Log.h"

#include <QDebug>

// The cloud status names, indexed by the status code the program keeps.
const char* const Cloud_Print_State_String[16] = {
    "Idle",              // 0
    "Serial",            // 1
    "Preparing",         // 2
    "Printing",          // 3
    "Paused",            // 4
    "PostProcessing",    // 5
    "Canceling",         // 6
    "Complete",          // 7
    "Updating",          // 8
    "ColdPause",         // 9
    "ChangingFilament",  // 10
    "TCPIP",             // 11
    "Error",             // 12
    "Uninitialized",     // 13
    "Disconnected",      // 14
    "ClearBuildPlate",   // 15
};

namespace {
constexpr int kConnected = 2;
constexpr int kIdle = 0;
constexpr int kPrinting = 3;
constexpr int kPaused = 4;
constexpr int kComplete = 7;
}

int PolarClient::setStatus(int state, const char* caller)
{
    qDebug() << "cloudprinter/PolarClient.cpp" << caller << __LINE__ << "state" << state;
    m_printState = state;
    pushUpdate();
    return 0;
}

int PolarClient::sendPrintingStatus(QString) { return setStatus(kPrinting, __func__); }
int PolarClient::sendPauseStatus() { return setStatus(kPaused, __func__); }
int PolarClient::sendResumeStatus() { return setStatus(kPrinting, __func__); }

int PolarClient::sendCancelStatus()
{
    setStatus(kIdle, __func__);
    setPolarPrinterJobId(std::string());
    return 0;
}

int PolarClient::sendCompleteStatus()
{
    qDebug() << LOG_SRC("cloudprinter/PolarClient.cpp");
    if (m_connectState == kConnected) {
        m_printState = kComplete;
        pushUpdate();
        pushUpdate();
    }
    m_printState = kIdle;
    setPolarPrinterJobId(std::string());
    return 0;
}

void PolarClient::setPolarPrinterJobId(const std::string& id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobId = id;
}

std::string PolarClient::polarPrinterJobId()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_jobId;
}

QStringList PolarClient::sentUpdates()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sent;
}

// There is no cloud connection in this program: an update is recorded, and
// only while the connection state says connected.
void PolarClient::pushUpdate()
{
    if (m_connectState != kConnected)
        return;
    const int state = m_printState;
    const QString name = state >= 0 && state < 16 ? QString::fromLatin1(Cloud_Print_State_String[state])
                                                  : QStringLiteral("Unknown");
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sent << name;
    qDebug() << LOG_SRC("cloudprinter/PolarClient.cpp") << "status update" << name
             << QString::fromStdString(m_jobId);
}
