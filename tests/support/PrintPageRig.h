#pragma once
// A printer for the printing-page tests: the simulator, a main window with a
// LAN listener and a connected cloud client, and readers of transcript and screen.
#include "Dialog/onebuttondialog.h"
#include "Dialog/onelabledialog.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/COneTimesClicked.h"
#include "UI/buildprint.h"
#include "UI/mainwindow.h"
#include "UI/resources.h"
#include "buzzer/buzzerPlay.h"
#include "Files/ResumePrintConfig.h"
#include "cloudprinter/PolarClient.h"
#include "serial/SerialObject.h"
#include "tests/support/PageTools.h"
#include "tests/support/StreamCheck.h"
#include "tools/RootPath.h"
#include "wifiDevice/ServerListener.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <memory>

inline QByteArray makeJob(int layers, int movesPerLayer, int nozzle, int bed, int feed = 600);

class PrintPageRig {
public:
    explicit PrintPageRig(ControllerSimulator::Options options = SimHarness::fastOptions())
    {
        initOrlenkResources();
        buzzerPlay::setTimeScale(0.0);
        buzzerPlay::getInstance("pwm1")->clearPlayed();
        harness = std::make_unique<SimHarness>(options);
        mainWindow = new MainWindow(nullptr);
        cloud = new PolarClient(mainWindow);
        cloud->m_connectState = 2;
        mainWindow->m_polarClient = cloud;
        sim().clearTranscript();
    }
    ~PrintPageRig()
    {
        delete BuildPrint::instBuildPrint;
        closeDialogs();
        QApplication::processEvents();
        delete mainWindow;
        BuildPrint::setThreadCreator(nullptr);
        harness.reset();
    }

    ControllerSimulator& sim() { return harness->sim(); }
    Sandbox& sandbox() { return harness->sandbox(); }
    SerialObject* link() { return harness->link(); }
    ServerListener* lan() { return mainWindow->m_serverListener; }
    BuildPrint* page() { return BuildPrint::instBuildPrint; }

    // Writes a print file under /data and gives its full (sandboxed) path.
    QString writeJob(const QString& name, const QByteArray& content)
    {
        sandbox().writeFile("/data/" + name, content);
        return sandbox().path("/data/" + name);
    }

    // The transcript from line `from` on, without polls and flow-control queries.
    QStringList commands(int from = 0) const
    {
        return PageTools::withoutPolls(harness->sim().transcript().mid(from), {"M114"});
    }
    int mark() const { return harness->sim().transcript().size(); }
    bool sent(const QString& line) const { return harness->sim().transcript().contains(line); }
    bool waitSent(const QString& line, int ms = 15000) { return waitFor([&] { return sent(line); }, ms); }
    bool waitFor(const std::function<bool()>& pred, int ms = 15000) { return SimHarness::waitUntil(pred, ms); }
    bool waitPageGone(int ms = 20000) { return PageTools::gone(page(), ms) && !BuildPrint::instBuildPrint; }
    int state() { return page() ? page()->getPrintState() : -1; }

    template <class T> T* widget(const char* name)
    {
        return page() ? page()->findChild<T*>(name) : nullptr;
    }
    QString text(const char* label) { return PageTools::label(page(), label); }
    QToolButton* button(const char* name) { return widget<QToolButton>(name); }

    // The one-button message on screen, or an empty text.
    static QString messageText() { return labelOf(OneButtonDialog::instOneButtonDialog); }
    static QString messageTitle()
    {
        OneButtonDialog* d = OneButtonDialog::instOneButtonDialog;
        auto* l = d ? d->findChild<QLabel*>("title") : nullptr;
        return l && l->isVisible() ? l->text() : QString();
    }
    static QString noticeText() { return labelOf(OneLableDialog::instOneLableDialog); }
    static QString labelOf(QWidget* d)
    {
        auto* l = d && d->isVisible() ? d->findChild<QLabel*>("label") : nullptr;
        return l ? l->text() : QString();
    }
    static int visibleMessageBoxes() { return PageTools::visibleCount<OneButtonDialog>(); }
    static void closeMessage()
    {
        if (OneButtonDialog* d = OneButtonDialog::instOneButtonDialog) {
            OneButtonDialog::instOneButtonDialog = nullptr;
            d->close();
        }
        QApplication::processEvents();
    }
    static void closeDialogs()
    {
        closeMessage();
        if (TwoButtonDialog* d = TwoButtonDialog::instTwoButtonDialog) {
            TwoButtonDialog::instTwoButtonDialog = nullptr;
            d->close();
        }
        if (OneLableDialog* d = OneLableDialog::instOneLableDialog) {
            OneLableDialog::instOneLableDialog = nullptr;
            d->close();
        }
    }

    // Whether the buzzer has played the whole tune.
    static bool tunePlayed(buzzerPlay::TuneId id)
    {
        const auto tune = buzzerPlay::tuneNotes(id);
        const auto played = PageTools::notesPlayed();
        return std::search(played.begin(), played.end(), tune.begin(), tune.end()) != played.end();
    }
    // set_flag of the resume adjustment record, -1 when there is none.
    static int resumeRecordFlag()
    {
        _printcfg_t r{};
        r.set_flag = -1;
        return printdetail_read_config(&r) == 0 ? r.set_flag : -1;
    }

    // Starts a LAN job of that content; the page is up when this returns.
    void startJob(const QString& name, const QByteArray& content) { mainWindow->slot_ThreadM23(writeJob(name, content)); }
    // A one-layer job whose nozzle stays at 150 C, short of its 200 C target:
    // the machine is prepared but the print thread waits.
    void startHeldJob(const QString& name = "held.gcode")
    {
        sim().pinNozzleTemperature(150);
        startJob(name, makeJob(1, 50, 200, 60));
    }
    // Waits until the file streams (or the page has gone).
    bool waitStreaming(int ms = 20000)
    {
        return waitFor([&] { return !page() || page()->getPrinterFileSendStatus(); }, ms);
    }
    // The page settled in a state (1 printing, 2 paused): no notice, play/pause usable.
    bool waitSettled(int wanted, int ms = 15000)
    {
        return waitFor([&] {
            return state() == wanted && button("play_pause")->isEnabled() && noticeText().isEmpty();
        }, ms);
    }
    // The first commands since mark heat back to the job's 60/200 C.
    QStringList firstTwo(int mark) const { return commands(mark).mid(0, 2); }
    static QStringList jobHeat() { return {"M140 S60", "M104 S200 T0"}; }

    // Presses a page button after the one-press guard's 100 ms.
    void press(const char* name) { PageTools::click(page(), name); }
    // Presses stop and answers the question that follows (true: "YES").
    void cancelFromScreen(bool yes)
    {
        PageTools::answerSoon(yes);
        press("stop");
    }

    std::unique_ptr<SimHarness> harness;
    MainWindow* mainWindow = nullptr;
    PolarClient* cloud = nullptr;
};

// The finish of a completed print as the controller took it, from the file's
// last line to the motors off: empty when it is the page's sequence, else what
// came. A heater-off command written at once for want of room, and delivered
// once more, counts once.
inline QString finishMismatch(const QStringList& commands, const QString& lastLine)
{
    static const QStringList finish{"M140 S0", "M104 S0 T0", "M50 S0", "G90", "G1 Z212.00 F300",
                                    "G1 X90 Y90 F2000", "G90", "G92 X100 Y100 Z212.00", "M18"};
    QStringList park = commands.mid(commands.lastIndexOf(lastLine) + 1);
    park = park.mid(0, park.indexOf("M18") + 1);
    QStringList seen;
    for (const QString& c : park)
        if (!(QStringList{"M140 S0", "M104 S0 T0"}.contains(c) && seen.contains(c)))
            seen << c;
    return seen == finish ? QString() : "the finish sent " + seen.join(", ");
}

// A plain G-code job: targets, layers and moves per layer (short moves keep a
// pause's wait for the controller's queue short).
inline QByteArray makeJob(int layers, int movesPerLayer, int nozzle, int bed, int feed)
{
    QByteArray f = "; plain job for the printing page tests\n";
    if (nozzle >= 0)
        f += "M104 S" + QByteArray::number(nozzle) + " T0\n";
    if (bed >= 0)
        f += "M140 S" + QByteArray::number(bed) + "\n";
    f += ";layer_count:" + QByteArray::number(layers) + "\n";
    f += "G90\nG92 E0\n";
    double e = 0;
    for (int layer = 0; layer < layers; ++layer) {
        f += ";layer:" + QByteArray::number(layer) + "\n";
        f += "G1 Z" + QByteArray::number(0.3 + 0.2 * layer, 'f', 2) + " F600\n";
        for (int m = 0; m < movesPerLayer; ++m) {
            e += 0.5;
            const int x = (m % 2) ? 30 : 10;
            f += "G1 X" + QByteArray::number(x) + " Y" + QByteArray::number(10 + layer) + " E"
                 + QByteArray::number(e, 'f', 2) + " F" + QByteArray::number(feed) + "\n";
        }
    }
    f += "M107\n";
    return f;
}
