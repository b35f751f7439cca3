// The GUI thread's longest stall while the controller falls silent (replies
// dropped, the line left open): during a print, with Cancel pressed in the
// silence, while it holds its buffer full, on Back of every tool page, and on
// the idle main window. A 5 ms timer on the GUI thread records the longest gap
// between its ticks. The goal is one exchange limit of the link (two reply
// waits and drains), and a quarter of a second once the silence is known.
//
//   bench_silentstall [seconds]      (default 20 per print fault, real link timing)
#include "UI/ExtruderCalibration.h"
#include "UI/PlatformLevel.h"
#include "UI/home.h"
#include "UI/loadfilament.h"
#include "UI/manual.h"
#include "UI/preheat.h"
#include "UI/setting.h"
#include "UI/unloadfilament.h"
#include "tests/support/PrintPageRig.h"

#include <QApplication>
#include <QElapsedTimer>
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

void report(const char* what, qint64 gap, const QString& note = QString())
{
    std::printf("%-26s longest GUI stall %6lld ms  (exchange limit %d ms) %s\n", what, (long long)gap,
                LinkTiming().exchangeLimitMs(), qPrintable(note));
    std::fflush(stdout);
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
    toolPage("probing Back", [&](PrintPageRig&) {
        Setting::instSetting = new Setting(nullptr);
        Setting::instSetting->show();
        QTest::mouseClick(Setting::instSetting->findChild<QToolButton*>("showExtruderCalibration"), Qt::LeftButton);
        QTest::qWait(120);
        delete Setting::instSetting;
        return static_cast<QWidget*>(ExtruderCalibration::instExtruderCalibration);
    }, nullptr);
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
    return g_failed ? 1 : 0;
}
