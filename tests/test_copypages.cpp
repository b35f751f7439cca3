// Copies from the file page and the file list, driven as a user drives them,
// with cancel, a pulled stick, a full disk and other faults injected into the
// copy engine. After each: the right words on the screen, the old file intact,
// no temporary file, no dialog left hanging and no descriptor leaked.
#include "Config/Config.h"
#include "Dialog/nobuttondialog.h"
#include "Dialog/progressdialog.h"
#include "Files/FileCopy.h"
#include "UI/build.h"
#include "tests/support/CopyFaults.h"
#include "tests/support/FilePageDriver.h"
#include "tests/support/GxWriter.h"

#include <atomic>
#include <sys/mount.h>

using namespace CopyFaults;
using namespace FilePageDriver;

namespace {

QString labelOf(QWidget* w)
{
    auto* l = w ? w->findChild<QLabel*>("label") : nullptr;
    return l ? l->text() : QString();
}

QString progressText()
{
    ProgressDialog* d = ProgressDialog::instProgressDialog;
    return d && d->isVisible() ? labelOf(d) : QString();
}

int visible(const QMetaObject& kind)
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->isVisible() && kind.cast(w);
    return n;
}

QByteArray printJob(const QString& label)
{
    GxWriter::GcodeOptions g;
    g.layers = 2;
    g.nozzle = 40;
    g.bed = 30;
    GxWriter::GxContent content;
    content.timeUsed = 60;
    content.secondImage = GxWriter::drawPicture(label, 120, 120);
    content.gcode = GxWriter::generateGcode(g);
    return GxWriter::buildGx(content);
}

// Faults a test can switch on; all act on the copy thread.
struct Faults {
    std::atomic<int> slowSourceMs{0};     // sleep before each source read
    std::atomic<int> sourceReads{0};
    std::atomic<int> tempSyncs{0};
    std::atomic<bool> sourceGone{false};  // source reads fail as on a pulled stick
    QString fault;                        // "ENOSPC", "write EIO", "corrupt", "corrupt once", "read EIO"
    QString slowOnly;                     // only sources whose path ends so are slow
};

} // namespace

class TestCopyPages : public FilePageDriver::Fixture {
    Q_OBJECT

    std::unique_ptr<Faults> m_faults;

    // Installs the fault hooks for the copies that start from now on.
    void installFaults(const QString& sourceMarker)
    {
        Faults* f = m_faults.get();
        Hooks& h = hooks();
        std::lock_guard<std::mutex> lock(h.mutex);
        h.sourceMarker = sourceMarker;
        h.read = [f](int fd, FdKind kind, void*, size_t, ssize_t& result) {
            if (kind != FdKind::Source)
                return false;
            ++f->sourceReads;
            if (f->slowSourceMs > 0 && (f->slowOnly.isEmpty() || pathOfFd(fd).endsWith(f->slowOnly)))
                ::usleep(static_cast<useconds_t>(f->slowSourceMs.load()) * 1000);   // no Qt state on the copy thread
            return (f->sourceGone || (f->fault == "read EIO" && f->sourceReads == 2)) && fail(EIO, result);
        };
        h.write = [f](int fd, FdKind kind, const void* buffer, size_t count, ssize_t& result) {
            if (kind != FdKind::Temp)
                return false;
            if (f->fault == "ENOSPC" || f->fault == "write EIO")
                return fail(f->fault == "ENOSPC" ? ENOSPC : EIO, result);
            if (f->fault == "corrupt" || (f->fault == "corrupt once" && f->tempSyncs == 0)) {
                QByteArray changed(static_cast<const char*>(buffer), int(count));
                changed[0] = char(changed[0] ^ 1);
                result = ::write(fd, changed.constData(), count);
                return true;
            }
            return false;
        };
        h.fsync = [f](int, FdKind kind, int&) {
            f->tempSyncs += kind == FdKind::Temp;
            return false;
        };
    }

    // Switches a fault on for the copies started from now on; "no thread"
    // keeps the copy thread from starting.
    void setFault(const QString& fault)
    {
        m_faults->fault = fault;
        if (fault == "no thread") {
            auto io = hookedIo();
            io->startThread = [](void* (*)(void*), void*) { return EAGAIN; };
            FileCopyJob::setIoForTesting(io);
        }
    }

    // A file of the stick over an older one in internal storage, copied slowly.
    BuildFileManage* slowCopyPage(const QString& name)
    {
        writeFile(media(name), CopyFaults::pattern(2 * 1024 * 1024));
        writeFile(data(name), "old model");
        m_faults->slowSourceMs = 100;
        return openFilePage(media(name));
    }

    // Selects the files in the given slots of the list's first page.
    static void selectSlots(ShowTFCard* list, const QList<int>& slotList)
    {
        longPress(list, slotList.first());
        for (int i = 1; i < slotList.size(); ++i)
            shortPress(list, slotList[i]);
    }

    // The slot of the first page showing the entry of that name.
    static int slotOf(ShowTFCard* list, const QString& name)
    {
        for (int i = 0; i < 4 && i < list->fileCount(); ++i)
            if (QFileInfo(QString::fromStdString(list->fileList()[size_t(i)].path)).fileName() == name)
                return i;
        return -1;
    }

    static bool noTemporaryFiles(const QString& folder)
    {
        return allNames(folder).filter(QRegularExpression("^\\.copy-")).isEmpty();
    }

private slots:
    void initTestCase()
    {
        startMainWindow();
        FileCopyJob::setIoForTesting(hookedIo());
    }

    void cleanupTestCase()
    {
        closeAllPages();
        QVERIFY(waitForCopyThreads());
        hooks().clear();
        FileCopyJob::setIoForTesting(nullptr);
        stopMainWindow();
    }

    void init()
    {
        clearStorages(true);
        m_faults = std::make_unique<Faults>();
        installFaults("/media/");
        FileCopyJob::setIoForTesting(hookedIo());
    }

    void cleanup()
    {
        closeAllPages();
        QVERIFY(waitForCopyThreads());
        hooks().clear();
        // Nothing hangs: no progress, waiting or question dialog stays behind.
        QCOMPARE(visible(ProgressDialog::staticMetaObject), 0);
        QCOMPARE(visible(NoButtonDialog::staticMetaObject), 0);
        QVERIFY(!ShowTFCard::instShowTFCard && !BuildFileManage::instBuildFileManage);
        // No file of either storage stays open.
        const QString root = m_harness->sandbox().root();
        QVERIFY2(waitFor([&] { return descriptorsUnder(root).isEmpty(); }, 3000),
                 qPrintable(descriptorsUnder(root).join(" ")));
        QVERIFY(noTemporaryFiles(data()) && noTemporaryFiles(media()));
    }

    void printsAFileOfTheStickFromTheMainWindow()
    {
        const QByteArray job = printJob("stick");
        writeFile(media("/cube.gx"), job);
        writeFile(data("/cube.gx"), "an older cube");
        m_faults->slowSourceMs = 150;   // long enough to see the waiting notice

        pressBuild();
        guardedClick(button(Build::instBuild, "upan"));
        shortPress(ShowTFCard::instShowTFCard, 0);
        BuildFileManage* page = BuildFileManage::instBuildFileManage;
        QVERIFY(page && page->isUsbFile());
        guardedClick(button(page, "buildPrint"));

        QVERIFY(NoButtonDialog::instNoButtonDialog && NoButtonDialog::instNoButtonDialog->isVisible());
        QVERIFY(!BuildPrint::instBuildPrint);   // not before the copy is verified
        QCOMPARE(readAll(data("/cube.gx")), QByteArray("an older cube"));

        QVERIFY2(waitFor([] { return BuildPrint::instBuildPrint != nullptr; }), "no print after the copy");
        QVERIFY(!NoButtonDialog::instNoButtonDialog);
        QCOMPARE(readAll(data("/cube.gx")), job);
        QVERIFY(noTemporaryFiles(data()));
        QVERIFY2(waitFor([] { return shows("Build Completed"); }, 60000), "the print never completed");
        QVERIFY(layersSent() >= 2);
        // The pages beneath stay.
        QVERIFY(Build::instBuild && ShowTFCard::instShowTFCard && BuildFileManage::instBuildFileManage);
    }

    // One copy that differs from its source, then a good one: the print starts from the good one.
    void printCopyIsRetried()
    {
        const QByteArray job = printJob("retry");
        writeFile(media("/cube.gx"), job);
        writeFile(data("/cube.gx"), "an older cube");
        m_faults->fault = "corrupt once";
        guardedClick(button(openFilePage(media("/cube.gx")), "buildPrint"));
        QVERIFY(waitFor([] { return BuildPrint::instBuildPrint != nullptr; }));
        QCOMPARE(m_faults->tempSyncs.load(), 2);
        QCOMPARE(readAll(data("/cube.gx")), job);
        QCOMPARE(message(), QString());
    }

    // The stick pulled while the file page copies: the message names the cause
    // and outlives the closing of the stick's pages; a page of internal storage stays.
    void stickPulledDuringAFilePageCopy_data()
    {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<bool>("fromStick");
        QTest::newRow("print from the stick") << "buildPrint" << true;
        QTest::newRow("copy from the stick") << "copyFile" << true;
        QTest::newRow("copy onto the stick") << "copyFile" << false;
    }
    void stickPulledDuringAFilePageCopy()
    {
        QFETCH(QString, pressed);
        QFETCH(bool, fromStick);
        const QString from = fromStick ? media() : data(), to = fromStick ? data() : media();
        writeFile(from + "/model.gx", CopyFaults::pattern(2 * 1024 * 1024));
        writeFile(to + "/model.gx", "old model");
        installFaults(fromStick ? "/media/" : "/data/");
        m_faults->slowSourceMs = 100;
        QPointer<ShowTFCard> list = openList(fromStick ? FromUsbDisk : FromMemory);
        shortPress(list, 0);
        QPointer<BuildFileManage> page = BuildFileManage::instBuildFileManage;
        guardedClick(button(page, qPrintable(pressed)));
        QVERIFY(waitFor([&] { return m_faults->sourceReads >= 2; }));
        m_faults->sourceGone = fromStick;
        setUsb(false);
        QVERIFY(waitFor([&] { return !page == fromStick && !list == fromStick; }));
        settle();
        QCOMPARE(message(), QString("USB Disk removed,\ncopy stopped"));
        QVERIFY(!NoButtonDialog::instNoButtonDialog && !ProgressDialog::instProgressDialog);
        QVERIFY(!BuildPrint::instBuildPrint);
        QVERIFY(waitForCopyThreads());
        QCOMPARE(readAll(to + "/model.gx"), QByteArray("old model"));
        if (page) {   // its copy button is alive
            OneButtonDialog::instOneButtonDialog->close();
            settle();
            guardedClick(button(page, "copyFile"));
            QCOMPARE(message(), QString("Please insert USB Disk !"));
        }
    }

    // Onto internal storage the copy is stamped to list first; onto the stick not.
    void copyButtonBothWays()
    {
        const QByteArray content = CopyFaults::pattern(700000, 3);
        writeFile(media("/model.gx"), content);
        writeFile(data("/model.gx"), "old model");
        writeFile(data("/inside.gx"), "inside");
        Config* config = getConfigFile().configFile();
        const std::string stampBefore = config->getModifyTime();
        guardedClick(button(openFilePage(media("/model.gx")), "copyFile"));
        QVERIFY(ProgressDialog::instProgressDialog);
        QVERIFY(waitFor([] { return message() == "Copy completed"; }));
        QVERIFY(!ProgressDialog::instProgressDialog);
        QCOMPARE(readAll(data("/model.gx")), content);
        QVERIFY(config->getModifyTime() > stampBefore);
        QCOMPARE(QFileInfo(data("/model.gx")).lastModified().toString("yyyyMMddhhmm.ss").toStdString(),
                 config->getModifyTime());
        closeAllPages();

        const std::string stamp = config->getModifyTime();
        guardedClick(button(openFilePage(data("/inside.gx")), "copyFile"));
        QVERIFY(waitFor([] { return message() == "Copy completed"; }));
        QCOMPARE(readAll(media("/inside.gx")), QByteArray("inside"));
        QCOMPARE(config->getModifyTime(), stamp);
    }

    void copyButtonCancelAndAgain()
    {
        BuildFileManage* page = slowCopyPage("/model.gx");
        guardedClick(button(page, "copyFile"));
        QVERIFY(waitFor([&] { return m_faults->sourceReads >= 2; }));
        guardedClick(button(ProgressDialog::instProgressDialog, "cancel"));
        QVERIFY(waitFor([] { return !ProgressDialog::instProgressDialog; }));
        QVERIFY(waitForCopyThreads());
        settle();
        QCOMPARE(message(), QString());   // a cancel says nothing
        QCOMPARE(readAll(data("/model.gx")), QByteArray("old model"));

        // The button works again at once.
        m_faults->slowSourceMs = 0;
        guardedClick(button(page, "copyFile"));
        QVERIFY(waitFor([] { return message() == "Copy completed"; }));
        QCOMPARE(readAll(data("/model.gx")), readAll(media("/model.gx")));
    }

    // The copy button's copy, the one before printing and the list's copy, failing.
    void copyFaults_data()
    {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("shown");
        const QString full = "Storage space is not enough";
        QTest::newRow("print, disk full") << "buildPrint" << "ENOSPC" << full;
        QTest::newRow("print, copy never matches") << "buildPrint" << "corrupt" << "Please retry";
        QTest::newRow("print, thread not created") << "buildPrint" << "no thread" << "Please retry";
        QTest::newRow("copy, disk full") << "copyFile" << "ENOSPC" << full;
        QTest::newRow("copy, copy differs") << "copyFile" << "corrupt" << "Please retry";
        QTest::newRow("copy, thread not created") << "copyFile" << "no thread" << "Please retry";
        QTest::newRow("list, disk full") << "copyBtn" << "ENOSPC" << full;
        QTest::newRow("list, write error") << "copyBtn" << "write EIO" << "Copy Failed(1)";
        QTest::newRow("list, copy differs") << "copyBtn" << "corrupt" << "Copy Failed(2)";
        QTest::newRow("list, read error") << "copyBtn" << "read EIO" << "Copy Failed(3)";
        QTest::newRow("list, thread not created") << "copyBtn" << "no thread" << "Copy Failed(3)";
    }
    void copyFaults()
    {
        QFETCH(QString, pressed);
        QFETCH(QString, fault);
        QFETCH(QString, shown);
        writeFile(media("/model.gx"), CopyFaults::pattern(600000));
        writeFile(data("/model.gx"), "old model");
        setFault(fault);
        if (pressed == "copyBtn") {
            ShowTFCard* list = openList(FromUsbDisk);
            selectSlots(list, {0});
            QTest::mouseClick(button(list, "copyBtn"), Qt::LeftButton);
            QVERIFY(waitFor([&] { return message() == shown; }));
            QVERIFY(!list->selectMode());
        } else {
            guardedClick(button(openFilePage(media("/model.gx")), qPrintable(pressed)));
            QVERIFY(waitFor([&] { return message() == shown; }));
            if (fault == "corrupt")
                QCOMPARE(m_faults->tempSyncs.load(), pressed == "buildPrint" ? 3 : 1);   // tried three times
        }
        QVERIFY(!BuildPrint::instBuildPrint);
        QVERIFY(!NoButtonDialog::instNoButtonDialog && !ProgressDialog::instProgressDialog);
        QCOMPARE(readAll(data("/model.gx")), QByteArray("old model"));
    }

    // The page closed during its copy, or during the copy before printing:
    // no print, no notice left, the old file intact.
    void pageClosedDuringACopy_data()
    {
        QTest::addColumn<QString>("pressed");
        QTest::newRow("copy") << "copyFile";
        QTest::newRow("print") << "buildPrint";
    }
    void pageClosedDuringACopy()
    {
        QFETCH(QString, pressed);
        BuildFileManage* page = slowCopyPage("/model.gx");
        guardedClick(button(page, qPrintable(pressed)));
        QVERIFY(waitFor([&] { return m_faults->sourceReads >= 2; }));
        if (pressed == "copyFile") {
            page->close();   // as when the main window clears the screens
        } else {
            QVERIFY(NoButtonDialog::instNoButtonDialog);
            guardedClick(button(page, "back"));
        }
        QVERIFY(waitFor([] {
            return !BuildFileManage::instBuildFileManage && !ProgressDialog::instProgressDialog
                && !NoButtonDialog::instNoButtonDialog;
        }));
        QVERIFY(waitForCopyThreads());
        settle();
        QVERIFY(!BuildPrint::instBuildPrint);
        QCOMPARE(readAll(data("/model.gx")), QByteArray("old model"));
    }

    void listCopiesTheSelection()
    {
        // Files of two folders all arrive in the root folder.
        writeFile(media("/model.gx"), CopyFaults::pattern(300000, 1));
        writeFile(media("/part.gx"), CopyFaults::pattern(600000, 2));
        writeFile(media("/sub/other.gx"), CopyFaults::pattern(300000, 3));
        writeFile(data("/model.gx"), "old model");
        m_faults->slowSourceMs = 400;
        m_faults->slowOnly = "/part.gx";   // the second file is slow enough to watch

        ShowTFCard* list = openList(FromUsbDisk);
        QCOMPARE(list->fileCount(), 3);
        selectSlots(list, {slotOf(list, "model.gx"), slotOf(list, "part.gx")});
        shortPress(list, slotOf(list, "sub"));   // a folder opens in select mode
        QCOMPARE(list->fileCount(), 1);
        shortPress(list, 0);
        QCOMPARE(int(list->selectedFiles().size()), 3);

        QStringList seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            const QString t = progressText();
            if (!t.isEmpty() && (seen.isEmpty() || seen.last() != t))
                seen << t;
        });
        watch.start(10);
        QTest::mouseClick(button(list, "copyBtn"), Qt::LeftButton);
        QVERIFY(waitFor([] { return message() == "Copy Complete"; }, 20000));
        watch.stop();
        QVERIFY2(seen.contains("Copy File...(2/3)") && seen.contains("Verifying file...(2/3)"),
                 qPrintable(seen.join(", ")));
        const QStringList order{"Copy File...(1/3)", "Verifying file...(1/3)", "Copy File...(2/3)",
                                "Verifying file...(2/3)", "Copy File...(3/3)", "Verifying file...(3/3)"};
        for (int i = 1; i < seen.size(); ++i)
            QVERIFY2(order.indexOf(seen[i - 1]) < order.indexOf(seen[i]), qPrintable(seen.join(", ")));

        QCOMPARE(readAll(data("/model.gx")), CopyFaults::pattern(300000, 1));
        QCOMPARE(readAll(data("/part.gx")), CopyFaults::pattern(600000, 2));
        QCOMPARE(readAll(data("/other.gx")), CopyFaults::pattern(300000, 3));
        // Stamped in copy order, so they list newest last-copied first.
        QVERIFY(QFileInfo(data("/model.gx")).lastModified() < QFileInfo(data("/part.gx")).lastModified());
        QVERIFY(QFileInfo(data("/part.gx")).lastModified() < QFileInfo(data("/other.gx")).lastModified());
        QVERIFY(!list->selectMode());
        QVERIFY(list->selectedFiles().empty());
        QVERIFY(!ProgressDialog::instProgressDialog);
    }

    void listRefusesTheSameNameTwice()
    {
        // Two files named model.gx: the second may neither replace the first
        // nor take the name of a file already there.
        writeFile(media("/model.gx"), CopyFaults::pattern(3000, 1));
        writeFile(media("/sub/model.gx"), CopyFaults::pattern(3000, 2));
        writeFile(data("/model_2.gx"), "a file of its own");
        ShowTFCard* list = openList(FromUsbDisk);
        selectSlots(list, {slotOf(list, "model.gx")});
        shortPress(list, slotOf(list, "sub"));
        shortPress(list, 0);
        QTest::mouseClick(button(list, "copyBtn"), Qt::LeftButton);
        QVERIFY(waitFor([] { return message() == "Copy Failed(3)"; }));
        QCOMPARE(readAll(data("/model.gx")), CopyFaults::pattern(3000, 1));
        QCOMPARE(readAll(data("/model_2.gx")), QByteArray("a file of its own"));
        QCOMPARE(allNames(data()), (QStringList{"model.gx", "model_2.gx"}));
        QVERIFY(!list->selectMode());
    }

    // Copies f1..f3 from the stick's list; returns once the slow second file is being copied.
    ShowTFCard* listCopyingTheSecondOfThree(int slowMs)
    {
        for (int i = 1; i <= 3; ++i)
            writeFile(media(QString("/f%1.gx").arg(i)), CopyFaults::pattern(600000, i));
        m_faults->slowSourceMs = slowMs;
        m_faults->slowOnly = "/f2.gx";
        ShowTFCard* list = openList(FromUsbDisk);
        selectSlots(list, {slotOf(list, "f1.gx"), slotOf(list, "f2.gx"), slotOf(list, "f3.gx")});
        QTest::mouseClick(button(list, "copyBtn"), Qt::LeftButton);
        waitFor([] { return progressText().endsWith("(2/3)"); });
        return list;
    }

    void listCancelDuringTheSecondFile()
    {
        writeFile(data("/f2.gx"), "old two");
        ShowTFCard* list = listCopyingTheSecondOfThree(400);
        guardedClick(button(ProgressDialog::instProgressDialog, "cancel"));
        QVERIFY(waitFor([] { return !ProgressDialog::instProgressDialog; }));
        QVERIFY(waitForCopyThreads());
        settle();
        QCOMPARE(message(), QString());
        QVERIFY(!list->selectMode());
        QCOMPARE(allNames(data()), (QStringList{"f1.gx", "f2.gx"}));   // the first stays, the third never started
        QCOMPARE(readAll(data("/f2.gx")), QByteArray("old two"));
        QCOMPARE(readAll(data("/f1.gx")), CopyFaults::pattern(600000, 1));
    }

    // The list keeps a one-button dialog hidden while it copies; when it goes,
    // the file being copied is finished and no other begun, without a word.
    void listStopsWhenItsHiddenDialogGoes()
    {
        ShowTFCard* list = listCopyingTheSecondOfThree(300);
        QPointer<OneButtonDialog> gate = OneButtonDialog::instOneButtonDialog;
        QVERIFY(gate && !gate->isVisible());
        QVERIFY(progressText().endsWith("(2/3)"));
        gate->close();
        QVERIFY(waitFor([&] { return !gate; }));
        QVERIFY(waitForCopyThreads());
        QTest::qWait(1100);   // a poll of the list
        QCOMPARE(allNames(data()), (QStringList{"f1.gx", "f2.gx"}));
        QCOMPARE(readAll(data("/f2.gx")), CopyFaults::pattern(600000, 2));
        QCOMPARE(message(), QString());
        QCOMPARE(int(list->selectedFiles().size()), 3);
        // The progress screen stays until its Cancel.
        QVERIFY(ProgressDialog::instProgressDialog && ProgressDialog::instProgressDialog->isVisible());
        guardedClick(button(ProgressDialog::instProgressDialog, "cancel"));
        QVERIFY(waitFor([] { return !ProgressDialog::instProgressDialog; }));
    }

    void listStickPulledMidCopy_data()
    {
        QTest::addColumn<bool>("fromStick");
        QTest::newRow("from the stick") << true;
        QTest::newRow("onto the stick") << false;
    }
    void listStickPulledMidCopy()
    {
        QFETCH(bool, fromStick);
        const QString from = fromStick ? media() : data(), to = fromStick ? data() : media();
        writeFile(from + "/a.gx", CopyFaults::pattern(300000, 1));
        writeFile(from + "/b.gx", CopyFaults::pattern(2 * 1024 * 1024, 2));
        writeFile(to + "/b.gx", "old b");
        installFaults(fromStick ? "/media/" : "/data/");
        m_faults->slowSourceMs = 250;
        m_faults->slowOnly = "/b.gx";
        ShowTFCard* list = openList(fromStick ? FromUsbDisk : FromMemory);
        selectSlots(list, {slotOf(list, "a.gx"), slotOf(list, "b.gx")});
        QTest::mouseClick(button(list, "copyBtn"), Qt::LeftButton);
        QVERIFY(waitFor([] { return progressText().endsWith("(2/2)"); }));
        m_faults->sourceGone = fromStick;
        setUsb(false);
        QCOMPARE(message(), QString("Copy Failed(0)"));
        QVERIFY(!ProgressDialog::instProgressDialog);
        QVERIFY(waitForCopyThreads());
        QCOMPARE(readAll(to + "/b.gx"), QByteArray("old b"));
        QCOMPARE(readAll(to + "/a.gx").size(), 300000);   // the first file stays
        // The list stays under the message (also the list of the stick).
        settle();
        QTest::qWait(250);
        QCOMPARE(ShowTFCard::instShowTFCard, list);
        QVERIFY(!list->selectMode());
        QVERIFY(button(list, "copyBtn")->isHidden());
    }

    void listNeedsAStick()
    {
        writeFile(data("/a.gx"), "a");
        setUsb(false);
        ShowTFCard* list = openList(FromMemory);
        selectSlots(list, {0});
        QVERIFY(button(list, "copyBtn")->isHidden());
        QMetaObject::invokeMethod(list, "on_copyBtn_clicked");   // the stick left as the button was pressed
        QCOMPARE(message(), QString("Please insert USB Disk !"));
        QVERIFY(list->selectMode());   // nothing started: the selection stays
        QVERIFY(!ProgressDialog::instProgressDialog);
    }

    // A small target storage: the free space is checked before anything is written.
    void refusedForLackOfSpace_data()
    {
        QTest::addColumn<QString>("pressed");
        QTest::newRow("the list's copy onto the stick") << "copyBtn";
        QTest::newRow("the file page's copy onto the stick") << "copyFile";
        QTest::newRow("printing a file of the stick") << "buildPrint";
    }
    void refusedForLackOfSpace()
    {
        QFETCH(QString, pressed);
        const QString from = pressed == "buildPrint" ? media() : data(), to = pressed == "buildPrint" ? data() : media();
        writeFile(from + "/big.gx", CopyFaults::pattern(200000));
        const QByteArray target = QFile::encodeName(to);
        if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount a small file system here");
        struct Unmount {
            QByteArray path;
            ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
        } unmount{target};
        if (pressed == "copyBtn") {
            ShowTFCard* list = openList(FromMemory);
            selectSlots(list, {0});
            QTest::mouseClick(button(list, "copyBtn"), Qt::LeftButton);
            QVERIFY(list->selectMode());
        } else {
            guardedClick(button(openFilePage(from + "/big.gx"), qPrintable(pressed)));
        }
        QCOMPARE(message(), QString("Storage space is not enough"));
        QVERIFY(!ProgressDialog::instProgressDialog && !NoButtonDialog::instNoButtonDialog && !BuildPrint::instBuildPrint);
        QCOMPARE(allNames(to), QStringList{});
        closeAllPages();
    }
};

QTEST_MAIN(TestCopyPages)
#include "test_copypages.moc"
