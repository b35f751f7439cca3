// Listing and removing files with the SDK's file manager.
#include "qxsdk/src/FileManager.h"
#include "tests/support/Sandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
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

}

class TestFileManager : public QObject {
    Q_OBJECT
private slots:
    // Filters, recursion and links on one tree: "name>target" is a link.
    void listing_data()
    {
        QTest::addColumn<bool>("recursive");
        QTest::addColumn<bool>("filesOnly");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("suffixes");
        QTest::addColumn<QStringList>("expected");
        const QStringList print{".gx", ".gcode", ".g"};
        QTest::newRow("everything") << false << false << "" << QStringList()
            << QStringList{".gx", "B.GCODE", "a.gx", "ab.Gx", "c.g", "d.txt", "dirlink.gx", "inside.gx", "noext", "one"};
        // Case-insensitive suffixes; a name no longer than the suffix does not match; links leaving the folder,
        // dangling or naming folders are no files.
        QTest::newRow("print files") << false << true << "" << print
                                     << QStringList{"B.GCODE", "a.gx", "ab.Gx", "c.g", "inside.gx"};
        QTest::newRow("folders whatever their name") << false << false << "a" << print
                                                     << QStringList{"a.gx", "ab.Gx", "dirlink.gx", "one"};
        QTest::newRow("exact prefix") << false << true << "A" << QStringList() << QStringList();
        // Links to folders inside are listed as folders, not walked again.
        QTest::newRow("recursive") << true << false << "" << QStringList{".gx"}
            << QStringList{"a.gx", "ab.Gx", "dirlink.gx", "inside.gx", "one", "one/b.gx", "one/two", "one/two/c.GX",
                           "one/two/up"};
    }
    void listing()
    {
        QFETCH(bool, recursive);
        QFETCH(bool, filesOnly);
        QFETCH(QString, prefix);
        QFETCH(QStringList, suffixes);
        Sandbox box;
        for (const char* f : {"a.gx", "B.GCODE", "c.g", "d.txt", ".gx", "noext", "ab.Gx", "one/b.gx", "one/two/c.GX"})
            box.writeFile(QString("/data/") + f, "x");
        box.writeFile("/outside/secret.gx", "secret");
        const QList<QPair<QString, QString>> links{{"inside.gx", "a.gx"}, {"escape.gx", box.path("/outside/secret.gx")},
            {"escape2.gx", "../outside/secret.gx"}, {"dirlink.gx", "one"}, {"dangling.gx", "nowhere.gx"},
            {"one/two/up", ".."}, {"loop", "loop"}};
        for (const auto& [name, target] : links)
            QCOMPARE(::symlink(target.toLocal8Bit().constData(), p(box, "/data/" + name).c_str()), 0);
        std::vector<FileInfo> list{FileInfo{}};   // emptied first
        std::vector<std::string> wanted;
        for (const QString& s : suffixes)
            wanted.push_back(s.toStdString());
        QCOMPARE(FileManager::entryList(list, p(box, "/data/"), recursive, filesOnly, false, prefix.toStdString(), wanted), 0);
        QStringList got = names(box, list);
        got.sort();
        QTEST(got, "expected");
    }

    void newestFirstWithFields()
    {
        Sandbox box;
        const QList<std::tuple<const char*, time_t, long>> times{{"old.gx", 1000, 0}, {"new.gx", 5000, 0},
            {"mid_b.gx", 3000, 0}, {"mid_a.gx", 3000, 0}, {"nano1.gx", 4000, 100}, {"nano2.gx", 4000, 200}};
        for (const auto& [name, sec, nsec] : times) {
            box.writeFile(QString("/data/") + name, "12345");
            setTime(box, QString("/data/") + name, sec, nsec);
        }
        // A sparse 5 GiB file: sizes are 64-bit.
        const int fd = ::open(p(box, "/data/big.gx").c_str(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0 && ::ftruncate(fd, 5LL << 30) == 0 && ::close(fd) == 0);
        setTime(box, "/data/big.gx", 10, 0);
        std::vector<FileInfo> list;
        QCOMPARE(FileManager::entryList(list, p(box, "/data"), false, true, true, "", {".gx"}), 0);
        QCOMPARE(names(box, list), (QStringList{"new.gx", "nano2.gx", "nano1.gx", "mid_a.gx", "mid_b.gx", "old.gx", "big.gx"}));
        QCOMPARE(std::make_tuple(list[1].mtimeNsec, list[5].mtime, list[5].size), std::make_tuple(200L, time_t(1000), int64_t(5)));
        QCOMPARE(std::make_tuple(list[6].size, list[6].owner, list[6].type),
                 std::make_tuple(int64_t(5LL << 30), getuid(), int(FileInfo::File)));
        // A missing folder, and a file where a folder is wanted.
        QCOMPARE(FileManager::entryList(list, p(box, "/media/none"), false, true, true, "", {}), -ENOENT);
        QVERIFY(list.empty());
        QCOMPARE(FileManager::entryList(list, p(box, "/data/old.gx"), false, true, true, "", {}), -ENOTDIR);
    }

    // Files and trees go; links inside a tree go without their targets.
    void remove()
    {
        Sandbox box;
        box.writeFile("/data/one.gx", "x");
        box.writeFile("/data/tree/a/b/c.gx", "x");
        box.writeFile("/keep/precious.gx", "x");
        QCOMPARE(::symlink(p(box, "/keep").c_str(), p(box, "/data/tree/keepdir").c_str()), 0);
        QCOMPARE(::symlink(p(box, "/keep/precious.gx").c_str(), p(box, "/data/tree/a/keepfile").c_str()), 0);
        QCOMPARE(::symlink("..", p(box, "/data/tree/a/loop").c_str()), 0);
        QCOMPARE(::symlink(p(box, "/keep").c_str(), p(box, "/data/link").c_str()), 0);
        for (const char* path : {"/data/one.gx", "/data/tree", "/data/link", "/data/never.gx"}) {
            QCOMPARE(FileManager::remove(p(box, path)), 0);   // missing: reported, not an error
            QVERIFY(!QFileInfo::exists(box.path(path)));
        }
        QVERIFY(QFileInfo::exists(box.path("/keep/precious.gx")));
        QVERIFY(QFileInfo::exists(box.path("/data")));
        // A name after the last separator of either kind.
        QCOMPARE(FileManager::fileName("0:\\user\\part.gx"), std::string("part.gx"));
        QCOMPARE(FileManager::fileName("mixed/a\\b.g"), std::string("b.g"));
        QCOMPARE(FileManager::fileName("/data/"), std::string());
    }
};

QTEST_GUILESS_MAIN(TestFileManager)
#include "test_filemanager.moc"
