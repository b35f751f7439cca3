#include "Files/FileCopy.h"

#include "tools/RootPath.h"

#include "Config/Config.h"
#include "tools/Log.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDebug>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <dirent.h>
#include <map>
#include <set>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kSrc = "Files/FileCopy.cpp";
constexpr size_t kMinBlockSize = 4096;
constexpr size_t kMaxBlockSize = 16 * 1024 * 1024;

std::atomic<int> g_runningThreads{0};

// Temporary files that running copies own; a name is entered before its file
// is made, so the clean-up never takes one that is in use.
std::mutex g_ownedMutex;
std::set<std::string> g_ownedTemporaries;

// ".copy-" + 8 hex digits + ".tmp", the names copyOne() makes.
bool isCopyTemporary(const char* name)
{
    const std::string n(name);
    if (n.size() != 18 || n.compare(0, 6, ".copy-") != 0 || n.compare(14, 4, ".tmp") != 0)
        return false;
    return n.find_first_not_of("0123456789abcdef", 6) == 14;
}
std::mutex g_testIoMutex;
std::shared_ptr<const FileCopyIo> g_testIo;

// Closes the descriptor on every path out of a scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd) { close(); m_fd = fd; }
    // Closes now and reports the error close() gave (0 when none).
    int close()
    {
        if (m_fd < 0)
            return 0;
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0 ? 0 : errno;
    }
private:
    int m_fd;
};

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The room that removing the old file at target gives back: a file with a
// second name or a link frees nothing, and the source itself never goes.
int64_t oldFileRoom(const std::string& source, const std::string& target)
{
    struct stat old;
    if (::lstat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode) || old.st_nlink != 1)
        return 0;
    struct stat from;
    if (::stat(source.c_str(), &from) == 0 && from.st_dev == old.st_dev && from.st_ino == old.st_ino)
        return 0;
    return static_cast<int64_t>(old.st_blocks) * 512;
}

} // namespace

const char* fileCopyResultName(FileCopyResult result)
{
    switch (result) {
    case FileCopyResult::Running: return "running";
    case FileCopyResult::Done: return "done";
    case FileCopyResult::Cancelled: return "cancelled";
    case FileCopyResult::ReadError: return "read error";
    case FileCopyResult::WriteError: return "write error";
    case FileCopyResult::DiskFull: return "disk full";
    case FileCopyResult::SourceMissing: return "source missing";
    case FileCopyResult::TargetMissing: return "target folder missing";
    case FileCopyResult::SameFile: return "same file";
    case FileCopyResult::TargetNotCreated: return "target not created";
    case FileCopyResult::NameClash: return "same name twice";
    case FileCopyResult::VerifyFailed: return "verification failed";
    case FileCopyResult::ThreadNotCreated: return "thread not created";
    }
    return "unknown";
}

FileCopyIo FileCopyIo::system()
{
    FileCopyIo io;
    io.open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); };
    io.read = [](int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); };
    io.write = [](int fd, const void* buffer, size_t count) { return ::write(fd, buffer, count); };
    io.fsync = [](int fd) { return ::fsync(fd); };
    io.startThread = [](void* (*routine)(void*), void* argument) {
        pthread_attr_t attr;
        int rc = pthread_attr_init(&attr);
        if (rc != 0)
            return rc;
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_t thread;
        rc = pthread_create(&thread, &attr, routine, argument);
        pthread_attr_destroy(&attr);
        return rc;
    };
    return io;
}

struct FileCopyJob::State {
    struct Item {
        std::string source;
        std::string folder;   // where target lies
        std::string target;
        bool nameClash = false;   // an earlier file of the job has the same target
    };
    std::vector<Item> items;
    FileCopyIo io;
    std::function<int64_t(const char*)> freeSpace;
    bool removeOldWhenShort = false;
    bool stampNewest = false;
    std::map<std::string, time_t> stampFloor;   // per target folder, taken once before the first file
    size_t blockSize = DefaultBlockSize;

    std::atomic<bool> cancel{false};
    std::atomic<bool> stopBetweenFiles{false};
    mutable std::mutex mutex;
    mutable std::condition_variable finishedCv;
    FileCopyProgress progress;   // under mutex

    bool cancelled() const { return cancel.load(std::memory_order_relaxed); }
    void finish(FileCopyResult result, int index = 0, const std::string& path = std::string());
    void run();
    FileCopyResult copyOne(const Item& item, std::vector<char>& buffer);
    bool makeRoom(const std::string& folder, int64_t free, int64_t needed);
    ssize_t fill(int fd, char* buffer, size_t count);
    int writeAll(int fd, const char* data, size_t count);
    struct Digest {
        QByteArray md5;   // lower-case hex
        int rc = 0;       // 0 done, -1 read failure (error), 1 stopped by a cancel or the other side's failure
        int error = 0;
    };
    Digest digest(int fd, std::vector<char>& buffer, const std::atomic<bool>& giveUp);
    FileCopyResult verify(const Item& item, int tempFd, std::vector<char>& buffer);
    FileCopyResult readFailure(const Item& item, int error);
    FileCopyResult writeFailure(const Item& item, int error);
};

void FileCopyJob::State::finish(FileCopyResult result, int index, const std::string& path)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        progress.result = result;
        progress.verifying = false;
        progress.failedIndex = result == FileCopyResult::Done ? 0 : index;
        progress.failedPath = result == FileCopyResult::Done ? std::string() : path;
    }
    finishedCv.notify_all();
}

// Reads until count bytes or the end of the file: the count read, or -1 with errno.
ssize_t FileCopyJob::State::fill(int fd, char* buffer, size_t count)
{
    size_t got = 0;
    while (got < count) {
        const ssize_t n = io.read(fd, buffer + got, count - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Writes all bytes, carrying on after short writes: 0 or an errno value.
int FileCopyJob::State::writeAll(int fd, const char* data, size_t count)
{
    while (count > 0) {
        const ssize_t n = io.write(fd, data, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno ? errno : EIO;
        }
        if (n == 0)
            return EIO;   // no progress: the medium refuses the data
        data += n;
        count -= static_cast<size_t>(n);
    }
    return 0;
}

FileCopyResult FileCopyJob::State::readFailure(const Item& item, int error)
{
    if (!exists(item.source)) {
        qWarning() << LOG_SRC(kSrc) << "source gone:" << item.source.c_str();
        return FileCopyResult::SourceMissing;
    }
    qWarning() << LOG_SRC(kSrc) << "read sourse file error:" << item.source.c_str() << strerror(error);
    return FileCopyResult::ReadError;
}

FileCopyResult FileCopyJob::State::writeFailure(const Item& item, int error)
{
    qWarning() << LOG_SRC(kSrc) << "copy file write fail:" << item.target.c_str() << strerror(error);
    if (error == ENOSPC || error == EDQUOT)
        return FileCopyResult::DiskFull;
    if (!isFolder(item.folder))
        return FileCopyResult::TargetMissing;
    return FileCopyResult::WriteError;
}

// MD5 of fd from its current position to its end.
FileCopyJob::State::Digest FileCopyJob::State::digest(int fd, std::vector<char>& buffer,
                                                      const std::atomic<bool>& giveUp)
{
    Digest out;
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (;;) {
        if (cancelled() || giveUp.load(std::memory_order_relaxed)) {
            out.rc = 1;
            return out;
        }
        const ssize_t n = fill(fd, buffer.data(), buffer.size());
        if (n < 0) {
            out.rc = -1;
            out.error = errno;
            return out;
        }
        hash.addData(QByteArrayView(buffer.data(), n));
        if (static_cast<size_t>(n) < buffer.size())
            break;
    }
    out.md5 = hash.result().toHex();
    return out;
}

FileCopyResult FileCopyJob::State::verify(const Item& item, int tempFd, std::vector<char>& buffer)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        progress.verifying = true;
    }
    // The source is opened again, so a stick pulled since the copy is noticed.
    Fd source(io.open(item.source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0));
    if (!source.valid())
        return readFailure(item, errno);
    const auto copyUnreadable = [&](int error) {
        qWarning() << LOG_SRC(kSrc) << "read dst file error:" << strerror(error);
        return isFolder(item.folder) ? FileCopyResult::VerifyFailed : FileCopyResult::TargetMissing;
    };
    if (::lseek(tempFd, 0, SEEK_SET) != 0)
        return copyUnreadable(errno);

    // Both files are hashed at once: MD5 costs more than reading them.
    std::atomic<bool> giveUp{false};
    Digest sourceDigest, copyDigest;
    std::vector<char> second(buffer.size());
    std::thread sourceHasher;
    try {
        sourceHasher = std::thread([&] {
            sourceDigest = digest(source.get(), second, giveUp);
            if (sourceDigest.rc != 0)
                giveUp = true;
        });
    } catch (const std::system_error&) {
        sourceDigest = digest(source.get(), buffer, giveUp);
        if (sourceDigest.rc != 0)
            giveUp = true;
    }
    copyDigest = digest(tempFd, buffer, giveUp);
    if (copyDigest.rc != 0)
        giveUp = true;
    if (sourceHasher.joinable())
        sourceHasher.join();

    if (sourceDigest.rc < 0)
        return readFailure(item, sourceDigest.error);
    if (copyDigest.rc < 0)
        return copyUnreadable(copyDigest.error);
    if (sourceDigest.rc != 0 || copyDigest.rc != 0)
        return FileCopyResult::Cancelled;
    qDebug() << LOG_SRC(kSrc) << "srcFileMd5Str=" << sourceDigest.md5.constData()
             << "dstFileMd5Str=" << copyDigest.md5.constData();
    if (sourceDigest.md5 != copyDigest.md5) {
        qWarning() << LOG_SRC(kSrc) << "md5 not same:" << item.target.c_str();
        return FileCopyResult::VerifyFailed;
    }
    return FileCopyResult::Done;
}

FileCopyResult FileCopyJob::State::copyOne(const Item& item, std::vector<char>& buffer)
{
    // O_NONBLOCK: a FIFO in place of a file must not hang the thread in open().
    Fd source(io.open(item.source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0));
    if (!source.valid())
        return readFailure(item, errno);
    struct stat sourceStat;
    if (::fstat(source.get(), &sourceStat) != 0)
        return readFailure(item, errno);
    if (!S_ISREG(sourceStat.st_mode) || !isStorageFile(item.source)) {
        qWarning() << LOG_SRC(kSrc) << "not a plain file of the storage:" << item.source.c_str();
        return FileCopyResult::ReadError;
    }
    struct stat targetStat;
    if (::stat(item.target.c_str(), &targetStat) == 0) {
        if (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino) {
            qWarning() << LOG_SRC(kSrc) << "source and target are the same file:" << item.target.c_str();
            return FileCopyResult::SameFile;
        }
    }
    struct stat targetLink;
    if (::lstat(item.target.c_str(), &targetLink) == 0 && S_ISDIR(targetLink.st_mode)) {
        qWarning() << LOG_SRC(kSrc) << "target is a folder:" << item.target.c_str();
        return FileCopyResult::TargetNotCreated;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        progress.fileTotal = sourceStat.st_size;
    }

    // A hidden name of our own in the target folder: never a user's file, never
    // a link (O_EXCL), and safe wherever the name is shown or passed on.
    const std::string& folder = item.folder;
    std::string tempPath;
    Fd temp;
    const auto disown = [&tempPath] {
        std::lock_guard<std::mutex> lock(g_ownedMutex);
        g_ownedTemporaries.erase(tempPath);
    };
    for (int attempt = 0; attempt < 16 && !temp.valid(); ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "/.copy-%08x.tmp", QRandomGenerator::global()->generate());
        tempPath = folder + name;
        {
            std::lock_guard<std::mutex> lock(g_ownedMutex);
            if (!g_ownedTemporaries.insert(tempPath).second)
                continue;
        }
        temp.reset(io.open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0664));
        if (temp.valid())
            break;
        const int error = errno;
        disown();
        errno = error;
        if (error != EEXIST)
            break;
    }
    if (!temp.valid()) {
        const int error = errno;
        qWarning() << LOG_SRC(kSrc) << "open destination file error:" << tempPath.c_str() << strerror(error);
        if (error == ENOENT || error == ENOTDIR)
            return FileCopyResult::TargetMissing;
        if (error == ENOSPC || error == EDQUOT)
            return FileCopyResult::DiskFull;
        if (!isFolder(folder))
            return FileCopyResult::TargetMissing;
        return FileCopyResult::TargetNotCreated;   // read-only, no permission
    }

    // From here on every way out removes the temporary file unless it was renamed.
    struct TempGuard {
        const std::string& path;
        Fd& fd;
        bool keep = false;
        ~TempGuard()
        {
            fd.close();
            if (!keep)
                ::unlink(path.c_str());
            std::lock_guard<std::mutex> lock(g_ownedMutex);
            g_ownedTemporaries.erase(path);
        }
    } guard{tempPath, temp};

    for (;;) {
        if (cancelled()) {
            qDebug() << LOG_SRC(kSrc) << "cancel copy" << item.target.c_str();
            return FileCopyResult::Cancelled;
        }
        const ssize_t n = fill(source.get(), buffer.data(), buffer.size());
        if (n < 0)
            return readFailure(item, errno);
        if (n > 0) {
            const int error = writeAll(temp.get(), buffer.data(), static_cast<size_t>(n));
            if (error != 0)
                return writeFailure(item, error);
            std::lock_guard<std::mutex> lock(mutex);
            progress.fileDone += n;
            progress.bytesDone += n;
        }
        if (static_cast<size_t>(n) < buffer.size())
            break;
    }
    source.close();
    if (io.fsync(temp.get()) != 0)
        return writeFailure(item, errno);

    const FileCopyResult checked = verify(item, temp.get(), buffer);
    if (checked != FileCopyResult::Done)
        return checked;
    if (const int error = temp.close())
        return writeFailure(item, error);
    if (cancelled())
        return FileCopyResult::Cancelled;

    if (stampNewest)
        getConfigFile().configFile()->updateFileModifyTime(tempPath, stampFloor[folder]);
    // rename() replaces a link at the target name itself, never what it points to.
    if (::rename(tempPath.c_str(), item.target.c_str()) != 0) {
        const int error = errno;
        qWarning() << LOG_SRC(kSrc) << "cannot rename" << tempPath.c_str() << "to" << item.target.c_str()
                   << strerror(error);
        if (error == ENOENT)
            return FileCopyResult::TargetMissing;
        return writeFailure(item, error);
    }
    guard.keep = true;
    Fd dir(io.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (dir.valid() && io.fsync(dir.get()) != 0)
        qWarning() << LOG_SRC(kSrc) << "cannot sync folder" << folder.c_str() << strerror(errno);
    qDebug() << LOG_SRC(kSrc) << "copy" << item.target.c_str() << "complete";
    return FileCopyResult::Done;
}

// Removes the old files of folder's copies when that gives the room the
// copies need; false (nothing removed) when even that is not enough.
bool FileCopyJob::State::makeRoom(const std::string& folder, int64_t free, int64_t needed)
{
    if (!removeOldWhenShort || free < 0 || cancelled())
        return false;
    int64_t freed = 0;
    for (const Item& item : items)
        if (item.folder == folder && !item.nameClash)
            freed += oldFileRoom(item.source, item.target);
    if (free + freed < needed)
        return false;
    for (const Item& item : items) {
        if (item.folder != folder || item.nameClash || oldFileRoom(item.source, item.target) == 0)
            continue;
        qDebug() << LOG_SRC(kSrc) << "no room beside it, remove file: " << item.target.c_str();
        if (::unlink(item.target.c_str()) != 0)
            qWarning() << LOG_SRC(kSrc) << "cannot remove" << item.target.c_str() << strerror(errno);
    }
    // The removal on the medium before its room is written to.
    Fd dir(io.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (dir.valid())
        io.fsync(dir.get());
    return true;
}

void FileCopyJob::State::run()
{
    const int count = static_cast<int>(items.size());
    // Every file waits in a temporary file beside the old one until it is
    // verified, so each folder needs room for all of its files at once.
    std::map<std::string, int64_t> needed;
    int64_t total = 0;
    for (const Item& item : items) {
        struct stat st;
        const int64_t size = ::stat(item.source.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
        needed[item.folder] += size;
        total += size;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        progress.bytesTotal = total;   // fileCount was set by start()
    }
    // Copies cut short earlier hold space that this one may need.
    for (const auto& entry : needed) {
        FileCopyJob::removeStaleTemporaries(entry.first);
        if (stampNewest)
            stampFloor[entry.first] = Config::pastNewestIn(entry.first);
    }
    if (freeSpace) {
        for (const auto& [folder, bytes] : needed) {
            const int64_t free = freeSpace(folder.c_str());
            if (free < bytes && !makeRoom(folder, free, bytes)) {
                qWarning() << LOG_SRC(kSrc) << "not enough space in" << folder.c_str() << ":" << free
                           << "free," << bytes << "needed";
                finish(FileCopyResult::DiskFull, count > 0 ? 1 : 0, count > 0 ? items[0].source : std::string());
                return;
            }
        }
    }

    std::vector<char> buffer(blockSize);
    for (int i = 0; i < count; ++i) {
        if (cancelled() || stopBetweenFiles.load()) {
            finish(FileCopyResult::Cancelled, i + 1, items[i].source);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            progress.fileIndex = i + 1;
            progress.verifying = false;
            progress.fileDone = 0;
            progress.fileTotal = 0;
        }
        qDebug() << LOG_SRC(kSrc) << "copy start targetPath:" << items[i].target.c_str();
        FileCopyResult result = FileCopyResult::NameClash;
        if (items[i].nameClash)
            qWarning() << LOG_SRC(kSrc) << "an earlier file of this copy has the name" << items[i].target.c_str();
        else
            result = copyOne(items[i], buffer);
        if (result != FileCopyResult::Done) {
            qWarning() << LOG_SRC(kSrc) << "copy of" << items[i].source.c_str() << "failed:"
                       << fileCopyResultName(result);
            finish(result, i + 1, items[i].source);
            return;
        }
        std::lock_guard<std::mutex> lock(mutex);
        progress.copiedTargets.push_back(items[i].target);
    }
    finish(FileCopyResult::Done);
}

namespace {

void* copyThreadMain(void* argument)
{
    std::shared_ptr<FileCopyJob::State> state;
    {
        std::unique_ptr<std::shared_ptr<FileCopyJob::State>> handed(
            static_cast<std::shared_ptr<FileCopyJob::State>*>(argument));
        state = std::move(*handed);
    }
    state->run();
    state.reset();
    g_runningThreads.fetch_sub(1);
    return nullptr;
}

} // namespace

FileCopyJob::FileCopyJob() : m_state(std::make_shared<State>())
{
    std::shared_ptr<const FileCopyIo> testIo;
    {
        std::lock_guard<std::mutex> lock(g_testIoMutex);
        testIo = g_testIo;
    }
    m_state->io = testIo ? *testIo : FileCopyIo::system();
    const FileCopyIo system = FileCopyIo::system();
    if (!m_state->io.open) m_state->io.open = system.open;
    if (!m_state->io.read) m_state->io.read = system.read;
    if (!m_state->io.write) m_state->io.write = system.write;
    if (!m_state->io.fsync) m_state->io.fsync = system.fsync;
    if (!m_state->io.startThread) m_state->io.startThread = system.startThread;
}

FileCopyJob::~FileCopyJob()
{
    if (!m_detached)
        cancel();
}

std::string FileCopyJob::addFile(const std::string& source, const std::string& targetDir)
{
    for (const State::Item& item : m_state->items) {
        if (item.source == source)
            return item.target;
    }
    std::string folder = targetDir;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::string target = folder + "/" + fileNameOf(source);
    bool clash = false;
    for (const State::Item& item : m_state->items)
        clash = clash || item.target == target;
    m_state->items.push_back({source, folder, target, clash});
    return target;
}

void FileCopyJob::setFreeSpaceQuery(std::function<int64_t(const char*)> query)
{
    m_state->freeSpace = std::move(query);
}

void FileCopyJob::setRemoveOldFilesWhenShort(bool on)
{
    m_state->removeOldWhenShort = on;
}

void FileCopyJob::setStampNewest(bool on)
{
    m_state->stampNewest = on;
}

void FileCopyJob::setBlockSize(size_t bytes)
{
    m_state->blockSize = std::min(std::max(bytes, kMinBlockSize), kMaxBlockSize);
}

bool FileCopyJob::start()
{
    if (m_started)
        return result() != FileCopyResult::ThreadNotCreated;
    m_started = true;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->progress.fileCount = static_cast<int>(m_state->items.size());
    }
    g_runningThreads.fetch_add(1);
    auto* handed = new std::shared_ptr<State>(m_state);
    const int rc = m_state->io.startThread(copyThreadMain, handed);
    if (rc != 0) {
        delete handed;
        g_runningThreads.fetch_sub(1);
        qCritical() << LOG_SRC(kSrc) << "create pthread copy failed:" << strerror(rc);
        m_state->finish(FileCopyResult::ThreadNotCreated);
        return false;
    }
    return true;
}

void FileCopyJob::cancel()
{
    m_state->cancel.store(true);
}

void FileCopyJob::detach()
{
    m_detached = true;
}

void FileCopyJob::stopBeforeNextFile()
{
    m_state->stopBetweenFiles.store(true);
}

FileCopyProgress FileCopyJob::progress() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->progress;
}

bool FileCopyJob::finished() const
{
    return result() != FileCopyResult::Running;
}

FileCopyResult FileCopyJob::result() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->progress.result;
}

bool FileCopyJob::wait(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    const auto done = [this] { return m_state->progress.result != FileCopyResult::Running; };
    if (timeoutMs < 0) {
        m_state->finishedCv.wait(lock, done);
        return true;
    }
    return m_state->finishedCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

int64_t FileCopyJob::totalSize(const std::vector<std::string>& paths)
{
    int64_t total = 0;
    for (const std::string& path : paths) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            total += st.st_size;
    }
    return total;
}

int64_t FileCopyJob::bytesFreedByReplacing(const std::string& source, const std::string& targetDir)
{
    std::string folder = targetDir;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return oldFileRoom(source, folder + "/" + fileNameOf(source));
}

int FileCopyJob::removeStaleTemporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const struct dirent* entry = ::readdir(dir)) {
        if (!isCopyTemporary(entry->d_name))
            continue;
        std::lock_guard<std::mutex> lock(g_ownedMutex);
        if (g_ownedTemporaries.count(folder + "/" + entry->d_name))
            continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) {
            ++removed;
            qDebug() << LOG_SRC(kSrc) << "removed a stale copy" << entry->d_name << "in" << folder.c_str();
        }
    }
    ::closedir(dir);
    return removed;
}

int FileCopyJob::runningThreads()
{
    return g_runningThreads.load();
}

void FileCopyJob::setIoForTesting(std::shared_ptr<const FileCopyIo> io)
{
    std::lock_guard<std::mutex> lock(g_testIoMutex);
    g_testIo = std::move(io);
}
