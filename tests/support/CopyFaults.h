#pragma once
// Hooks on the copy engine's open, read, write and fsync calls (on the copy thread).
// A hook returning true has produced the result itself; otherwise the real call
// runs. Sources are told by a path fragment the test names.
#include "Files/FileCopy.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QThread>
#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace CopyFaults {

enum class FdKind { Source, Temp, Folder, Other };

inline QString pathOfFd(int fd) { return QFile::symLinkTarget(QString("/proc/self/fd/%1").arg(fd)); }

struct Hooks {
    std::mutex mutex;
    QString sourceMarker = "/from/";   // a path holding this is a source
    std::function<bool(const QString& path, FdKind kind, int flags, int& result)> open;
    std::function<bool(int fd, FdKind kind, void* buffer, size_t count, ssize_t& result)> read;
    std::function<bool(int fd, FdKind kind, const void* buffer, size_t count, ssize_t& result)> write;
    std::function<bool(int fd, FdKind kind, int& result)> fsync;

    FdKind kindOf(int fd) const
    {
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
            return FdKind::Folder;
        return kindOfPath(pathOfFd(fd));
    }
    // The same by name, for a file that open() may be about to make.
    FdKind kindOfPath(const QString& path) const
    {
        if (QFileInfo(path).isDir())
            return FdKind::Folder;
        if (QFileInfo(path).fileName().startsWith(".copy-"))
            return FdKind::Temp;
        return path.contains(sourceMarker) ? FdKind::Source : FdKind::Other;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = nullptr, read = nullptr, write = nullptr, fsync = nullptr;
    }
};

inline Hooks& hooks()
{
    static Hooks h;
    return h;
}

// The engine's system calls with the hooks in front of them. A hook runs
// outside the lock, so one copy may wait in a hook while another goes on.
inline std::shared_ptr<FileCopyIo> hookedIo()
{
    auto io = std::make_shared<FileCopyIo>(FileCopyIo::system());
    const auto take = [](auto Hooks::*member) {
        std::lock_guard<std::mutex> lock(hooks().mutex);
        return hooks().*member;
    };
    io->open = [take](const char* path, int flags, mode_t mode) -> int {
        const auto hook = take(&Hooks::open);
        const QString name = QFile::decodeName(path);
        int r = 0;
        return hook && hook(name, hooks().kindOfPath(name), flags, r) ? r : ::open(path, flags, mode);
    };
    io->read = [take](int fd, void* buffer, size_t count) -> ssize_t {
        const auto hook = take(&Hooks::read);
        ssize_t r = 0;
        return hook && hook(fd, hooks().kindOf(fd), buffer, count, r) ? r : ::read(fd, buffer, count);
    };
    io->write = [take](int fd, const void* buffer, size_t count) -> ssize_t {
        const auto hook = take(&Hooks::write);
        ssize_t r = 0;
        return hook && hook(fd, hooks().kindOf(fd), buffer, count, r) ? r : ::write(fd, buffer, count);
    };
    io->fsync = [take](int fd) -> int {
        const auto hook = take(&Hooks::fsync);
        int r = 0;
        return hook && hook(fd, hooks().kindOf(fd), r) ? r : ::fsync(fd);
    };
    return io;
}

// Fails a call the way the system does.
template <class Result>
inline bool fail(int error, Result& result)
{
    errno = error;
    result = -1;
    return true;
}

// Open descriptors of files under folder (the ones a copy could leak).
inline QStringList descriptorsUnder(const QString& folder)
{
    QStringList open;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::NoDotAndDotDot | QDir::System | QDir::AllEntries))
        if (fd.symLinkTarget().startsWith(folder + "/"))
            open << fd.symLinkTarget();
    return open;
}

// Waits (up to 5 s) until no copy thread runs any more.
inline bool waitForCopyThreads()
{
    for (int i = 0; i < 5000 && FileCopyJob::runningThreads() > 0; ++i)
        QThread::msleep(1);
    return FileCopyJob::runningThreads() == 0;
}

// A small storage over a folder, for a test that cannot mount one: its free
// space is the capacity less what the files under the folder take in whole
// 4 KiB blocks. A copy's write there is to fail with ENOSPC when full(count).
struct SmallDisk {
    QString folder;
    int64_t capacity = 0;

    bool holds(const QString& path) const { return path == folder || path.startsWith(folder + "/"); }
    int64_t used() const
    {
        int64_t bytes = 0;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            bytes += (it.nextFileInfo().size() + 4095) / 4096 * 4096;
        return bytes;
    }
    int64_t freeSpace() const { return capacity - used(); }
    bool full(size_t count) const { return used() + int64_t(count) > capacity; }
};

// A folder's names, hidden ones included: a leftover temporary file shows.
inline QStringList allNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
}

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

// Deterministic bytes of a given size.
inline QByteArray pattern(qint64 size, int seed = 1)
{
    QByteArray data(size, Qt::Uninitialized);
    uint32_t x = 2654435761u * static_cast<uint32_t>(seed);
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        data[i] = static_cast<char>(x >> 24);
    }
    return data;
}

}
