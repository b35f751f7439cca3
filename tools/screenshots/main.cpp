// orlenk-screenshots: draws the program's screens offscreen, against the
// controller simulator in a sandbox root, into PNG files.
//
//   orlenk-screenshots [folder]     (default docs/screenshots)
//
// Each picture is the 480 x 272 screen: the main window with the page or
// dialog over it at its place, as the display would show it.
#include "Dialog/nobuttondialog.h"
#include "Dialog/onebuttondialog.h"
#include "Dialog/onelabledialog.h"
#include "Dialog/progressdialog.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "UI/mainwindow.h"
#include "UI/resources.h"
#include "UI/startup.h"
#include "serial/SerialObject.h"
#include "simulator/ControllerSimulator.h"
#include "tests/support/GxWriter.h"
#include "tools/RootPath.h"
#include "tools/screenshots/pages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

void runEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

void writeSamples()
{
    for (const char* dir : {"/data", "/media", "/dev", "/proc", "/opt/PROGRAM/config", "/opt/PROGRAM/log",
                            "/sys/class/gpio/gpio131", "/sys/class/pwm/pwmchip0"})
        QDir().mkpath(rootPath(dir));
    GxWriter::writeFile(rootPath("/sys/class/gpio/gpio131/value"), "0\n");
    GxWriter::writeFile(rootPath("/proc/mounts"), "/dev/root / ext4 rw 0 0\n/dev/sda1 /media vfat rw 0 0\n");
    struct Sample { const char* path; const char* picture; int time; int layers; };
    for (const Sample& s : {Sample{"/data/Calibration cube.gx", "Cube", 1500, 40},
                            Sample{"/data/Phone stand.gx", "Stand", 5400, 120},
                            Sample{"/media/Gear.gx", "Gear", 2700, 60}}) {
        GxWriter::GcodeOptions g;
        g.layers = s.layers;
        GxWriter::GxContent gx;
        gx.timeUsed = s.time;
        gx.materialUsed = s.time;
        gx.firstImage = GxWriter::drawPicture(s.picture);
        gx.secondImage = gx.firstImage;
        gx.gcode = GxWriter::generateGcode(g);
        GxWriter::writeFile(rootPath(s.path), GxWriter::buildGx(gx));
    }
    GxWriter::GcodeOptions plain;
    plain.slicer = false;
    GxWriter::writeFile(rootPath("/data/Bracket.gcode"), GxWriter::generateGcode(plain));
    GxWriter::writeFile(rootPath("/data/Hook.g"), GxWriter::generateGcode(plain));
}

class Screens {
public:
    Screens(MainWindow* main, QString folder) : m_main(main), m_folder(std::move(folder)) {}

    // Draws the main window and every other visible window at its place, the
    // newest last, and writes the picture.
    bool save(const QString& name)
    {
        runEvents(300);
        QImage screen(480, 272, QImage::Format_RGB32);
        screen.fill(Qt::black);
        QPainter p(&screen);
        p.drawPixmap(0, 0, m_main->grab());
        for (QWidget* w : windowsInOrder())
            if (w != m_main && w->isVisible())
                p.drawPixmap(w->pos(), w->grab());
        p.end();
        const QString file = m_folder + "/" + name + ".png";
        if (!screen.save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return false;
        }
        std::printf("%s\n", qPrintable(file));
        return true;
    }

    // Closes everything but the main window.
    void clear()
    {
        QList<QPointer<QWidget>> others;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != m_main)
                others << w;
        for (const QPointer<QWidget>& w : others)
            delete w.data();
        m_order.clear();
        m_main->setLanStatus(0, 0);
        runEvents(100);
    }

    void opened(QWidget* w) { m_order << w; }

private:
    QList<QWidget*> windowsInOrder()
    {
        QList<QWidget*> result;
        for (const QPointer<QWidget>& w : m_order)
            if (w)
                result << w.data();
        // Windows the page opened itself (notices, questions) come on top.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (!result.contains(w) && w != m_main && w->isWindow())
                result << w;
        return result;
    }

    MainWindow* m_main;
    QString m_folder;
    QList<QPointer<QWidget>> m_order;
};

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initOrlenkResources();
    Startup::setApplicationFont(app);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }

    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    qputenv("ORLENK_ROOT", root.path().toLocal8Bit());
    writeSamples();

    ControllerSimulator::Options options;
    options.timeScale = 50;
    options.heatRate = 20;
    ControllerSimulator sim(options);
    if (!sim.start(rootPath(PrinterPath::SerialPort), rootPath("/sys/class/gpio/gpio131/value"))) {
        std::fprintf(stderr, "the controller simulator cannot start\n");
        return 1;
    }
    SerialObject* link = ExecuteGetSerialObject().serial();
    link->HeatingPlatform(60);
    link->Heating(210);
    sim.pinNozzleTemperature(187);

    int failures = 0;
    {
        MainWindow main;
        main.show();
        runEvents(600);
        main.pollStatus();
        Screens screens(&main, folder);
        failures += !screens.save("mainwindow");

        struct Dialog { const char* name; std::function<QWidget*()> make; };
        const std::vector<Dialog> dialogs = {
            {"dialog_onebutton", [] { return new OneButtonDialog(QObject::tr("Copy File"), QObject::tr("Copy completed"), "", nullptr); }},
            {"dialog_twobutton", [] { return new TwoButtonDialog(QObject::tr("Resume Print"),
                                                                 QObject::tr("Resume the last print?") + "\nCalibration cube.gx",
                                                                 QObject::tr("Yes"), QObject::tr("No"), nullptr); }},
            {"dialog_nobutton", [] { return new NoButtonDialog(QObject::tr("Copy File"), QObject::tr("Waiting..."), nullptr); }},
            {"dialog_onelable", [] { return new OneLableDialog(QObject::tr("Homing, please wait..."), nullptr); }},
            {"dialog_progress", [] {
                 auto* d = new ProgressDialog(QObject::tr("Receiving file"), "Phone stand.gx", nullptr);
                 d->setMax(21058);
                 d->setValue(13500);
                 return d;
             }},
        };
        for (const Dialog& d : dialogs) {
            QWidget* w = d.make();
            screens.opened(w);
            w->show();
            failures += !screens.save(d.name);
            screens.clear();
        }

        for (const PageShot& shot : pageShots()) {
            QWidget* page = shot.open();
            if (!page) {
                std::fprintf(stderr, "page %s: no usable constructor, left out\n", qPrintable(shot.name));
                continue;
            }
            screens.opened(page);
            page->show();
            runEvents(1200);
            failures += !screens.save("page_" + shot.name);
            screens.clear();
        }
    }
    ExecuteGetSerialObject().reset();
    sim.stop();
    return failures ? 1 : 0;
}
