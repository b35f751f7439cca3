// The controller link against the simulator over a real pseudo-terminal:
// exchanges, reply parsing, flow control and every injected fault.
#include "serial/ControllerProtocol.h"
#include "serial/SerialObject.h"
#include "tests/support/SimHarness.h"
#include "tests/support/StreamCheck.h"

#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>

using namespace StreamCheck;
using ControllerProtocol::isLinkError;

namespace {

QStringList sent(SimHarness& h) { return withoutPolls(h.sim().transcript()); }

// Fault injections by name, shared by the tables below.
std::function<void()> fault(ControllerSimulator& sim, const QString& name)
{
    const QHash<QString, std::function<void()>> f{
        {"none", [] {}}, {"drop1", [&] { sim.dropReplies(1); }}, {"drop2", [&] { sim.dropReplies(2); }},
        {"garble", [&] { sim.garbleReplies(1); }}, {"partial", [&] { sim.partialReplies(1); }},
        {"lateInTime", [&] { sim.delayReplies(60, 2); }}, {"late", [&] { sim.delayReplies(400, 1); }},
        {"pinned", [&] { sim.pinNozzleTemperature(281); }}, {"duplicate", [&] { sim.duplicateReplies(3); }},
        {"full", [&] { sim.holdBufferFull(80); }}, {"hangUpBack", [&] { sim.hangUp(150); }},
        {"hangUpSwallows", [&] { sim.hangUp(300, true); }}, {"hangUp", [&] { sim.hangUp(-1); }},
        {"duplicates", [&] { sim.duplicateReplies(1); }}, {"lateMany", [&] { sim.delayReplies(150, 1); }},
        {"everyTwice", [&] { sim.duplicateReplies(1 << 30); }},
        {"everyTwiceApart", [&] { sim.duplicateReplies(1 << 30, 1); }}};
    return f.value(name);
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
        QVERIFY(t.has_value() && t->nozzle >= 25 && t->nozzle <= 30);
        link->serialSendCode("G92 X1 Y2 Z3 E4");
        const auto p = ControllerProtocol::parseM114(link->serialCheckCode("M114"));
        QVERIFY(p.has_value() && p->x == 1.0 && p->z == 3.0);
        QVERIFY(ControllerProtocol::motionEnded(link->serialCheckCode("M121")));
        QVERIFY(ControllerProtocol::filamentPresent(link->serialCheckCode("M113")));
        h.sim().setFilament(false);
        QVERIFY(!ControllerProtocol::filamentPresent(link->serialCheckCode("M113")));
        QVERIFY(ControllerProtocol::probeFitted(link->serialCheckCode("M130")));
        QVERIFY(ControllerProtocol::freeSlots(link->serialCheckCode("M117")) > 0);
        QCOMPARE(h.sim().transcript().count("M114"), 1);

        // Heaters, with an in-print override replacing the matching argument.
        link->HeatingHalmetII(210, 60);
        link->stopHalmetIIHeating();
        QCOMPARE(sent(h).mid(sent(h).indexOf("M140 S60")), QStringList({"M140 S60", "M104 S210 T0", "M140 S0", "M104 S0 T0"}));
        link->printingAdjustNozzleTemp(195);   // not printing: recorded only
        QCOMPARE(h.sim().nozzleTarget(), 0);
        link->HeatingHalmetII(210, 60);
        QCOMPARE(std::make_tuple(h.sim().nozzleTarget(), h.sim().bedTarget(), link->nozzleTarget()),
                 std::make_tuple(195, 60, 195));
    }

    // A full buffer is waited out on the busy line, not by hammering the
    // controller, within the call's bound (which must leave time for the
    // reply); one that stays full past it has the command kept until a slot frees.
    void flowControlWaitsForBusyLine_data()
    {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("flowMs");
        QTest::newRow("freed in time") << 200 << 4000;
        QTest::newRow("kept until a slot frees") << 3000 << 300;
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
            // A controller that answers but has no room: the command is kept,
            // in order behind it the next, and both go out once a slot frees.
            QCOMPARE(reply, QString(ControllerProtocol::Queued));
            QCOMPARE(link->serialSendCode("G1 X4"), QString(ControllerProtocol::Queued));
            QVERIFY(!tr.contains("G1 X3"));
            QVERIFY(SimHarness::waitUntil([&] { return h.sim().transcript().contains("G1 X4"); }, holdMs + 3000));
            const QStringList moves = h.sim().transcript().filter(QRegularExpression("^G1 X[34]$"));
            QCOMPARE(moves, QStringList({"G1 X3", "G1 X4"}));
            QCOMPARE(h.sim().overflows(), 0);
            return;
        }
        QVERIFY(ControllerProtocol::freeSlots(reply) > 0);
        QCOMPARE(tr.last(), QString("G1 X3"));
        QCOMPARE(tr.count("G1 X3"), 1);
        QVERIFY(tr.count("M117") >= 1 && tr.count("M117") < 20);
        QCOMPARE(h.sim().overflows(), 0);
    }

    // Commands a page sends through the one-exchange call while a print waits
    // on a slow controller (every reply 1.6-2.5 s late): each is answered or
    // kept, none dropped, all reach the controller once and in order.
    void commandsBesideASlowPrint()
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.timeScale = 1;
        SimHarness h(o);
        SerialObject* link = h.link();
        h.sandbox().writeFile("/data/slow.g", makeMoves(400, 50));
        std::thread printer([&] { link->serialPrint(h.sandbox().path("/data/slow.g")); });
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().receivedCount() > 20; }, 10000));
        h.sim().replyLatency(1600, 2500);
        const QStringList lights{"M145", "M144", "M145", "M144"};
        for (const QString& c : lights) {
            const QString reply = link->serialCheckCode(c);
            QVERIFY2(reply != ControllerProtocol::SendFailed, qPrintable(c));
            QTest::qWait(300);
        }
        const bool sent = SimHarness::waitUntil([&] { return h.sim().transcript().filter(QRegularExpression("^M14[45]$")).size() >= lights.size()
                                                              && link->keptCommands() == 0; }, 30000);
        link->slo_printingQuit();
        printer.join();
        QVERIFY(sent);
        QCOMPARE(h.sim().transcript().filter(QRegularExpression("^M14[45]$")), lights);
        QVERIFY(!h.sim().transcript().contains("M112"));
    }

    // A screen event's query spends most of its budget on a slow controller
    // (every reply 1.1 s late) while the buffer reads full, so its command is
    // kept. The delivery then needs two count queries, which leave it no time
    // for the command's reply; meanwhile a worker thread sends the next
    // command. The kept one still arrives first.
    void keptCommandStaysAheadOfOtherThreads()
    {
        SimHarness h;
        SerialObject* link = h.link();
        QVERIFY(!isLinkError(link->serialSendCode("G92 E0")));
        h.sim().replyLatency(1100, 1100);
        h.sim().holdBufferFull(1700);
        link->serialCheckCode("M105");
        QCOMPARE(link->serialSendCode("G92 E1"), QString(ControllerProtocol::Queued));
        const int64_t before = h.sim().receivedCount();
        std::thread worker([&] {
            // Until the delivery's second count query is on its way.
            for (int ms = 0; h.sim().receivedCount() < before + 2 && ms < 10000; ms += 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            link->serialSendCode("M106 S1");
        });
        const bool sent = SimHarness::waitUntil([&] { return h.sim().transcript().contains("M106 S1")
                                                              && link->keptCommands() == 0; }, 30000);
        worker.join();
        QVERIFY(sent);
        QCOMPARE(h.sim().transcript().filter(QRegularExpression("^(G92 E|M106 S)")),
                 QStringList({"G92 E0", "G92 E1", "M106 S1"}));
    }

    // A command is kept (the event's budget is spent), then the controller
    // falls silent. The next command neither passes the kept one nor goes
    // out on its own: both are given up and the caller is told.
    void nothingPassesKeptCommandsOfASilentController()
    {
        SimHarness h;
        SerialObject* link = h.link();
        link->setTiming(quickTiming());
        QVERIFY(!isLinkError(link->serialSendCode("G92 E0")));
        h.sim().delayReplies(200, 1);
        link->serialCheckCode("M105");
        QCOMPARE(link->serialSendCode("G92 E1"), QString(ControllerProtocol::Queued));
        h.sim().dropReplies(1 << 30);
        link->serialCheckCode("M105");   // the same event: no time to deliver, and no reply
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        QVERIFY(link->controllerSilent());
        QCOMPARE(link->serialSendCode("M106 S1"), QString(ControllerProtocol::SendFailed));
        QCOMPARE(link->keptCommands(), 0);
        h.sim().dropReplies(0);
        QTest::qWait(1000);
        QCOMPARE(h.sim().transcript().filter(QRegularExpression("^(G92 E|M106 S)")), QStringList({"G92 E0"}));
    }

    // The screen's status and position queries during a print on a slow
    // controller go out among the lines in flight: the print does not stop
    // and wait for every reply first. Each is answered, every line arrives
    // once and in order, the buffer never overfills.
    void queriesAmongLinesInFlight()
    {
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.timeScale = 50;
        SimHarness h(o);
        SerialObject* link = h.link();
        const QByteArray file = makeMoves(300, 50);
        h.sandbox().writeFile("/data/polls.g", file);
        h.sim().replyLatency(300, 700);
        std::atomic<bool> done{false};
        std::thread printer([&] { link->serialPrint(h.sandbox().path("/data/polls.g")); done = true; });
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().receivedCount() > 40; }, 20000));
        int asked = 0, answered = 0;
        for (; asked < 12 && !done; ++asked) {
            answered += ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value();
            answered += ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value();
            QTest::qWait(200);
        }
        QVERIFY(SimHarness::waitUntil([&] { return done.load(); }, 60000));
        printer.join();
        QVERIFY(asked >= 6);
        QCOMPARE(answered, 2 * asked);
        const QStringList among = h.sim().receivedBeforeEarlierReplies();
        QVERIFY2(among.count("M105") + among.count("M114") >= asked, qPrintable(QString::number(among.size())));
        QCOMPARE(fileLinesIn(h.sim().transcript(), expectedLines(file)), expectedLines(file));
        QCOMPARE(h.sim().overflows(), 0);
    }

    // One exchange meets a fault. A query reports what it can and the next ones
    // are in step again; a command whose reply went missing is confirmed only
    // when the replies read up to the sync query's answer prove it arrived
    // ("not confirmed." otherwise), and it is never sent twice.
    void oneExchangeFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("query");   // 1: a parsed reply, 0: send failed, -1: either
        QTest::addColumn<bool>("sendConfirmed");
        QTest::newRow("one reply dropped") << "drop1" << 1 << false;
        QTest::newRow("two replies dropped") << "drop2" << 0 << false;
        QTest::newRow("garbled") << "garble" << 1 << false;
        QTest::newRow("line end lost") << "partial" << 1 << true;
        QTest::newRow("late within the limit") << "lateInTime" << 1 << true;
        QTest::newRow("late past the limit") << "late" << -1 << true;
        QTest::newRow("readings pinned") << "pinned" << 1 << true;
        QTest::newRow("hang-up, line back") << "hangUpBack" << 0 << false;
    }
    void oneExchangeFaults()
    {
        QFETCH(QString, fault);
        QFETCH(int, query);
        QFETCH(bool, sendConfirmed);
        SimHarness h;
        SerialObject* link = h.link();
        link->setTiming(quickTiming());
        const std::function<void()> inject = ::fault(h.sim(), fault);
        inject();
        const QString reply = link->serialCheckCode("M105");
        if (query >= 0)
            QVERIFY2(ControllerProtocol::parseM105(reply).has_value() == bool(query), qPrintable(reply));
        QVERIFY(fault != "pinned" || ControllerProtocol::parseM105(reply)->nozzle == 281);
        const auto inStep = [&] { return ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value(); };
        QVERIFY(SimHarness::waitUntil(inStep, 3000));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value());
            QVERIFY(ControllerProtocol::parseM119(link->serialCheckCode("M119")).has_value());
        }
        // Each send a screen event of its own, with its own bound.
        QTest::qWait(20);
        link->serialSendCode("G1 X1");
        inject();
        QTest::qWait(20);
        const QString sendReply = link->serialSendCode("G1 X7 F600");
        QVERIFY2(isLinkError(sendReply) != sendConfirmed, qPrintable(sendReply));
        QVERIFY(sendConfirmed || sendReply == ControllerProtocol::Unconfirmed);
        QCOMPARE(h.sim().transcript().count("G1 X7 F600"), 1);
        QVERIFY(SimHarness::waitUntil([&] { return !isLinkError(link->serialSendCode("G1 X8")) && inStep(); }, 3000));
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

    // A position reply read axis by axis; the whole position only when X, Y and Z
    // all read. A reply that reads any axis is the query's answer, never a late
    // one, so the page gets to show what it holds.
    void positionReading_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("read");   // x y z, "-" for an axis not read
        QTest::addColumn<bool>("whole");
        QTest::addColumn<bool>("fits");
        QTest::newRow("all") << "3 X:1.00 Y:-2.50 Z:0.31 E:7.00\n" << "1 -2.5 0.31" << true << true;
        QTest::newRow("no E") << "3 X:1.00 Y:2.00 Z:0.31" << "1 2 0.31" << true << true;
        QTest::newRow("no Z") << "3 X:1.00 Y:2.00 E:0.00" << "1 2 -" << false << true;
        QTest::newRow("Z no number") << "3 X:1.00 Y:2.00 Z:abc" << "1 2 -" << false << true;
        QTest::newRow("Y only") << "3 Y:4.5" << "- 4.5 -" << false << true;
        QTest::newRow("E only") << "3 E:4.5" << "- - -" << false << false;
        QTest::newRow("end stops") << "3 X:0 Y:1 Z:0" << "0 1 0" << true << false;
        QTest::newRow("temperatures") << "3 T:25/0 B:25/0" << "- - -" << false << false;
        QTest::newRow("link error") << ControllerProtocol::SendFailed << "- - -" << false << false;
    }
    void positionReading()
    {
        QFETCH(QString, reply);
        QFETCH(QString, read);
        QFETCH(bool, whole);
        QFETCH(bool, fits);
        const auto r = ControllerProtocol::readM114(reply);
        const auto axis = [](bool seen, double v) { return seen ? QString::number(v) : QString("-"); };
        QCOMPARE(QStringList({axis(r.x, r.at.x), axis(r.y, r.at.y), axis(r.z, r.at.z)}).join(' '), read);
        QCOMPARE(ControllerProtocol::parseM114(reply).has_value(), whole);
        QCOMPARE(ControllerProtocol::replyFits("M114", reply.toStdString()), fits);
    }

    // A controller that reads but no longer answers: a screen-side call waits at
    // most one exchange limit, and once the silence is known (the first failed
    // call, or a job that ended for it) a quarter of a second with one try at
    // most, as the link accounts its waits. Safety commands still reach the
    // line at once, and again once it answers.
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
        const LinkTiming t;   // the link starts with its real limits: the bound is its own
        std::thread printer;
        h.sandbox().writeFile("/data/silent.g", makeMoves(3000, 50));
        if (printing)
            printer = std::thread([&] { link->serialPrint(h.sandbox().path("/data/silent.g")); });
        const bool started = !printing || SimHarness::waitUntil([&] { return h.sim().receivedCount() > 200; }, 10000);
        link->Heating(200);
        h.sim().dropReplies(1 << 30);
        const bool ended = !printing || SimHarness::waitUntil([&] { return !link->isPrinting(); }, 30000);
        if (printer.joinable())
            printer.join();
        QVERIFY(started && ended && (!printing || link->jobLostController()));
        SerialObject::takeWaitSpentMs();
        const std::function<void()> calls[] = {
            [&] { link->serialCheckCode("M105"); }, [&] { link->serialSendCode("G1 X5 F600"); },
            [&] { link->serialCheckCode("M114"); }, [&] { link->stopHalmetIIHeating(); },
            [&] { link->serialSendCode("G28 Z"); }, [&] { link->serialCheckCode("M121"); }};
        // full: calls that waited well past a quarter of a second (silence not
        // known yet); the accounting counts a wait's real time, overshoot included.
        int full = 0, before = 0;
        for (int round = 0; round < 3; ++round) {
            before = round == 1 ? h.sim().transcript().size() : before;
            for (const auto& call : calls) {
                call();
                const int64_t spent = SerialObject::takeWaitSpentMs();
                QVERIFY(spent <= t.exchangeLimitMs());
                full += spent > 2 * 250;
            }
        }
        QVERIFY(full <= int(!printing));
        const QStringList tries = h.sim().transcript().mid(before);   // one try per call at most
        QVERIFY(tries.count("M105") + tries.count("M117") + tries.count("M114") + tries.count("M121") <= 12);
        QVERIFY(SimHarness::waitUntil([&] { return h.sim().nozzleTarget() == 0; }, 1000));
        h.sim().dropReplies(0);
        QVERIFY(SimHarness::waitUntil([&] { return link->serialCheckCode("M105") != ControllerProtocol::SendFailed
                                                   && link->pendingSafetyCommands() == 0; }, 10000));
        QVERIFY(h.sim().transcript().count("M104 S0 T0") >= 2);
    }

    // Lines in flight: a fault ends with every line once, in order, or with the
    // job ended for a lost controller (the start of the file sent once, heaters
    // off once the line answers); never finished with a line missing. Replies
    // sent twice or late never overfill the buffer, with 4 slots or 16.
    void streamingWithLinesInFlight_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("slotCount");
        QTest::addColumn<int>("ends");   // 0: finishes, -1: lost, 1: either
        const std::pair<const char*, int> rows[] = {
            {"none", 0}, {"drop2", -1}, {"late", 0}, {"lateInTime", 0}, {"garble", -1}, {"partial", 0}, {"duplicate", 0},
            {"full", 0}, {"hangUpBack", -1}, {"hangUpSwallows", -1}, {"hangUp", -1}};
        for (const auto& [f, ends] : rows)
            QTest::newRow(f) << QString(f) << 8 << ends;
        for (int n : {4, 16}) {
            QTest::newRow(qPrintable(QString("duplicates, %1 slots").arg(n))) << "duplicates" << n << 0;
            // A controller that repeats every reply, the copy right behind it or
            // on its own a little later: found by the replies beyond the lines,
            // the job goes one line at a time, trusts no count a copy could
            // have raised, and never overfills the buffer.
            QTest::newRow(qPrintable(QString("every reply twice, %1 slots").arg(n))) << "everyTwice" << n << 0;
            QTest::newRow(qPrintable(QString("every reply twice apart, %1 slots").arg(n))) << "everyTwiceApart" << n << 0;
            QTest::newRow(qPrintable(QString("late replies, %1 slots").arg(n))) << "lateMany" << n << 1;
        }
    }
    void streamingWithLinesInFlight()
    {
        QFETCH(QString, fault);
        QFETCH(int, slotCount);
        QFETCH(int, ends);
        ControllerSimulator::Options o = SimHarness::fastOptions();
        o.bufferSlots = slotCount;
        // Moves short enough to keep lines in flight, long enough to fill the buffer (always, for repeated faults).
        const bool every = fault.startsWith("everyTwice");
        o.timeScale = fault == "duplicates" || fault == "lateMany" || every ? 20 : 20000;
        SimHarness h(o);
        SerialObject* link = h.link();
        link->setTiming(quickTiming(500));
        const bool repeated = fault == "duplicates" || fault == "lateMany";
        const QByteArray file = makeMoves(repeated || every ? 3000 : 1200, 50);
        h.sandbox().writeFile("/data/flight.g", file);
        const QStringList expected = expectedLines(file);
        std::atomic<int> result{-2}, quits{0}, overs{0};
        QObject ctx;
        QObject::connect(link, &SerialObject::printQuit, &ctx, [&] { ++quits; });
        QObject::connect(link, &SerialObject::printOver, &ctx, [&] { ++overs; });
        link->HeatingHalmetII(200, 60);
        std::thread printer([&] { result = link->serialPrint(h.sandbox().path("/data/flight.g")); });
        ControllerSimulator& sim = h.sim();
        const bool started = SimHarness::waitUntil([&] { return sim.receivedCount() > 300; }, 10000);
        const std::function<void()> inject = ::fault(sim, fault);
        inject();
        for (int i = 0; fault == "none" && i < 20 && result == -2; ++i) {   // other threads' queries meanwhile
            QVERIFY(ControllerProtocol::parseM114(link->serialCheckCode("M114")).has_value());
            QVERIFY(ControllerProtocol::parseM105(link->serialCheckCode("M105")).has_value());
        }
        for (int i = 0; repeated && result == -2 && i < (fault == "lateMany" ? 3 : 200); ++i) {
            QTest::qWait(fault == "lateMany" ? 600 : 15);
            inject();
        }
        const bool ended = SimHarness::waitUntil([&] { return result != -2; }, 20000);
        link->slo_printingQuit();   // a job still running ends now
        printer.join();
        QVERIFY(started && ended);
        const QStringList got = fileLinesIn(sim.transcript(), expected);
        QCOMPARE(sim.overflows(), 0);
        QVERIFY(SimHarness::waitUntil([&] { return quits + overs == 1; }, 1000));
        if (result == 0) {
            QVERIFY(ends >= 0 && overs == 1);
            QCOMPARE(got, expected);
            return;
        }
        QVERIFY(ends != 0 && result == -1 && link->jobLostController());
        QCOMPARE(got, expected.mid(0, got.size()));
        if (fault != "hangUp") {   // a line that answers again gets the stop and the heaters off
            QVERIFY(SimHarness::waitUntil([&] { return link->serialCheckCode("M105") != ControllerProtocol::SendFailed
                                                       && link->pendingSafetyCommands() == 0; }, 3000));
            QCOMPARE(std::make_pair(sim.nozzleTarget(), sim.bedTarget()), std::make_pair(0, 0));
        }
    }
};

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
