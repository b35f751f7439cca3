// The settings store and the buzzer player.
#include "Config/Config.h"
#include "buzzer/buzzerPlay.h"
#include "tests/support/Sandbox.h"

#include <QDir>
#include <QTest>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

Config* cfg() { return getConfigFile().configFile(); }

Json::Value readJson(const Sandbox& box)
{
    Json::Value root;
    std::istringstream(box.readFile("/opt/PROGRAM/config/config.json").toStdString()) >> root;
    return root;
}

time_t mtime(const QString& path) { return QFileInfo(path).lastModified().toSecsSinceEpoch(); }

}

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    // A missing or damaged file reads as the defaults, and the next write makes it whole.
    void damagedFilesReadAsDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << QByteArray("<none>");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << QByteArray("{\n \"general\": {\n  \"buzzerStatus\": fal");
        QTest::newRow("array") << QByteArray("[1, 2, 3]");
        QTest::newRow("section of wrong type") << QByteArray("{\"general\": 7}");
        QTest::newRow("keys of wrong type")
            << QByteArray("{\"general\": {\"buzzerStatus\": \"no\", \"extruderCalibrationValue\": \"x\","
                          " \"printerTotalTime\": 1.5, \"modifyTime\": \"yesterday\"}}");
    }
    void damagedFilesReadAsDefaults()
    {
        QFETCH(QByteArray, content);
        Sandbox box;
        if (content != "<none>")
            box.writeFile("/opt/PROGRAM/config/config.json", content);
        cfg()->reload();
        QCOMPARE(cfg()->getBuzzerStatus(), true);
        QVERIFY(QFileInfo::exists(box.path("/opt/PROGRAM/config/config.json")));   // stored on first get
        QCOMPARE(std::make_tuple(cfg()->getExtruderCalibrationValue(), cfg()->getPrinterTotalTime(), cfg()->getModifyTime()),
                 std::make_tuple(3.0, 0, std::string("202001010101.01")));
        cfg()->setLedStatus(false);
        const Json::Value root = readJson(box);
        for (const char* s : {"log", "general", "polarcloud", "network", "autoCalibration"})
            QVERIFY2(root[s].isObject(), s);
        QVERIFY(root["general"]["ledStatus"] == false && root["general"]["buzzerStatus"] == true);
    }

    // Each read-modify-write counted once, even from four threads at once; the file stays whole.
    void settersRewriteTheWholeFile()
    {
        Sandbox box;
        cfg()->reload();
        cfg()->setBuzzerStatus(false);
        cfg()->setPowerOffResumePrintFileName("/data/my file.gx");
        cfg()->setExtruderCalibrationValue(2.35);
        cfg()->setAutoPoint(5, 0.1f);
        cfg()->setAutoPoint(10, 5.0f);   // no such point: ignored
        cfg()->setPrinterTotalTime(42);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < 100; ++i) {
                    cfg()->setPrinterTotalTime(1);   // adds up
                    cfg()->setAutoPoint(t + 1, float(i));
                    cfg()->getLedStatus();
                    cfg()->setLedStatus(i % 2 == 0);
                }
            });
        }
        for (auto& th : threads)
            th.join();

        const Json::Value root = readJson(box);   // on disk, not only in memory
        const Json::Value& g = root["general"];
        QVERIFY(g["buzzerStatus"].isBool() && !g["buzzerStatus"].asBool());
        QCOMPARE(std::make_tuple(g["powerOffResumePrintFileName"].asString(), g["extruderCalibrationValue"].asDouble(),
                                 g["printerTotalTime"].asInt(), root["autoCalibration"]["point5"].asDouble()),
                 std::make_tuple(std::string("/data/my file.gx"), 2.35, 442, 0.1));
        QVERIFY(!root["autoCalibration"].isMember("point10"));
        for (int t = 1; t <= 4; ++t)
            QCOMPARE(root["autoCalibration"]["point" + std::to_string(t)].asDouble(), 99.0);
        cfg()->setPrinterTotalTime(INT_MAX);
        QCOMPARE(cfg()->getPrinterTotalTime(), INT_MAX);   // saturates, never wraps negative
        // Rewrites go through a temporary file that is renamed: nothing is left behind.
        QCOMPARE(QDir(box.path("/opt/PROGRAM/config")).entryList(QDir::Files | QDir::Hidden), QStringList{"config.json"});
    }

    void modifyTimeCounter()
    {
        const std::pair<const char*, const char*> steps[] = {
            {"202001010101.01", "202001010101.02"}, {"202001010101.59", "202001010102.00"},
            {"202012312359.59", "202101010000.00"}, {"202002282359.59", "202002290000.00"},
            {"rubbish", "202001010101.02"}};
        for (const auto& [from, to] : steps)
            QCOMPARE(Config::nextModifyTime(from), std::string(to));
    }

    // A copy into internal storage lists as the newest file: its stamp is the
    // latest of the counter, the clock and the folder's newest other file.
    void updateFileModifyTime()
    {
        Sandbox box;
        cfg()->reload();
        const QString name = "/data/my \"part\" 'v2'; touch pwned $(touch pwned2) `touch pwned3` & x.gx";
        box.writeFile(name, "G1 X1\n");
        const time_t before = time(nullptr);
        cfg()->updateFileModifyTime(box.path(name).toStdString());
        // The clock is past the counter's 2020 start: the copy gets the clock.
        const time_t stamped = mtime(box.path(name));
        QVERIFY(stamped >= before && stamped <= time(nullptr) + 1);
        QCOMPARE(readJson(box)["general"]["modifyTime"].asString(), cfg()->getModifyTime());
        for (const char* p : {"pwned", "pwned2", "pwned3"})
            QVERIFY(!QFileInfo::exists(p) && !QFileInfo::exists(box.path(QString("/data/") + p)));

        // A file from the future in the folder: one second past it.
        box.writeFile("/data/future.gx", "G1\n");
        const struct timespec later[2] = {{before + 86400, 0}, {before + 86400, 0}};
        QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(box.path("/data/future.gx")).constData(), later, 0), 0);
        cfg()->updateFileModifyTime(box.path(name).toStdString());
        QCOMPARE(mtime(box.path(name)), before + 86401);

        // A counter ahead of the clock (a board whose clock is unset): the next second of it.
        box.writeFile("/opt/PROGRAM/config/config.json", "{\"general\": {\"modifyTime\": \"209001010101.01\"}}");
        cfg()->reload();
        box.writeFile("/data/b.gx", "G1\n");
        cfg()->updateFileModifyTime(box.path("/data/b.gx").toStdString());
        struct tm tm = {};
        tm.tm_year = 190, tm.tm_mday = 1, tm.tm_hour = 1, tm.tm_min = 1, tm.tm_sec = 2, tm.tm_isdst = -1;
        QCOMPARE(mtime(box.path("/data/b.gx")), mktime(&tm));
        // A missing file is not created (as touch -c); the counter still moves on.
        cfg()->updateFileModifyTime(box.path("/data/missing.gx").toStdString());
        QVERIFY(!QFileInfo::exists(box.path("/data/missing.gx")));
        QCOMPARE(cfg()->getModifyTime(), std::string("209001010101.03"));
    }

    // The tune's tones reach the PWM channel, which is off after it.
    void buzzerPlaysTheTune()
    {
        Sandbox box;
        const QString channel = "/sys/class/pwm/pwmchip0/pwm1/";
        for (const char* f : {"period", "duty_cycle", "enable"})
            box.writeFile(channel + f, "0\n");
        buzzerPlay::setTimeScale(0.01);
        buzzerPlay* b = buzzerPlay::getInstance("pwm1");
        b->start();
        b->play(buzzerPlay::Tune6);   // ends on 3520 Hz
        QVERIFY(b->waitIdle(5000));
        QByteArray written;
        for (const char* f : {"period", "duty_cycle", "enable"})
            written += box.readFile(channel + f) + " ";
        QCOMPARE(written, QByteArray("284090 142045 0 "));

        // Without the channel's files: harmless, and nothing is created.
        QDir(box.path("/sys/class/pwm")).removeRecursively();
        buzzerPlay* other = buzzerPlay::getInstance("pwm7");
        other->play(buzzerPlay::Tune5);   // without start(): the tune still gets a player
        QVERIFY(other->waitIdle(5000));
        QCOMPARE(other->playedNotes(), buzzerPlay::tuneNotes(buzzerPlay::Tune5));
        QVERIFY(!QFileInfo::exists(box.path("/sys/class/pwm")));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "test_config.moc"
