#include "Execute/MachineRules.h"

#include "Config/Config.h"
#include "serial/ControllerProtocol.h"
#include "serial/MachineProgress.h"
#include "serial/SerialObject.h"

#include <algorithm>

namespace HomedPosition {

static int volumeField(int index)
{
    bool ok = false;
    const int v = QString(BuildVolume).section('X', index, index).trimmed().toInt(&ok);
    return ok ? v : 0;
}

int buildWidth() { return volumeField(0); }
int buildDepth() { return volumeField(1); }

static double homedZ()
{
    return HomedZ - getConfigFile().configFile()->getExtruderCalibrationValue();
}

QString homedZText() { return QString::number(homedZ(), 'f', 2); }

QString coordinateSetCommand()
{
    const int x = buildWidth() / 2 + HomingMargin;
    const int y = buildDepth() / 2 + HomingMargin;
    return QString("G92 X%1 Y%2 Z%3 A0 B0").arg(x).arg(y).arg(homedZText());
}

QString levellingCoordinateSetCommand()
{
    QString z = QString::number(homedZ(), 'f', 1);
    if (z == QLatin1String("-0.0"))
        z = QStringLiteral("0.0");
    return QStringLiteral("G92 X100 Y100 Z") + z;
}

}

bool sendHomedCoordinates(SerialObject* link, bool withG90)
{
    if (!link)
        return false;
    const bool g90 = !withG90 || !ControllerProtocol::isLinkError(link->serialSendCode("G90"));
    return !ControllerProtocol::isLinkError(link->serialSendCode(HomedPosition::coordinateSetCommand())) && g90;
}

namespace MachineRules {

bool motionEnded(SerialObject* link)
{
    return link && ControllerProtocol::motionEnded(link->serialCheckCode("M121"));
}

void emergencyStop(SerialObject* link)
{
    if (!link)
        return;
    link->serialCheckCode("M112");
    link->stopHalmetIIHeating();
}

// A reply of the controller's own, not one of the link's error texts.
static bool controllerAnswered(const QString& reply)
{
    return !ControllerProtocol::isLinkError(reply) && ControllerProtocol::freeSlots(reply) >= 0;
}

void MoveWait::start(int limitMs)
{
    m_active = true;
    m_failing = false;
    m_limitMs = limitMs;
    m_floor = Clock::now() + std::chrono::milliseconds(limitMs);
    m_nextLook = {};
}

void MoveWait::extend(int limitMs)
{
    if (!m_active) {
        start(limitMs);
        return;
    }
    m_limitMs = std::max(m_limitMs, limitMs);
    m_floor = std::max(m_floor, Clock::now() + std::chrono::milliseconds(limitMs));
}

MoveWait::Result MoveWait::poll(SerialObject* link)
{
    if (!m_active)
        return Ended;
    const QString reply = link ? link->serialCheckCode("M121") : QString(ControllerProtocol::SendFailed);
    if (ControllerProtocol::motionEnded(reply)) {
        m_active = false;
        return Ended;
    }
    if (controllerAnswered(reply)) {
        m_failing = false;
        // Every slot the reply shows freed is progress; the link has seen it.
        const MachineProgress& progress = link->progress();
        const auto stuckAt = [&] { return std::max(m_floor, progress.stuckAfter(m_limitMs)); };
        const auto now = Clock::now();
        if (now >= m_nextLook && now > stuckAt() - std::chrono::milliseconds(m_limitMs / 2)) {
            // Nothing has shown progress for half the limit: a long move shows
            // it in the position, a heat wait in its heater.
            m_nextLook = now + std::chrono::milliseconds(m_limitMs / 4);
            link->serialCheckCode("M114");
            if (progress.heatWaitPending())
                link->serialCheckCode("M105");
        }
        if (Clock::now() <= stuckAt())
            return Moving;
        m_trouble = Trouble::Stuck;
        m_active = false;
        return GaveUp;
    }
    // A poll that got nothing while the link still hears the controller (a
    // late reply, a screen event out of time) tells nothing new.
    if (link && !link->controllerSilent()) {
        m_failing = false;
        return Moving;
    }
    // A controller that does not answer is judged by the silence alone.
    if (!m_failing) {
        m_failing = true;
        // No answer for the margin of a move's limit: the controller is gone.
        m_silentSince.setRemainingTime(ControllerProtocol::moveLimitMs(0, 1));
    }
    if (!m_silentSince.hasExpired())
        return Moving;
    m_trouble = Trouble::Silent;
    m_active = false;
    return GaveUp;
}

Trouble troubleNow(SerialObject* link)
{
    const QString reply = link ? link->serialCheckCode("M121") : QString(ControllerProtocol::SendFailed);
    return controllerAnswered(reply) || (link && !link->controllerSilent()) ? Trouble::Stuck : Trouble::Silent;
}

bool sendConfirmed(SerialObject* link, const QString& command)
{
    return link && !ControllerProtocol::isLinkError(link->serialSendCode(command));
}

}
