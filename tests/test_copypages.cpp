// Copies from the file page and the file list, driven as a user drives them,
// with cancel, a pulled stick, a full disk and other faults injected into the
// copy engine. After each: the right words on the screen, the old file intact,
// no temporary file, no dialog left hanging and no descriptor leaked.
#include "Config/Config.h"
#include "Dialog/nobuttondialog.h"
#include "Dialog/progressdialog.h"
#include "Files/FileCopy.h"
#include "UI/build.h"
#include "UI/filepagehelpers.h"
#include "tests/support/CopyFaults.h"
#include "tests/support/FilePageDriver.h"
#include "tests/support/PageTools.h"
#include "wifiDevice/ServerListener.h"

#include <QScopeGuard>
#include <atomic>
#include <sys/mount.h>

using namespace CopyFaults;
using namespace FilePageDriver;
using PageTools::click;

namespace {

// Faults a test can switch on; all act on the copy thread.
struct Faults {
    std::atomic<int> slowSourceMs{0};     // sleep before each source read
    std::atomic<int> sourceReads{0};
    std::atomic<int> tempSyncs{0};
    std::atomic<bool> sourceGone{false};  // source reads fail as on a pulled stick
    QString fault;                        // "ENOSPC", "write EIO", "corrupt", "corrupt once", "read EIO"
    QString slowOnly;                     // only sources whose path ends so are slow
    std::atomic<int> refuseCreate{0};     // errno for making a copy's temporary file
    std::shared_ptr<SmallDisk> disk;      // a small storage faked over a folder
    QString watched;                      // a file whose presence at the first write is noted
    std::atomic<int> watchedAtFirstWrite{-1};
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
        h.open = [f](const QString&, FdKind kind, int, int& result) {
            return kind == FdKind::Temp && f->refuseCreate != 0 && fail(f->refuseCreate, result);
        };
        h.write = [f](int fd, FdKind kind, const void* buffer, size_t count, ssize_t& result) {
            if (kind != FdKind::Temp)
                return false;
            if (!f->watched.isEmpty() && f->watchedAtFirstWrite < 0)
                f->watchedAtFirstWrite = QFileInfo::exists(f->watched) ? 1 : 0;
            if (f->disk && f->disk->holds(pathOfFd(fd)) && f->disk->full(count))
                return fail(ENOSPC, result);
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

    // The slot of the first page showing the entry of that name.
    static int slotOf(ShowTFCard* list, const QString& name)
    {
        for (int i = 0; i < 4 && i < list->fileCount(); ++i)
            if (QFileInfo(QString::fromStdString(list->fileList()[size_t(i)].path)).fileName() == name)
                return i;
        return -1;
    }

    // Presses the list's copy (the files selected) or a file page's button (the first file).
    ShowTFCard* startCopy(const QString& pressed, bool fromStick, const QStringList& files)
    {
        ShowTFCard* list = openList(fromStick ? FromUsbDisk : FromMemory);
        if (pressed == "copyBtn") {
            longPress(list, slotOf(list, files.first()));
            for (int i = 1; i < files.size(); ++i)
                shortPress(list, slotOf(list, files[i]));
            click(list, "copyBtn");
        } else {
            shortPress(list, slotOf(list, files.first()));
            click(BuildFileManage::instBuildFileManage, qPrintable(pressed));
        }
        return list;
    }

    static QString progressText() { return dialogText(ProgressDialog::instProgressDialog); }

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
        FilePages::setFreeSpaceForTesting(nullptr);
        // Nothing hangs: no progress, waiting or question dialog stays behind.
        QCOMPARE(PageTools::visibleCount<ProgressDialog>() + PageTools::visibleCount<NoButtonDialog>(), 0);
        QVERIFY(!ShowTFCard::instShowTFCard && !BuildFileManage::instBuildFileManage);
        // No file of either storage stays open.
        const QString root = m_harness->sandbox().root();
        QVERIFY2(waitFor([&] { return descriptorsUnder(root).isEmpty(); }, 3000),
                 qPrintable(descriptorsUnder(root).join(" ")));
        QVERIFY(noTemporaryFiles(data()) && noTemporaryFiles(media()));
    }

    // Interrupted while the second of three files (the file page: its file) is
    // copied. The stick pulled: the list says the copy failed and stays, the
    // file page's message names the cause and outlives the stick's pages, a page
    // of internal storage stays. Stopped by a Cancel, the page closed, or the
    // list's hidden dialog gone (which finishes the file under way): no word.
    // Either way no print, the old file intact, the first file kept and
    // nothing further begun.
    void interruptedMidCopy_data()
    {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<bool>("fromStick");
        QTest::addColumn<QString>("how");
        QTest::newRow("list, from the stick, pulled") << "copyBtn" << true << "pull";
        QTest::newRow("list, onto the stick, pulled") << "copyBtn" << false << "pull";
        QTest::newRow("print from the stick, pulled") << "buildPrint" << true << "pull";
        QTest::newRow("copy from the stick, pulled") << "copyFile" << true << "pull";
        QTest::newRow("copy onto the stick, pulled") << "copyFile" << false << "pull";
        QTest::newRow("copy, cancel") << "copyFile" << true << "cancel";
        QTest::newRow("copy, page closed") << "copyFile" << true << "close";
        QTest::newRow("list, cancel") << "copyBtn" << true << "cancel";
        QTest::newRow("list, hidden dialog gone") << "copyBtn" << true << "gate";
    }
    void interruptedMidCopy()
    {
        QFETCH(QString, pressed);
        QFETCH(bool, fromStick);
        QFETCH(QString, how);
        const bool viaList = pressed == "copyBtn", pulled = how == "pull";
        const QString from = fromStick ? media() : data(), to = fromStick ? data() : media();
        for (int i = 1; i <= 3; ++i)
            writeFile(from + QString("/f%1.gx").arg(i), CopyFaults::pattern(600000, i));
        writeFile(to + "/f2.gx", "old two");
        installFaults(fromStick ? "/media/" : "/data/");
        m_faults->slowSourceMs = 300;
        m_faults->slowOnly = "/f2.gx";
        QPointer<ShowTFCard> list =
            startCopy(pressed, fromStick, viaList ? QStringList{"f1.gx", "f2.gx", "f3.gx"} : QStringList{"f2.gx"});
        QPointer<BuildFileManage> page = BuildFileManage::instBuildFileManage;
        QVERIFY(waitFor([&] { return viaList ? progressText().endsWith("(2/3)") : m_faults->sourceReads >= 2; }));
        QPointer<OneButtonDialog> gate = OneButtonDialog::instOneButtonDialog;
        if (pulled) {
            m_faults->sourceGone = fromStick;
            setUsb(false);
        } else if (how == "cancel") {
            click(ProgressDialog::instProgressDialog, "cancel");
        } else if (how == "close") {
            page->close();   // as when the main window clears the screens
        } else {
            QVERIFY(gate && !gate->isVisible());
            gate->close();
            QVERIFY(waitFor([&] { return !gate; }));
        }
        QVERIFY(waitFor([&] {   // the stop reaches the copy through the event loop
            if (pulled)
                return viaList || (!page == fromStick && !list == fromStick);
            return how == "gate" || (!ProgressDialog::instProgressDialog && !NoButtonDialog::instNoButtonDialog
                                     && (how == "cancel" || !BuildFileManage::instBuildFileManage));
        }));
        QVERIFY(waitForCopyThreads());
        QTest::qWait(how == "gate" ? 1100 : 0);   // a poll of the list
        settle();
        QCOMPARE(message(), !pulled ? QString() : viaList ? QString("Copy Failed(0)") : QString("USB Disk removed,\ncopy stopped"));
        QVERIFY(how == "gate" || (!NoButtonDialog::instNoButtonDialog && !ProgressDialog::instProgressDialog));
        QVERIFY(!BuildPrint::instBuildPrint);
        QCOMPARE(allNames(to), viaList ? QStringList({"f1.gx", "f2.gx"}) : QStringList({"f2.gx"}));
        QCOMPARE(readAll(to + "/f2.gx"), how == "gate" ? CopyFaults::pattern(600000, 2) : QByteArray("old two"));
        if (how == "gate") {   // the progress screen stays until its Cancel
            QCOMPARE(int(list->selectedFiles().size()), 3);
            QVERIFY(ProgressDialog::instProgressDialog && ProgressDialog::instProgressDialog->isVisible());
            click(ProgressDialog::instProgressDialog, "cancel");
            QVERIFY(waitFor([] { return !ProgressDialog::instProgressDialog; }));
        } else if (viaList) {   // the list (also the stick's) stays under the message
            QTest::qWait(250);
            QVERIFY(ShowTFCard::instShowTFCard == list && !list->selectMode());
            QVERIFY(!pulled || button(list, "copyBtn")->isHidden());
        } else if (how == "cancel" || (pulled && page)) {   // the page's copy button is alive
            if (pulled)
                OneButtonDialog::instOneButtonDialog->close();
            settle();
            m_faults->slowSourceMs = 0;
            click(page, "copyFile");
            QVERIFY(waitFor([] { return !message().isEmpty(); }));
            QCOMPARE(message(), QString(pulled ? "Please insert USB Disk !" : "Copy completed"));
            QVERIFY(pulled || readAll(data("/f2.gx")) == readAll(media("/f2.gx")));
        } else {
            QVERIFY(!page);
        }
    }

    // The file page's copy both ways (onto internal storage stamped to list
    // first, onto the stick not); the file page's copy, the one before printing
    // and the list's copy failing, or refused by a small target before anything
    // is written (or, once, differing: the print starts from the good second copy).
    void copyFaults_data()
    {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<bool>("fromStick");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("shown");
        const QString full = "Storage space is not enough", done = "Copy completed";
        QTest::newRow("copy from the stick") << "copyFile" << true << "" << done;
        QTest::newRow("copy onto the stick") << "copyFile" << false << "" << done;
        QTest::newRow("print, disk full") << "buildPrint" << true << "ENOSPC" << full;
        QTest::newRow("print, copy never matches") << "buildPrint" << true << "corrupt" << "Please retry";
        QTest::newRow("print, copy differs once") << "buildPrint" << true << "corrupt once" << "";
        QTest::newRow("print, thread not created") << "buildPrint" << true << "no thread" << "Please retry";
        QTest::newRow("print, small disk") << "buildPrint" << true << "small disk" << full;
        QTest::newRow("copy, disk full") << "copyFile" << true << "ENOSPC" << full;
        QTest::newRow("copy, copy differs") << "copyFile" << true << "corrupt" << "Please retry";
        QTest::newRow("copy, thread not created") << "copyFile" << true << "no thread" << "Please retry";
        QTest::newRow("copy onto a small stick") << "copyFile" << false << "small disk" << full;
        QTest::newRow("list, disk full") << "copyBtn" << true << "ENOSPC" << full;
        QTest::newRow("list, write error") << "copyBtn" << true << "write EIO" << "Copy Failed(1)";
        QTest::newRow("list, copy differs") << "copyBtn" << true << "corrupt" << "Copy Failed(2)";
        QTest::newRow("list, read error") << "copyBtn" << true << "read EIO" << "Copy Failed(3)";
        QTest::newRow("list, thread not created") << "copyBtn" << true << "no thread" << "Copy Failed(3)";
        QTest::newRow("list onto a small stick") << "copyBtn" << false << "small disk" << full;
    }
    void copyFaults()
    {
        QFETCH(QString, pressed);
        QFETCH(bool, fromStick);
        QFETCH(QString, fault);
        QFETCH(QString, shown);
        const QString from = fromStick ? media() : data(), to = fromStick ? data() : media();
        const bool small = fault == "small disk";
        if (small && ::mount("tmpfs", QFile::encodeName(to).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount a small file system here");
        struct Unmount {
            QByteArray path;
            ~Unmount() { if (!path.isEmpty()) ::umount2(path.constData(), MNT_DETACH); }
        } unmount{small ? QFile::encodeName(to) : QByteArray()};
        const QByteArray job = shown.isEmpty() ? printJob(2) : CopyFaults::pattern(600000);
        writeFile(from + "/model.gx", job);
        writeFile(to + "/model.gx", "old model");
        m_faults->fault = fault;
        if (fault == "no thread") {   // the copy thread never starts
            auto io = hookedIo();
            io->startThread = [](void* (*)(void*), void*) { return EAGAIN; };
            FileCopyJob::setIoForTesting(io);
        }
        Config* config = getConfigFile().configFile();
        const std::string stamp = config->getModifyTime();
        m_faults->slowSourceMs = shown.isEmpty() ? 150 : 0;   // long enough to see the waiting notice
        ShowTFCard* list = startCopy(pressed, fromStick, {"model.gx"});
        if (shown.isEmpty()) {   // the job starts from the verified copy, not before
            QVERIFY(NoButtonDialog::instNoButtonDialog && NoButtonDialog::instNoButtonDialog->isVisible());
            QVERIFY(!BuildPrint::instBuildPrint);
            QCOMPARE(readAll(data("/model.gx")), QByteArray("old model"));
            QVERIFY(waitFor([] { return BuildPrint::instBuildPrint != nullptr; }));
            QVERIFY(!NoButtonDialog::instNoButtonDialog);
            QCOMPARE(m_faults->tempSyncs.load(), 2);
            QCOMPARE(readAll(data("/model.gx")), job);
            QCOMPARE(message(), QString());
            QVERIFY2(waitFor([] { return shows("Build Completed"); }, 60000), "the print never completed");
            QVERIFY(layersSent() >= 2);
            return;
        }
        QVERIFY(shown != "Copy completed" || ProgressDialog::instProgressDialog);
        QVERIFY(waitFor([&] { return message() == shown; }));
        if (shown == "Copy completed") {
            QCOMPARE(readAll(to + "/model.gx"), job);
            QCOMPARE(config->getModifyTime() > stamp, fromStick);   // stamped to list first
            return;
        }
        QCOMPARE(list->selectMode(), small && pressed == "copyBtn");   // refused before it began: still selected
        if (fault == "corrupt" && pressed != "copyBtn")
            QCOMPARE(m_faults->tempSyncs.load(), pressed == "buildPrint" ? 3 : 1);   // printing tries three times
        QVERIFY(!BuildPrint::instBuildPrint);
        QVERIFY(!NoButtonDialog::instNoButtonDialog && !ProgressDialog::instProgressDialog);
        QCOMPARE(readAll(to + "/model.gx"), QByteArray("old model"));
        QVERIFY(!small || allNames(to) == QStringList{"model.gx"});
    }

    // Nothing abandons the copy before printing: Back is not taken and the
    // page does not close while it runs; the print starts from the verified
    // copy. A page deleted outright (as when the program ends) leaves the copy
    // to finish.
    void printCopyRunsToItsEnd_data()
    {
        QTest::addColumn<QString>("how");
        for (const char* how : {"back", "close", "deleted"})
            QTest::newRow(how) << QString(how);
    }
    void printCopyRunsToItsEnd()
    {
        QFETCH(QString, how);
        const QByteArray job = printJob(2);
        writeFile(media("/model.gx"), job);
        writeFile(data("/model.gx"), "old model");
        m_faults->slowSourceMs = 300;
        startCopy("buildPrint", true, {"model.gx"});
        QPointer<BuildFileManage> page = BuildFileManage::instBuildFileManage;
        QVERIFY(waitFor([&] { return m_faults->sourceReads >= 1; }));
        QVERIFY(NoButtonDialog::instNoButtonDialog && NoButtonDialog::instNoButtonDialog->isVisible());
        if (how == "back")
            click(page, "back");
        else if (how == "close")
            page->close();
        else
            delete page.data();
        settle();
        if (how == "deleted") {
            QVERIFY(waitForCopyThreads());
            QCOMPARE(readAll(data("/model.gx")), job);
            QVERIFY(!BuildPrint::instBuildPrint && !NoButtonDialog::instNoButtonDialog);
            return;
        }
        QVERIFY(page && BuildFileManage::instBuildFileManage == page);
        QVERIFY(waitFor([] { return BuildPrint::instBuildPrint != nullptr; }));
        QVERIFY(!NoButtonDialog::instNoButtonDialog);
        QCOMPARE(readAll(data("/model.gx")), job);
        QCOMPARE(message(), QString());
        // Beneath the printing page the file page takes Back again.
        QVERIFY(page);
        click(page, "back");
        QVERIFY(waitFor([&] { return !page; }));
    }

    // Printing a file of the stick again on a nearly full internal storage
    // (faked: it cannot be made small here) replaces the copy made for the
    // earlier print. With room beside it, that copy stays until the new one is
    // verified; with room only in its place, it goes first; with room neither
    // way, nothing is touched. A write past the capacity would fail as on a
    // full disk.
    void printReplacesItsOldCopy_data()
    {
        QTest::addColumn<int>("capacityKiB");
        QTest::addColumn<int>("oldSize");     // the copy made for the earlier print
        QTest::addColumn<int>("otherSize");   // another file of internal storage
        QTest::addColumn<QString>("outcome");
        QTest::newRow("room beside the old copy") << 1500 << 700000 << 0 << "kept while copying";
        QTest::newRow("room only in its place") << 1200 << 700000 << 0 << "removed first";   // 528,384 bytes free
        QTest::newRow("no room even in its place") << 1200 << 100000 << 600000 << "refused";
    }
    void printReplacesItsOldCopy()
    {
        QFETCH(int, capacityKiB);
        QFETCH(int, oldSize);
        QFETCH(int, otherSize);
        QFETCH(QString, outcome);
        auto disk = std::make_shared<SmallDisk>(SmallDisk{data(), int64_t(capacityKiB) * 1024});
        FilePages::setFreeSpaceForTesting([disk](const char* path) {
            return disk->holds(QFile::decodeName(path)) ? disk->freeSpace() : ServerListener::check_free_space(path);
        });
        m_faults->disk = disk;
        m_faults->watched = data("/model.gx");
        // A job of 700,000 bytes: comments before its closing lines.
        QByteArray job = printJob(2), padding;
        for (qsizetype left = 700000 - job.size(); left > 0;) {
            const qsizetype n = std::min<qsizetype>(left, 80);
            padding += n == 1 ? QByteArray("\n") : ";" + QByteArray(n - 2, 'x') + "\n";
            left -= n;
        }
        job.insert(job.lastIndexOf("M104 S0 T0"), padding);
        QCOMPARE(job.size(), 700000);
        writeFile(media("/model.gx"), job);
        const QByteArray old = CopyFaults::pattern(oldSize, 7);
        writeFile(data("/model.gx"), old);
        if (otherSize)
            writeFile(data("/other.gx"), CopyFaults::pattern(otherSize, 8));
        startCopy("buildPrint", true, {"model.gx"});
        if (outcome == "refused") {
            QCOMPARE(message(), QString("Storage space is not enough"));
            QVERIFY(!NoButtonDialog::instNoButtonDialog && !BuildPrint::instBuildPrint);
            QCOMPARE(readAll(data("/model.gx")), old);
            QCOMPARE(m_faults->watchedAtFirstWrite.load(), -1);   // nothing written
            return;
        }
        QVERIFY(waitFor([] { return BuildPrint::instBuildPrint != nullptr || !message().isEmpty(); }));
        QCOMPARE(message(), QString());
        QVERIFY(BuildPrint::instBuildPrint);
        QCOMPARE(readAll(data("/model.gx")), job);
        QCOMPARE(m_faults->watchedAtFirstWrite.load(), outcome == "kept while copying" ? 1 : 0);
        QVERIFY(disk->used() <= disk->capacity);
    }

    // A copy of the selection whose target cannot be made ends with Copy
    // Failed(3), the old file untouched and nothing left behind.
    void listTargetNotCreated_data()
    {
        QTest::addColumn<bool>("fromStick");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("read-only stick") << false << "EROFS";
        QTest::newRow("no permission") << true << "EACCES";
        QTest::newRow("a folder in the file's place") << true << "folder";
        QTest::newRow("the folder's path runs through a file") << true << "through a file";
    }
    void listTargetNotCreated()
    {
        QFETCH(bool, fromStick);
        QFETCH(QString, refusal);
        const QString from = fromStick ? media() : data(), to = fromStick ? data() : media();
        writeFile(from + "/model.gx", CopyFaults::pattern(300000));
        // The storage's folder becomes a file (root ignores permissions, not this).
        const auto restore = qScopeGuard([&] {
            if (QFileInfo(to).isFile())
                QVERIFY(QFile::remove(to) && QDir().mkpath(to));
        });
        if (refusal == "folder") {
            QVERIFY(QDir().mkpath(to + "/model.gx"));
        } else if (refusal == "through a file") {
            QVERIFY(QDir(to).removeRecursively());
            writeFile(to, "a file");
        } else {
            writeFile(to + "/model.gx", "old model");
            installFaults(fromStick ? "/media/" : "/data/");
            m_faults->refuseCreate = refusal == "EROFS" ? EROFS : EACCES;
        }
        ShowTFCard* list = startCopy("copyBtn", fromStick, {"model.gx"});
        QVERIFY(waitFor([] { return !message().isEmpty(); }));
        QCOMPARE(message(), QString("Copy Failed(3)"));
        QVERIFY(!list->selectMode());
        if (refusal == "folder")
            QVERIFY(QFileInfo(to + "/model.gx").isDir());
        else if (refusal == "through a file")
            QCOMPARE(readAll(to), QByteArray("a file"));
        else
            QCOMPARE(readAll(to + "/model.gx"), QByteArray("old model"));
        QCOMPARE(readAll(from + "/model.gx"), CopyFaults::pattern(300000));
    }

    void listCopiesTheSelection()
    {
        // Files of two folders all arrive in the root folder.
        writeFile(media("/model.gx"), CopyFaults::pattern(300000, 1));
        writeFile(media("/part.gx"), CopyFaults::pattern(600000, 2));
        writeFile(media("/sub/other.gx"), CopyFaults::pattern(300000, 3));
        writeFile(data("/model.gx"), "old model");
        ShowTFCard* list = openList(FromUsbDisk);
        longPress(list, slotOf(list, "model.gx"));
        shortPress(list, slotOf(list, "part.gx"));
        shortPress(list, slotOf(list, "sub"));   // a folder opens in select mode
        shortPress(list, 0);
        click(list, "copyBtn");
        QVERIFY(waitFor([] { return message() == "Copy Complete"; }, 20000));
        QCOMPARE(readAll(data("/model.gx")), CopyFaults::pattern(300000, 1));
        QCOMPARE(readAll(data("/part.gx")), CopyFaults::pattern(600000, 2));
        QCOMPARE(readAll(data("/other.gx")), CopyFaults::pattern(300000, 3));
        QVERIFY(!list->selectMode() && list->selectedFiles().empty());
    }

    void listNeedsAStick()
    {
        writeFile(data("/a.gx"), "a");
        setUsb(false);
        ShowTFCard* list = openList(FromMemory);
        longPress(list, 0);
        QVERIFY(button(list, "copyBtn")->isHidden());
        QMetaObject::invokeMethod(list, "on_copyBtn_clicked");   // the stick left as the button was pressed
        QCOMPARE(message(), QString("Please insert USB Disk !"));
        QVERIFY(list->selectMode());   // nothing started: the selection stays
        QVERIFY(!ProgressDialog::instProgressDialog);
    }
};

QTEST_MAIN(TestCopyPages)
#include "test_copypages.moc"
