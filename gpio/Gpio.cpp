#include "gpio/Gpio.h"

#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QDebug>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

GpioLine::GpioLine(int number)
    : m_number(number),
      m_dir(rootPath(std::string(PrinterPath::GpioDir)) + "/gpio" + std::to_string(number)),
      m_valuePath(m_dir + "/value")
{
}

bool sysfsWriteFile(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t n;
    do {
        n = ::write(fd, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return n == ssize_t(text.size());
}

bool GpioLine::exportLine(const char* direction)
{
    struct stat st;
    if (::stat(m_dir.c_str(), &st) == 0)
        return true;
    if (!sysfsWriteFile(rootPath(std::string(PrinterPath::GpioDir)) + "/export", std::to_string(m_number))) {
        qWarning() << LOG_SRC("gpio/Gpio.cpp") << "cannot export gpio" << m_number;
        return false;
    }
    return sysfsWriteFile(m_dir + "/direction", direction);
}

int GpioLine::value() const
{
    const int fd = ::open(m_valuePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char buf[8];
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n < 1)
        return -1;
    if (buf[0] == '0')
        return 0;
    if (buf[0] == '1')
        return 1;
    return -1;
}
