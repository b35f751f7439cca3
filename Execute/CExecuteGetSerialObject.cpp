#include "Execute/CExecuteGetSerialObject.h"

#include "tools/RootPath.h"

#include <QCoreApplication>
#include <QThread>

SerialObject* CExecuteGetSerialObject::serial()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_serial) {
        m_serial = std::make_unique<SerialObject>(PrinterPath::SerialPort, PrinterPath::BufferBusyGpio);
        // The link's queued signals and slots belong to the GUI thread, whichever thread asked first.
        if (QCoreApplication* app = QCoreApplication::instance())
            m_serial->moveToThread(app->thread());
        m_serial->open();
    }
    return m_serial.get();
}

void CExecuteGetSerialObject::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_serial.reset();
}

CExecuteGetSerialObject& ExecuteGetSerialObject()
{
    static CExecuteGetSerialObject holder;
    return holder;
}
