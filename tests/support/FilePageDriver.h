#pragma once
// Drives the storage, file list and file pages as a user does, with a fixture
// that runs the simulator and the main window over "/data" and "/media".
#include "Dialog/onebuttondialog.h"
#include "UI/buildfilemanage.h"
#include "UI/buildprint.h"
#include "UI/mainwindow.h"
#include "UI/resources.h"
#include "UI/showtfcard.h"
#include "tests/support/GxWriter.h"
#include "tests/support/PageTools.h"
#include "tools/RootPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <functional>
#include <memory>
#include <unistd.h>

namespace FilePageDriver {

// The file list's four file buttons, left to right.
inline const char* const kSlotNames[] = {"toolButton_2", "toolButton_3", "toolButton_4", "toolButton_5"};

// Lets deferred deletions and queued signals run.
inline void settle(int rounds = 3)
{
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

inline bool waitFor(const std::function<bool()>& pred, int ms = 10000)
{
    return SimHarness::waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return pred();
    }, ms);
}

inline QToolButton* button(QWidget* page, const char* name)
{
    return page ? page->findChild<QToolButton*>(name) : nullptr;
}

inline QToolButton* slotButton(QWidget* list, int slot) { return button(list, kSlotNames[slot]); }

// A file button shown on the list, pressed and held for a moment or for longer.
inline void press(QWidget* list, int slot, bool held)
{
    QToolButton* b = slotButton(list, slot);
    QVERIFY(b && b->isVisibleTo(list));
    QTest::mousePress(b, Qt::LeftButton);
    QTest::qWait(held ? 560 : 20);
    QCoreApplication::processEvents();   // the 500 ms timer is due by now
    QTest::mouseRelease(b, Qt::LeftButton);
}
inline void shortPress(QWidget* list, int slot) { press(list, slot, false); }
inline void longPress(QWidget* list, int slot) { press(list, slot, true); }

// A print file quick on the simulator: low temperatures, `layers` layers, at least `lines` lines.
inline QByteArray printJob(int layers, int lines = 0)
{
    GxWriter::GcodeOptions g;
    g.layers = layers;
    g.lines = lines;
    g.nozzle = 40;
    g.bed = 30;
    GxWriter::GxContent content;
    content.timeUsed = 60;
    content.secondImage = GxWriter::drawPicture("job", 120, 120);
    content.gcode = GxWriter::generateGcode(g);
    return GxWriter::buildGx(content);
}

// Answers the next question once it is up, after running whileOpen (which
// may end the question itself).
inline void answerQuestion(bool ok, std::function<void()> whileOpen = {})
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ok, whileOpen] {
        QPointer<TwoButtonDialog> d = TwoButtonDialog::instTwoButtonDialog;
        if (!d || !d->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        if (whileOpen)
            whileOpen();
        if (d && d->isVisible())
            ok ? d->accept() : d->reject();
    });
    timer->start();
}

// The text of a dialog on screen, or "".
inline QString dialogText(QWidget* d)
{
    auto* l = d && d->isVisible() ? d->findChild<QLabel*>("label") : nullptr;
    return l ? l->text() : QString();
}
inline QString message() { return dialogText(OneButtonDialog::instOneButtonDialog); }

// Whether any visible label of any page shows text.
inline bool shows(const QString& text)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            for (QLabel* l : w->findChildren<QLabel*>())
                if (l->isVisible() && l->text().contains(text))
                    return true;
    return false;
}

class Fixture : public QObject {
protected:
    std::unique_ptr<SimHarness> m_harness;
    std::unique_ptr<MainWindow> m_main;

    QString data(const QString& rel = QString()) const { return rootPath(QString("/data")) + rel; }
    QString media(const QString& rel = QString()) const { return rootPath(QString("/media")) + rel; }

    void startMainWindow()
    {
        initOrlenkResources();
        m_harness = std::make_unique<SimHarness>();
        m_main = std::make_unique<MainWindow>();
        m_main->show();
        settle();
    }

    void stopMainWindow()
    {
        closeAllPages();
        m_main.reset();
        settle();
        m_harness.reset();
    }

    void setUsb(bool mounted)
    {
        m_harness->sandbox().setUsbMounted(mounted);
        if (mounted)
            m_main->usbUp();
        else
            m_main->usbDown();
        settle();
    }

    void pressBuild() { PageTools::click(m_main.get(), "showBuild"); }

    // The number of G-code layers the controller has been sent.
    int layersSent() const
    {
        int n = 0;
        for (const QString& line : m_harness->sim().transcript())
            n += line.startsWith("G1 Z");
        return n;
    }

    static ShowTFCard* openList(ShowFilesFromWhere where)
    {
        auto* list = new ShowTFCard(where, nullptr);
        list->show();
        settle();
        return list;
    }

    static BuildFileManage* openFilePage(const QString& path)
    {
        auto* page = new BuildFileManage(path, nullptr);
        BuildFileManage::instBuildFileManage = page;
        page->show();
        settle();
        return page;
    }

    // Every page but the main window, the printing page included.
    static void closeAllPages()
    {
        for (int round = 0; round < 5; ++round) {
            delete BuildPrint::instBuildPrint;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (!qobject_cast<MainWindow*>(w) && w->isVisible())
                    w->close();
            settle();
        }
    }

    // Removes everything in a folder, odd names and hidden files included.
    static void emptyFolder(const QString& path)
    {
        for (const QFileInfo& fi : QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
            if (fi.isDir() && !fi.isSymLink())
                QDir(fi.filePath()).removeRecursively();
            else
                ::unlink(QFile::encodeName(fi.filePath()).constData());
        }
    }

    void clearStorages(bool stick)
    {
        closeAllPages();
        emptyFolder(data());
        emptyFolder(media());
        setUsb(stick);
    }
};

}
