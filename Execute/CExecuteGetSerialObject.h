#pragma once
#include "serial/SerialObject.h"
#include <memory>
#include <mutex>

// Process-wide holder of the controller link.
class CExecuteGetSerialObject {
public:
    // Creates the link on first use (the port and the buffer-busy line of the printer).
    SerialObject* serial();
    // Tests and start-up: drop the link so the next serial() opens it afresh.
    void reset();
private:
    std::mutex m_mutex;
    std::unique_ptr<SerialObject> m_serial;
};

CExecuteGetSerialObject& ExecuteGetSerialObject();
