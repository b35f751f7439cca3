// The GUI thread's longest stall while the controller falls silent (replies
// dropped, the line left open): during a print, with Cancel pressed in the
// silence, while it holds its buffer full, on Back of every tool page, and on
// the idle main window. Then with a controller that is only slow: every reply
// 0.2 to 1.4 s or 1 to 2.5 s late during a print and on the tool pages' normal
// use, and a print whose last moves (6 s each) hold the buffer full through
// the finish; those runs also check that every file line and every command
// of the pages arrived, once and in order. A 5 ms timer on the GUI thread
// records the longest gap between its ticks. The bound is one exchange limit
// of the link (two reply waits and drains), and a quarter of a second once the
// silence is known; a gap past the bound, or anything missing, fails the run.
//
//   bench_silentstall [seconds]      (default 20 per print fault, real link timing)
#include "UI/ExtruderCalibration.h"
#include "UI/PlatformLevel.h"
#include "UI/home.h"
#include "UI/loadfilament.h"
#include "UI/manual.h"
#include "UI/preheat.h"
#include "UI/unloadfilament.h"
#include "tests/support/PrintPageRig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <cstdio>
#include <functional>

namespace {

// Set when a run's work failed (a job that never streamed, a page that did
// not close): its stall measures nothing.
bool g_failed = false;

void fail(const char* what, const QString& why)
{
    std::printf("FAILED: %s: %s\n", what, qPrintable(why));
    std::fflush(stdout);
    g_failed = true;
}

// The meter's own tick and the event's work beside its waits.
constexpr int GapSlackMs = 30;

void report(const char* what, qint64 gap, const QString& note = QString())
{
    std::printf("%-34s longest GUI stall %6lld ms  (exchange limit %d ms) %s\n", what, (long long)gap,
                LinkTiming().exchangeLimitMs(), qPrintable(note));
    std::fflush(stdout);
    if (gap > LinkTiming().exchangeLimitMs() + GapSlackMs)
        fail(what, QString("the GUI thread stalled %1 ms").arg(gap));
}

// The button to leave the page, once it is shown and usable (pages may hold it back a while).
QToolButton* leaveButton(QWidget* page, PrintPageRig& rig)
{
    QToolButton* b = nullptr;
    rig.waitFor([&] {
        for (const char* name : {"back", "close", "yes"}) {
            auto* c = page ? page->findChild<QToolButton*>(name) : nullptr;
            if (c && c->isVisible() && c->isEnabled())
                b = c;
        }
        return b != nullptr || !page;
    }, 30000);
    return b;
}

// A tool page left with Back once its controller has gone silent.
void toolPage(const char* name, const std::function<QWidget*(PrintPageRig&)>& open, const char* start)
{
    PrintPageRig rig;
    QTimer answer;   // a message or question the page shows is answered ("YES"), as a user would
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (TwoButtonDialog* d = TwoButtonDialog::instTwoButtonDialog)
            d->accept();
        PrintPageRig::closeMessage();
    });
    answer.start(300);
    QPointer<QWidget> page = open(rig);
    if (start) {
        QTest::mousePress(page->findChild<QToolButton*>(start), Qt::LeftButton);
        QTest::mouseRelease(page->findChild<QToolButton*>(start), Qt::LeftButton);
    }
    rig.waitFor([] { return false; }, 1500);
    rig.sim().dropReplies(1 << 30);
    const PageTools::GuiGapMeter meter(5);
    rig.waitFor([] { return false; }, 2000);
    QElapsedTimer t;
    t.start();
    QToolButton* back = leaveButton(page, rig);
    const qint64 offered = t.elapsed();
    if (back) {
        QTest::qWait(120);   // the one-press guard
        QTest::mouseClick(back, Qt::LeftButton);
    }
    const bool gone = PageTools::gone(page, 30000);
    rig.waitFor([] { return false; }, 2000);
    report(name, meter.longest(),
           QString("Back after %1 ms, page %2, nozzle %3, bed %4")
               .arg(offered).arg(gone ? "closed" : "still open").arg(rig.sim().nozzleTarget()).arg(rig.sim().bedTarget()));
    if (!back)
        fail(name, "no Back offered");
    else if (!gone)
        fail(name, "the page stayed open after Back");
    delete page.data();
}

// ---- a slow controller: nothing may be dropped

// What is missing or out of place in a print: the file's lines once and in
// order, no stop among them, then the finish's heaters off, park and coordinate set.
QString printMissing(PrintPageRig& rig, const QStringList& lines)
{
    if (PrintPageRig::messageText() != "Build completed!")
        return "the job did not complete: \"" + PrintPageRig::messageText().simplified() + "\"";
    if (StreamCheck::fileLinesIn(rig.sim().transcript(), lines) != lines)
        return "file lines missing, repeated or out of order";
    const QStringList cmds = rig.commands();
    const int first = cmds.indexOf(lines.first()), last = cmds.lastIndexOf(lines.last());
    if (cmds.mid(first, last - first).contains("M112"))
        return "a stop among the file's lines";
    return finishMismatch(cmds, lines.last());
}

// A print through the page against a controller that works in real time,
// its replies late by minMs..maxMs once it streams (none when maxMs is 0):
// the longest GUI gap, and every line and the finish must arrive.
void measurePrint(const char* name, const QByteArray& job, int minMs, int maxMs)
{
    ControllerSimulator::Options o = SimHarness::fastOptions();
    o.timeScale = 1;
    o.ambient = 190;
    o.unhomedTravel = 20;
    PrintPageRig rig(o);
    const QStringList lines = StreamCheck::expectedLines(job).filter("G1 X");
    rig.startJob("bench.gcode", job);
    if (!rig.waitStreaming(60000) || !rig.page()) {
        fail(name, "the job did not start streaming");
        return;
    }
    if (maxMs > 0)
        rig.sim().replyLatency(minMs, maxMs);
    const PageTools::GuiGapMeter meter(5);
    QElapsedTimer t;
    t.start();
    const bool gone = rig.waitPageGone(300000);
    const qint64 took = t.elapsed();
    rig.waitFor([&] { return rig.link()->pendingSafetyCommands() + rig.link()->keptCommands() == 0; }, 30000);
    report(name, meter.longest(), QString("%1 lines and the finish in %2 ms").arg(lines.size()).arg(took));
    const QString missing = gone ? printMissing(rig, lines) : "the job did not end";
    if (!missing.isEmpty())
        fail(name, missing);
}

// A short job at Z200 (the park above it is short), its replies late once it streams.
void slowPrint(const char* name, int minMs, int maxMs)
{
    QByteArray job = StreamCheck::makeMoves(40, 10, 1.0, "G90\nM82\nG92 E0\nG1 Z200 F600\n");
    job.prepend("M104 S200 T0\nM140 S60\n;layer_count:4\n");
    measurePrint(name, job, minMs, maxMs);
}

// The file ends in moves of 6 s each that fill the controller's buffer: the
// finish waits behind them, longer than a screen call may wait for a slot.
void longMovesPrint(const char* name)
{
    QByteArray job = "M104 S200 T0\nM140 S60\n;layer_count:1\nG90\nG92 E0\nG1 Z200 F600\n;layer:0\n";
    for (int i = 1; i <= 20; ++i)
        job += "G1 X" + QByteArray::number((i % 2 ? 80 : 20) + i * 0.01, 'f', 2) + " Y60 F600\n";
    measurePrint(name, job, 0, 0);
}

// A tool page used as usual against a slow controller, up to its first step
// after homing (or its first moves): what it sent must be its own sequence,
// as far as it got, and no trouble may show.
struct ToolUse {
    const char* name;
    double timeScale;   // the long Z moves of levelling and probing run faster
    QStringList sequence, then;
    std::function<QWidget*()> open;
    std::function<bool(QWidget*, PrintPageRig&)> reached;
    // A move whose touch found its event's time spent is kept, and the
    // release's stop gives it up: it may be missing.
    QString mayMiss;
};

void slowToolPage(const ToolUse& use, int minMs, int maxMs, const char* late)
{
    const QString name = QString("%1, late %2").arg(use.name, late);
    const QByteArray nameText = name.toUtf8();
    ControllerSimulator::Options o = SimHarness::fastOptions();
    o.timeScale = use.timeScale;
    o.ambient = 190;
    o.unhomedTravel = 20;
    PrintPageRig rig(o);
    rig.sim().replyLatency(minMs, maxMs);
    const PageTools::GuiGapMeter meter(5);
    QPointer<QWidget> page = use.open();
    if (page)
        page->show();
    QElapsedTimer t;
    t.start();
    const bool reached = page && rig.waitFor([&] { return use.reached(page, rig); }, 120000);
    const qint64 took = t.elapsed();
    rig.waitFor([] { return false; }, maxMs);   // a stop that would follow
    QString trouble;
    for (QLabel* l : page ? page->findChildren<QLabel*>() : QList<QLabel*>())
        if (l->text().contains("not answering") || l->text().contains("did not finish"))
            trouble = l->text().simplified();
    const QStringList sent = PageTools::onceEach(rig.commands());
    QStringList sequence = use.sequence;
    if (!use.mayMiss.isEmpty() && !sent.contains(use.mayMiss))
        sequence.removeAll(use.mayMiss);
    const QStringList expected = PageTools::onceEach(sequence + use.then);
    report(nameText.constData(), meter.longest(), QString("first step after %1 ms").arg(took));
    if (!reached)
        fail(nameText.constData(), "the page did not get to its first step: " + sent.join(", "));
    else if (!trouble.isEmpty())
        fail(nameText.constData(), "the page gave up: " + trouble);
    else if (sent.size() < sequence.size() || sent != expected.mid(0, sent.size()))
        fail(nameText.constData(), "sent " + sent.join(", "));
    delete page.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QList<ToolUse> toolUses()
{
    const QStringList homing{"G28 Z", "G28 X", "G28 Y"};
    const auto sent = [](const QString& line) {
        return [line](QWidget*, PrintPageRig& rig) { return rig.sent(line); };
    };
    return {
        {"homing", 1, QStringList{"M17"} + homing + QStringList{"G90", "G92 X100 Y102 Z212.00 A0 B0"}, {},
         [] { return Home::instHome = new Home(nullptr); },
         [](QWidget* p, PrintPageRig&) { return PageTools::label(p, "label") == "Homing completed"; }, {}},
        {"preheat", 1, {"M18", "M104 S210 T0"}, {},
         [] {
             auto* p = Preheat::instPreheat = new Preheat(nullptr);
             QTimer::singleShot(1500, p, [p] {
                 QTest::mousePress(p->findChild<QToolButton*>("nozzleStart"), Qt::LeftButton);
                 QTest::mouseRelease(p->findChild<QToolButton*>("nozzleStart"), Qt::LeftButton);
             });
             return p;
         },
         sent("M104 S210 T0"), {}},
        {"jog", 1, {"M17", "G1 X1000 F2000", "M112"}, {},
         [] {
             auto* p = new Manual(nullptr);
             QTimer::singleShot(1500, p, [p] {
                 auto* b = p->findChild<QToolButton*>("Xp");
                 QTest::mousePress(b, Qt::LeftButton);
                 QTimer::singleShot(500, b, [b] { QTest::mouseRelease(b, Qt::LeftButton); });
             });
             return p;
         },
         sent("M112"), "G1 X1000 F2000"},
        {"load", 1,
         QStringList{"M104 S230 T0"} + homing
             + QStringList{"M112", "G90", "G92 X100 Y102 Z212.00 A0 B0", "G1 X0 Y0 F2000", "M112", "G92 E0",
                           "G1 E500 F180"},
         {}, [] { return new LoadFilament(nullptr); }, sent("G1 E500 F180"), {}},
        {"unload", 1, {"M104 S230 T0", "M112", "G92 E0", "G1 E10 F180", "G1 E-200 F1000"}, {},
         [] { return new UnloadFilament(nullptr); }, sent("G1 E-200 F1000"), {}},
        {"levelling", 5,
         QStringList{"M112", "M17"} + homing
             + QStringList{"M112", "G92 X100 Y100 Z212.0", "G1 X5 Y80 F2000", "G1 Z3 F300"},
         {}, [] { return new PlatformLevel(nullptr); },
         [](QWidget* p, PrintPageRig&) {
             return !OneLableDialog::instOneLableDialog && p->findChild<QToolButton*>("ok")->isVisible();
         },
         {}},
        {"probing", 5,
         QStringList{"M112"} + homing
             + QStringList{"M112", "G92 X100 Y102 Z212.00 A0 B0", "M141 T219", "G1 Z15 F300", "G1 X-80 Y100 F2000"},
         {"M112", "M141 T65", "G1 Z0 F200", "M112", "M141 T219", "M141 T219", "G1 Z15 F300", "G1 X20 Y100 F2000"},
         [] { return static_cast<QWidget*>(PageTools::openProbingPage()); },
         sent("G1 X-80 Y100 F2000"), {}},
    };
}

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
    for (const char* fault : {"print, silent", "print, cancel in silence", "print, buffer held full"}) {
        PrintPageRig rig;
        rig.mainWindow->slot_ThreadM23(rig.writeJob("stall.gcode", makeJob(20, 2000, 200, 60)));
        if (!rig.waitFor([&] { return rig.page() && rig.page()->getPrinterFileSendStatus(); }, 60000)) {
            fail(fault, "the job did not start streaming");
            continue;
        }
        rig.waitFor([] { return false; }, 1000);
        const std::string f = fault;
        if (f == "print, buffer held full")
            rig.sim().holdBufferFull(seconds * 1000);
        else
            rig.sim().dropReplies(1 << 30);
        const PageTools::GuiGapMeter meter(5);
        QElapsedTimer t;
        t.start();
        if (f == "print, cancel in silence") {
            rig.waitFor([] { return false; }, 500);
            rig.cancelFromScreen(true);
            if (!rig.waitPageGone(120000))
                fail(fault, "the page stayed open after Cancel");
        } else {
            rig.waitFor([] { return false; }, seconds * 1000);
        }
        const QString shown = PrintPageRig::messageText().simplified();
        report(fault, meter.longest(),
               QString("page %1 after %2 ms, nozzle %3, bed %4%5")
                   .arg(rig.page() ? "open" : "closed").arg(t.elapsed()).arg(rig.sim().nozzleTarget())
                   .arg(rig.sim().bedTarget()).arg(shown.isEmpty() ? "" : ": \"" + shown + "\""));
        rig.sim().dropReplies(0);
        if (rig.page())
            rig.page()->printStop();
        if (!rig.waitPageGone(120000))
            fail(fault, "the job could not be stopped after the fault");
    }
    const auto show = [](QWidget* w) { w->show(); return w; };
    toolPage("preheat Back", [&](PrintPageRig&) { return show(Preheat::instPreheat = new Preheat(nullptr)); },
             "nozzleStart");
    toolPage("jog Back", [&](PrintPageRig&) { return show(new Manual(nullptr)); }, nullptr);
    toolPage("home Back", [&](PrintPageRig&) { return show(Home::instHome = new Home(nullptr)); }, nullptr);
    toolPage("load Back", [&](PrintPageRig&) { return show(new LoadFilament(nullptr)); }, nullptr);
    toolPage("unload Back", [&](PrintPageRig&) { return show(new UnloadFilament(nullptr)); }, nullptr);
    toolPage("levelling Back", [&](PrintPageRig&) { return show(new PlatformLevel(nullptr)); }, nullptr);
    toolPage("probing Back", [&](PrintPageRig&) { return static_cast<QWidget*>(PageTools::openProbingPage()); },
             nullptr);
    {
        PrintPageRig rig;
        rig.waitFor([] { return false; }, 1500);
        rig.sim().dropReplies(1 << 30);
        const PageTools::GuiGapMeter meter(5);
        rig.waitFor([] { return false; }, 5000);
        const PageTools::GuiGapMeter later(5);
        rig.waitFor([] { return false; }, seconds * 1000);
        report("idle main window", meter.longest(), QString("after the silence is known: %1 ms").arg(later.longest()));
    }
    slowPrint("print, late 200-1400 ms", 200, 1400);
    slowPrint("print, late 1000-2500 ms", 1000, 2500);
    longMovesPrint("print, long moves fill the buffer");
    ExtruderCalibration::stepIntervalMs = 20;
    for (const ToolUse& use : toolUses()) {
        slowToolPage(use, 200, 1400, "200-1400 ms");
        slowToolPage(use, 1000, 2500, "1000-2500 ms");
    }
    return g_failed ? 1 : 0;
}
