#include "serial/SerialPort.h"

#include "tools/Log.h"

#include <QDebug>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* kSrc = "serial/SerialPort.cpp";
using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

}

SerialPort::SerialPort(std::string devicePath) : m_path(std::move(devicePath)) {}

SerialPort::~SerialPort() { close(); }

bool SerialPort::open()
{
    close();
    const int fd = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (!m_openFailed)   // once per outage: a lost line is retried often
            qWarning() << LOG_SRC(kSrc) << m_path.c_str() << strerror(errno);
        m_openFailed = true;
        return false;
    }
    m_openFailed = false;
    termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        qWarning() << LOG_SRC(kSrc) << m_path.c_str() << "is not a terminal:" << strerror(errno);
        ::close(fd);
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // VMIN 1 with a non-blocking descriptor: "no data" reads as EAGAIN, so a
    // read of 0 bytes can only mean the line hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        qWarning() << LOG_SRC(kSrc) << "cannot set" << m_path.c_str() << "raw:" << strerror(errno);
        ::close(fd);
        return false;
    }
    // Old input only: what was written before a reopen (a stop written at once)
    // must still reach the controller.
    tcflush(fd, TCIFLUSH);
    m_fd = fd;
    m_broken = false;
    m_in.clear();
    return true;
}

void SerialPort::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_in.clear();
}

bool SerialPort::reopen()
{
    close();
    return open();
}

size_t SerialPort::write(const char* data, size_t size, int timeoutMs)
{
    if (m_fd < 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, size - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            m_broken = true;
            break;
        }
        pollfd p{m_fd, POLLOUT, 0};
        const int left = msLeft(deadline);
        if (left == 0) {
            m_broken = true;
            break;
        }
        const int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR) {
            m_broken = true;
            break;
        }
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            m_broken = true;
            break;
        }
    }
    return done;
}

SerialPort::Read SerialPort::readLine(std::string& line, int timeoutMs, size_t maxLength)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t scanned = 0;
    for (;;) {
        const size_t nl = m_in.find('\n', scanned);
        if (nl != std::string::npos) {
            if (nl > maxLength) {
                m_in.erase(0, nl + 1);
                return Read::TooLong;
            }
            line.assign(m_in, 0, nl);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            m_in.erase(0, nl + 1);
            return Read::Line;
        }
        scanned = m_in.size();
        if (m_in.size() > maxLength) {
            m_in.clear();
            return Read::TooLong;
        }
        if (m_fd < 0)
            return Read::HangUp;
        // Wait first, read after: a read that finds nothing makes the terminal
        // layer wait for its pending work, which costs more than the poll.
        const int left = msLeft(deadline);
        pollfd p{m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, left);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            m_broken = true;
            return Read::HangUp;
        }
        if (r == 0)
            return Read::Timeout;
        if (!(p.revents & POLLIN) && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            m_broken = true;
            return Read::HangUp;
        }
        char buf[512];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n > 0) {
            m_in.append(buf, size_t(n));
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            m_broken = true;   // a pseudo-terminal or USB line whose other end went away
            return Read::HangUp;
        }
    }
}

int SerialPort::linesWaiting() const
{
    return int(std::count(m_in.begin(), m_in.end(), '\n'));
}

void SerialPort::readAvailable()
{
    int pending = 0;
    if (m_fd < 0 || ioctl(m_fd, FIONREAD, &pending) != 0)
        return;
    char buf[4096];
    while (pending > 0) {
        const ssize_t n = ::read(m_fd, buf, std::min(sizeof buf, size_t(pending)));
        if (n <= 0)
            return;   // a failing line shows at the next read
        m_in.append(buf, size_t(n));
        pending -= int(n);
    }
}

bool SerialPort::hasStaleInput()
{
    if (!m_in.empty())
        return true;
    if (m_fd < 0)
        return false;
    int pending = 0;
    return ioctl(m_fd, FIONREAD, &pending) == 0 && pending > 0;
}

void SerialPort::flushInput()
{
    m_in.clear();
    if (m_fd < 0)
        return;
    tcflush(m_fd, TCIFLUSH);
    // tcflush may leave bytes a pseudo-terminal had in flight; read them away too.
    char buf[512];
    while (::read(m_fd, buf, sizeof buf) > 0) {
    }
}

int SerialPort::dropWaiting()
{
    int lines = 0;
    if (m_fd >= 0) {
        char buf[512];
        ssize_t n;
        while ((n = ::read(m_fd, buf, sizeof buf)) > 0)
            m_in.append(buf, size_t(n));
        if (n == 0)
            m_broken = true;
    }
    lines = int(std::count(m_in.begin(), m_in.end(), '\n'));
    m_in.clear();
    return lines;
}

void SerialPort::drainUntilQuiet(int quietMs, int maxMs)
{
    m_in.clear();
    if (m_fd < 0)
        return;
    const auto end = Clock::now() + std::chrono::milliseconds(maxMs);
    for (;;) {
        const int left = msLeft(end);
        if (left == 0)
            break;
        pollfd p{m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, std::min(quietMs, left));
        if (r == 0)
            break;   // quiet long enough
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (!(p.revents & POLLIN)) {
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
                m_broken = true;
            break;
        }
        char buf[512];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            m_broken = true;
            break;
        }
    }
    m_in.clear();
}
