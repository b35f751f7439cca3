// The GUI thread's longest stall while the controller falls silent in mid-print
// (replies dropped, the line left open) and while it holds its buffer full: a
// 5 ms timer on the GUI thread records the longest gap between its ticks.
// The goal is one exchange limit of the link (two reply waits and drains).
//
//   bench_silentstall [seconds]      (default 20 per fault, real link timing)
#include "tests/support/PrintPageRig.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
    for (const char* fault : {"silent", "buffer held full"}) {
        PrintPageRig rig;
        const LinkTiming timing;
        rig.mainWindow->slot_ThreadM23(rig.writeJob("stall.gcode", makeJob(20, 2000, 200, 60)));
        rig.waitFor([&] { return rig.page() && rig.page()->getPrinterFileSendStatus(); }, 60000);
        rig.waitFor([] { return false; }, 1000);
        if (std::string(fault) == "silent")
            rig.sim().dropReplies(1 << 30);
        else
            rig.sim().holdBufferFull(seconds * 1000);
        const PageTools::GuiGapMeter meter(5);
        rig.waitFor([] { return false; }, seconds * 1000);
        const qint64 gap = meter.longest();
        std::printf("%-18s longest GUI stall %6lld ms  (exchange limit %d ms)\n", fault, (long long)gap,
                    timing.exchangeLimitMs());
        rig.sim().dropReplies(0);
        if (rig.page())
            rig.page()->printStop();
        rig.waitPageGone(120000);
    }
    return 0;
}
