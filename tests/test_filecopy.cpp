// The copy engine on its own: sizes, faults injected into its system calls,
// cancel and a vanishing source at every point, and what it leaves behind.
#include "Files/FileCopy.h"
#include "tests/support/CopyFaults.h"
#include "tests/support/Sandbox.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <atomic>

using namespace CopyFaults;

class TestFileCopy : public QObject {
    Q_OBJECT
    Sandbox m_sandbox;
    std::unique_ptr<QTemporaryDir> m_dir;

    QString src(const QString& name) const { return m_dir->path() + "/from/" + name; }
    QString dst(const QString& name) const { return m_dir->path() + "/to/" + name; }
    QString toDir() const { return m_dir->path() + "/to"; }
    QStringList targetNames() const { return allNames(toDir()); }
    void add(FileCopyJob& job, const QStringList& names, const QString& to = QString())
    {
        for (const QString& n : names)
            job.addFile(src(n).toStdString(), (to.isEmpty() ? toDir() : to).toStdString());
    }
    static FileCopyResult run(FileCopyJob& job)
    {
        job.start();
        return job.wait(20000) ? job.result() : FileCopyResult::Running;
    }
    FileCopyResult copyOne(const QString& name, const QString& to = QString())
    {
        FileCopyJob job;
        add(job, {name}, to);
        return run(job);
    }

private slots:
    void initTestCase() { FileCopyJob::setIoForTesting(hookedIo()); }
    void cleanupTestCase() { FileCopyJob::setIoForTesting(nullptr); }
    void init()
    {
        QVERIFY(waitForCopyThreads());
        hooks().clear();
        m_dir = std::make_unique<QTemporaryDir>(m_sandbox.path("/media/XXXXXX"));   // copies come from the storage
        QVERIFY(QDir().mkpath(m_dir->path() + "/from") && QDir().mkpath(toDir()));
    }
    void cleanup()
    {
        QVERIFY(waitForCopyThreads());
        hooks().clear();
        QCOMPARE(descriptorsUnder(m_dir->path()), QStringList());   // no file or folder left open
        m_dir.reset();
    }

    void copiesEverySize_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("block");
        for (int block : {4096, int(FileCopyJob::DefaultBlockSize)})
            for (qint64 size : {0, 1, 4095, 4096, 4097, block - 1, block, block + 1, 3 * block})
                QTest::addRow("%lld in %d", size, block) << size << block;
    }
    void copiesEverySize()
    {
        QFETCH(qint64, size);
        QFETCH(int, block);
        const QByteArray data = pattern(size);
        writeFile(src("model.gx"), data);
        writeFile(dst("model.gx"), "old content");
        FileCopyJob job;
        job.setBlockSize(block);
        QCOMPARE(job.addFile(src("model.gx").toStdString(), toDir().toStdString()), dst("model.gx").toStdString());
        QCOMPARE(run(job), FileCopyResult::Done);
        QCOMPARE(readAll(dst("model.gx")), data);
        QCOMPARE(targetNames(), QStringList{"model.gx"});
        const FileCopyProgress p = job.progress();
        QCOMPARE(std::make_tuple(p.bytesDone, p.bytesTotal, p.fileIndex, p.fileCount), std::make_tuple(size, size, 1, 1));
        QCOMPARE(p.copiedTargets, std::vector<std::string>{dst("model.gx").toStdString()});
    }

    // Faults inside one file: the old target survives and nothing else is left.
    void faultsKeepTheOldTarget_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<FileCopyResult>("expected");
        QTest::newRow("short writes") << "short writes" << FileCopyResult::Done;
        QTest::newRow("interrupted calls") << "interrupted" << FileCopyResult::Done;
        QTest::newRow("write makes no progress") << "write zero" << FileCopyResult::WriteError;
        QTest::newRow("write fails") << "write EIO" << FileCopyResult::WriteError;
        QTest::newRow("disk full mid-file") << "ENOSPC" << FileCopyResult::DiskFull;
        QTest::newRow("read error") << "read EIO" << FileCopyResult::ReadError;
        QTest::newRow("sync fails") << "fsync EIO" << FileCopyResult::WriteError;
        QTest::newRow("sync finds the disk full") << "fsync ENOSPC" << FileCopyResult::DiskFull;
        QTest::newRow("copy differs") << "corrupt" << FileCopyResult::VerifyFailed;
        QTest::newRow("copy unreadable") << "temp EIO" << FileCopyResult::VerifyFailed;
        QTest::newRow("source unreadable in verification") << "verify EIO" << FileCopyResult::ReadError;
    }
    void faultsKeepTheOldTarget()
    {
        QFETCH(QString, fault);
        QFETCH(FileCopyResult, expected);
        const QByteArray data = pattern(300000);
        writeFile(src("model.gx"), data);
        writeFile(dst("model.gx"), "old content");
        std::atomic<int> sourceReads{0}, writes{0}, interrupted{0};
        hooks().write = [&](int fd, FdKind kind, const void* buffer, size_t count, ssize_t& result) {
            if (kind != FdKind::Temp)
                return false;
            const int n = ++writes;
            const bool failing = fault == "write EIO" || fault == "ENOSPC";
            if (fault == "short writes" || (failing && n == 2)) {   // part of a block lands
                result = ::write(fd, buffer, fault == "short writes" ? std::min<size_t>(count, 1000) : count / 2);
                return true;
            }
            if (fault == "interrupted" && n % 2 == 1)
                return ++interrupted, fail(EINTR, result);
            if (fault == "write zero" && n == 2)
                return result = 0, true;
            if (failing && n == 3)
                return fail(fault == "ENOSPC" ? ENOSPC : EIO, result);
            if (fault == "corrupt" && n == 1) {
                QByteArray changed(static_cast<const char*>(buffer), int(count));
                changed[int(count) / 2] = char(changed[int(count) / 2] ^ 0x40);
                result = ::write(fd, changed.constData(), count);
                return true;
            }
            return false;
        };
        hooks().read = [&](int, FdKind kind, void*, size_t, ssize_t& result) {
            if (kind == FdKind::Source) {
                const int n = ++sourceReads;
                if (fault == "interrupted" && n % 2 == 1)
                    return fail(EINTR, result);
                if ((fault == "read EIO" && n == 2) || (fault == "verify EIO" && n == 8))
                    return fail(EIO, result);
            }
            return kind == FdKind::Temp && fault == "temp EIO" && fail(EIO, result);
        };
        hooks().fsync = [&](int, FdKind kind, int& result) {
            errno = fault.endsWith("ENOSPC") ? ENOSPC : EIO;
            return kind == FdKind::Temp && fault.startsWith("fsync") && (result = -1);
        };
        FileCopyJob job;
        job.setBlockSize(65536);   // 5 blocks; verification reads the source in reads 6 to 10
        add(job, {"model.gx"});
        QCOMPARE(run(job), expected);
        if (expected == FileCopyResult::Done) {
            QCOMPARE(readAll(dst("model.gx")), data);
            QVERIFY(fault != "interrupted" || interrupted > 0);
        } else {
            QCOMPARE(readAll(dst("model.gx")), QByteArray("old content"));
            const FileCopyProgress p = job.progress();
            QVERIFY(p.failedIndex == 1 && p.failedPath == src("model.gx").toStdString() && p.copiedTargets.empty());
        }
        QCOMPARE(targetNames(), QStringList{"model.gx"});
        QCOMPARE(readAll(src("model.gx")), data);
    }

    // The last job fits exactly and is stamped to list first: each copy past the one before it.
    void freeSpaceIsCheckedBeforeWriting()
    {
        writeFile(src("a.gx"), pattern(1000));
        writeFile(src("b.gx"), pattern(500));
        for (int64_t free : {int64_t(-1), int64_t(0), int64_t(1499), int64_t(1500)}) {
            QByteArray askedFor;
            FileCopyJob job;
            job.setFreeSpaceQuery([&](const char* path) { askedFor = path; return free; });
            job.setStampNewest(true);
            add(job, {"a.gx", "b.gx"});
            const FileCopyResult result = run(job);
            QCOMPARE(askedFor, toDir().toLocal8Bit());
            QCOMPARE(result, free == 1500 ? FileCopyResult::Done : FileCopyResult::DiskFull);   // equal is enough
            QVERIFY(free == 1500 || targetNames().isEmpty());
        }
        QVERIFY(QFileInfo(dst("b.gx")).lastModified() > QFileInfo(dst("a.gx")).lastModified());
        // Two sparse files of 1.5 GiB: the sum is past 2 GiB.
        const qint64 big = 3LL * 512 * 1024 * 1024;
        for (const char* name : {"src1.gx", "src2.gx"}) {
            QFile f(src(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(big));
        }
        QCOMPARE(FileCopyJob::totalSize({src("src1.gx").toStdString(), src("src2.gx").toStdString()}), 2 * big);
    }

    // A folder short of room for a copy beside the file it replaces: allowed
    // to, the job removes the old file first when that makes the room, before
    // it writes; otherwise it ends with DiskFull and touches nothing. With
    // room beside it the old file stays until the copy takes its place.
    void oldFileGoesFirstOnlyWithoutRoom_data()
    {
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QString>("old");        // what lies at the target
        QTest::addColumn<int>("oldSize");
        QTest::addColumn<qint64>("free");
        QTest::addColumn<FileCopyResult>("expected");
        QTest::newRow("room beside it") << true << "file" << 300000 << qint64(300000) << FileCopyResult::Done;
        QTest::newRow("room only in its place") << true << "file" << 300000 << qint64(1000) << FileCopyResult::Done;
        QTest::newRow("not allowed") << false << "file" << 300000 << qint64(1000) << FileCopyResult::DiskFull;
        QTest::newRow("too small even in its place") << true << "file" << 5000 << qint64(1000) << FileCopyResult::DiskFull;
        QTest::newRow("free space unknown") << true << "file" << 300000 << qint64(-1) << FileCopyResult::DiskFull;
        QTest::newRow("a file with a second name") << true << "second name" << 300000 << qint64(1000)
                                                   << FileCopyResult::DiskFull;
        QTest::newRow("a link") << true << "link" << 300000 << qint64(1000) << FileCopyResult::DiskFull;
    }
    void oldFileGoesFirstOnlyWithoutRoom()
    {
        QFETCH(bool, allowed);
        QFETCH(QString, old);
        QFETCH(int, oldSize);
        QFETCH(qint64, free);
        QFETCH(FileCopyResult, expected);
        const QByteArray data = pattern(300000), oldData = pattern(oldSize, 2);
        writeFile(src("model.gx"), data);
        const QString elsewhere = m_dir->path() + "/elsewhere.gx";
        if (old == "file") {
            writeFile(dst("model.gx"), oldData);
        } else {
            writeFile(elsewhere, oldData);
            QVERIFY(old == "link" ? QFile::link(elsewhere, dst("model.gx"))
                                  : ::link(QFile::encodeName(elsewhere).constData(),
                                           QFile::encodeName(dst("model.gx")).constData()) == 0);
        }
        // What a page asks before it starts: only a plain file of one name frees its room.
        const int64_t freed = FileCopyJob::bytesFreedByReplacing(src("model.gx").toStdString(), toDir().toStdString());
        QVERIFY(old == "file" ? freed >= oldSize : freed == 0);
        QCOMPARE(FileCopyJob::bytesFreedByReplacing(src("model.gx").toStdString(), m_dir->path().toStdString() + "/from/"), 0);
        std::atomic<int> oldAtFirstWrite{-1};
        hooks().write = [&](int, FdKind kind, const void*, size_t, ssize_t&) {
            if (kind == FdKind::Temp && oldAtFirstWrite < 0)
                oldAtFirstWrite = QFileInfo::exists(dst("model.gx")) ? 1 : 0;
            return false;
        };
        FileCopyJob job;
        job.setFreeSpaceQuery([free](const char*) { return int64_t(free); });
        job.setRemoveOldFilesWhenShort(allowed);
        add(job, {"model.gx"});
        QCOMPARE(run(job), expected);
        QCOMPARE(targetNames(), QStringList{"model.gx"});
        if (expected == FileCopyResult::Done) {
            QCOMPARE(readAll(dst("model.gx")), data);
            QCOMPARE(oldAtFirstWrite.load(), free >= 300000 ? 1 : 0);
        } else {
            QCOMPARE(readAll(dst("model.gx")), oldData);
            QCOMPARE(QFileInfo(dst("model.gx")).isSymLink(), old == "link");
            QCOMPARE(oldAtFirstWrite.load(), -1);
        }
        QCOMPARE(readAll(src("model.gx")), data);
    }

    // A target folder that refuses the copy's file (a read-only stick, no
    // permission) is told from a full one; the old file stays, nothing is left.
    void targetThatCannotBeMade_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<FileCopyResult>("expected");
        QTest::newRow("read-only") << EROFS << FileCopyResult::TargetNotCreated;
        QTest::newRow("no permission") << EACCES << FileCopyResult::TargetNotCreated;
        QTest::newRow("not permitted") << EPERM << FileCopyResult::TargetNotCreated;
        QTest::newRow("no room for a name") << ENOSPC << FileCopyResult::DiskFull;
    }
    void targetThatCannotBeMade()
    {
        QFETCH(int, error);
        QFETCH(FileCopyResult, expected);
        writeFile(src("model.gx"), pattern(5000));
        writeFile(dst("model.gx"), "old content");
        hooks().open = [error](const QString&, FdKind kind, int, int& result) {
            return kind == FdKind::Temp && fail(error, result);
        };
        QCOMPARE(copyOne("model.gx"), expected);
        QCOMPARE(readAll(dst("model.gx")), QByteArray("old content"));
        QCOMPARE(targetNames(), QStringList{"model.gx"});
    }

    // Cancel, or the stick pulled (the source vanishes), at every point of a two-file copy.
    void interruptedAtEveryPoint_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("point");
        QTest::addColumn<bool>("firstCopied");
        const std::tuple<bool, const char*, bool> rows[] = {
            {true, "start", false}, {true, "first file", false}, {true, "between", true}, {true, "second file", true},
            {true, "verify source", true}, {true, "verify copy", true}, {true, "verified", true},
            {false, "start", false}, {false, "first file", false}, {false, "between", true}, {false, "second file", true},
            {false, "unlinked", false}, {false, "verify", true}};
        for (const auto& [cancel, point, firstCopied] : rows)
            QTest::addRow("%s %s", cancel ? "cancel" : "source gone", point) << cancel << QString(point) << firstCopied;
    }
    void interruptedAtEveryPoint()
    {
        QFETCH(bool, cancel);
        QFETCH(QString, point);
        QFETCH(bool, firstCopied);
        const QByteArray one = pattern(200000, 1);
        writeFile(src("src1.gx"), one);
        writeFile(src("src2.gx"), pattern(200000, 2));
        writeFile(dst("src1.gx"), "old one");
        writeFile(dst("src2.gx"), "old two");
        FileCopyJob job;
        job.setBlockSize(65536);
        const QString victim = firstCopied ? src("src2.gx") : src("src1.gx");
        const auto strike = [&] { cancel ? job.cancel() : void(QFile::remove(victim)); };
        std::atomic<int> dirSyncs{0}, tempSyncs{0}, sourceReads{0};
        hooks().fsync = [&](int, FdKind kind, int&) {
            if ((kind == FdKind::Folder && ++dirSyncs == 1 && point == "between")
                || (kind == FdKind::Temp && ++tempSyncs == 2 && point == "verify"))
                strike();
            return false;
        };
        hooks().read = [&](int fd, FdKind kind, void* buffer, size_t count, ssize_t& result) {
            if (kind == FdKind::Source) {
                ++sourceReads;
                if (((point == "first file" || point == "unlinked") && tempSyncs == 0 && sourceReads == 2)
                    || (point == "second file" && tempSyncs == 1 && dirSyncs == 1)
                    || (point == "verify source" && tempSyncs == 2)) {
                    strike();
                    // A pulled stick fails the read; an unlinked open file still reads.
                    return !cancel && point != "unlinked" && fail(EIO, result);
                }
            }
            if (kind != FdKind::Temp || tempSyncs != 2 || !cancel)
                return false;
            result = ::read(fd, buffer, count);
            if (point == "verify copy" || (point == "verified" && result == 0))
                job.cancel();
            return true;
        };
        add(job, {"src1.gx", "src2.gx"});
        if (point == "start")
            strike();
        QCOMPARE(run(job), cancel ? FileCopyResult::Cancelled : FileCopyResult::SourceMissing);
        QCOMPARE(readAll(dst("src1.gx")), firstCopied ? one : QByteArray("old one"));
        QCOMPARE(readAll(dst("src2.gx")), QByteArray("old two"));
        QCOMPARE(targetNames(), (QStringList{"src1.gx", "src2.gx"}));
        QCOMPARE(int(job.progress().copiedTargets.size()), int(firstCopied));
        if (!cancel)
            QCOMPARE(job.progress().failedIndex, firstCopied ? 2 : 1);
    }

    // The same file, a link at the target, odd sources and a folder in the way.
    void refusedAndOddTargets()
    {
        const QByteArray data = pattern(5000);
        writeFile(src("model.gx"), data);
        QCOMPARE(copyOne("model.gx", m_dir->path() + "/from/"), FileCopyResult::SameFile);
        QVERIFY(::link(src("model.gx").toLocal8Bit().constData(), dst("model.gx").toLocal8Bit().constData()) == 0);
        QCOMPARE(copyOne("model.gx"), FileCopyResult::SameFile);
        QCOMPARE(readAll(src("model.gx")), data);
        QCOMPARE(allNames(m_dir->path() + "/from"), QStringList{"model.gx"});

        // A symbolic link at the target is replaced, never followed.
        QVERIFY(QFile::remove(dst("model.gx")));
        writeFile(m_dir->path() + "/victim", "precious");
        QVERIFY(QFile::link(m_dir->path() + "/victim", dst("model.gx")));
        QCOMPARE(copyOne("model.gx"), FileCopyResult::Done);
        QCOMPARE(readAll(m_dir->path() + "/victim"), QByteArray("precious"));
        QVERIFY(!QFileInfo(dst("model.gx")).isSymLink());
        QCOMPARE(readAll(dst("model.gx")), data);

        QVERIFY(::mkfifo(src("pipe.gx").toLocal8Bit().constData(), 0644) == 0);
        QVERIFY(QDir().mkpath(src("folder.gx")));
        m_sandbox.writeFile("/etc/passwd", "root:x:0:0:root:/root:/bin/sh\n");   // no file of the storage
        QVERIFY(QFile::link(m_sandbox.path("/etc/passwd"), src("system.gx")));
        for (const char* name : {"pipe.gx", "folder.gx", "system.gx"})
            QCOMPARE(copyOne(name, m_dir->path() + "/elsewhere"), FileCopyResult::ReadError);
        QVERIFY(QFile::remove(dst("model.gx")) && QDir().mkpath(dst("model.gx")));   // a folder in the way
        QCOMPARE(copyOne("model.gx"), FileCopyResult::TargetNotCreated);
        QVERIFY(QFileInfo(dst("model.gx")).isDir());
        QCOMPARE(targetNames(), QStringList{"model.gx"});
    }

    void sameNameTwiceIsRefused()
    {
        writeFile(src("a/model.gx"), "first");
        writeFile(src("b/model.gx"), "second");
        writeFile(dst("model.gx"), "old");
        writeFile(dst("model_2.gx"), "a file of its own");
        FileCopyJob job;
        for (const char* folder : {"a", "b"})
            QCOMPARE(job.addFile(src(folder + QString("/model.gx")).toStdString(), toDir().toStdString()),
                     dst("model.gx").toStdString());
        // The same source twice is one copy.
        QCOMPARE(job.addFile(src("a/model.gx").toStdString(), toDir().toStdString() + "/"), dst("model.gx").toStdString());
        // The second never replaces the first, nor any other file.
        QCOMPARE(run(job), FileCopyResult::NameClash);
        QCOMPARE(job.progress().fileCount, 2);
        QCOMPARE(job.progress().failedIndex, 2);
        QCOMPARE(readAll(dst("model.gx")), QByteArray("first"));
        QCOMPARE(readAll(dst("model_2.gx")), QByteArray("a file of its own"));
        QCOMPARE(targetNames(), (QStringList{"model.gx", "model_2.gx"}));
    }

    // Temporary files left by a copy cut short (power cut, pulled stick) are
    // removed before the next copy, never one that a running copy owns.
    void staleTemporariesRemoved()
    {
        for (const char* name : {".copy-0badf00d.tmp", ".copy-mine.tmp", "copy-12345678.tmp"})
            writeFile(toDir() + "/" + name, "left over");
        writeFile(src("a.gx"), pattern(300000, 1));
        writeFile(src("b.gx"), pattern(1000, 2));
        std::atomic<bool> release{false};
        hooks().read = [&](int fd, FdKind kind, void*, size_t, ssize_t&) {   // a.gx waits at its reads
            while (kind == FdKind::Source && pathOfFd(fd).endsWith("/a.gx") && !release)
                QThread::msleep(1);
            return false;
        };
        const auto releaseAtEnd = qScopeGuard([&] { release = true; });   // a failing check must not leave it waiting
        FileCopyJob first;
        add(first, {"a.gx"});
        QVERIFY(first.start());
        // The first copy holds its temporary file (the stale ones gone) while the second runs.
        const QRegularExpression temporary("^\\.copy-[0-9a-f]{8}\\.tmp$");
        QStringList owned;
        QVERIFY(QTest::qWaitFor([&] {
            const QStringList names = targetNames();
            owned = names.filter(temporary);
            return owned.size() == 1 && !names.contains(".copy-0badf00d.tmp");
        }, 5000));
        FileCopyJob second;
        add(second, {"b.gx"});
        QCOMPARE(run(second), FileCopyResult::Done);
        QCOMPARE(targetNames(), (QStringList{owned.first(), ".copy-mine.tmp", "b.gx", "copy-12345678.tmp"}));
        release = true;
        QCOMPARE(run(first), FileCopyResult::Done);
        QCOMPARE(readAll(dst("a.gx")), pattern(300000, 1));
        QCOMPARE(targetNames(), (QStringList{".copy-mine.tmp", "a.gx", "b.gx", "copy-12345678.tmp"}));
    }
};

QTEST_GUILESS_MAIN(TestFileCopy)
#include "test_filecopy.moc"
