#pragma once
// A sandbox root with the controller simulator answering on <root>/dev/ttyS2
// and a fresh controller link opened on it.
#include "simulator/ControllerSimulator.h"
#include "tests/support/Sandbox.h"

class SerialObject;

class SimHarness {
public:
    explicit SimHarness(ControllerSimulator::Options options = fastOptions());
    ~SimHarness();
    static ControllerSimulator::Options fastOptions();   // time scale and heat rate for quick tests
    Sandbox& sandbox() { return m_sandbox; }
    ControllerSimulator& sim() { return m_sim; }
    SerialObject* link();                                // ExecuteGetSerialObject().serial()
    // Runs the Qt event loop until pred() holds or timeoutMs passes.
    template <class Pred> static bool waitUntil(Pred pred, int timeoutMs);
private:
    Sandbox m_sandbox;
    ControllerSimulator m_sim;
};

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
template <class Pred> bool SimHarness::waitUntil(Pred pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}
