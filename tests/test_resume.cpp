// The power-off resume records under /data.
#include "Files/ResumeLineRecorder.h"
#include "Files/ResumePrintConfig.h"
#include "Config/Config.h"
#include "tests/support/Sandbox.h"

#include <QDir>
#include <QTest>
#include <atomic>
#include <memory>
#include <mutex>
#include <cerrno>
#include <dlfcn.h>
#include <cstring>
#include <unistd.h>

using FILESNAMESPACE::ResumePrintConfigSaveFile;

namespace {

// Renames left before the power goes; -1: no cut. Every record write ends in
// a rename, so a cut after n renames leaves the disk as n writes made it.
std::atomic<int> renamesLeft{-1};

// speed, extrusion, plate, Extruder, zoffset, set_flag: no value a record holds
const _printcfg_t kSentinel = {-11, -12, -13, -14, -15, -16};

}

extern "C" int rename(const char* from, const char* to)
{
    static const auto real = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
    int left = renamesLeft.load();
    while (left > 0 && !renamesLeft.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) {
        errno = EIO;
        return -1;
    }
    return real(from, to);
}

class TestResume : public QObject {
    Q_OBJECT
private slots:
    void badDetailRecords_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated mid-number") << QByteArray("1\n150\n95\n-4\n70\n22");
        QTest::newRow("non-numeric") << QByteArray("1\nfast\n95\n-4\n70\n225\n0\n0\n");
        QTest::newRow("trailing junk") << QByteArray("1\n150x\n95\n-4\n70\n225\n0\n0\n");
        QTest::newRow("overflow") << QByteArray("1\n99999999999999\n95\n-4\n70\n225\n0\n0\n");
        QTest::newRow("absurd nozzle") << QByteArray("1\n100\n100\n0\n60\n9000\n0\n0\n");
        QTest::newRow("bad flag") << QByteArray("7\n100\n100\n0\n60\n210\n0\n0\n");
        QTest::newRow("oversized") << QByteArray(100000, '1');
        QTest::newRow("negative") << QByteArray("-5\n");
        QTest::newRow("counter overflow") << QByteArray("9999999999\n");
    }

    void badDetailRecords()
    {
        QFETCH(QByteArray, content);
        Sandbox box;
        for (const char* f : {"/data/resume_printdetail_file", "/data/resume_build_file", "/data/resume_print_file"})
            box.writeFile(f, content);
        _printcfg_t r = kSentinel;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("resume_printdetail_file is damaged"));
        QCOMPARE(printdetail_read_config(&r), -1);
        QVERIFY(std::memcmp(&r, &kSentinel, sizeof r) == 0);
        // A counter whose first line is damaged reads as 0.
        if (!content.startsWith("1\n") && !content.startsWith("7\n"))
            QCOMPARE(ResumePrintConfigSaveFile().getResumeBuildTime() + ResumePrintConfigSaveFile().getResumePrintNumber(), 0);
    }

    // Steps: "r<n>" records n, "f" flushes, "n<n>" writes n now, "d" ends the recorder.
    void lineRecorder_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("maxWrites");
        QTest::addColumn<int>("last");
        QStringList many;
        for (int i = 1; i <= 1000; ++i)
            many << QString("r%1").arg(i);
        QTest::newRow("many lines, one interval") << many + QStringList{"f"} << 2 << 1000;
        QTest::newRow("a flush with nothing new writes nothing") << QStringList{"r7", "f", "f", "d"} << 1 << 7;
        QTest::newRow("the end replaces a pending line") << many + QStringList{"n0", "d"} << 2 << 0;
        QTest::newRow("ending writes what is pending") << many + QStringList{"d"} << 2 << 1000;
    }

    void lineRecorder()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, maxWrites);
        QFETCH(int, last);
        std::mutex m;
        QList<int> writes;
        auto rec = std::make_unique<ResumeLineRecorder>(std::chrono::hours(1), [&](int line) {
            std::lock_guard<std::mutex> lock(m);
            writes << line;
        });
        for (const QString& s : steps) {
            if (s == "f")
                rec->flush();
            else if (s == "d")
                rec.reset();
            else if (s.startsWith('r'))
                rec->record(s.mid(1).toInt());
            else
                rec->writeNow(s.mid(1).toInt());
        }
        rec.reset();
        QVERIFY2(!writes.isEmpty() && writes.size() <= maxWrites, qPrintable(QString::number(writes.size())));
        QCOMPARE(writes.last(), last);
    }

    // Job B starts while job A's records stand; the power goes after any write.
    void jobStartCut()
    {
        for (int writes = 0; writes <= 3; ++writes) {   // the power goes after that many writes
            Sandbox box;
            Config* config = getConfigFile().configFile();
            config->reload();
            config->setPowerOffResumePrintFileName("/data/a.gx");
            ResumePrintConfigSaveFile().setResumePrintNumber(1018);
            renamesLeft.store(writes);
            FILESNAMESPACE::beginResumeRecords("/data/b.gx", false, true);
            renamesLeft.store(-1);
            config->reload();   // what the disk holds
            const QString name = QString::fromStdString(config->getPowerOffResumePrintFileName());
            const int line = ResumePrintConfigSaveFile().getResumePrintNumber();
            QVERIFY2(name != "/data/b.gx" || line == 0, qPrintable(QString("%1 at %2").arg(name).arg(line)));
            QVERIFY(name != "/data/a.gx" || line == 1018);
            if (writes == 3)
                QCOMPARE(name, QString("/data/b.gx"));
        }
    }

    // The records' formats, read back; each write replaces the file, never rewrites it in place.
    void writesReadAndReplace()
    {
        Sandbox box;
        auto& keeper = ResumePrintConfigSaveFile();
        QCOMPARE(keeper.getResumeBuildTime() + keeper.getResumePrintNumber(), 0);   // missing
        QCOMPARE(keeper.setResumeBuildTime(3725) + keeper.setResumePrintNumber(123456), 0);
        QCOMPARE(box.readFile("/data/resume_build_file") + box.readFile("/data/resume_print_file"),
                 QByteArray("3725\n123456\n"));

        QCOMPARE(printdetail_clear_config(), 0);
        // A second name for the old file: an in-place rewrite would change it too.
        const QByteArray old = box.path("/data/resume_printdetail_file").toLocal8Bit();
        QCOMPARE(::link(old.constData(), box.path("/data/old_record").toLocal8Bit().constData()), 0);
        _printcfg_t c = {150, 95, 70, 225, -4, 1};
        QCOMPARE(printdetail_write_config(&c), 0);
        QCOMPARE(box.readFile("/data/old_record"), QByteArray("0\n100\n100\n0\n60\n210\n0\n0\n"));
        // set_flag, speed, extrusion, zoffset, plate, Extruder, 0, 0
        QCOMPARE(box.readFile("/data/resume_printdetail_file"), QByteArray("1\n150\n95\n-4\n70\n225\n0\n0\n"));
        _printcfg_t r = kSentinel;
        QCOMPARE(printdetail_read_config(&r), 0);
        QCOMPARE(std::make_tuple(r.set_flag, r.speed, r.extrusion, r.zoffset, r.plate, r.Extruder),
                 std::make_tuple(1, 150, 95, -4, 70, 225));
        QStringList files = QDir(box.path("/data")).entryList(QDir::Files | QDir::Hidden);
        files.sort();
        QCOMPARE(files, (QStringList{"old_record", "resume_build_file", "resume_print_file", "resume_printdetail_file"}));

        // An unwritable folder is reported, not ignored.
        QDir(box.path("/data")).removeRecursively();
        QCOMPARE(printdetail_write_config(&c), -1);
    }
};

QTEST_GUILESS_MAIN(TestResume)
#include "test_resume.moc"
