// orlenk-sim: the controller simulator as a program, for running the printer
// program on a desktop. Links <root>/dev/ttyS2 and answers until SIGINT/SIGTERM.
#include "simulator/ControllerSimulator.h"
#include "gpio/Gpio.h"
#include "tools/RootPath.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

void usage()
{
    std::fprintf(stderr,
                 "usage: orlenk-sim [--root DIR] [--time-scale X] [--slots N] [--line-speed B] [--verbose]\n"
                 "  --root DIR        printer root (default $ORLENK_ROOT or /)\n"
                 "  --time-scale X    simulated seconds per real second (default 1)\n"
                 "  --slots N         controller buffer slots (default 16)\n"
                 "  --line-speed B    serial line bytes per second each way (11520 = 115200 baud;\n"
                 "                    default: no limit)\n"
                 "  --verbose         print every received command\n");
}

bool parseDouble(const char* s, double& out)
{
    char* end = nullptr;
    out = std::strtod(s, &end);
    return end && *end == 0 && end != s;
}

}

int main(int argc, char** argv)
{
    ControllerSimulator::Options options;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        double v = 0;
        if (!std::strcmp(a, "--root") && hasValue) {
            setenv("ORLENK_ROOT", argv[++i], 1);
        } else if (!std::strcmp(a, "--time-scale") && hasValue && parseDouble(argv[i + 1], v) && v > 0) {
            options.timeScale = v;
            ++i;
        } else if (!std::strcmp(a, "--slots") && hasValue && parseDouble(argv[i + 1], v) && v >= 1 && v <= 1000) {
            options.bufferSlots = int(v);
            ++i;
        } else if (!std::strcmp(a, "--line-speed") && hasValue && parseDouble(argv[i + 1], v) && v > 0) {
            options.lineBytesPerSecond = v;
            ++i;
        } else if (!std::strcmp(a, "--verbose")) {
            verbose = true;
        } else {
            usage();
            return 2;
        }
    }
    options.keepTranscript = verbose;

    const QString link = rootPath(PrinterPath::SerialPort);
    const QString gpio = QString::fromStdString(GpioLine(PrinterPath::BufferBusyGpio).valuePath());
    QDir().mkpath(QFileInfo(link).path());
    QDir().mkpath(QFileInfo(gpio).path());

    ControllerSimulator sim(options);
    if (!sim.start(link, gpio)) {
        std::fprintf(stderr, "orlenk-sim: cannot link %s\n", qPrintable(link));
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::fprintf(stderr, "orlenk-sim: controller on %s (time scale %g, %d slots)\n", qPrintable(link),
                 options.timeScale, options.bufferSlots);

    while (!g_stop) {
        usleep(100 * 1000);
        if (!verbose)
            continue;
        for (const QString& line : sim.takeTranscript())
            std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }
    sim.stop();
    return 0;
}
