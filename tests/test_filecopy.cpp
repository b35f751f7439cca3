// The copy engine on its own: sizes, faults injected into its system calls,
// cancel and a vanishing source at every point, and what it leaves behind.
#include "Config/Config.h"
#include "Files/FileCopy.h"
#include "tests/support/CopyFaults.h"
#include "tests/support/Sandbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace CopyFaults;

namespace {
Hooks& g_hooks = hooks();
bool waitForThreads() { return waitForCopyThreads(); }
}

class TestFileCopy : public QObject {
    Q_OBJECT
private:
    Sandbox* m_sandbox = nullptr;
    QTemporaryDir* m_dir = nullptr;
    int m_descriptors = 0;

    QString src(const QString& name) const { return m_dir->path() + "/from/" + name; }
    QString dst(const QString& name) const { return m_dir->path() + "/to/" + name; }
    QString toDir() const { return m_dir->path() + "/to"; }
    static void write(const QString& path, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(data), qint64(data.size()));
    }
    static QByteArray read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Every name in the target folder; a leftover temporary file shows up here.
    QStringList targetNames() const { return allNames(toDir()); }
    static FileCopyResult run(FileCopyJob& job)
    {
        job.start();
        if (!job.wait(20000))
            return FileCopyResult::Running;
        return job.result();
    }

private slots:
    void initTestCase()
    {
        m_sandbox = new Sandbox;
        FileCopyJob::setIoForTesting(hookedIo());
    }
    void cleanupTestCase()
    {
        FileCopyJob::setIoForTesting(nullptr);
        delete m_sandbox;
    }
    void init()
    {
        QVERIFY(waitForThreads());
        g_hooks.clear();
        m_dir = new QTemporaryDir;
        QVERIFY(QDir().mkpath(m_dir->path() + "/from"));
        QVERIFY(QDir().mkpath(toDir()));
        m_descriptors = openDescriptors();
    }
    void cleanup()
    {
        QVERIFY(waitForThreads());
        g_hooks.clear();
        QCOMPARE(openDescriptors(), m_descriptors);
        delete m_dir;
        m_dir = nullptr;
    }

    void copiesEverySize_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("block");
        for (int block : {4096, int(FileCopyJob::DefaultBlockSize)}) {
            for (qint64 size : {qint64(0), qint64(1), qint64(4095), qint64(4096), qint64(4097),
                                qint64(block) - 1, qint64(block), qint64(block) + 1, qint64(3 * block)}) {
                const QByteArray tag = QByteArray::number(size) + " in " + QByteArray::number(block);
                QTest::newRow(tag.constData()) << size << block;
            }
        }
    }
    void copiesEverySize()
    {
        QFETCH(qint64, size);
        QFETCH(int, block);
        const QByteArray data = pattern(size);
        write(src("model.gx"), data);
        write(dst("model.gx"), "old content");
        FileCopyJob job;
        job.setBlockSize(block);
        QCOMPARE(job.addFile(src("model.gx").toStdString(), toDir().toStdString()), dst("model.gx").toStdString());
        QCOMPARE(run(job), FileCopyResult::Done);
        QCOMPARE(read(dst("model.gx")), data);
        QCOMPARE(targetNames(), QStringList{"model.gx"});
        const FileCopyProgress p = job.progress();
        QCOMPARE(p.bytesDone, size);
        QCOMPARE(p.bytesTotal, size);
        QCOMPARE(p.fileIndex, 1);
        QCOMPARE(p.fileCount, 1);
        QCOMPARE(p.copiedTargets, std::vector<std::string>{dst("model.gx").toStdString()});
    }

    void copiesALargeFileAndSeveralFiles()
    {
        // 64 MiB: mostly zeros with patterned stretches, so a misplaced block shows.
        QByteArray big(64 * 1024 * 1024, '\0');
        const QByteArray stripe = pattern(70000, 7);
        for (qint64 at = 12345; at + stripe.size() < big.size(); at += 5 * 1024 * 1024)
            big.replace(at, stripe.size(), stripe);
        write(src("big.gx"), big);
        write(src("small.g"), "G28\n");
        FileCopyJob job;
        job.addFile(src("big.gx").toStdString(), toDir().toStdString());
        job.addFile(src("small.g").toStdString(), toDir().toStdString());
        QCOMPARE(run(job), FileCopyResult::Done);
        QCOMPARE(QCryptographicHash::hash(read(dst("big.gx")), QCryptographicHash::Md5),
                 QCryptographicHash::hash(big, QCryptographicHash::Md5));
        QCOMPARE(read(dst("small.g")), QByteArray("G28\n"));
        QCOMPARE(job.progress().bytesTotal, qint64(big.size()) + 4);
        QCOMPARE(job.progress().fileIndex, 2);
        QCOMPARE(targetNames(), (QStringList{"big.gx", "small.g"}));
    }

    // Faults inside one file: the old target survives and nothing else is left.
    void faultsKeepTheOldTarget_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("expected");
        QTest::newRow("short writes") << "short writes" << int(FileCopyResult::Done);
        QTest::newRow("interrupted calls") << "interrupted" << int(FileCopyResult::Done);
        QTest::newRow("write makes no progress") << "write zero" << int(FileCopyResult::WriteError);
        QTest::newRow("write fails") << "write EIO" << int(FileCopyResult::WriteError);
        QTest::newRow("disk full mid-file") << "ENOSPC" << int(FileCopyResult::DiskFull);
        QTest::newRow("read error") << "read EIO" << int(FileCopyResult::ReadError);
        QTest::newRow("sync fails") << "fsync EIO" << int(FileCopyResult::WriteError);
        QTest::newRow("sync finds the disk full") << "fsync ENOSPC" << int(FileCopyResult::DiskFull);
        QTest::newRow("copy differs") << "corrupt" << int(FileCopyResult::VerifyFailed);
        QTest::newRow("copy unreadable") << "temp EIO" << int(FileCopyResult::VerifyFailed);
        QTest::newRow("source unreadable in verification") << "verify EIO" << int(FileCopyResult::ReadError);
    }
    void faultsKeepTheOldTarget()
    {
        QFETCH(QString, fault);
        QFETCH(int, expected);
        const QByteArray data = pattern(300000);
        write(src("model.gx"), data);
        write(dst("model.gx"), "old content");
        std::atomic<int> sourceReads{0}, writes{0}, interrupted{0};
        {
            std::lock_guard<std::mutex> lock(g_hooks.mutex);
            g_hooks.write = [&](int fd, FdKind kind, const void* buffer, size_t count, ssize_t& result) {
                if (kind != FdKind::Temp)
                    return false;
                const int n = ++writes;
                if (fault == "short writes") {
                    result = ::write(fd, buffer, std::min<size_t>(count, 1000));
                    return true;
                }
                if (fault == "interrupted" && n % 2 == 1) {
                    ++interrupted;
                    errno = EINTR;
                    result = -1;
                    return true;
                }
                if (fault == "write zero" && n == 2) {
                    result = 0;
                    return true;
                }
                if ((fault == "write EIO" || fault == "ENOSPC") && n == 2) {
                    result = ::write(fd, buffer, count / 2);   // part of the block lands, then the error
                    return true;
                }
                if ((fault == "write EIO" || fault == "ENOSPC") && n == 3) {
                    errno = fault == "ENOSPC" ? ENOSPC : EIO;
                    result = -1;
                    return true;
                }
                if (fault == "corrupt" && n == 1) {
                    QByteArray changed(static_cast<const char*>(buffer), int(count));
                    changed[int(count) / 2] = char(changed[int(count) / 2] ^ 0x40);
                    result = ::write(fd, changed.constData(), count);
                    return true;
                }
                return false;
            };
            g_hooks.read = [&](int fd, FdKind kind, void*, size_t, ssize_t& result) {
                if (kind == FdKind::Source) {
                    const int n = ++sourceReads;
                    if (fault == "interrupted" && n % 2 == 1) {
                        errno = EINTR;
                        result = -1;
                        return true;
                    }
                    if ((fault == "read EIO" && n == 2) || (fault == "verify EIO" && n == 8)) {
                        errno = EIO;
                        result = -1;
                        return true;
                    }
                }
                if (kind == FdKind::Temp && fault == "temp EIO") {
                    errno = EIO;
                    result = -1;
                    return true;
                }
                return false;
            };
            g_hooks.fsync = [&](int, FdKind kind, int& result) {
                if (kind != FdKind::Temp || !fault.startsWith("fsync"))
                    return false;
                errno = fault.endsWith("ENOSPC") ? ENOSPC : EIO;
                result = -1;
                return true;
            };
        }
        FileCopyJob job;
        job.setBlockSize(65536);   // 5 blocks; verification reads the source in reads 6 to 10
        job.addFile(src("model.gx").toStdString(), toDir().toStdString());
        QCOMPARE(int(run(job)), expected);
        if (expected == int(FileCopyResult::Done)) {
            QCOMPARE(read(dst("model.gx")), data);
            if (fault == "interrupted")
                QVERIFY(interrupted > 0);
        } else {
            QCOMPARE(read(dst("model.gx")), QByteArray("old content"));
            QCOMPARE(job.progress().failedIndex, 1);
            QCOMPARE(job.progress().failedPath, src("model.gx").toStdString());
            QVERIFY(job.progress().copiedTargets.empty());
        }
        QCOMPARE(targetNames(), QStringList{"model.gx"});
        QCOMPARE(read(src("model.gx")), data);
    }

    // A real file system that runs full: needs the right to mount (root here).
    void diskFullOnASmallFileSystem()
    {
        const QString mnt = toDir() + "/small";
        QVERIFY(QDir().mkpath(mnt));
        if (::mount("tmpfs", mnt.toLocal8Bit().constData(), "tmpfs", 0, "size=256k") != 0)
            QSKIP("cannot mount a tmpfs here; the injected ENOSPC case covers disk full");
        struct Unmount {
            QString path;
            ~Unmount() { ::umount2(path.toLocal8Bit().constData(), MNT_DETACH); }
        } unmount{mnt};
        write(mnt + "/model.gx", "old content");
        write(src("model.gx"), pattern(400 * 1024));
        FileCopyJob job;
        job.addFile(src("model.gx").toStdString(), mnt.toStdString());
        QCOMPARE(run(job), FileCopyResult::DiskFull);
        QCOMPARE(read(mnt + "/model.gx"), QByteArray("old content"));
        QCOMPARE(allNames(mnt), QStringList{"model.gx"});
    }

    void freeSpaceIsCheckedBeforeWriting()
    {
        write(src("a.gx"), pattern(1000));
        write(src("b.gx"), pattern(500));
        for (int64_t free : {int64_t(-1), int64_t(0), int64_t(1499), int64_t(1500)}) {
            QByteArray askedFor;
            FileCopyJob job;
            job.setFreeSpaceQuery([&](const char* path) { askedFor = path; return free; });
            job.addFile(src("a.gx").toStdString(), toDir().toStdString());
            job.addFile(src("b.gx").toStdString(), toDir().toStdString());
            const FileCopyResult result = run(job);
            QCOMPARE(askedFor, toDir().toLocal8Bit());
            if (free == 1500) {   // equal is enough
                QCOMPARE(result, FileCopyResult::Done);
            } else {
                QCOMPARE(result, FileCopyResult::DiskFull);
                QVERIFY(targetNames().isEmpty());
            }
        }
    }

    void sizesAreSixtyFourBit()
    {
        // Two sparse files of 1.5 GiB: the sum is past 2 GiB, nothing is read.
        const qint64 big = 3LL * 512 * 1024 * 1024;
        for (const char* name : {"src1.gx", "src2.gx"}) {
            QFile f(src(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(big));
        }
        const std::vector<std::string> both{src("src1.gx").toStdString(), src("src2.gx").toStdString()};
        QCOMPARE(FileCopyJob::totalSize(both), 2 * big);
        FileCopyJob job;
        job.setFreeSpaceQuery([&](const char*) { return int64_t(2 * big - 1); });
        for (const std::string& s : both)
            job.addFile(s, toDir().toStdString());
        QCOMPARE(run(job), FileCopyResult::DiskFull);
        QCOMPARE(job.progress().bytesTotal, 2 * big);
        QVERIFY(targetNames().isEmpty());
    }

    void cancelAtEveryPoint_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QStringList>("copied");
        QTest::newRow("before the start") << "start" << QStringList{};
        QTest::newRow("during the first file") << "first file" << QStringList{};
        QTest::newRow("between files") << "between" << QStringList{"src1.gx"};
        QTest::newRow("during the second file") << "second file" << QStringList{"src1.gx"};
        QTest::newRow("verifying the source") << "verify source" << QStringList{"src1.gx"};
        QTest::newRow("verifying the copy") << "verify copy" << QStringList{"src1.gx"};
        QTest::newRow("after the verification") << "verified" << QStringList{"src1.gx"};
    }
    void cancelAtEveryPoint()
    {
        QFETCH(QString, point);
        QFETCH(QStringList, copied);
        const QByteArray one = pattern(200000, 1), two = pattern(200000, 2);
        write(src("src1.gx"), one);
        write(src("src2.gx"), two);
        write(dst("src1.gx"), "old one");
        write(dst("src2.gx"), "old two");
        FileCopyJob job;
        job.setBlockSize(65536);
        std::atomic<int> dirSyncs{0}, tempSyncs{0}, sourceReads{0};
        {
            std::lock_guard<std::mutex> lock(g_hooks.mutex);
            g_hooks.fsync = [&](int, FdKind kind, int&) {
                if (kind == FdKind::Folder && ++dirSyncs == 1 && point == "between")
                    job.cancel();
                if (kind == FdKind::Temp)
                    ++tempSyncs;
                return false;
            };
            g_hooks.read = [&](int fd, FdKind kind, void* buffer, size_t count, ssize_t& result) {
                if (kind == FdKind::Source) {
                    ++sourceReads;
                    if ((point == "first file" && tempSyncs == 0 && sourceReads == 2)
                        || (point == "second file" && tempSyncs == 1 && dirSyncs == 1)
                        || (point == "verify source" && tempSyncs == 2))
                        job.cancel();
                }
                if (kind == FdKind::Temp && tempSyncs == 2) {
                    result = ::read(fd, buffer, count);
                    if (point == "verify copy" || (point == "verified" && result == 0))
                        job.cancel();
                    return true;
                }
                return false;
            };
        }
        job.addFile(src("src1.gx").toStdString(), toDir().toStdString());
        job.addFile(src("src2.gx").toStdString(), toDir().toStdString());
        if (point == "start")
            job.cancel();
        QCOMPARE(run(job), FileCopyResult::Cancelled);
        QCOMPARE(read(dst("src1.gx")), copied.contains("src1.gx") ? one : QByteArray("old one"));
        QCOMPARE(read(dst("src2.gx")), QByteArray("old two"));
        QCOMPARE(targetNames(), (QStringList{"src1.gx", "src2.gx"}));
        QCOMPARE(int(job.progress().copiedTargets.size()), copied.size());
    }

    // The stick pulled: the source vanishes at every point of a two-file copy.
    void sourceRemovedAtEveryPoint_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<bool>("firstCopied");
        QTest::newRow("before the start") << "start" << false;
        QTest::newRow("during the first file") << "first file" << false;
        QTest::newRow("unlinked during the first file") << "unlinked" << false;
        QTest::newRow("between files") << "between" << true;
        QTest::newRow("during the second file") << "second file" << true;
        QTest::newRow("during the verification") << "verify" << true;
    }
    void sourceRemovedAtEveryPoint()
    {
        QFETCH(QString, point);
        QFETCH(bool, firstCopied);
        const QByteArray one = pattern(200000, 1), two = pattern(200000, 2);
        write(src("src1.gx"), one);
        write(src("src2.gx"), two);
        write(dst("src1.gx"), "old one");
        write(dst("src2.gx"), "old two");
        const QString victim = firstCopied ? src("src2.gx") : src("src1.gx");
        std::atomic<int> dirSyncs{0}, tempSyncs{0}, sourceReads{0};
        {
            std::lock_guard<std::mutex> lock(g_hooks.mutex);
            g_hooks.fsync = [&](int, FdKind kind, int&) {
                if (kind == FdKind::Folder && ++dirSyncs == 1 && point == "between")
                    QFile::remove(victim);
                if (kind == FdKind::Temp && ++tempSyncs == 2 && point == "verify")
                    QFile::remove(victim);
                return false;
            };
            g_hooks.read = [&](int, FdKind kind, void*, size_t, ssize_t& result) {
                if (kind != FdKind::Source)
                    return false;
                ++sourceReads;
                const bool here = (point == "first file" && tempSyncs == 0 && sourceReads == 2)
                    || (point == "unlinked" && tempSyncs == 0 && sourceReads == 2)
                    || (point == "second file" && tempSyncs == 1 && dirSyncs == 1);
                if (!here)
                    return false;
                QFile::remove(victim);
                if (point == "unlinked")
                    return false;   // the open file still reads; the verification misses it
                errno = EIO;
                result = -1;
                return true;
            };
        }
        FileCopyJob job;
        job.setBlockSize(65536);
        job.addFile(src("src1.gx").toStdString(), toDir().toStdString());
        job.addFile(src("src2.gx").toStdString(), toDir().toStdString());
        if (point == "start")
            QFile::remove(victim);
        QCOMPARE(run(job), FileCopyResult::SourceMissing);
        QCOMPARE(job.progress().failedIndex, firstCopied ? 2 : 1);
        QCOMPARE(read(dst("src1.gx")), firstCopied ? one : QByteArray("old one"));
        QCOMPARE(read(dst("src2.gx")), QByteArray("old two"));
        QCOMPARE(targetNames(), (QStringList{"src1.gx", "src2.gx"}));
    }

    void targetFolderRemoved()
    {
        write(src("model.gx"), pattern(200000));
        {
            std::lock_guard<std::mutex> lock(g_hooks.mutex);
            g_hooks.write = [&](int, FdKind kind, const void*, size_t, ssize_t& result) {
                if (kind != FdKind::Temp)
                    return false;
                QDir().rename(toDir(), toDir() + ".gone");
                errno = EIO;
                result = -1;
                return true;
            };
        }
        FileCopyJob job;
        job.addFile(src("model.gx").toStdString(), toDir().toStdString());
        QCOMPARE(run(job), FileCopyResult::TargetMissing);
        FileCopyJob again;   // the folder is still gone: the temporary file cannot be made
        again.addFile(src("model.gx").toStdString(), toDir().toStdString());
        QCOMPARE(run(again), FileCopyResult::TargetMissing);
    }

    void sameFileIsRefused()
    {
        const QByteArray data = pattern(5000);
        write(src("model.gx"), data);
        {
            FileCopyJob job;
            job.addFile(src("model.gx").toStdString(), (m_dir->path() + "/from/").toStdString());
            QCOMPARE(run(job), FileCopyResult::SameFile);
        }
        QVERIFY(::link(src("model.gx").toLocal8Bit().constData(), dst("model.gx").toLocal8Bit().constData()) == 0);
        {
            FileCopyJob job;
            job.addFile(src("model.gx").toStdString(), toDir().toStdString());
            QCOMPARE(run(job), FileCopyResult::SameFile);
        }
        QCOMPARE(read(src("model.gx")), data);
        QCOMPARE(QDir(m_dir->path() + "/from").entryList(QDir::NoDotAndDotDot | QDir::Files | QDir::Hidden),
                 QStringList{"model.gx"});
        QCOMPARE(targetNames(), QStringList{"model.gx"});
    }

    void linkAtTheTargetIsReplacedNotFollowed()
    {
        write(src("model.gx"), "new");
        write(m_dir->path() + "/victim", "precious");
        QVERIFY(QFile::link(m_dir->path() + "/victim", dst("model.gx")));
        FileCopyJob job;
        job.addFile(src("model.gx").toStdString(), toDir().toStdString());
        QCOMPARE(run(job), FileCopyResult::Done);
        QCOMPARE(read(m_dir->path() + "/victim"), QByteArray("precious"));
        QVERIFY(!QFileInfo(dst("model.gx")).isSymLink());
        QCOMPARE(read(dst("model.gx")), QByteArray("new"));
    }

    void oddSourcesAndTargets()
    {
        QVERIFY(::mkfifo(src("pipe.gx").toLocal8Bit().constData(), 0644) == 0);
        QVERIFY(QDir().mkpath(src("folder.gx")));
        write(src("model.gx"), "data");
        QVERIFY(QDir().mkpath(dst("model.gx")));   // a folder where the file should go
        for (const char* name : {"pipe.gx", "folder.gx"}) {
            FileCopyJob job;
            job.addFile(src(name).toStdString(), (m_dir->path() + "/elsewhere").toStdString());
            QCOMPARE(run(job), FileCopyResult::ReadError);
        }
        FileCopyJob job;
        job.addFile(src("model.gx").toStdString(), toDir().toStdString());
        QCOMPARE(run(job), FileCopyResult::WriteError);
        QVERIFY(QFileInfo(dst("model.gx")).isDir());
        QCOMPARE(targetNames(), QStringList{"model.gx"});
    }

    void sameNameTwiceIsRefused()
    {
        write(m_dir->path() + "/from/a/model.gx", "first");
        write(m_dir->path() + "/from/b/model.gx", "second");
        write(dst("model.gx"), "old");
        write(dst("model_2.gx"), "a file of its own");
        FileCopyJob job;
        for (const char* folder : {"a", "b"})
            QCOMPARE(job.addFile((m_dir->path() + "/from/" + folder + "/model.gx").toStdString(), toDir().toStdString()),
                     dst("model.gx").toStdString());
        // The same source twice is one copy.
        QCOMPARE(job.addFile((m_dir->path() + "/from/a/model.gx").toStdString(), toDir().toStdString() + "/"),
                 dst("model.gx").toStdString());
        // The second never replaces the first, nor any other file.
        QCOMPARE(run(job), FileCopyResult::NameClash);
        const FileCopyProgress p = job.progress();
        QCOMPARE(p.fileCount, 2);
        QCOMPARE(p.failedIndex, 2);
        QCOMPARE(read(dst("model.gx")), QByteArray("first"));
        QCOMPARE(read(dst("model_2.gx")), QByteArray("a file of its own"));
        QCOMPARE(targetNames(), (QStringList{"model.gx", "model_2.gx"}));
    }

    void copiesIntoInternalStorageListFirst()
    {
        Config* config = getConfigFile().configFile();
        config->reload();
        const std::string before = config->getModifyTime();
        write(src("a.gx"), "a");
        write(src("b.gx"), "b");
        FileCopyJob job;
        job.setStampNewest(true);
        job.addFile(src("a.gx").toStdString(), toDir().toStdString());
        job.addFile(src("b.gx").toStdString(), toDir().toStdString());
        QCOMPARE(run(job), FileCopyResult::Done);
        const QDateTime a = QFileInfo(dst("a.gx")).lastModified(), b = QFileInfo(dst("b.gx")).lastModified();
        QVERIFY(a < b);
        QVERIFY(config->getModifyTime() > before);
        QCOMPARE(b.toString("yyyyMMddhhmm.ss").toStdString(), config->getModifyTime());

        FileCopyJob plain;   // onto the stick: no stamp
        plain.addFile(src("a.gx").toStdString(), (m_dir->path() + "/stick").toStdString());
        QVERIFY(QDir().mkpath(m_dir->path() + "/stick"));
        const std::string stamp = config->getModifyTime();
        QCOMPARE(run(plain), FileCopyResult::Done);
        QCOMPARE(config->getModifyTime(), stamp);
        QVERIFY(QFileInfo(m_dir->path() + "/stick/a.gx").lastModified().secsTo(QDateTime::currentDateTime()) < 3600);
    }

    void ownerDroppedMidCopy()
    {
        write(src("model.gx"), pattern(2 * 1024 * 1024));
        write(dst("model.gx"), "old content");
        std::atomic<int> reads{0};
        {
            std::lock_guard<std::mutex> lock(g_hooks.mutex);
            g_hooks.read = [&](int, FdKind, void*, size_t, ssize_t&) {
                ++reads;
                QThread::msleep(2);
                return false;
            };
        }
        auto* job = new FileCopyJob;
        job->setBlockSize(4096);
        job->addFile(src("model.gx").toStdString(), toDir().toStdString());
        QVERIFY(job->start());
        while (reads < 3)
            QThread::msleep(1);
        delete job;   // must not wait for the copy
        QVERIFY(waitForThreads());
        QCOMPARE(read(dst("model.gx")), QByteArray("old content"));
        QCOMPARE(targetNames(), QStringList{"model.gx"});
    }

    void threadNotCreated()
    {
        write(src("model.gx"), "data");
        auto io = std::make_shared<FileCopyIo>(*hookedIo());
        io->startThread = [](void* (*)(void*), void*) { return EAGAIN; };
        FileCopyJob::setIoForTesting(io);
        FileCopyJob job;
        FileCopyJob::setIoForTesting(hookedIo());
        job.addFile(src("model.gx").toStdString(), toDir().toStdString());
        QVERIFY(!job.start());
        QVERIFY(job.finished());
        QCOMPARE(job.result(), FileCopyResult::ThreadNotCreated);
        QCOMPARE(FileCopyJob::runningThreads(), 0);
        QVERIFY(targetNames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFileCopy)
#include "test_filecopy.moc"
