#pragma once
// One sysfs GPIO line under <root>/sys/class/gpio. Every read opens, reads
// and closes the value file, so it works the same on the board and in a
// sandbox where the file is a plain file. The root is taken at construction.
#include <string>

class GpioLine {
public:
    explicit GpioLine(int number);

    // <root>/sys/class/gpio/gpio<n>/value
    const std::string& valuePath() const { return m_valuePath; }
    // Exports the line and sets its direction ("in" or "out") when its folder is missing.
    bool exportLine(const char* direction);
    // 0 or 1, or -1 when the value file cannot be read or holds neither.
    int value() const;

private:
    int m_number;
    std::string m_dir;         // <root>/sys/class/gpio/gpio<n>
    std::string m_valuePath;
};

// Writes text to a sysfs-style file (open, write, close), replacing what a
// plain file held; false on any failure. Shared by the GPIO lines and the buzzer.
bool sysfsWriteFile(const std::string& path, const std::string& text);
