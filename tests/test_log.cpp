// The rotating log file and its Qt message handler.
#include "tools/Log.h"
#include "tests/support/Sandbox.h"
#include "tools/RootPath.h"

#include <QDateTime>
#include <QTimeZone>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <thread>
#include <vector>

namespace {

const QRegularExpression kLine(
    R"(^(\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}:\d{2}\.\d{3}) <(DEBUG|WARNING|CRITICAL|FATAL)> (.*)$)");

QStringList lines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out = QString::fromUtf8(f.readAll()).split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

std::string logDir() { return rootPath(std::string(PrinterPath::LogDir)); }

}

class TestLog : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Log::instance().close(); }
    void lineFormat()
    {
        Sandbox box;
        QCOMPARE(Log::instance().open(logDir(), "orlenk3.log"), 0);
        QVERIFY(Log::instance().isOpen());
        Log::instance().write(Log::Debug, "UI/home Home");
        Log::instance().write(Log::Warning, "two");
        Log::instance().write(Log::Critical, "three\n");
        Log::instance().write(Log::Fatal, "four");
        const QStringList l = lines(box.path("/opt/PROGRAM/log/orlenk3.log"));
        QCOMPARE(l.size(), 4);
        const QStringList tags = {"DEBUG", "WARNING", "CRITICAL", "FATAL"};
        const QStringList texts = {"UI/home Home", "two", "three", "four"};
        for (int i = 0; i < 4; ++i) {
            const auto m = kLine.match(l[i]);
            QVERIFY2(m.hasMatch(), qPrintable(l[i]));
            QCOMPARE(m.captured(2), tags[i]);
            QCOMPARE(m.captured(3), texts[i]);
            // The stamp is UTC.
            const QDateTime t = QDateTime::fromString(m.captured(1), "yyyy.MM.dd hh:mm:ss.zzz");
            QDateTime utc = t;
            utc.setTimeZone(QTimeZone::utc());
            QVERIFY(qAbs(utc.secsTo(QDateTime::currentDateTimeUtc())) < 3600);
        }
        // Reopening appends.
        QCOMPARE(Log::instance().open(logDir(), "orlenk3.log"), 0);
        Log::instance().write(Log::Debug, "five");
        QCOMPARE(lines(box.path("/opt/PROGRAM/log/orlenk3.log")).size(), 5);
    }

    void levels()
    {
        QCOMPARE(Log::levelFromArgument("-1"), Log::Fatal);
        QCOMPARE(Log::levelFromArgument("-2"), Log::Critical);
        QCOMPARE(Log::levelFromArgument("-3"), Log::Warning);
        QCOMPARE(Log::levelFromArgument("-4"), Log::Debug);
        QCOMPARE(Log::levelFromArgument("-D"), Log::Debug);
        QCOMPARE(Log::levelFromArgument(nullptr), Log::Debug);
        QCOMPARE(Log::levelFromNumber(2), Log::Critical);

        Sandbox box;
        QCOMPARE(Log::instance().open(logDir(), "l.log", Log::Warning), 0);
        Log::instance().write(Log::Debug, "hidden");
        Log::instance().write(Log::Warning, "shown");
        Log::instance().write(Log::Critical, "shown too");
        const QStringList l = lines(box.path("/opt/PROGRAM/log/l.log"));
        QCOMPARE(l.size(), 2);
        QVERIFY(l[0].endsWith("<WARNING> shown"));
    }

    void qtMessagesGoToTheLog()
    {
        Sandbox box;
        QCOMPARE(Log::instance().open(logDir(), "qt.log", Log::Warning), 0);
        Log::installMessageHandler();
        qDebug() << "not at this level";
        qWarning("UI/buildprint %s %d: heating", "slot", 7);
        qCritical() << "UI/home" << "checkReturnHomeDone";
        qInstallMessageHandler(nullptr);
        const QStringList l = lines(box.path("/opt/PROGRAM/log/qt.log"));
        QCOMPARE(l.size(), 2);
        QVERIFY2(l[0].endsWith(" <WARNING> UI/buildprint slot 7: heating"), qPrintable(l[0]));
        QVERIFY2(l[1].endsWith(" <CRITICAL> UI/home checkReturnHomeDone"), qPrintable(l[1]));
    }

    void rotationKeepsNineFiles()
    {
        Sandbox box;
        QCOMPARE(Log::instance().open(logDir(), "rot.log"), 0);
        // Numbered lines of about 1 KB: 12 files' worth, so the oldest must go.
        const std::string pad(1000, 'x');
        const int total = 12 * 1024;
        for (int i = 0; i < total; ++i)
            Log::instance().write(Log::Debug, std::to_string(i) + " " + pad);

        const QString base = box.path("/opt/PROGRAM/log/rot.log");
        QStringList files = QDir(box.path("/opt/PROGRAM/log")).entryList(QDir::Files);
        files.sort();
        QStringList expected = {"rot.log"};
        for (int i = 1; i <= 9; ++i)
            expected << QString("rot.log.%1").arg(i);
        expected.sort();
        QCOMPARE(files, expected);

        // Oldest (.9) to newest (the live file): every line whole, numbers consecutive.
        int next = -1;
        for (int i = 9; i >= 0; --i) {
            const QString path = i ? QString("%1.%2").arg(base).arg(i) : base;
            QVERIFY(QFileInfo(path).size() <= Log::MaxFileSize);
            if (i)
                QVERIFY(QFileInfo(path).size() > Log::MaxFileSize - 2000);
            for (const QString& line : lines(path)) {
                const auto m = kLine.match(line);
                QVERIFY2(m.hasMatch(), qPrintable(line.left(80)));
                const int n = m.captured(3).section(' ', 0, 0).toInt();
                if (next >= 0)
                    QCOMPARE(n, next);
                next = n + 1;
            }
        }
        QCOMPARE(next, total);
    }

    void concurrentWritersKeepLinesWhole()
    {
        Sandbox box;
        QCOMPARE(Log::instance().open(logDir(), "mt.log"), 0);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t] {
                const std::string pad(300, char('a' + t));
                for (int i = 0; i < 1500; ++i)
                    Log::instance().write(Log::Debug, pad);
            });
        for (auto& th : threads)
            th.join();
        int count = 0;
        const QString base = box.path("/opt/PROGRAM/log/mt.log");
        for (int i = 0; i <= 9; ++i) {
            for (const QString& line : lines(i ? QString("%1.%2").arg(base).arg(i) : base)) {
                const auto m = kLine.match(line);
                QVERIFY(m.hasMatch());
                const QString text = m.captured(3);
                QCOMPARE(text.size(), 300);
                QCOMPARE(text.count(text[0]), 300);
                ++count;
            }
        }
        QCOMPARE(count, 6000);
    }

    void openFailureIsReported()
    {
        Sandbox box;
        box.writeFile("/opt/PROGRAM/blocker", "x");
        const int rc = Log::instance().open(rootPath(std::string("/opt/PROGRAM/blocker/log")), "a.log");
        QVERIFY(rc < 0);
        QVERIFY(!Log::instance().isOpen());
        Log::instance().write(Log::Fatal, "nowhere to go");   // harmless while closed
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "test_log.moc"
