#include "tests/support/SimHarness.h"

#include "Execute/CExecuteGetSerialObject.h"
#include "Execute/CExecuteReturnHome.h"
#include "gpio/Gpio.h"
#include "serial/SerialObject.h"
#include "tools/RootPath.h"

SimHarness::SimHarness(ControllerSimulator::Options options) : m_sim(options)
{
    // A link left over from an earlier test points at a dead line and an old root.
    ExecuteReturnHome().setObject(nullptr);
    ExecuteGetSerialObject().reset();
    ControllerProtocol::setMachineTimeScale(options.timeScale);   // waits on moves in simulated time
    const QString gpio = QString::fromStdString(GpioLine(PrinterPath::BufferBusyGpio).valuePath());
    if (!m_sim.start(rootPath(PrinterPath::SerialPort), gpio))
        qFatal("SimHarness: the controller simulator cannot start");
}

SimHarness::~SimHarness()
{
    ExecuteReturnHome().setObject(nullptr);
    // The link's destructor ends a print still running (it asks it to quit and waits).
    ExecuteGetSerialObject().reset();
    m_sim.stop();
}

ControllerSimulator::Options SimHarness::fastOptions()
{
    ControllerSimulator::Options o;
    o.timeScale = 50;
    o.heatRate = 20;
    return o;
}

SerialObject* SimHarness::link()
{
    return ExecuteGetSerialObject().serial();
}
