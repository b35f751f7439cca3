// The controller link against the simulator over a real pseudo-terminal:
// exchanges, reply parsing, flow control and every injected fault.
#include "Execute/CExecuteGetSerialObject.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"
#include "tests/support/StreamCheck.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>

using namespace StreamCheck;

namespace {

// Distinct moves, each line unique so a repeat or a loss shows.
QByteArray makeMoves(int count)
{
    QByteArray f = ";generated for the link tests\nG90\nM82\nG92 E0\n";
    for (int i = 0; i < count; ++i) {
        if (i % 50 == 0)
            f += ";layer:" + QByteArray::number(i / 50) + "\n";
        f += "G1 X" + QByteArray::number(10 + (i % 90) + i * 0.001, 'f', 3) + " Y" +
             QByteArray::number(20 + (i % 70), 'f', 3) + " E" + QByteArray::number(i * 0.01, 'f', 3) +
             " F6000\n";
        if (i % 37 == 0)
            f += "  \n";
    }
    return f;
}

SerialObject* quickLink(SimHarness& h)
{
    h.link()->setTiming(quickTiming());
    return h.link();
}

// What the controller received, without the link's own buffer polls.
QStringList sent(SimHarness& h)
{
    QStringList tr = h.sim().transcript();
    tr.removeAll("M117");
    return tr;
}

}

class TestSerial : public QObject {
    Q_OBJECT
private slots:
    void queriesAndReplies()
    {
        SimHarness h;
        SerialObject* link = h.link();
        QVERIFY(link->isOpen());

        h.sim().setTemperatures(30, 28);
        const auto t = ControllerProtocol::parseM105(link->serialCheckCode("M105"));
        QVERIFY(t.has_value());
        QVERIFY(t->nozzle >= 25 && t->nozzle <= 30);

        link->serialSendCode("G92 X1 Y2 Z3 E4");
        const auto p = ControllerProtocol::parseM114(link->serialCheckCode("M114"));
        QVERIFY(p.has_value());
        QCOMPARE(p->x, 1.0);
        QCOMPARE(p->z, 3.0);

        QVERIFY(ControllerProtocol::motionEnded(link->serialCheckCode("M121")));
        QVERIFY(ControllerProtocol::filamentPresent(link->serialCheckCode("M113")));
        h.sim().setFilament(false);
        QVERIFY(!ControllerProtocol::filamentPresent(link->serialCheckCode("M113")));
        QVERIFY(ControllerProtocol::probeFitted(link->serialCheckCode("M130")));
        QVERIFY(ControllerProtocol::freeSlots(link->serialCheckCode("M117")) > 0);

        QCOMPARE(h.sim().transcript().count("M114"), 1);
    }

    void heatingCalls()
    {
        SimHarness h;
        SerialObject* link = h.link();
        link->HeatingHalmetII(210, 60);
        QCOMPARE(h.sim().nozzleTarget(), 210);
        QCOMPARE(h.sim().bedTarget(), 60);
        QCOMPARE(link->nozzleTarget(), 210);
        link->stopHalmetIIHeating();
        QCOMPARE(h.sim().nozzleTarget(), 0);
        QCOMPARE(h.sim().bedTarget(), 0);
        QCOMPARE(sent(h), QStringList({"M140 S60", "M104 S210 T0", "M140 S0", "M104 S0 T0"}));

        // An in-print override replaces the matching argument.
        link->printingAdjustNozzleTemp(195);   // not printing: recorded only
        QCOMPARE(h.sim().nozzleTarget(), 0);
        link->HeatingHalmetII(210, 60);
        QCOMPARE(h.sim().nozzleTarget(), 195);
        QCOMPARE(h.sim().bedTarget(), 60);
        link->m_nozzleTempOverride = false;
        link->Heating(205);
        link->HeatingPlatform(0);
        QCOMPARE(h.sim().nozzleTarget(), 205);
        QCOMPARE(h.sim().bedTarget(), 0);
    }

    void flowControlWithSmallBuffer()
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.bufferSlots = 3;
        o.timeScale = 10;    // each 20 mm move lasts 40 ms here
        SimHarness h(o);
        SerialObject* link = quickLink(h);
        QStringList sent;
        for (int i = 0; i < 15; ++i) {
            const QString move = QString("G1 X%1 F3000").arg(i % 2 ? 20 : 0);
            sent << move;
            QVERIFY(ControllerProtocol::freeSlots(link->serialSendCode(move)) >= 0);
        }
        QCOMPARE(h.sim().overflows(), 0);
        QStringList tr = h.sim().transcript();
        QVERIFY(tr.count("M117") >= 2);    // the link asked again when the buffer was full
        tr.removeAll("M117");
        QCOMPARE(tr, sent);
    }

    void flowControlWaitsForBusyLine()
    {
        SimHarness h;
        SerialObject* link = quickLink(h);
        link->serialSendCode("G1 X1");   // learn the count
        h.sim().holdBufferFull(400);
        // The reply to this one reports 0 free slots while the hold lasts.
        link->serialSendCode("G1 X2");
        h.sim().clearTranscript();
        const QString reply = link->serialSendCode("G1 X3");
        QVERIFY(ControllerProtocol::freeSlots(reply) > 0);
        const QStringList tr = h.sim().transcript();
        QCOMPARE(tr.last(), QString("G1 X3"));
        QCOMPARE(tr.count("G1 X3"), 1);
        QVERIFY(tr.count("M117") >= 1);
        QVERIFY(tr.count("M117") < 20);    // it waited on the busy line, it did not hammer the controller
        QCOMPARE(h.sim().overflows(), 0);
    }

    void flowTimeoutSendsNothing()
    {
        SimHarness h;
        SerialObject* link = h.link();
        LinkTiming timing = quickTiming();
        timing.flowMs = 300;
        link->setTiming(timing);
        link->serialSendCode("G1 X1");
        h.sim().holdBufferFull(3000);
        link->serialSendCode("G1 X2");    // its reply says the buffer is full
        const QString reply = link->serialSendCode("G1 X3");
        QCOMPARE(reply, QString(ControllerProtocol::FlowTimeout));
        QVERIFY(!h.sim().transcript().contains("G1 X3"));
    }

    void queryFaultsRecover_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("recovers");
        QTest::newRow("one reply dropped") << 0 << true;
        QTest::newRow("two replies dropped") << 1 << false;
        QTest::newRow("garbled") << 2 << true;
        QTest::newRow("partial") << 3 << true;
        QTest::newRow("late within the limit") << 4 << true;
        QTest::newRow("readings pinned") << 5 << true;
    }

    void queryFaultsRecover()
    {
        QFETCH(int, fault);
        QFETCH(bool, recovers);
        SimHarness h;
        SerialObject* link = quickLink(h);
        switch (fault) {
        case 0: h.sim().dropReplies(1); break;
        case 1: h.sim().dropReplies(2); break;
        case 2: h.sim().garbleReplies(1); break;
        case 3: h.sim().partialReplies(1); break;
        case 4: h.sim().delayReplies(100, 1); break;
        case 5: h.sim().pinNozzleTemperature(281); break;
        }

        const QString reply = link->serialCheckCode("M105");
        if (recovers) {
            QVERIFY2(ControllerProtocol::parseM105(reply).has_value(), qPrintable(reply));
            if (fault == 5)
                QCOMPARE(ControllerProtocol::parseM105(reply)->nozzle, 281);
        } else {
            QCOMPARE(reply, QString(ControllerProtocol::SendFailed));
        }
        // Whatever happened, the next exchanges are in step again.
        QVERIFY(ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value());
        QVERIFY(ControllerProtocol::parseM119(link->serialCheckCode("M119")).has_value());
        QVERIFY(ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value());
    }

    // A late answer must never pass for the answer to the next command.
    void repliesAreMatchedToTheirCommand()
    {
        using ControllerProtocol::replyFits;
        QVERIFY(replyFits("M105", "3 T:25/0 B:25/0\n"));
        QVERIFY(!replyFits("M114", "3 T:25/0 B:25/0\n"));
        QVERIFY(replyFits("M114", "3 X:1.00 Y:2.00 Z:3.00 E:0.00"));
        QVERIFY(!replyFits("M119", "3 X:1.00 Y:2.00 Z:3.00 E:0.00"));
        QVERIFY(replyFits("M119", "3 X:1 Y:0 Z:0"));
        QVERIFY(!replyFits("M121", "3 ok"));
        QVERIFY(replyFits("M121", "3 B"));
        QVERIFY(replyFits("M113", "3 Fail"));
        QVERIFY(!replyFits("G1 X10 F3000", "3 F"));
        QVERIFY(replyFits("G1 X10 F3000", "3 ok\r\n"));
    }

    void lateReplyDoesNotShiftLaterReplies()
    {
        SimHarness h;
        SerialObject* link = quickLink(h);
        h.sim().delayReplies(500, 1);     // twice the reply limit
        link->serialCheckCode("M105");
        // Every later answer belongs to its own question.
        for (int i = 0; i < 5; ++i) {
            QVERIFY(ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value());
            QVERIFY(ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value());
            QVERIFY(ControllerProtocol::parseM119(link->serialCheckCode("M119")).has_value());
        }
    }

    void hangUpOfQueryReopens()
    {
        SimHarness h;
        SerialObject* link = quickLink(h);
        h.sim().hangUp(150);
        QCOMPARE(link->serialCheckCode("M105"), QString(ControllerProtocol::SendFailed));
        QVERIFY(SimHarness::waitUntil([&] { return ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value(); },
                                      3000));
        QVERIFY(ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value());
    }

    void printUnderEveryFault()
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.bufferSlots = 4;
        o.timeScale = 2000;
        SimHarness h(o);
        SerialObject* link = quickLink(h);
        const QByteArray file = makeMoves(1500);
        h.sandbox().writeFile("/data/faults.g", file);
        const QStringList expected = expectedLines(file);

        std::atomic<bool> done{false};
        int result = -2;
        std::thread printer([&] {
            result = link->serialPrint(h.sandbox().path("/data/faults.g"));
            done = true;
        });
        // One fault of each kind in turn while the file streams, one per 150 lines received.
        int n = 0;
        QTimer faults;
        QObject::connect(&faults, &QTimer::timeout, [&] {
            if (done.load() || h.sim().receivedCount() < 100 + 150 * n)
                return;
            switch (n++ % 9) {
            case 0: h.sim().dropReplies(1); break;
            case 1: h.sim().garbleReplies(1); break;
            case 2: h.sim().partialReplies(1); break;
            case 3: h.sim().delayReplies(400, 1); break;        // later than the reply limit
            case 4: h.sim().hangUp(80); break;
            case 5: h.sim().holdBufferFull(60); break;
            case 6: h.sim().dropReplies(3); break;              // the resync query is lost too
            case 7: h.sim().delayReplies(60, 2); break;         // late, but in time
            case 8: h.sim().garbleReplies(2); break;
            }
        });
        faults.start(1);
        const bool finished = SimHarness::waitUntil([&] { return done.load(); }, 15000);
        faults.stop();
        if (!finished)
            link->slo_printingQuit();
        printer.join();
        QVERIFY(finished);
        QCOMPARE(result, 0);
        QVERIFY(n >= 9);
        QCOMPARE(fileLinesIn(h.sim().transcript(), expected), expected);
        QCOMPARE(h.sim().overflows(), 0);
    }

    // Lines in flight: each fault still gives every line once, in order, with no
    // overflow; queries from another thread meanwhile get their own replies.
    void streamingWithLinesInFlight_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char* f : {"none", "drop", "late", "lateInTime", "garble", "partial", "duplicate", "full",
                              "hangUpBack", "hangUp"})
            QTest::newRow(f) << QString(f);
    }
    void streamingWithLinesInFlight()
    {
        QFETCH(QString, fault);
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.bufferSlots = 8;
        o.timeScale = 20000;   // moves short enough to keep lines in flight, long enough to fill the buffer
        SimHarness h(o);
        SerialObject* link = h.link();
        link->setTiming(quickTiming(500));
        const QByteArray file = makeMoves(1200);
        h.sandbox().writeFile("/data/flight.g", file);
        const QStringList expected = expectedLines(file);
        std::atomic<int> result{-2};
        std::thread printer([&] { result = link->serialPrint(h.sandbox().path("/data/flight.g")); });
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().receivedCount() > 300; }, 10000));
        ControllerSimulator& sim = h.sim();
        const QHash<QString, std::function<void()>> inject{
            {"none", [] {}}, {"drop", [&] { sim.dropReplies(2); }}, {"late", [&] { sim.delayReplies(400, 1); }},
            {"lateInTime", [&] { sim.delayReplies(60, 2); }}, {"garble", [&] { sim.garbleReplies(2); }},
            {"partial", [&] { sim.partialReplies(1); }}, {"duplicate", [&] { sim.duplicateReplies(3); }},
            {"full", [&] { sim.holdBufferFull(80); }}, {"hangUpBack", [&] { sim.hangUp(80); }},
            {"hangUp", [&] { sim.hangUp(-1); }}};
        inject[fault]();
        if (fault == "none") {
            for (int i = 0; i < 20 && result == -2; ++i) {
                QVERIFY(ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value());
                QVERIFY(ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value());
            }
        }
        const bool ended = SimHarness::waitUntil([&] { return result != -2; }, 15000);
        if (!ended)
            link->slo_printingQuit();
        printer.join();
        QVERIFY(ended);
        const QStringList got = fileLinesIn(sim.transcript(), expected);
        if (fault == "hangUp") {
            QCOMPARE(result.load(), -1);
            QVERIFY(link->jobLostController());
            QCOMPARE(got, expected.mid(0, got.size()));
        } else {
            QCOMPARE(result.load(), 0);
            QCOMPARE(got, expected);
        }
        QCOMPARE(sim.overflows(), 0);
    }

    void printWithAdjustments()
    {
        SimHarness h(SimHarness::fastOptions());
        SerialObject* link = quickLink(h);
        h.sandbox().writeFile("/data/adjust.g",
                              "G90\nM82\nG92 E0\nG1 Z0.3 F600\nG1 X10 Y10 E1.5 F1200\n;comment G1 X99\n"
                              "G1 X20 E3\nG1 Z0.5\nG0 X0 Y0 F3000\n");
        PrintingAdjust a;
        a.speed = 150;
        a.zOffset = 20;
        a.extrusion = 90;
        link->setPrintingAdjust(a);
        QCOMPARE(link->serialPrint(h.sandbox().path("/data/adjust.g")), 0);
        QCOMPARE(sent(h), QStringList({"G90", "M82", "G92 E0", "G1 Z0.5 F900", "G1 X10 Y10 E1.35 F1800", "G1 X20 E2.7",
                                  "G1 Z0.7", "G0 X0 Y0 F4500"}));
        link->resetPrintingAdjust();
        QCOMPARE(std::make_tuple(link->printingAdjust().speed, link->printingAdjust().zOffset, link->printingAdjust().extrusion),
                 std::make_tuple(100, 0, 100));
    }

    void printWithLostLineEndsAsQuit()
    {
        SimHarness h;
        SerialObject* link = h.link();
        LinkTiming timing = quickTiming();
        timing.portLostMs = 500;
        timing.flowMs = 500;
        link->setTiming(timing);
        const QByteArray file = makeMoves(300);
        h.sandbox().writeFile("/data/lost.g", file);
        const QStringList expected = expectedLines(file);

        std::atomic<int> quits{0}, overs{0};
        QObject ctx;
        QObject::connect(link, &SerialObject::printQuit, &ctx, [&] { ++quits; });
        QObject::connect(link, &SerialObject::printOver, &ctx, [&] { ++overs; });
        std::atomic<bool> done{false};
        std::thread printer([&] {
            link->serialPrint(h.sandbox().path("/data/lost.g"));
            done = true;
        });
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().size() > 60; }, 5000));
        h.sim().hangUp(-1);                 // pulled for good
        const bool ended = SimHarness::waitUntil([&] { return done.load(); }, 10000);
        if (!ended)
            link->slo_printingQuit();
        printer.join();
        QVERIFY(ended);
        QVERIFY(SimHarness::waitUntil([&] { return quits.load() == 1; }, 1000));
        QCOMPARE(overs.load(), 0);
        // What got through is the start of the file: nothing lost in between, nothing twice.
        const QStringList got = fileLinesIn(h.sim().transcript(), expected);
        QVERIFY(got.size() > 0 && got.size() < expected.size());
        QCOMPARE(got, expected.mid(0, got.size()));
    }
};

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
