// The program itself, started as a process in a sandbox root: the log, the
// controller link with its first commands, and the two ways it ends at once.
#include "tests/support/SimHarness.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

static QString programPath()
{
    return qEnvironmentVariable("ORLENK_BUILD_DIR", QCoreApplication::applicationDirPath() + "/..") + "/orlenk3";
}

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(programPath()), qPrintable(programPath()));
        qputenv("QT_QPA_PLATFORM", "offscreen");   // the program inherits it, with ORLENK_ROOT
    }

    // The two ways the program ends at once: no log, and no controller (which stops the machine).
    void endsAtOnce()
    {
        for (const bool logBlocked : {true, false}) {
            Sandbox box;   // no controller on <root>/dev/ttyS2
            if (logBlocked) {
                QDir(box.path("/opt/PROGRAM/log")).removeRecursively();
                box.writeFile("/opt/PROGRAM/log", "not a folder");
            }
            QProcess p;
            p.start(programPath(), {"-4", "-D"});
            QVERIFY(p.waitForFinished(20000));
            QCOMPARE(std::make_pair(p.exitStatus(), p.exitCode()), std::make_pair(QProcess::NormalExit, 255));   // -1
            const QByteArray log = box.readFile("/opt/PROGRAM/log/orlenk3.log");
            if (logBlocked)
                QVERIFY2(p.readAllStandardOutput().startsWith("open log error: "), "no log error line");
            else
                QVERIFY2(log.contains("controller link cannot be opened") && log.contains("<CRITICAL>"), log.constData());
        }
    }

    void talksToTheControllerAtStart()
    {
        SimHarness h;   // this process leaves the line to the program
        // Temporary files of writes that a power cut ended are cleared at start.
        const QStringList stale{"/opt/PROGRAM/config/.config.json.tmp-Ab12Cd", "/data/.resume_print_file.tmp-x1y2z3",
                                "/data/.resume_printdetail_file.tmp-QQQQQQ", "/data/.copy-0badf00d.tmp"};
        for (const QString& f : stale + QStringList{"/data/keep.gx", "/data/.copy-keep.tmp"})
            h.sandbox().writeFile(f, "x");
        // A job to resume whose file is gone: none of its records may reach a later job.
        h.sandbox().writeFile("/opt/PROGRAM/config/config.json", R"({"general":{"powerOffResumePrintFileName":"/data/gone.gx"}})");
        const QStringList records{"/data/resume_print_file", "/data/resume_build_file", "/data/resume_printdetail_file"};
        for (const QString& f : records)
            h.sandbox().writeFile(f, "1\n150\n95\n-4\n70\n225\n0\n0\n");
        QProcess p;
        p.start(programPath(), {"-4", "-D"});
        QVERIFY(p.waitForStarted(5000));
        const bool polled = SimHarness::waitUntil([&] { return h.sim().transcript().contains("M105"); }, 20000);
        const auto cleared = [&] {
            return !h.sandbox().readFile("/opt/PROGRAM/config/config.json").contains("gone.gx")
                && h.sandbox().readFile(records[0]) + h.sandbox().readFile(records[1]) + h.sandbox().readFile(records[2])
                == "0\n0\n0\n100\n100\n0\n60\n210\n0\n0\n";
        };
        const bool forgotten = SimHarness::waitUntil(cleared, 20000);
        p.terminate();
        p.waitForFinished(5000);   // a program that stays is killed with p
        QVERIFY2(polled, qPrintable(h.sim().transcript().join(", ")));
        QVERIFY(forgotten);
        const QStringList t = h.sim().transcript();
        const int stop = t.indexOf("M112");
        QVERIFY(stop >= 0);
        QCOMPARE(t.mid(stop, 5), QStringList({"M112", "M18", "M141 T219", "M119", "M145"}));
        QVERIFY(h.sandbox().readFile("/opt/PROGRAM/log/orlenk3.log").contains("main.cpp"));
        for (const QString& f : stale)
            QVERIFY2(!QFile::exists(h.sandbox().path(f)), qPrintable(f));
        QVERIFY(QFile::exists(h.sandbox().path("/data/keep.gx")) && QFile::exists(h.sandbox().path("/data/.copy-keep.tmp")));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
