// The storage choice page, the file list and the file page, driven the way a
// user drives them: presses, a stick coming and going, the delete question.
#include "Dialog/twobuttondialog.h"
#include "UI/build.h"
#include "tests/support/FilePageDriver.h"
#include "tests/support/GxWriter.h"
#include "wifiDevice/ServerListener.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTimer>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

using namespace FilePageDriver;

namespace {

QCheckBox* slotBox(QWidget* page, int slot)
{
    static const char* const names[] = {"checkBox", "checkBox_2", "checkBox_3", "checkBox_4"};
    return page->findChild<QCheckBox*>(names[slot]);
}

// A name as a file button shows it: cut at the right to the button's width.
QString elided(QToolButton* b, const QString& name)
{
    return b->fontMetrics().elidedText(name, Qt::ElideRight, b->width());
}

// The names on the file buttons shown, left to right.
QStringList shownNames(QWidget* page)
{
    QStringList names;
    for (int i = 0; i < 4; ++i)
        if (!slotButton(page, i)->isHidden())
            names << slotButton(page, i)->text();
    return names;
}

QString indicator(QWidget* page) { return page->findChild<QLabel*>("label")->text(); }
QString labelText(QWidget* page, const char* name) { return page->findChild<QLabel*>(name)->text(); }

// Answers the next delete question once it is up, after running whileOpen
// (which may end the question itself by pulling the stick).
void answerQuestion(bool ok, std::function<void()> whileOpen = {})
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

QByteArray plainGcode()
{
    GxWriter::GcodeOptions g;
    g.layers = 2;
    return GxWriter::generateGcode(g);
}

// 1 h 30 min, 2.50 m, 0.20 mm, 60 mm/s, an 80 x 40 and a 120 x 120 picture.
QByteArray gxFile(const QString& label)
{
    GxWriter::GxContent content;
    content.timeUsed = 5400;
    content.materialUsed = 2500;
    content.layerHeight = 200;
    content.speed = 60;
    content.firstImage = GxWriter::drawPicture(label, 80, 40);
    content.secondImage = GxWriter::drawPicture(label, 120, 120);
    content.gcode = plainGcode();
    return GxWriter::buildGx(content);
}

void setTime(const QByteArray& path, time_t mtime)
{
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}
void setTime(const QString& path, time_t mtime) { setTime(QFile::encodeName(path), mtime); }

// Writes bytes under a native (byte) path with the given modification time.
void writeNative(const QByteArray& path, const QByteArray& content, time_t mtime)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
    ::close(fd);
    setTime(path, mtime);
}
void writeNative(const QString& path, const QByteArray& content, time_t mtime)
{
    writeNative(QFile::encodeName(path), content, mtime);
}

bool exists(const QByteArray& native)
{
    struct stat st;
    return ::lstat(native.constData(), &st) == 0;
}

void symlinkAt(const QString& target, const QString& link)
{
    QCOMPARE(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
}

constexpr time_t kBase = 1700000000;

} // namespace

class TestFilePages : public FilePageDriver::Fixture {
    Q_OBJECT

    // Files "f<i>.gx" in folder, file i the i-th newest.
    void makeFiles(const QString& folder, int count, const char* stem = "f")
    {
        QDir().mkpath(folder);
        for (int i = 0; i < count; ++i)
            writeNative(folder + "/" + stem + QString::number(i) + ".gx", gxFile(QString::number(i)), kBase - i * 10);
    }

private slots:
    void initTestCase() { startMainWindow(); }
    void cleanupTestCase() { stopMainWindow(); }

    void init() { clearStorages(false); }

    void cleanup()
    {
        closeAllPages();
        QVERIFY(!ShowTFCard::instShowTFCard);
        QVERIFY(!BuildFileManage::instBuildFileManage);
    }

    void storagePage()
    {
        pressBuild();
        Build* page = Build::instBuild;
        QVERIFY(page);
        QToolButton* upan = button(page, "upan");
        QVERIFY(!upan->isEnabled());
        setUsb(true);
        QVERIFY(upan->isEnabled());

        // A list of the stick closes with it; the storage page stays.
        guardedClick(upan);
        QVERIFY(ShowTFCard::instShowTFCard);
        setUsb(false);
        QVERIFY(!upan->isEnabled());
        QVERIFY(waitFor([] { return !ShowTFCard::instShowTFCard; }));
        QCOMPARE(Build::instBuild, page);

        // A press that reaches the handler after the stick left opens nothing.
        QVERIFY(waitFor([] { return !OneTimesClicked().isHasClicked(); }, 1000));
        QMetaObject::invokeMethod(page, "on_upan_clicked");
        QVERIFY(!ShowTFCard::instShowTFCard);

        // Internal storage opens one list, however often it is pressed.
        guardedClick(button(page, "memory"));
        ShowTFCard* list = ShowTFCard::instShowTFCard;
        QVERIFY(list);
        QCOMPARE(list->currentPath(), rootPath(std::string("/data")));
        guardedClick(button(page, "memory"));
        QCOMPARE(ShowTFCard::instShowTFCard, list);
        int lists = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            lists += qobject_cast<ShowTFCard*>(w) && w->isVisible();
        QCOMPARE(lists, 1);
        list->close();

        // A second Build press while the page exists makes no second one.
        pressBuild();
        QCOMPARE(Build::instBuild, page);
        guardedClick(button(page, "back"));
        QVERIFY(waitFor([] { return !Build::instBuild; }));
    }

    void list_paging_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QStringList>("presses");      // "down" or "up", in order
        QTest::addColumn<QStringList>("indicators");   // at the start and after each press
        QTest::addColumn<QList<int>>("shown");         // buttons shown at the same moments
        QTest::newRow("0") << 0 << QStringList{"down", "up"} << QStringList{"1/1", "1/1", "1/1"}
                           << QList<int>{0, 0, 0};
        QTest::newRow("1") << 1 << QStringList{"down", "up"} << QStringList{"1/1", "1/1", "1/1"}
                           << QList<int>{1, 1, 1};
        QTest::newRow("4") << 4 << QStringList{"down", "up"} << QStringList{"1/1", "1/1", "1/1"}
                           << QList<int>{4, 4, 4};
        QTest::newRow("5") << 5 << QStringList{"down", "down", "up", "up"}
                           << QStringList{"1/2", "2/2", "2/2", "1/2", "1/2"} << QList<int>{4, 1, 1, 4, 4};
        QTest::newRow("9") << 9 << QStringList{"down", "down", "down", "up", "up", "up"}
                           << QStringList{"1/3", "2/3", "3/3", "3/3", "2/3", "1/3", "1/3"}
                           << QList<int>{4, 4, 1, 1, 4, 4, 4};
    }

    void list_paging()
    {
        QFETCH(int, entries);
        QFETCH(QStringList, presses);
        QFETCH(QStringList, indicators);
        QFETCH(QList<int>, shown);
        makeFiles(data(), entries);
        ShowTFCard* list = openList(FromMemory);
        QCOMPARE(list->fileCount(), entries);

        for (int step = 0; step <= presses.size(); ++step) {
            if (step > 0) {
                QToolButton* b = button(list, presses[step - 1] == "down" ? "down" : "up");
                QTest::mousePress(b, Qt::LeftButton);
                QTest::mouseRelease(b, Qt::LeftButton);
            }
            QCOMPARE(indicator(list), indicators[step]);
            const QStringList names = shownNames(list);
            QCOMPARE(names.size(), shown[step]);
            const int first = list->currentPage() * 4;
            for (int i = 0; i < names.size(); ++i) {
                QCOMPARE(names[i], QString("f%1.gx").arg(first + i));
                // The file's own picture, not the generic icon.
                const QImage expected = BuildFileManage::getPixmap(data("/" + names[i]), 100, 130).toImage();
                QVERIFY(!expected.isNull());
                QCOMPARE(slotButton(list, i)->icon().pixmap(expected.size()).toImage()
                             .convertToFormat(expected.format()), expected);
            }
        }
    }

    void list_foldersFirstNewestFirst()
    {
        for (const char* f : {"/lost+found", "/System Volume Information", "/old folder", "/mid folder", "/new folder"})
            QDir().mkpath(data(f));
        setTime(data("/old folder"), kBase - 300);
        setTime(data("/mid folder"), kBase - 200);
        setTime(data("/new folder"), kBase - 100);
        writeNative(data("/MODEL.GX"), plainGcode(), kBase - 50);
        writeNative(data("/part.G"), plainGcode(), kBase - 40);
        writeNative(data("/x.gcode"), plainGcode(), kBase - 60);
        writeNative(data("/notes.txt"), "text", kBase);
        // Equal times: the names decide, whatever order the folder holds them in.
        for (const char* f : {"/tie-b.gx", "/tie-a.gx", "/tie-c.gx"})
            writeNative(data(f), plainGcode(), kBase - 70);

        static QStringList logged;
        logged.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) { logged << m; });
        ShowTFCard* list = openList(FromMemory);
        qInstallMessageHandler(previous);
        // One log line for the folder, none per entry.
        QCOMPARE(logged.filter("entries").size(), 1);
        QCOMPARE(logged.filter("tie-a.gx").size(), 0);
        QStringList order;
        for (const qxsdk::FileInfo& e : list->fileList())
            order << QString::fromStdString(qxsdk::FileManager::fileName(e.path));
        QCOMPARE(order, (QStringList{"new folder", "mid folder", "old folder", "part.G", "MODEL.GX", "x.gcode",
                                     "tie-a.gx", "tie-b.gx", "tie-c.gx"}));
        QCOMPARE(shownNames(list), (QStringList{"new folder", "mid folder", "old folder", "part.G"}));
        QCOMPARE(indicator(list), QString("1/3"));
    }

    void list_onlyRegularFilesInsideTheStorage()
    {
        // Beside the storage: a file a link may not reach.
        QDir().mkpath(rootPath(QString("/outside")));
        writeNative(rootPath(QString("/outside/secret.gx")), plainGcode(), kBase);
        QDir().mkpath(rootPath(QString("/outside/dir.gx")));

        writeNative(data("/real.gx"), gxFile("real"), kBase - 10);
        QCOMPARE(::mkfifo(QFile::encodeName(data("/pipe.gx")).constData(), 0644), 0);
        symlinkAt("nowhere.gx", data("/dangling.gx"));
        symlinkAt(rootPath(QString("/outside/secret.gx")), data("/escape.gx"));
        symlinkAt("../outside", data("/escape-folder"));
        symlinkAt("real.gx", data("/alias.gx"));
        // A socket named like a print file.
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray sockPath = QFile::encodeName(data("/sock.gx"));
        if (size_t(sockPath.size()) < sizeof addr.sun_path) {
            qstrncpy(addr.sun_path, sockPath.constData(), sizeof addr.sun_path);
            QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        }
        ::close(sock);

        ShowTFCard* list = openList(FromMemory);
        QStringList names = shownNames(list);
        names.sort();
        QCOMPARE(names, (QStringList{"alias.gx", "real.gx"}));

        // Opening the FIFO would hang: it is never offered, even after a refresh.
        list->slot_showmemorylist();
        names = shownNames(list);
        names.sort();
        QCOMPARE(names, (QStringList{"alias.gx", "real.gx"}));
    }

    void list_descendAndReturn()
    {
        QDir().mkpath(data("/a/b"));
        makeFiles(data("/a/b"), 2, "deep");
        makeFiles(data("/a"), 1, "mid");
        setTime(data("/a/b"), kBase + 100);
        ShowTFCard* list = openList(FromMemory);
        QCOMPARE(shownNames(list), QStringList{"a"});

        shortPress(list, 0);
        QCOMPARE(list->currentPath(), rootPath(std::string("/data/a")));
        QCOMPARE(shownNames(list), (QStringList{"b", "mid0.gx"}));
        shortPress(list, 0);
        QCOMPARE(shownNames(list), (QStringList{"deep0.gx", "deep1.gx"}));
        QCOMPARE(indicator(list), QString("1/1"));

        guardedClick(button(list, "back"));
        QCOMPARE(list->currentPath(), rootPath(std::string("/data/a")));
        guardedClick(button(list, "back"));
        QCOMPARE(list->currentPath(), rootPath(std::string("/data")));
        QCOMPARE(shownNames(list), QStringList{"a"});
        // Back at the root closes the page; it never climbs above it.
        guardedClick(button(list, "back"));
        QVERIFY(waitFor([] { return !ShowTFCard::instShowTFCard; }));
    }

    void list_longPressSelectsAndDeletes()
    {
        makeFiles(data(), 6);
        QDir().mkpath(data("/keep"));
        setTime(data("/keep"), kBase - 1000);
        ShowTFCard* list = openList(FromMemory);
        QCOMPARE(shownNames(list), (QStringList{"keep", "f0.gx", "f1.gx", "f2.gx"}));
        QVERIFY(button(list, "delectBtn")->isHidden());

        // A long press on a file enters select mode and ticks it.
        longPress(list, 1);
        QVERIFY(list->selectMode());
        QVERIFY(!button(list, "delectBtn")->isHidden());
        QVERIFY(button(list, "copyBtn")->isHidden());   // no stick
        QVERIFY(slotBox(list, 0)->isHidden());          // folders get no tick box
        QVERIFY(slotBox(list, 1)->isChecked());
        QVERIFY(!slotBox(list, 2)->isHidden() && !slotBox(list, 2)->isChecked());

        // A long press in select mode does nothing; short presses toggle.
        longPress(list, 2);
        QVERIFY(!slotBox(list, 2)->isChecked());
        shortPress(list, 2);
        shortPress(list, 3);
        shortPress(list, 3);
        QVERIFY(slotBox(list, 2)->isChecked());
        QVERIFY(!slotBox(list, 3)->isChecked());

        // The selection lives across pages; ticks are redrawn from it.
        QTest::mousePress(button(list, "down"), Qt::LeftButton);
        QCOMPARE(shownNames(list), (QStringList{"f3.gx", "f4.gx", "f5.gx"}));
        shortPress(list, 2);
        QTest::mousePress(button(list, "up"), Qt::LeftButton);
        QVERIFY(slotBox(list, 1)->isChecked() && slotBox(list, 2)->isChecked());
        QCOMPARE(list->selectedFiles().size(), size_t(3));

        // A stick arriving shows the copy button; leaving hides it again.
        setUsb(true);
        QVERIFY(!button(list, "copyBtn")->isHidden());
        setUsb(false);
        QVERIFY(button(list, "copyBtn")->isHidden());

        answerQuestion(true);
        QTest::mouseClick(button(list, "delectBtn"), Qt::LeftButton);
        QVERIFY(!list->selectMode());
        QVERIFY(button(list, "delectBtn")->isHidden());
        QVERIFY(!QFile::exists(data("/f0.gx")));
        QVERIFY(!QFile::exists(data("/f1.gx")));
        QVERIFY(!QFile::exists(data("/f5.gx")));
        QCOMPARE(shownNames(list), (QStringList{"keep", "f2.gx", "f3.gx", "f4.gx"}));
        for (int i = 0; i < 4; ++i)
            QVERIFY(slotBox(list, i)->isHidden());
    }

    // A cancelled delete still leaves select mode; ticks survive folders and Back.
    void list_selectionAcrossFolders()
    {
        QDir().mkpath(data("/sub"));
        makeFiles(data("/sub"), 2);
        ShowTFCard* list = openList(FromMemory);
        shortPress(list, 0);
        longPress(list, 0);
        QVERIFY(list->selectMode());
        answerQuestion(false);
        QTest::mouseClick(button(list, "delectBtn"), Qt::LeftButton);
        QVERIFY(!list->selectMode());
        QVERIFY(QFile::exists(data("/sub/f0.gx")));
        QCOMPARE(list->currentPath(), rootPath(std::string("/data")));   // back at the root

        // A long press on a folder enters select mode and opens it.
        longPress(list, 0);
        QVERIFY(list->selectMode());
        QCOMPARE(list->currentPath(), rootPath(std::string("/data/sub")));
        shortPress(list, 1);
        QCOMPARE(list->selectedFiles().size(), size_t(1));

        guardedClick(button(list, "back"));   // up to the root, ticks kept
        QVERIFY(list->selectMode());
        QCOMPARE(list->currentPath(), rootPath(std::string("/data")));
        shortPress(list, 0);
        QVERIFY(slotBox(list, 1)->isChecked());
        guardedClick(button(list, "back"));
        guardedClick(button(list, "back"));   // at the root: selection dropped
        QVERIFY(!list->selectMode());
        QVERIFY(list->selectedFiles().empty());
        QVERIFY(ShowTFCard::instShowTFCard);
        guardedClick(button(list, "back"));   // browsing at the root: closes
        QVERIFY(waitFor([] { return !ShowTFCard::instShowTFCard; }));
    }

    void list_releaseAfterRefreshChecksItsEntry()
    {
        makeFiles(data(), 3);
        ShowTFCard* list = openList(FromMemory);
        QToolButton* b = slotButton(list, 2);
        QTest::mousePress(b, Qt::LeftButton);
        // The pressed file goes and the list is read again (a LAN upload ended).
        QVERIFY(QFile::remove(data("/f2.gx")));
        QVERIFY(m_main->m_serverListener);
        emit m_main->m_serverListener->sig_showMemoryList();
        settle();
        QCOMPARE(list->fileCount(), 2);
        QTest::mouseRelease(b, Qt::LeftButton);
        QVERIFY(!BuildFileManage::instBuildFileManage);

        // Another file now in the pressed slot is not opened either.
        QTest::mousePress(slotButton(list, 0), Qt::LeftButton);
        QVERIFY(QFile::remove(data("/f0.gx")));
        list->slot_showmemorylist();
        QTest::mouseRelease(slotButton(list, 0), Qt::LeftButton);
        QVERIFY(!BuildFileManage::instBuildFileManage);

        // An ordinary short press opens the file page, once.
        shortPress(list, 0);
        QVERIFY(BuildFileManage::instBuildFileManage);
        BuildFileManage* page = BuildFileManage::instBuildFileManage;
        shortPress(list, 0);
        QCOMPARE(BuildFileManage::instBuildFileManage, page);
    }

    void usbList_closesWhenStickPulled()
    {
        setUsb(true);
        makeFiles(media(), 2);
        ShowTFCard* list = openList(FromUsbDisk);
        QCOMPARE(shownNames(list).size(), 2);
        setUsb(false);
        QVERIFY(ShowTFCard::instShowTFCard);   // closes 200 ms later
        QVERIFY(waitFor([] { return !ShowTFCard::instShowTFCard; }));
    }

    void usbList_stickPulledDuringDeleteQuestion()
    {
        setUsb(true);
        makeFiles(media(), 3);
        ShowTFCard* list = openList(FromUsbDisk);
        longPress(list, 0);
        shortPress(list, 1);
        answerQuestion(true, [this] {
            setUsb(false);
            QVERIFY(waitFor([] { return !ShowTFCard::instShowTFCard; }));
        });
        QTest::mouseClick(button(list, "delectBtn"), Qt::LeftButton);
        settle();
        QVERIFY(!ShowTFCard::instShowTFCard);
        QVERIFY(!TwoButtonDialog::instTwoButtonDialog);
        // Nothing was deleted: the question was never answered.
        QVERIFY(QFile::exists(media("/f0.gx")));
        QVERIFY(QFile::exists(media("/f1.gx")));
    }

    void filePage_closesWithItsStick()
    {
        setUsb(true);
        makeFiles(media(), 1);
        makeFiles(data(), 1);
        BuildFileManage* internal = openFilePage(data("/f0.gx"));
        QVERIFY(!internal->isUsbFile());
        setUsb(false);
        settle();
        QCOMPARE(BuildFileManage::instBuildFileManage, internal);   // an internal file stays
        internal->close();
        settle();

        setUsb(true);
        QVERIFY(openFilePage(media("/f0.gx"))->isUsbFile());
        setUsb(false);
        QVERIFY(waitFor([] { return !BuildFileManage::instBuildFileManage; }));
    }

    void filePage_stickPulledDuringDeleteQuestion()
    {
        setUsb(true);
        makeFiles(media(), 1);
        ShowTFCard* list = openList(FromUsbDisk);
        shortPress(list, 0);
        BuildFileManage* page = BuildFileManage::instBuildFileManage;
        QVERIFY(page);
        answerQuestion(true, [this] { setUsb(false); });
        guardedClick(button(page, "deleteFile"));
        QVERIFY(waitFor([] { return !BuildFileManage::instBuildFileManage && !ShowTFCard::instShowTFCard; }));
        QVERIFY(!TwoButtonDialog::instTwoButtonDialog);
        QVERIFY(QFile::exists(media("/f0.gx")));
    }

    void filePage_figuresAndThumbnail()
    {
        writeNative(data("/cube.gx"), gxFile("cube"), kBase);
        BuildFileManage* page = openFilePage(data("/cube.gx"));
        QVERIFY(page->isGxFile());
        QCOMPARE(labelText(page, "labelTatleTime"), QString("1 h 30 min"));
        QCOMPARE(labelText(page, "labelUsedMaterial"), QString("2.50 M"));
        QCOMPARE(labelText(page, "labelLayerHiht"), QString("0.20 mm"));
        QCOMPARE(labelText(page, "labelSpeed"), QString("60.00mm/s"));
        QCOMPARE(labelText(page, "printFileName"), QString("cube.gx"));
        QCOMPARE(page->findChild<QLabel*>("printFileName")->pos(), QPoint(0, 150));
        // The second picture (120 x 120, the first is 80 x 80) scaled into 124 x 124.
        QCOMPARE(page->findChild<QLabel*>("thumbnails")->pixmap().size(), QSize(124, 124));
        QCOMPARE(BuildFileManage::getPixmap(data("/cube.gx"), 60, 30).size(), QSize(30, 30));
        page->close();

        // Upper-case ".GX" is plain G-code: no figures, the name moves up.
        writeNative(data("/part.GX"), plainGcode(), kBase);
        page = openFilePage(data("/part.GX"));
        QVERIFY(!page->isGxFile());
        QVERIFY(page->findChild<QLabel*>("labelTatleTime")->isHidden());
        QCOMPARE(page->findChild<QLabel*>("printFileName")->pos(), QPoint(210, 30));
        QVERIFY(BuildFileManage::getPixmap(data("/part.GX"), 124, 124).isNull());
        page->close();

        // A header cut short: every figure 0.
        writeNative(data("/short.gx"), QByteArray(59, 'x'), kBase);
        page = openFilePage(data("/short.gx"));
        QCOMPARE(labelText(page, "labelTatleTime"), QString("0 h 0 min"));
        QCOMPARE(labelText(page, "labelSpeed"), QString("0.00mm/s"));
        page->close();

        // Figures no print has (no real header): unknown.
        for (const int32_t figure : {-1, 2147483647}) {
            GxWriter::GxContent bogus;
            bogus.timeUsed = bogus.materialUsed = figure;
            writeNative(data("/bogus.gx"), GxWriter::buildGx(bogus), kBase);
            page = openFilePage(data("/bogus.gx"));
            QCOMPARE(labelText(page, "labelTatleTime"), QString("-- h -- min"));
            QCOMPARE(labelText(page, "labelUsedMaterial"), QString("-- M"));
            page->close();
            settle();
        }
    }

    void filePage_namesCutByCharacters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("13 whole") << "abcdefghij.gx" << "abcdefghij.gx";
        QTest::newRow("14 cut") << "abcdefghijk.gx" << "abcdefghijk.g...";
        QTest::newRow("umlauts 13") << QString::fromUtf8("äöüäöüäöüä.gx") << QString::fromUtf8("äöüäöüäöüä.gx");
        QTest::newRow("cjk cut") << QString::fromUtf8("立方体立方体立方体立方体立方.gx")
                                  << QString::fromUtf8("立方体立方体立方体立方体立...");
        // Characters outside the basic plane are never split in half.
        QTest::newRow("emoji cut") << QString::fromUtf8("😀😀😀😀😀😀😀😀😀😀😀😀😀😀.gx")
                                    << QString::fromUtf8("😀😀😀😀😀😀😀😀😀😀😀😀😀...");
        QTest::newRow("combining") << QString::fromUtf8("e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301.g")
                                    << QString::fromUtf8("e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301...");
    }

    void filePage_namesCutByCharacters()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        const QString path = data("/" + name);
        writeNative(path, plainGcode(), kBase);
        QCOMPARE(labelText(openFilePage(path), "printFileName"), shown);
    }

    void filePage_deleteRefreshesTheList()
    {
        makeFiles(data(), 2);
        symlinkAt("f0.gx", data("/link.gx"));
        setTime(data("/link.gx"), kBase + 10);   // (the link's own time; the list shows the target's)
        ShowTFCard* list = openList(FromMemory);
        QCOMPARE(shownNames(list).size(), 3);

        // Deleting through the link removes the link, never its target.
        int slot = shownNames(list).indexOf("link.gx");
        QVERIFY(slot >= 0);
        shortPress(list, slot);
        BuildFileManage* page = BuildFileManage::instBuildFileManage;
        QVERIFY(page);
        QSignalSpy updated(page, &BuildFileManage::sig_updateDisk);
        answerQuestion(true);
        guardedClick(button(page, "deleteFile"));
        QCOMPARE(updated.count(), 1);
        QVERIFY(waitFor([] { return !BuildFileManage::instBuildFileManage; }));
        QVERIFY(!exists(QFile::encodeName(data("/link.gx"))));
        QVERIFY(QFile::exists(data("/f0.gx")));
        QCOMPARE(shownNames(list), (QStringList{"f0.gx", "f1.gx"}));

        // Cancel keeps the file and the page.
        shortPress(list, 0);
        page = BuildFileManage::instBuildFileManage;
        answerQuestion(false);
        guardedClick(button(page, "deleteFile"));
        settle();
        QCOMPARE(BuildFileManage::instBuildFileManage, page);
        QVERIFY(QFile::exists(data("/f0.gx")));
    }

    // Odd names: blanks, quotes, shell characters, non-ASCII, 255 bytes, not UTF-8.
    static QList<QByteArray> oddNameList()
    {
        return {
            "my  cube  v2 .gx",
            "it's \"the\" part.gx",
            "a;touch pwned;$(touch pwned2)`touch pwned3`|&>x.gx",
            "back\\slash\\n.gcode",
            "W\xc3\xbcrfel \xc3\x98" "20 \xe2\x80\x93 \xe7\xab\x8b\xe6\x96\xb9\xe4\xbd\x93.gx",
            QByteArray(252, 'n') + ".gx",
            QByteArray("\xc3\x9c").repeated(124) + "abcd.gx",   // 255 bytes, 129 characters
            "bad\xff\xfe name.gx",                             // not UTF-8
            "-rf .gx",
        };
    }

    void oddNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("viaList");   // deleted as the list's selection, else by the file page
        for (const QByteArray& name : oddNameList())
            for (bool viaList : {false, true})
                QTest::addRow("%s%s", name.left(24).toPercentEncoding(" ").constData(), viaList ? " list" : "")
                    << name << viaList;
    }

    void oddNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, viaList);
        const QByteArray path = QFile::encodeName(data()) + "/" + name;
        writeNative(path, gxFile("odd"), kBase);
        // A neighbour that a lossy round trip of the name would hit.
        const QByteArray neighbour = QFile::encodeName(QFile::decodeName(path));
        const bool lossy = neighbour != path;
        if (lossy)
            writeNative(neighbour, plainGcode(), kBase - 100);

        ShowTFCard* list = openList(FromMemory);
        QCOMPARE(list->fileCount(), lossy ? 2 : 1);
        QCOMPARE(list->fileList()[0].path, path.toStdString());
        QCOMPARE(slotButton(list, 0)->text(), elided(slotButton(list, 0), QFile::decodeName(name)));

        if (viaList) {   // the selection holds the name's own bytes
            longPress(list, 0);
            QCOMPARE(list->selectedFiles(), std::vector<std::string>{path.toStdString()});
            answerQuestion(true);
            QTest::mouseClick(button(list, "delectBtn"), Qt::LeftButton);
            QVERIFY(!exists(path));
            QCOMPARE(exists(neighbour), lossy);
            for (const char* p : {"/pwned", "/pwned2", "/pwned3"})
                QVERIFY(!QFile::exists(data(p)) && !QFile::exists(QDir::currentPath() + p));
            return;
        }
        // The file page shows it, cut to 13 characters, and deletes exactly it.
        shortPress(list, 0);
        BuildFileManage* page = BuildFileManage::instBuildFileManage;
        QVERIFY(page);
        QCOMPARE(page->nativePath(), path);
        const QString shown = page->findChild<QLabel*>("printFileName")->text();
        const QString full = QFile::decodeName(name).trimmed();
        QVERIFY2(shown == full || (shown.endsWith("...") && full.startsWith(shown.chopped(3))), qPrintable(shown));
        if (lossy) {   // the printing page takes the name as text: it says why it cannot
            guardedClick(button(page, "buildPrint"));
            QCOMPARE(message(), QString("The file name cannot be printed,\nplease rename the file"));
            QVERIFY(!BuildPrint::instBuildPrint);
            OneButtonDialog::instOneButtonDialog->close();
            settle();
        }
        answerQuestion(true);
        guardedClick(button(page, "deleteFile"));
        QVERIFY(waitFor([] { return !BuildFileManage::instBuildFileManage; }));
        QVERIFY(!exists(path));
        if (lossy)
            QVERIFY(exists(neighbour));
        QCOMPARE(list->fileCount(), lossy ? 1 : 0);
    }

    void endToEnd_printFromInternalStorage()
    {
        GxWriter::GcodeOptions g;
        g.layers = 3;
        g.lines = 60;   // long enough to be still streaming when print is pressed again
        g.nozzle = 40;
        g.bed = 30;
        GxWriter::GxContent content;
        content.timeUsed = 120;
        content.materialUsed = 300;
        content.secondImage = GxWriter::drawPicture("cube", 120, 120);
        content.gcode = GxWriter::generateGcode(g);
        writeNative(data("/cube.gx"), GxWriter::buildGx(content), kBase);
        makeFiles(data(), 2, "other");

        pressBuild();
        QVERIFY(Build::instBuild);
        guardedClick(button(Build::instBuild, "memory"));
        ShowTFCard* list = ShowTFCard::instShowTFCard;
        QVERIFY(list);
        QCOMPARE(shownNames(list).first(), QString("cube.gx"));
        shortPress(list, 0);
        BuildFileManage* page = BuildFileManage::instBuildFileManage;
        QVERIFY(page);
        guardedClick(button(page, "buildPrint"));
        BuildPrint* printing = BuildPrint::instBuildPrint;
        QVERIFY(printing);
        QVERIFY(waitFor([&] { return layersSent() >= 1; }, 30000));

        // Print pressed for another file while the job runs: no second page,
        // and the running job goes on undisturbed to its end.
        guardedClick(button(page, "back"));
        QVERIFY(waitFor([] { return !BuildFileManage::instBuildFileManage; }));
        shortPress(list, 1);
        QVERIFY(BuildFileManage::instBuildFileManage);
        guardedClick(button(BuildFileManage::instBuildFileManage, "buildPrint"));
        settle();
        QCOMPARE(BuildPrint::instBuildPrint, printing);
        int printingPages = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            printingPages += qobject_cast<BuildPrint*>(w) != nullptr;
        QCOMPARE(printingPages, 1);

        QVERIFY2(waitFor([] { return shows("Build Completed"); }, 60000), "the print never completed");
        // The storage, list and file pages stay beneath the printing page.
        QVERIFY(Build::instBuild && ShowTFCard::instShowTFCard && BuildFileManage::instBuildFileManage);
        QVERIFY(layersSent() >= 3);   // every layer of cube.gx reached the controller
    }
};

QTEST_MAIN(TestFilePages)
#include "test_filepages.moc"
