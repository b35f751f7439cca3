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
#include "UI/build.h"
#include "UI/buildfilemanage.h"
#include "UI/buildprint.h"
#include "UI/PlatformLevel.h"
#include "UI/changfilament.h"
#include "UI/control.h"
#include "UI/home.h"
#include "UI/manual.h"
#include "UI/preheat.h"
#include "UI/ExtruderCalibration.h"
#include "UI/home.h"
#include "UI/setting.h"
#include "UI/loadfilament.h"
#include "UI/mainwindow.h"
#include "UI/printctl.h"
#include "UI/printdetail.h"
#include "UI/resources.h"
#include "UI/showtfcard.h"
#include "UI/startup.h"
#include "UI/unloadfilament.h"
#include "serial/SerialObject.h"
#include "tests/support/GxWriter.h"
#include "tests/support/SimHarness.h"
#include "tools/RootPath.h"
#include "tools/SamplePictures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPointer>
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

const QString SampleFile = "/data/Calibration cube.gx";

void writeSamples()
{
    struct Sample { const char* path; const char* picture; int time; int layers; };
    for (const Sample& s : {Sample{"/data/Calibration cube.gx", "cube", 1500, 40},
                            Sample{"/data/Phone stand.gx", "stand", 5400, 120},
                            Sample{"/media/Gear.gx", "gear", 2700, 60}}) {
        GxWriter::GcodeOptions g;
        g.layers = s.layers;
        GxWriter::GxContent gx;
        gx.timeUsed = s.time;
        gx.materialUsed = s.time;
        gx.firstImage = SamplePictures::png(s.picture, 120, 120);
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

    SimHarness harness(SimHarness::fastOptions());
    harness.sandbox().setUsbMounted(true);
    writeSamples();
    SerialObject* link = harness.link();
    link->HeatingPlatform(60);
    link->Heating(210);
    harness.sim().pinNozzleTemperature(187);

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

        // Each page as its opener makes it, its own pointer set.
        const QString sample = rootPath(SampleFile);
        const std::vector<Dialog> pages = {
            {"page_build", [] { return Build::instBuild = new Build(nullptr); }},
            {"page_showtfcard", [] { return new ShowTFCard(FromMemory, nullptr); }},
            {"page_showtfcard_usb", [] { return new ShowTFCard(FromUsbDisk, nullptr); }},
            {"page_buildfilemanage", [sample] { return new BuildFileManage(sample, nullptr); }},
            {"page_buildprint", [sample] { return BuildPrint::instBuildPrint = new BuildPrint(sample, nullptr); }},
            {"page_home", [] { return Home::instHome = new Home(nullptr); }},
            // levelling: shown at the rear point, once homing and the first move are over
            {"page_platformlevel", [] {
                 auto* page = PlatformLevel::instPlatformLevel = new PlatformLevel(nullptr);
                 page->show();
                 for (int i = 0; i < 100 && !page->findChild<QWidget*>("ok")->isVisible(); ++i)
                     runEvents(100);
                 return page;
             }},
            // in-print menu over the printing page, adjustments, filament change
            {"page_printctl", [sample, &screens] {
                 auto* job = BuildPrint::instBuildPrint = new BuildPrint(sample, nullptr);
                 job->show();
                 screens.opened(job);
                 runEvents(600);
                 return PrintCtl::instHandle = new PrintCtl(true, 1500, 210, 60, false, nullptr);
             }},
            {"page_printdetail", [] {
                 auto* page = PrintDetail::instPrintDetail = new PrintDetail(false, true, 1500, nullptr);
                 page->setJobTargets(210, 60);
                 page->initView();
                 return page;
             }},
            {"page_changfilament", [] { return new ChangFilament(true, nullptr); }},
            // tool menu, preheat (nozzle heating, bed idle) and jog pages
            {"page_control", [] { return Control::instControl = new Control(nullptr); }},
            {"page_preheat", [] {
                 Preheat::preheatButtonExtruderState = 0;
                 return Preheat::instPreheat = new Preheat(nullptr);
             }},
            {"page_manual", [] { return Manual::instManual = new Manual(nullptr); }},
            // settings page, probing page
            {"page_setting", [] { return Setting::instSetting = new Setting(nullptr); }},
            {"page_extrudercalibration", [] {
                 return ExtruderCalibration::instExtruderCalibration = new ExtruderCalibration(nullptr);
             }},
            // filament wizards
            {"page_loadfilament", [] { return new LoadFilament(nullptr); }},
            {"page_unloadfilament", [] { return new UnloadFilament(nullptr); }},
        };
        for (const Dialog& d : pages) {
            QWidget* page = d.make();
            screens.opened(page);
            page->show();
            runEvents(1200);
            failures += !screens.save(d.name);
            screens.clear();
        }
    }
    return failures ? 1 : 0;
}
