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

    void lineFormatAndLevel()
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
        // Reopening appends; Qt's messages go to the log at its level.
        QCOMPARE(Log::instance().open(logDir(), "orlenk3.log", Log::levelFromArgument("-3")), 0);
        Log::installMessageHandler();
        qDebug() << "not at this level";
        qWarning("UI/buildprint %s %d: heating", "slot", 7);
        qCritical() << "UI/home" << "checkReturnHomeDone";
        qInstallMessageHandler(nullptr);
        const QStringList fromQt = lines(box.path("/opt/PROGRAM/log/orlenk3.log")).mid(4);
        QCOMPARE(fromQt.join('|').remove(QRegularExpression("[^|]* <")),   // without the stamps
                 "WARNING> UI/buildprint slot 7: heating|CRITICAL> UI/home checkReturnHomeDone");

        // A folder that cannot be made: reported, and writing stays harmless.
        box.writeFile("/opt/PROGRAM/blocker", "x");
        QVERIFY(Log::instance().open(rootPath(std::string("/opt/PROGRAM/blocker/log")), "a.log") < 0);
        QVERIFY(!Log::instance().isOpen());
        Log::instance().write(Log::Fatal, "nowhere to go");
    }

    // Four writers, 12 files' worth of numbered lines of about 1 KB: nine full
    // rotated files stay, every line whole, each writer's numbers consecutive up to its last.
    void rotationKeepsNineFilesOfWholeLines()
    {
        Sandbox box;
        QCOMPARE(Log::instance().open(logDir(), "rot.log"), 0);
        const int perWriter = 3 * 1024;
        std::vector<std::thread> writers;
        for (int t = 0; t < 4; ++t)
            writers.emplace_back([t] {
                const std::string pad(1000, char('a' + t));
                for (int i = 0; i < perWriter; ++i)
                    Log::instance().write(Log::Debug, std::to_string(i) + " " + pad);
            });
        for (auto& w : writers)
            w.join();
        QStringList expected = {"rot.log"};
        for (int i = 1; i <= 9; ++i) {
            expected << QString("rot.log.%1").arg(i);
            const qint64 size = QFileInfo(box.path(QString("/opt/PROGRAM/log/rot.log.%1").arg(i))).size();
            QVERIFY(size <= Log::MaxFileSize && size > Log::MaxFileSize - 2000);
        }
        QCOMPARE(QDir(box.path("/opt/PROGRAM/log")).entryList(QDir::Files, QDir::Name), expected);
        QMap<QChar, int> next;   // per writer, from its oldest line kept
        for (const QString& text : allTexts(box, "rot.log")) {
            const QString pad = text.section(' ', 1);
            QVERIFY2(pad.size() == 1000 && pad.count(pad[0]) == 1000, qPrintable(text.left(80)));
            const int n = text.section(' ', 0, 0).toInt();
            QCOMPARE(n, next.value(pad[0], n));
            next[pad[0]] = n + 1;
        }
        QCOMPARE(next.values(), QList<int>(4, perWriter));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "test_log.moc"
