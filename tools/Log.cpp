#include "tools/Log.h"

#include "tools/AtomicFile.h"

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* levelTag(Log::Level level)
{
    switch (level) {
    case Log::Debug: return " <DEBUG> ";
    case Log::Warning: return " <WARNING> ";
    case Log::Critical: return " <CRITICAL> ";
    case Log::Fatal: return " <FATAL> ";
    }
    return " <DEBUG> ";
}

std::string utcStamp()
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm;
    gmtime_r(&ts.tv_sec, &tm);
    char buf[64];
    snprintf(buf, sizeof buf, "%04d.%02d.%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1,
             tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ts.tv_nsec / 1000000) % 1000);
    return buf;
}

void qtHandler(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    Log::Level level = Log::Debug;
    switch (type) {
    case QtDebugMsg:
    case QtInfoMsg: level = Log::Debug; break;
    case QtWarningMsg: level = Log::Warning; break;
    case QtCriticalMsg: level = Log::Critical; break;
    case QtFatalMsg: level = Log::Fatal; break;
    }
    Log::instance().write(level, msg.toStdString());
}

}

Log& Log::instance()
{
    static Log log;
    return log;
}

Log::Level Log::levelFromArgument(const char* arg)
{
    if (!arg)
        return Debug;
    if (!strcmp(arg, "-1")) return Fatal;
    if (!strcmp(arg, "-2")) return Critical;
    if (!strcmp(arg, "-3")) return Warning;
    return Debug;
}

Log::Level Log::levelFromNumber(int n)
{
    switch (n) {
    case 1: return Fatal;
    case 2: return Critical;
    case 3: return Warning;
    default: return Debug;
    }
}

int Log::open(const std::string& folder, const std::string& fileName, Level minLevel)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_level = minLevel;
    const int rc = AtomicFile::makePath(folder);
    if (rc != 0)
        return rc;
    m_path = folder + "/" + fileName;
    return openFileLocked();
}

int Log::openFileLocked()
{
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return -errno;
    struct stat st;
    m_size = ::fstat(m_fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    return 0;
}

void Log::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool Log::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fd >= 0;
}

std::string Log::filePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

void Log::rotateLocked()
{
    ::close(m_fd);
    m_fd = -1;
    // name.8 -> name.9 (the oldest is replaced), ..., name -> name.1
    for (int i = KeptFiles - 1; i >= 1; --i) {
        const std::string from = m_path + "." + std::to_string(i);
        const std::string to = m_path + "." + std::to_string(i + 1);
        ::rename(from.c_str(), to.c_str());
    }
    ::rename(m_path.c_str(), (m_path + ".1").c_str());
    if (openFileLocked() != 0)
        m_fd = -1;
}

void Log::write(Level level, const std::string& message)
{
    std::string line = utcStamp();
    line += levelTag(level);
    line += message;
    if (line.empty() || line.back() != '\n')
        line += '\n';

    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0 || level < m_level)
        return;
    if (m_size > 0 && m_size + static_cast<int64_t>(line.size()) > MaxFileSize) {
        rotateLocked();
        if (m_fd < 0)
            return;
    }
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;   // a full disk must not take the program down
        }
        p += n;
        left -= static_cast<size_t>(n);
        m_size += n;
    }
    if (level == Fatal)
        ::fsync(m_fd);
}

void Log::installMessageHandler()
{
    qInstallMessageHandler(qtHandler);
}
