#pragma once
// One sysfs GPIO line under <root>/sys/class/gpio. Every access opens, reads
// or writes and closes the value file, so it works the same on the board and
// in a sandbox where the file is a plain file.
#include <string>

class GpioLine {
public:
    explicit GpioLine(int number);

    int number() const { return m_number; }
    // <root>/sys/class/gpio/gpio<n>/value
    std::string valuePath() const;
    // Exports the line and sets its direction ("in" or "out") when its folder is missing.
    bool exportLine(const char* direction);
    // 0 or 1, or -1 when the value file cannot be read or holds neither.
    int value() const;
    bool setValue(int v) const;

private:
    int m_number;
};

// Writes text to a sysfs-style file (open, write, close), replacing what a
// plain file held; false on any failure. Shared by the GPIO lines and the buzzer.
bool sysfsWriteFile(const std::string& path, const std::string& text);
