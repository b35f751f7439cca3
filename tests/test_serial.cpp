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

    // One reader of the free count, one rule; replies run together still count;
    // a late answer never passes for the answer to the next command.
    void protocolRules()
    {
        const std::pair<const char*, int> counts[] = {
            {"5 ok", 5}, {"5\t ok", 5}, {"  3 ok", 3}, {"007 ok", 7}, {"123456 ok", 123456}, {"12", 12},
            {"-0 ok", -1}, {"+5 ok", -1}, {"1234567 ok", -1}, {"0000000007 ok", -1}, {"5ok", -1}, {"", -1},
            {"ok", -1}, {"\xff\xfe ok", -1}};
        for (const auto& [reply, n] : counts) {
            QCOMPARE(ControllerProtocol::freeSlots(std::string_view(reply)), n);
            QCOMPARE(ControllerProtocol::freeSlots(QString::fromLatin1(reply)), n);
        }
        const std::tuple<const char*, int, bool> oks[] = {
            {"7 ok", 1, false}, {"7 ok7 ok", 2, false}, {"7 ok6 T:25/0 B:25/0", 1, true}, {"6 T:25/0 B:25/0", 0, true},
            {"7 okay", 0, false}, {"\xff\xfe\x15#", 0, false}, {"7 X:1 Y:0 Z:0", 0, false}};
        for (const auto& [line, n, sync] : oks) {
            bool gotSync = !sync;
            QCOMPARE(ControllerProtocol::okRepliesIn(line, &gotSync), n);
            QCOMPARE(gotSync, sync);
        }
        using ControllerProtocol::replyFits;
        QVERIFY(replyFits("M105", "3 T:25/0 B:25/0\n") && !replyFits("M114", "3 T:25/0 B:25/0\n"));
        QVERIFY(replyFits("M114", "3 X:1.00 Y:2.00 Z:3.00 E:0.00") && !replyFits("M119", "3 X:1.00 Y:2.00 Z:3.00 E:0.00"));
        QVERIFY(replyFits("M119", "3 X:1 Y:0 Z:0") && replyFits("M121", "3 B") && !replyFits("M121", "3 ok"));
        QVERIFY(replyFits("M113", "3 Fail") && !replyFits("G1 X10 F3000", "3 F") && replyFits("G1 X10 F3000", "3 ok\r\n"));
    }

    // A command whose reply went missing is confirmed only when the replies read
    // up to the sync query's answer prove it arrived; it is never sent twice.
    void sendWithoutReplyIsProvenOrNotConfirmed_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("reply dropped") << "drop" << false;
        QTest::newRow("reply late") << "late" << true;
        QTest::newRow("line end lost") << "partial" << true;
        QTest::newRow("hang-up, line back") << "hangUp" << false;
    }
    void sendWithoutReplyIsProvenOrNotConfirmed()
    {
        QFETCH(QString, fault);
        QFETCH(bool, confirmed);
        SimHarness h;
        SerialObject* link = quickLink(h);
        ControllerSimulator& sim = h.sim();
        link->serialSendCode("G1 X1");
        const QHash<QString, std::function<void()>> inject{
            {"drop", [&] { sim.dropReplies(1); }}, {"late", [&] { sim.delayReplies(400, 1); }},
            {"partial", [&] { sim.partialReplies(1); }}, {"hangUp", [&] { sim.hangUp(100); }}};
        inject[fault]();
        const QString reply = link->serialSendCode("G1 X7 F600");
        QCOMPARE(ControllerProtocol::isLinkError(reply), !confirmed);
        if (!confirmed)
            QCOMPARE(reply, QString(ControllerProtocol::Unconfirmed));
        QCOMPARE(sim.transcript().count("G1 X7 F600"), 1);
        QVERIFY(SimHarness::waitUntil([&] { return !ControllerProtocol::isLinkError(link->serialSendCode("G1 X8")); }, 3000));
    }

    // A controller that reads but no longer answers: a screen-side call waits at
    // most one exchange limit, and once the silence is known (the first failed
    // call, or a job that ended for it) a quarter of a second. Safety commands
    // still reach the line at once.
    void silentControllerCostsTheScreenLittle_data()
    {
        QTest::addColumn<bool>("printing");
        QTest::newRow("idle") << false;
        QTest::newRow("after a job ended for it") << true;
    }
    void silentControllerCostsTheScreenLittle()
    {
        QFETCH(bool, printing);
        SimHarness h;
        SerialObject* link = h.link();
        LinkTiming t;   // the real limits: the bound is the link's own
        link->setTiming(t);
        std::thread printer;
        const auto join = [&](std::thread* t) { if (t->joinable()) t->join(); };
        std::unique_ptr<std::thread, decltype(join)> printerJoin(&printer, join);
        if (printing) {
            h.sandbox().writeFile("/data/silent.g", makeMoves(3000));
            printer = std::thread([&] { link->serialPrint(h.sandbox().path("/data/silent.g")); });
            QVERIFY(SimHarness::waitUntil([&] { return h.sim().receivedCount() > 200; }, 10000));
        }
        link->Heating(200);
        h.sim().dropReplies(1 << 30);
        if (printing)
            QVERIFY(SimHarness::waitUntil([&] { return !link->isPrinting(); }, 30000) && link->jobLostController());
        SerialObject::takeWaitSpentMs();
        const std::function<void()> calls[] = {
            [&] { link->serialCheckCode("M105"); }, [&] { link->serialSendCode("G1 X5 F600"); },
            [&] { link->serialCheckCode("M114"); }, [&] { link->stopHalmetIIHeating(); },
            [&] { link->serialSendCode("G28 Z"); }, [&] { link->serialCheckCode("M121"); }};
        int full = 0;   // calls that waited past a quarter of a second: before the silence was known
        for (int round = 0; round < 3; ++round) {
            for (const auto& call : calls) {
                const int before = h.sim().transcript().size();
                call();
                const int64_t spent = SerialObject::takeWaitSpentMs();
                QVERIFY(spent <= t.exchangeLimitMs());
                full += spent > 250;
                if (round > 0)   // at most one try, and the kept safety commands
                    QVERIFY(h.sim().transcript().size() - before <= 3);
            }
        }
        QVERIFY(full <= int(!printing));
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().nozzleTarget() == 0; }, 1000));
        link->slo_printingQuit();
        printerJoin.reset();
        // Once it answers again, the kept safety commands are delivered once more.
        h.sim().dropReplies(0);
        QVERIFY(SimHarness::waitUntil([&] { return link->serialCheckCode("M105") != ControllerProtocol::SendFailed
                                                   && link->pendingSafetyCommands() == 0; }, 10000));
        QVERIFY(h.sim().transcript().count("M104 S0 T0") >= 2);
    }

    // Lines in flight: a fault ends with every line once, in order, or with the
    // job ended for a lost controller (the start of the file sent once, heaters
    // off); never finished with a line missing. Replies sent twice or late never
    // overfill the buffer, with 4 slots or 16.
    void streamingWithLinesInFlight_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("slotCount");
        QTest::addColumn<int>("ends");   // 0: finishes, -1: lost, 1: either
        const std::tuple<const char*, int> rows[] = {
            {"none", 0}, {"drop", -1}, {"late", 0}, {"lateInTime", 0}, {"garble", -1}, {"partial", 0}, {"duplicate", 0},
            {"full", 0}, {"hangUpBack", -1}, {"hangUpSwallows", -1}, {"hangUp", -1}};
        for (const auto& [f, ends] : rows)
            QTest::newRow(f) << QString(f) << 8 << ends;
        for (int slotCount : {4, 16}) {
            QTest::newRow(qPrintable(QString("duplicates, %1 slots").arg(slotCount))) << "duplicates" << slotCount << 0;
            QTest::newRow(qPrintable(QString("late replies, %1 slots").arg(slotCount))) << "lateMany" << slotCount << 1;
        }
    }
    void streamingWithLinesInFlight()
    {
        QFETCH(QString, fault);
        QFETCH(int, slotCount);
        QFETCH(int, ends);
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.bufferSlots = slotCount;
        o.timeScale = 20000;   // moves short enough to keep lines in flight, long enough to fill the buffer
        SimHarness h(o);
        SerialObject* link = h.link();
        link->setTiming(quickTiming(500));
        const bool repeated = fault == "duplicates" || fault == "lateMany";
        const QByteArray file = makeMoves(repeated ? 3000 : 1200);
        h.sandbox().writeFile("/data/flight.g", file);
        const QStringList expected = expectedLines(file);
        std::atomic<int> result{-2}, quits{0}, overs{0};
        QObject ctx;
        QObject::connect(link, &SerialObject::printQuit, &ctx, [&] { ++quits; });
        QObject::connect(link, &SerialObject::printOver, &ctx, [&] { ++overs; });
        link->HeatingHalmetII(200, 60);
        std::thread printer([&] { result = link->serialPrint(h.sandbox().path("/data/flight.g")); });
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().receivedCount() > 300; }, 10000));
        ControllerSimulator& sim = h.sim();
        const QHash<QString, std::function<void()>> inject{
            {"none", [] {}}, {"drop", [&] { sim.dropReplies(2); }}, {"late", [&] { sim.delayReplies(400, 1); }},
            {"lateInTime", [&] { sim.delayReplies(60, 2); }}, {"garble", [&] { sim.garbleReplies(2); }},
            {"partial", [&] { sim.partialReplies(1); }}, {"duplicate", [&] { sim.duplicateReplies(3); }},
            {"full", [&] { sim.holdBufferFull(80); }}, {"hangUpBack", [&] { sim.hangUp(80); }},
            {"hangUpSwallows", [&] { sim.hangUp(300, true); }}, {"hangUp", [&] { sim.hangUp(-1); }},
            {"duplicates", [&] { sim.duplicateReplies(1); }}, {"lateMany", [&] { sim.delayReplies(150, 1); }}};
        inject[fault]();
        if (fault == "none") {
            for (int i = 0; i < 20 && result == -2; ++i) {
                QVERIFY(ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value());
                QVERIFY(ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value());
            }
        }
        for (int i = 0; repeated && result == -2 && i < (fault == "lateMany" ? 3 : 200); ++i) {
            QTest::qWait(fault == "lateMany" ? 600 : 15);
            inject[fault]();
        }
        const bool ended = SimHarness::waitUntil([&] { return result != -2; }, 20000);
        if (!ended)
            link->slo_printingQuit();
        printer.join();
        QVERIFY(ended);
        const QStringList tr = sim.transcript();
        const QStringList got = fileLinesIn(tr, expected);
        QCOMPARE(sim.overflows(), 0);
        QVERIFY(SimHarness::waitUntil([&] { return quits + overs == 1; }, 1000));
        if (result == 0) {
            QVERIFY(ends >= 0);
            QCOMPARE(got, expected);
            QCOMPARE(overs.load(), 1);
            return;
        }
        QVERIFY(ends != 0);
        QCOMPARE(result.load(), -1);
        QVERIFY(link->jobLostController());
        QCOMPARE(got, expected.mid(0, got.size()));
        if (fault != "hangUp") {   // a line that came back: the stop and the heaters off reach it
            QVERIFY(SimHarness::waitUntil([&] { return link->serialCheckCode("M105") != ControllerProtocol::SendFailed
                                                       && link->pendingSafetyCommands() == 0; }, 3000));
            QCOMPARE(std::make_pair(sim.nozzleTarget(), sim.bedTarget()), std::make_pair(0, 0));
        }
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
