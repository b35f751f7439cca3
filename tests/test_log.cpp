// The rotating log file and its Qt message handler.
#include "tools/Log.h"
#include "tests/support/Sandbox.h"
#include "tools/RootPath.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>
#include <thread>

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

// The texts of every line of a log and its rotated files, oldest first; each line must be whole.
QStringList allTexts(const Sandbox& box, const QString& name)
{
    QStringList texts;
    const QString base = box.path("/opt/PROGRAM/log/") + name;
    for (int i = 9; i >= 0; --i)
        for (const QString& line : lines(i ? QString("%1.%2").arg(base).arg(i) : base)) {
            const auto m = kLine.match(line);
            texts << (m.hasMatch() ? m.captured(3) : "<broken> " + line.left(80));
        }
    return texts;
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
        const std::tuple<Log::Level, const char*, const char*> written[] = {
            {Log::Debug, "DEBUG", "UI/home Home"}, {Log::Warning, "WARNING", "two"},
            {Log::Critical, "CRITICAL", "three\n"}, {Log::Fatal, "FATAL", "four"}};
        for (const auto& [level, tag, text] : written)
            Log::instance().write(level, text);
        const QStringList l = lines(box.path("/opt/PROGRAM/log/orlenk3.log"));
        QCOMPARE(l.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const auto m = kLine.match(l[i]);
            QVERIFY2(m.hasMatch(), qPrintable(l[i]));
            QCOMPARE(m.captured(2) + " " + m.captured(3), QString("%1 %2").arg(std::get<1>(written[i]), std::get<2>(written[i])).trimmed());
            QDateTime utc = QDateTime::fromString(m.captured(1), "yyyy.MM.dd hh:mm:ss.zzz");
            utc.setTimeZone(QTimeZone::utc());   // the stamp is UTC
            QVERIFY(qAbs(utc.secsTo(QDateTime::currentDateTimeUtc())) < 3600);
        }
        // Reopening appends.
        QCOMPARE(Log::instance().open(logDir(), "orlenk3.log"), 0);
        Log::instance().write(Log::Debug, "five");
        QCOMPARE(lines(box.path("/opt/PROGRAM/log/orlenk3.log")).size(), 5);

        // A folder that cannot be made: reported, and writing stays harmless.
        box.writeFile("/opt/PROGRAM/blocker", "x");
        QVERIFY(Log::instance().open(rootPath(std::string("/opt/PROGRAM/blocker/log")), "a.log") < 0);
        QVERIFY(!Log::instance().isOpen());
        Log::instance().write(Log::Fatal, "nowhere to go");
    }

    void qtMessagesGoToTheLogAtItsLevel()
    {
        Sandbox box;
        QCOMPARE(Log::levelFromArgument(nullptr), Log::Debug);
        QCOMPARE(Log::instance().open(logDir(), "qt.log", Log::levelFromArgument("-3")), 0);
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

        QStringList expected = {"rot.log"};
        for (int i = 1; i <= 9; ++i) {
            expected << QString("rot.log.%1").arg(i);
            const qint64 size = QFileInfo(box.path(QString("/opt/PROGRAM/log/rot.log.%1").arg(i))).size();
            QVERIFY(size <= Log::MaxFileSize && size > Log::MaxFileSize - 2000);
        }
        QCOMPARE(QDir(box.path("/opt/PROGRAM/log")).entryList(QDir::Files, QDir::Name), expected);
        // Oldest to newest: every line whole, numbers consecutive up to the last.
        const QStringList texts = allTexts(box, "rot.log");
        int next = texts.first().section(' ', 0, 0).toInt();
        for (const QString& text : texts)
            QCOMPARE(text.section(' ', 0, 0).toInt(), next++);
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
        const QStringList texts = allTexts(box, "mt.log");
        QCOMPARE(texts.size(), 6000);
        for (const QString& text : texts)
            QVERIFY2(text.size() == 300 && text.count(text[0]) == 300, qPrintable(text.left(80)));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "test_log.moc"
