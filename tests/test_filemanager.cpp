// Listing and removing files with the SDK's file manager.
#include "qxsdk/src/FileManager.h"
#include "tests/support/Sandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using qxsdk::FileInfo;
using qxsdk::FileManager;

namespace {

std::string p(const Sandbox& box, const QString& printerPath) { return box.path(printerPath).toStdString(); }

void setTime(const Sandbox& box, const QString& printerPath, time_t sec, long nsec)
{
    struct timespec t[2] = {{sec, nsec}, {sec, nsec}};
    utimensat(AT_FDCWD, p(box, printerPath).c_str(), t, AT_SYMLINK_NOFOLLOW);
}

// Names relative to the sandbox's /data, in list order.
QStringList names(const Sandbox& box, const std::vector<FileInfo>& list)
{
    QStringList out;
    const QString base = box.path("/data/");
    for (const FileInfo& f : list)
        out << QString::fromStdString(f.path).mid(base.size());
    return out;
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

const std::vector<std::string> kPrintSuffixes = {".gx", ".gcode", ".g"};

}

class TestFileManager : public QObject {
    Q_OBJECT
private slots:
    void filters()
    {
        Sandbox box;
        for (const char* f : {"a.gx", "B.GCODE", "c.g", "d.txt", ".gx", "noext", "ab.Gx", "sub/e.gx"})
            box.writeFile(QString("/data/") + f, "x");
        std::vector<FileInfo> list{FileInfo{}};   // emptied first

        QCOMPARE(FileManager::entryList(list, p(box, "/data"), false, false, false, "", {}), 0);
        QCOMPARE(sorted(names(box, list)), sorted({"a.gx", "B.GCODE", "c.g", "d.txt", ".gx", "noext", "ab.Gx", "sub"}));

        // Case-insensitive suffixes; a name no longer than the suffix does not match.
        FileManager::entryList(list, p(box, "/data"), false, true, false, "", kPrintSuffixes);
        QCOMPARE(sorted(names(box, list)), sorted({"a.gx", "B.GCODE", "c.g", "ab.Gx"}));

        // Folders are listed whatever their name unless files only.
        FileManager::entryList(list, p(box, "/data"), false, false, false, "a", kPrintSuffixes);
        QCOMPARE(sorted(names(box, list)), sorted({"a.gx", "ab.Gx", "sub"}));
        FileManager::entryList(list, p(box, "/data"), false, true, false, "ab", {});
        QCOMPARE(names(box, list), QStringList{"ab.Gx"});
        FileManager::entryList(list, p(box, "/data"), false, true, false, "A", {});   // prefix is exact
        QVERIFY(list.empty());
    }

    void recursiveListing()
    {
        Sandbox box;
        for (const char* f : {"top.gx", "one/a.gx", "one/two/b.GX", "one/two/skip.txt"})
            box.writeFile(QString("/data/") + f, "x");
        std::vector<FileInfo> list;
        FileManager::entryList(list, p(box, "/data"), true, true, false, "", {".gx"});
        QCOMPARE(sorted(names(box, list)), sorted({"top.gx", "one/a.gx", "one/two/b.GX"}));
        FileManager::entryList(list, p(box, "/data"), true, false, false, "", {".gx"});
        QCOMPARE(sorted(names(box, list)), sorted({"top.gx", "one", "one/a.gx", "one/two", "one/two/b.GX"}));
        FileManager::entryList(list, p(box, "/data/"), false, true, false, "", {});   // a trailing slash is fine
        QCOMPARE(names(box, list), QStringList{"top.gx"});
    }

    void newestFirst()
    {
        Sandbox box;
        for (const char* f : {"old.gx", "new.gx", "mid_a.gx", "mid_b.gx", "nano1.gx", "nano2.gx"})
            box.writeFile(QString("/data/") + f, "x");
        setTime(box, "/data/old.gx", 1000, 0);
        setTime(box, "/data/new.gx", 5000, 0);
        setTime(box, "/data/mid_b.gx", 3000, 0);
        setTime(box, "/data/mid_a.gx", 3000, 0);
        setTime(box, "/data/nano1.gx", 4000, 100);
        setTime(box, "/data/nano2.gx", 4000, 200);
        std::vector<FileInfo> list;
        QCOMPARE(FileManager::entryList(list, p(box, "/data"), false, true, true, "", kPrintSuffixes), 0);
        QCOMPARE(names(box, list), (QStringList{"new.gx", "nano2.gx", "nano1.gx", "mid_a.gx", "mid_b.gx", "old.gx"}));
    }

    void entryFields()
    {
        Sandbox box;
        box.writeFile("/data/small.gx", "12345");
        QDir().mkpath(box.path("/data/dir"));
        // A sparse 5 GiB file: sizes are 64-bit.
        const int fd = ::open(p(box, "/data/big.gx").c_str(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::ftruncate(fd, 5LL << 30), 0);
        ::close(fd);
        setTime(box, "/data/small.gx", 1234567, 89);

        std::vector<FileInfo> list;
        FileManager::entryList(list, p(box, "/data"), false, false, false, "", {});
        QCOMPARE(list.size(), size_t(3));
        for (const FileInfo& f : list) {
            const QString n = QString::fromStdString(FileManager::fileName(f.path));
            if (n == "big.gx") {
                QCOMPARE(f.size, int64_t(5LL << 30));
                QCOMPARE(f.type, int(FileInfo::File));
            } else if (n == "small.gx") {
                QCOMPARE(f.size, int64_t(5));
                QCOMPARE(f.mtime, time_t(1234567));
                QCOMPARE(f.mtimeNsec, 89L);
                QCOMPARE(f.owner, getuid());
                QCOMPARE(f.path, p(box, "/data/small.gx"));
            } else {
                QCOMPARE(n, QString("dir"));
                QCOMPARE(f.type, int(FileInfo::Directory));
            }
        }
    }

    void missingFolder()
    {
        Sandbox box;
        std::vector<FileInfo> list{FileInfo{}};
        QCOMPARE(FileManager::entryList(list, p(box, "/media/none"), false, true, true, "", {}), -ENOENT);
        QVERIFY(list.empty());
        box.writeFile("/data/file", "x");
        QCOMPARE(FileManager::entryList(list, p(box, "/data/file"), false, true, true, "", {}), -ENOTDIR);
    }

    void symbolicLinks()
    {
        Sandbox box;
        box.writeFile("/data/real.gx", "1234");
        box.writeFile("/outside/secret.gx", "secret");
        QDir().mkpath(box.path("/data/folder"));
        const auto link = [&](const char* target, const char* name) {
            QCOMPARE(::symlink(target, p(box, name).c_str()), 0);
        };
        link("real.gx", "/data/inside.gx");
        link(p(box, "/outside/secret.gx").c_str(), "/data/escape.gx");
        link("../outside/secret.gx", "/data/escape2.gx");
        link("folder", "/data/dirlink.gx");
        link("nowhere.gx", "/data/dangling.gx");

        std::vector<FileInfo> list;
        QCOMPARE(FileManager::entryList(list, p(box, "/data"), true, true, false, "", {".gx"}), 0);
        QCOMPARE(sorted(names(box, list)), sorted({"real.gx", "inside.gx"}));
        for (const FileInfo& f : list) {
            QCOMPARE(f.type, int(FileInfo::File));
            QCOMPARE(f.size, int64_t(4));
        }
    }

    void linkLoopsEnd()
    {
        Sandbox box;
        box.writeFile("/data/a/b/file.gx", "x");
        QCOMPARE(::symlink("..", p(box, "/data/a/b/up").c_str()), 0);
        QCOMPARE(::symlink(p(box, "/data").c_str(), p(box, "/data/a/root").c_str()), 0);
        QCOMPARE(::symlink("self", p(box, "/data/self").c_str()), 0);
        std::vector<FileInfo> list;
        QCOMPARE(FileManager::entryList(list, p(box, "/data"), true, false, false, "", {}), 0);
        // "up" names a folder inside: listed as one, not walked again.
        QCOMPARE(sorted(names(box, list)), sorted({"a", "a/b", "a/b/file.gx", "a/b/up"}));
    }

    void removeFilesAndFolders()
    {
        Sandbox box;
        box.writeFile("/data/one.gx", "x");
        box.writeFile("/data/tree/a/b/c.gx", "x");
        box.writeFile("/data/tree/d.gx", "x");
        QCOMPARE(FileManager::remove(p(box, "/data/one.gx")), 0);
        QVERIFY(!QFileInfo::exists(box.path("/data/one.gx")));
        QCOMPARE(FileManager::remove(p(box, "/data/tree")), 0);
        QVERIFY(!QFileInfo::exists(box.path("/data/tree")));
        QCOMPARE(FileManager::remove(p(box, "/data/never.gx")), 0);   // missing: reported, not an error
        QVERIFY(QFileInfo::exists(box.path("/data")));

        if (geteuid() == 0)
            return;   // root may unlink anything; the failure path needs a plain user
        box.writeFile("/data/locked/f.gx", "x");
        ::chmod(p(box, "/data/locked").c_str(), 0555);
        QCOMPARE(FileManager::remove(p(box, "/data/locked/f.gx")), -EACCES);
        ::chmod(p(box, "/data/locked").c_str(), 0755);
    }

    void removeDoesNotFollowLinks()
    {
        Sandbox box;
        box.writeFile("/keep/precious.gx", "x");
        box.writeFile("/data/job/part.gx", "x");
        QCOMPARE(::symlink(p(box, "/keep").c_str(), p(box, "/data/job/keepdir").c_str()), 0);
        QCOMPARE(::symlink(p(box, "/keep/precious.gx").c_str(), p(box, "/data/job/keepfile").c_str()), 0);
        QCOMPARE(::symlink("..", p(box, "/data/job/loop").c_str()), 0);
        QCOMPARE(FileManager::remove(p(box, "/data/job")), 0);
        QVERIFY(!QFileInfo::exists(box.path("/data/job")));
        QVERIFY(QFileInfo::exists(box.path("/keep/precious.gx")));
        QVERIFY(QFileInfo::exists(box.path("/data")));
        // A link given directly is removed itself, not its target.
        QCOMPARE(::symlink(p(box, "/keep").c_str(), p(box, "/data/link").c_str()), 0);
        QCOMPARE(FileManager::remove(p(box, "/data/link")), 0);
        QVERIFY(QFileInfo::exists(box.path("/keep/precious.gx")));
    }

    void fileName()
    {
        QCOMPARE(FileManager::fileName("/data/sub/part.gx"), std::string("part.gx"));
        QCOMPARE(FileManager::fileName("0:\\user\\part.gx"), std::string("part.gx"));
        QCOMPARE(FileManager::fileName("mixed/a\\b.g"), std::string("b.g"));
        QCOMPARE(FileManager::fileName("plain.gcode"), std::string("plain.gcode"));
        QCOMPARE(FileManager::fileName("/data/"), std::string());
    }
};

QTEST_GUILESS_MAIN(TestFileManager)
#include "test_filemanager.moc"
