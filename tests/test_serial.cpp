// The controller link against the simulator over a real pseudo-terminal:
// exchanges, reply parsing, flow control and every injected fault.
#include "Execute/CExecuteGetSerialObject.h"
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"
#include "tests/support/StreamCheck.h"

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

    // A full buffer is waited out on the busy line, not by hammering the
    // controller; one that stays full past the flow limit gets nothing sent.
    void flowControlWaitsForBusyLine_data()
    {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("flowMs");
        QTest::newRow("freed in time") << 400 << 4000;
        QTest::newRow("flow time-out") << 3000 << 300;
    }
    void flowControlWaitsForBusyLine()
    {
        QFETCH(int, holdMs);
        QFETCH(int, flowMs);
        SimHarness h;
        SerialObject* link = h.link();
        LinkTiming timing = quickTiming();
        timing.flowMs = flowMs;
        link->setTiming(timing);
        link->serialSendCode("G1 X1");   // learn the count
        h.sim().holdBufferFull(holdMs);
        link->serialSendCode("G1 X2");   // its reply reports 0 free slots while the hold lasts
        h.sim().clearTranscript();
        const QString reply = link->serialSendCode("G1 X3");
        const QStringList tr = h.sim().transcript();
        if (holdMs > flowMs) {
            QCOMPARE(reply, QString(ControllerProtocol::FlowTimeout));
            QVERIFY(!tr.contains("G1 X3"));
            return;
        }
        QVERIFY(ControllerProtocol::freeSlots(reply) > 0);
        QCOMPARE(tr.last(), QString("G1 X3"));
        QCOMPARE(tr.count("G1 X3"), 1);
        QVERIFY(tr.count("M117") >= 1 && tr.count("M117") < 20);
        QCOMPARE(h.sim().overflows(), 0);
    }

    // Replies lost, garbled, cut, late or a hang-up: the link reports what it
    // can, reopens a port that comes back, and later answers belong to their question.
    void queryFaultsRecover_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("recovers");   // 1: a parsed reply, 0: send failed, -1: either
        QTest::newRow("one reply dropped") << "drop1" << 1;
        QTest::newRow("two replies dropped") << "drop2" << 0;
        QTest::newRow("garbled") << "garble" << 1;
        QTest::newRow("partial") << "partial" << 1;
        QTest::newRow("late within the limit") << "lateInTime" << 1;
        QTest::newRow("late past the limit") << "late" << -1;
        QTest::newRow("readings pinned") << "pinned" << 1;
        QTest::newRow("hang-up, port back") << "hangUp" << 0;
    }
    void queryFaultsRecover()
    {
        QFETCH(QString, fault);
        QFETCH(int, recovers);
        SimHarness h;
        SerialObject* link = quickLink(h);
        ControllerSimulator& sim = h.sim();
        const QHash<QString, std::function<void()>> inject{
            {"drop1", [&] { sim.dropReplies(1); }}, {"drop2", [&] { sim.dropReplies(2); }},
            {"garble", [&] { sim.garbleReplies(1); }}, {"partial", [&] { sim.partialReplies(1); }},
            {"lateInTime", [&] { sim.delayReplies(100, 1); }}, {"late", [&] { sim.delayReplies(500, 1); }},
            {"pinned", [&] { sim.pinNozzleTemperature(281); }}, {"hangUp", [&] { sim.hangUp(150); }}};
        inject[fault]();
        const QString reply = link->serialCheckCode("M105");
        if (recovers == 1)
            QVERIFY2(ControllerProtocol::parseM105(reply).has_value(), qPrintable(reply));
        else if (recovers == 0)
            QCOMPARE(reply, QString(ControllerProtocol::SendFailed));
        if (fault == "pinned")
            QCOMPARE(ControllerProtocol::parseM105(reply)->nozzle, 281);
        // Whatever happened, the next exchanges are in step again.
        QVERIFY(SimHarness::waitUntil([&] { return ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value(); },
                                      3000));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value());
            QVERIFY(ControllerProtocol::parseM119(link->serialCheckCode("M119")).has_value());
            QVERIFY(ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value());
        }
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

    // Lines in flight: each fault still gives every line once, in order, with no
    // overflow; queries from another thread meanwhile get their own replies. A port
    // gone for good ends the job as a quit, with the start of the file sent.
    void streamingWithLinesInFlight_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char* f : {"none", "drop", "dropResync", "late", "lateInTime", "garble", "partial", "duplicate", "full",
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
        std::atomic<int> result{-2}, quits{0}, overs{0};
        QObject ctx;
        QObject::connect(link, &SerialObject::printQuit, &ctx, [&] { ++quits; });
        QObject::connect(link, &SerialObject::printOver, &ctx, [&] { ++overs; });
        std::thread printer([&] { result = link->serialPrint(h.sandbox().path("/data/flight.g")); });
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().receivedCount() > 300; }, 10000));
        ControllerSimulator& sim = h.sim();
        const QHash<QString, std::function<void()>> inject{
            {"none", [] {}}, {"drop", [&] { sim.dropReplies(2); }}, {"dropResync", [&] { sim.dropReplies(3); }},
            {"late", [&] { sim.delayReplies(400, 1); }},
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
            QVERIFY(got.size() < expected.size());
            QCOMPARE(got, expected.mid(0, got.size()));
        } else {
            QCOMPARE(result.load(), 0);
            QCOMPARE(got, expected);
        }
        QCOMPARE(sim.overflows(), 0);
        QVERIFY(SimHarness::waitUntil([&] { return quits + overs == 1; }, 1000));
        QCOMPARE(quits.load(), int(fault == "hangUp"));
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
};

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
