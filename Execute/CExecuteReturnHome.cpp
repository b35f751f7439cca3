#include "Execute/CExecuteReturnHome.h"

#include "Execute/CExecuteGetSerialObject.h"
#include "serial/ControllerProtocol.h"
#include "serial/MachineProgress.h"
#include "serial/SerialObject.h"
#include "tools/Log.h"

#include <QDebug>
#include <QTimer>

namespace {
constexpr const char* kSrc = "Execute/CExecuteReturnHome.cpp";
}

void CExecuteReturnHome::setObject(ReturnHomeListener* listener)
{
    m_listener = listener;
    if (!listener && m_running) {
        // The page that waited is going away: the run ends here, without a call.
        qDebug() << LOG_SRC(kSrc) << "homing run dropped";
        m_running = false;
        ++m_run;
    }
}

void CExecuteReturnHome::releaseObject(ReturnHomeListener* listener)
{
    if (m_listener == listener)
        setObject(nullptr);
}

void CExecuteReturnHome::returnHome(bool zOnly)
{
    qDebug() << LOG_SRC(kSrc) << (zOnly ? "Z" : "Z X Y");
    m_axes = zOnly ? QStringLiteral("Z") : QStringLiteral("ZXY");
    m_commandSent = false;
    m_running = true;
    arm(++m_run);
}

bool CExecuteReturnHome::isHoming() const { return m_running; }

void CExecuteReturnHome::arm(unsigned run)
{
    QTimer::singleShot(100, this, [this, run] { step(run); });
}

void CExecuteReturnHome::step(unsigned run)
{
    if (run != m_run || !m_running)
        return;
    SerialObject* link = ExecuteGetSerialObject().serial();
    const char axis = m_axes.at(0).toLatin1();
    if (!m_commandSent) {
        link->serialSendCode(ControllerProtocol::homeCommand(axis));
        m_commandSent = true;
        m_axisDeadline.setRemainingTime(ControllerProtocol::homingLimitMs(axis));
    } else if (m_axisDeadline.hasExpired() && link->progress().quietFor(ControllerProtocol::homingLimitMs(axis))) {
        // The end stop never triggered (or the controller does not answer),
        // and nothing it holds has shown progress for as long.
        m_running = false;
        qWarning() << LOG_SRC(kSrc) << "axis" << axis << "not home in time";
        if (m_listener)
            m_listener->returnHomeFailed();
        return;
    } else {
        const auto stops = ControllerProtocol::parseM119(link->serialCheckCode("M119"));
        const bool home = stops && ((axis == 'X' && stops->x) || (axis == 'Y' && stops->y) || (axis == 'Z' && stops->z));
        if (home) {
            m_axes.remove(0, 1);
            m_commandSent = false;
            if (m_axes.isEmpty()) {
                m_running = false;
                qDebug() << LOG_SRC(kSrc) << "homing done";
                if (m_listener)
                    m_listener->checkReturnHomeDone();
                return;
            }
        }
    }
    arm(run);
}

CExecuteReturnHome& ExecuteReturnHome()
{
    static CExecuteReturnHome executor;
    return executor;
}
