// The simulator's serial line speed: bytes cross one after the other at the
// line's pace, and bytes sent while the line is busy follow the earlier ones.
#include "simulator/LinePacer.h"

#include <QTest>

using Clock = LinePacer::Clock;
using std::chrono::milliseconds;

class TestLinePacer : public QObject {
    Q_OBJECT
private slots:
    void pace_data()
    {
        QTest::addColumn<double>("bytesPerSecond");   // 0: no line speed
        QTest::addColumn<int>("atMs");          // release at t0 + atMs
        QTest::addColumn<QByteArray>("out");    // everything released by then
        // 100 bytes/s: "ab\n" sent at t0, "cd\n" sent at t0 + 10 ms while the line is busy.
        QTest::newRow("nothing yet") << 100.0 << 9 << QByteArray();
        QTest::newRow("one byte") << 100.0 << 10 << QByteArray("a");
        QTest::newRow("first line") << 100.0 << 30 << QByteArray("ab\n");
        QTest::newRow("second follows the first") << 100.0 << 50 << QByteArray("ab\ncd");
        QTest::newRow("all") << 100.0 << 1000 << QByteArray("ab\ncd\n");
        QTest::newRow("unpaced passes at once") << 0.0 << 0 << QByteArray("ab\ncd\n");
    }

    void pace()
    {
        QFETCH(double, bytesPerSecond);
        QFETCH(int, atMs);
        QFETCH(QByteArray, out);
        LinePacer line(bytesPerSecond);
        const Clock::time_point t0 = Clock::now();
        std::string got;
        line.send("ab\n", 3, t0, got);
        QCOMPARE(line.nextLineAt().has_value(), bytesPerSecond > 0);
        if (bytesPerSecond > 0)
            QCOMPARE(line.nextLineAt().value(), t0 + milliseconds(30));
        line.send("cd\n", 3, t0 + milliseconds(10), got);
        line.release(t0 + milliseconds(atMs), got);
        QCOMPARE(QByteArray::fromStdString(got), out);
    }
};

QTEST_GUILESS_MAIN(TestLinePacer)
#include "test_linepacer.moc"
