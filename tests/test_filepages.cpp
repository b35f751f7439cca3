// The storage choice page, the file list and the file page, driven the way a
// user drives them: presses, a stick coming and going, the delete question.
#include "Dialog/twobuttondialog.h"
#include "UI/build.h"
#include "tests/support/CopyFaults.h"
#include "tests/support/FilePageDriver.h"
#include "tests/support/GxWriter.h"
#include "tests/support/PageTools.h"
#include "wifiDevice/ServerListener.h"

#include <QCheckBox>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>

using namespace FilePageDriver;
using PageTools::click;
using CopyFaults::allNames;

namespace {

constexpr time_t kBase = 1700000000;

QCheckBox* slotBox(QWidget* page, int slot)
{
    static const char* const names[] = {"checkBox", "checkBox_2", "checkBox_3", "checkBox_4"};
    return page->findChild<QCheckBox*>(names[slot]);
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

QByteArray plainGcode() { return GxWriter::generateGcode({}); }

// 1 h 30 min, 2.50 m, 0.20 mm, 60 mm/s, an 80 x 40 and a 120 x 120 picture.
QByteArray gxFile(const QString& label)
{
    GxWriter::GxContent content;
    content.timeUsed = 5400;
    content.materialUsed = 2500;   // layer height and speed as the writer's defaults
    content.firstImage = GxWriter::drawPicture(label, 80, 40);
    content.secondImage = GxWriter::drawPicture(label, 120, 120);
    content.gcode = plainGcode();
    return GxWriter::buildGx(content);
}

QByteArray native(const QString& path) { return QFile::encodeName(path); }
QByteArray native(const QByteArray& path) { return path; }

template <class Path>
void setTime(const Path& path, time_t mtime)
{
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, native(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// Writes bytes under a native (byte) path with the given modification time.
template <class Path>
void writeNative(const Path& path, const QByteArray& content, time_t mtime = kBase)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, native(path).constData());
    QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
    ::close(fd);
    setTime(path, mtime);
}

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
        QVERIFY(!ShowTFCard::instShowTFCard && !BuildFileManage::instBuildFileManage);
    }

    void storagePage()
    {
        pressBuild();
        Build* page = Build::instBuild;
        QToolButton* upan = button(page, "upan");
        setUsb(true);
        // A list of the stick closes with it (200 ms later); the storage page and
        // the page of an internal file stay.
        click(page, "upan");
        QVERIFY(ShowTFCard::instShowTFCard);
        makeFiles(data(), 1);
        BuildFileManage* internal = openFilePage(data("/f0.gx"));
        setUsb(false);
        QVERIFY(!upan->isEnabled());
        QVERIFY(waitFor([] { return !ShowTFCard::instShowTFCard; }));
        QVERIFY(Build::instBuild == page && BuildFileManage::instBuildFileManage == internal);
        internal->close();
        // A press that reaches the handler after the stick left opens nothing.
        QVERIFY(waitFor([] { return !OneTimesClicked().isHasClicked(); }, 1000));
        QMetaObject::invokeMethod(page, "on_upan_clicked");
        QVERIFY(!ShowTFCard::instShowTFCard);

        // Internal storage opens one list, however often it is pressed.
        click(page, "memory");
        ShowTFCard* list = ShowTFCard::instShowTFCard;
        QVERIFY(list);
        QCOMPARE(list->currentPath(), rootPath(std::string("/data")));
        click(page, "memory");
        QVERIFY(ShowTFCard::instShowTFCard == list && PageTools::visibleCount<ShowTFCard>() == 1);
        list->close();
        // A second Build press while the page exists makes no second one.
        pressBuild();
        QCOMPARE(Build::instBuild, page);
    }

    void list_paging_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QStringList>("presses");      // "down" or "up", in order
        QTest::addColumn<QStringList>("indicators");   // at the start and after each press
        QTest::addColumn<QList<int>>("shown");         // buttons shown at the same moments
        QTest::newRow("0") << 0 << QStringList{"down", "up"} << QStringList{"1/1", "1/1", "1/1"} << QList<int>{0, 0, 0};
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
        for (int step = 0; step <= presses.size(); ++step) {
            if (step > 0)
                click(list, qPrintable(presses[step - 1]));
            QCOMPARE(PageTools::label(list, "label"), indicators[step]);
            const QStringList names = shownNames(list);
            QCOMPARE(names.size(), shown[step]);
            for (int i = 0; i < names.size(); ++i) {
                QCOMPARE(names[i], QString("f%1.gx").arg(list->currentPage() * 4 + i));
                // The file's own picture, not the generic icon.
                const QImage expected = BuildFileManage::getPixmap(data("/" + names[i]), 100, 130).toImage();
                QVERIFY(!expected.isNull());
                QCOMPARE(slotButton(list, i)->icon().pixmap(expected.size()).toImage().convertToFormat(expected.format()),
                         expected);
            }
        }
    }

    // Folders first, newest first, equal times by name; system folders,
    // other files and anything but a regular file inside the storage left out.
    void list_orderAndWhatIsShown()
    {
        for (const char* f : {"/lost+found", "/System Volume Information", "/old folder", "/new folder"})
            QDir().mkpath(data(f));
        setTime(data("/old folder"), kBase - 300);
        setTime(data("/new folder"), kBase - 100);
        writeNative(data("/MODEL.GX"), plainGcode(), kBase - 50);
        writeNative(data("/part.G"), plainGcode(), kBase - 40);
        writeNative(data("/x.gcode"), plainGcode(), kBase - 60);
        writeNative(data("/notes.txt"), "text");
        for (const char* f : {"/tie-b.gx", "/tie-a.gx"})   // whatever order the folder holds them in
            writeNative(data(f), plainGcode(), kBase - 70);
        writeNative(rootPath(QString("/secret.gx")), plainGcode());
        QCOMPARE(::mkfifo(native(data("/pipe.gx")).constData(), 0644), 0);   // opening it would hang
        QVERIFY(QFile::link("nowhere.gx", data("/dangling.gx")));
        QVERIFY(QFile::link(rootPath(QString("/secret.gx")), data("/escape.gx")));
        QVERIFY(QFile::link("x.gcode", data("/alias.gx")));
        ShowTFCard* list = openList(FromMemory);
        QStringList order;
        for (const qxsdk::FileInfo& e : list->fileList())
            order << QString::fromStdString(qxsdk::FileManager::fileName(e.path));
        QCOMPARE(order, (QStringList{"new folder", "old folder", "part.G", "MODEL.GX", "alias.gx", "x.gcode",
                                     "tie-a.gx", "tie-b.gx"}));
        QCOMPARE(shownNames(list), order.mid(0, 4));
        QCOMPARE(PageTools::label(list, "label"), QString("1/2"));
    }

    void list_longPressSelectsAndDeletes()
    {
        makeFiles(data(), 6);
        QDir().mkpath(data("/keep"));
        setTime(data("/keep"), kBase - 1000);
        ShowTFCard* list = openList(FromMemory);
        QCOMPARE(shownNames(list), (QStringList{"keep", "f0.gx", "f1.gx", "f2.gx"}));

        // A long press on a file enters select mode and ticks it.
        longPress(list, 1);
        QVERIFY(list->selectMode() && slotBox(list, 1)->isChecked());
        QVERIFY(slotBox(list, 0)->isHidden());   // folders get no tick box
        // A long press in select mode does nothing; short presses toggle.
        longPress(list, 2);
        QVERIFY(!slotBox(list, 2)->isChecked());
        shortPress(list, 2);
        shortPress(list, 3);
        shortPress(list, 3);
        QVERIFY(slotBox(list, 2)->isChecked() && !slotBox(list, 3)->isChecked());
        // The selection lives across pages; ticks are redrawn from it.
        click(list, "down");
        shortPress(list, 2);
        click(list, "up");
        QVERIFY(slotBox(list, 1)->isChecked() && slotBox(list, 2)->isChecked());
        answerQuestion(true);
        click(list, "delectBtn");
        QVERIFY(!list->selectMode() && list->fileCount() == 4);
        QCOMPARE(shownNames(list), (QStringList{"keep", "f2.gx", "f3.gx", "f4.gx"}));
    }

    // Folders open and Back climbs one level at a time; a cancelled delete still
    // leaves select mode; ticks survive folders and Back.
    void list_foldersAndSelection()
    {
        makeFiles(data("/sub/deep"), 1, "d");
        makeFiles(data("/sub"), 2);
        ShowTFCard* list = openList(FromMemory);
        shortPress(list, 0);
        QCOMPARE(shownNames(list), (QStringList{"deep", "f0.gx", "f1.gx"}));
        shortPress(list, 0);
        QCOMPARE(shownNames(list), QStringList{"d0.gx"});
        click(list, "back");
        QCOMPARE(list->currentPath(), rootPath(std::string("/data/sub")));
        longPress(list, 1);
        answerQuestion(false);
        click(list, "delectBtn");
        QVERIFY(!list->selectMode());
        QVERIFY(QFile::exists(data("/sub/f0.gx")));
        QCOMPARE(list->currentPath(), rootPath(std::string("/data")));   // back at the root

        // A long press on a folder enters select mode and opens it.
        longPress(list, 0);
        QVERIFY(list->selectMode());
        QCOMPARE(list->currentPath(), rootPath(std::string("/data/sub")));
        shortPress(list, 1);
        click(list, "back");   // up to the root, ticks kept
        QVERIFY(list->selectMode());
        shortPress(list, 0);
        QVERIFY(slotBox(list, 1)->isChecked());
        click(list, "back");
        click(list, "back");   // at the root: selection dropped
        QVERIFY(!list->selectMode() && list->selectedFiles().empty() && ShowTFCard::instShowTFCard);
        click(list, "back");   // browsing at the root: closes
        QVERIFY(waitFor([] { return !ShowTFCard::instShowTFCard; }));
    }

    void list_releaseAfterRefreshChecksItsEntry()
    {
        makeFiles(data(), 3);
        ShowTFCard* list = openList(FromMemory);
        // The pressed file goes and the list is read again (a LAN upload ended):
        // the file now in the pressed slot is not opened.
        QTest::mousePress(slotButton(list, 0), Qt::LeftButton);
        QVERIFY(QFile::remove(data("/f0.gx")));
        emit m_main->m_serverListener->sig_showMemoryList();
        settle();
        QCOMPARE(list->fileCount(), 2);
        QTest::mouseRelease(slotButton(list, 0), Qt::LeftButton);
        QVERIFY(!BuildFileManage::instBuildFileManage);
        // An ordinary short press opens the file page, once.
        shortPress(list, 0);
        BuildFileManage* page = BuildFileManage::instBuildFileManage;
        shortPress(list, 0);
        QVERIFY(page && BuildFileManage::instBuildFileManage == page);
    }

    // Time, filament, layer height and speed; figures no print has show as unknown.
    void filePage_figures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("shown");   // empty: hidden
        GxWriter::GxContent bogus;
        bogus.timeUsed = bogus.materialUsed = -1;
        const QByteArray negative = GxWriter::buildGx(bogus);
        bogus.timeUsed = bogus.materialUsed = 2147483647;
        QTest::newRow("figures") << gxFile("cube") << "1 h 30 min|2.50 M|0.20 mm|60.00mm/s";
        QTest::newRow("header cut short") << QByteArray(59, 'x') << "0 h 0 min|0.00 M|0.00 mm|0.00mm/s";
        QTest::newRow("negative") << negative << "-- h -- min|-- M|0.20 mm|60.00mm/s";
        QTest::newRow("beyond any print") << GxWriter::buildGx(bogus) << "-- h -- min|-- M|0.20 mm|60.00mm/s";
        QTest::newRow("upper-case .GX is plain G-code") << gxFile("cube") << "";
    }
    void filePage_figures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, shown);
        const QString path = data(shown.isEmpty() ? "/part.GX" : "/cube.gx");
        writeNative(path, content);
        BuildFileManage* page = openFilePage(path);
        QCOMPARE(page->isGxFile(), !shown.isEmpty());
        QCOMPARE(page->findChild<QLabel*>("labelTatleTime")->isHidden(), shown.isEmpty());
        if (!shown.isEmpty())
            QCOMPARE(QStringList({PageTools::label(page, "labelTatleTime"), PageTools::label(page, "labelUsedMaterial"),
                                  PageTools::label(page, "labelLayerHiht"), PageTools::label(page, "labelSpeed")}).join('|'),
                     shown);
        // The second picture (the first is 80 x 40) scaled into 124 x 124.
        if (shown.startsWith("1 h"))
            QCOMPARE(page->findChild<QLabel*>("thumbnails")->pixmap().size(), QSize(124, 124));
    }

    // Names are cut by the characters the user sees, never inside one.
    void filePage_namesCutByCharacters()
    {
        const QString e = QString::fromUtf8("e\u0301"), smile = QString::fromUtf8("😀");
        const QList<QPair<QString, QString>> cases{
            {"abcdefghij.gx", "abcdefghij.gx"},
            {"abcdefghijk.gx", "abcdefghijk.g..."},
            {QString::fromUtf8("立方体立方体立方体立方体立方.gx"), QString::fromUtf8("立方体立方体立方体立方体立...")},
            {smile.repeated(14) + ".gx", smile.repeated(13) + "..."},
            {e.repeated(14) + ".g", e.repeated(13) + "..."}};
        for (const auto& [name, shown] : cases) {
            writeNative(data("/" + name), plainGcode());
            QCOMPARE(PageTools::label(openFilePage(data("/" + name)), "printFileName"), shown);
        }
    }

    // Deleting through a link removes the link, never its target, and the list
    // is read again; "NO" keeps the file and the page; the stick pulled while
    // asked closes its pages and deletes nothing, whatever the answer.
    void deleteQuestion_data()
    {
        QTest::addColumn<bool>("fromList");
        QTest::addColumn<QString>("answer");
        QTest::newRow("file page, yes") << false << "yes";
        QTest::newRow("file page, no") << false << "no";
        QTest::newRow("file page, stick pulled") << false << "pull";
        QTest::newRow("the list's selection, stick pulled") << true << "pull";
    }
    void deleteQuestion()
    {
        QFETCH(bool, fromList);
        QFETCH(QString, answer);
        const bool pull = answer == "pull";
        setUsb(pull);
        const QString folder = pull ? media() : data();
        makeFiles(folder, 2);
        QVERIFY(QFile::link("f0.gx", folder + "/link.gx"));
        setTime(folder + "/link.gx", kBase + 10);   // (the link's own time; the list shows the target's)
        ShowTFCard* list = openList(pull ? FromUsbDisk : FromMemory);
        const int slot = shownNames(list).indexOf("link.gx");
        QVERIFY(slot >= 0);
        press(list, slot, fromList);
        answerQuestion(answer != "no", [this, pull] {
            if (pull)
                setUsb(false);
            QVERIFY(waitFor([pull] { return !pull || !ShowTFCard::instShowTFCard; }));
        });
        click(fromList ? static_cast<QWidget*>(list) : BuildFileManage::instBuildFileManage,
              fromList ? "delectBtn" : "deleteFile");
        settle();
        QVERIFY(waitFor([&] { return (answer == "no") == (BuildFileManage::instBuildFileManage != nullptr); }));
        QVERIFY(!TwoButtonDialog::instTwoButtonDialog && (!pull || !ShowTFCard::instShowTFCard));
        const QStringList kept{"f0.gx", "f1.gx"};
        QCOMPARE(allNames(folder), answer == "yes" ? kept : kept + QStringList{"link.gx"});
        if (answer == "yes")
            QCOMPARE(shownNames(list), kept);
    }

    // Odd names: blanks, quotes, shell characters, non-ASCII, 255 bytes, not UTF-8.
    void oddNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("viaList");   // deleted as the list's selection, else by the file page
        const QList<QByteArray> names = {
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
        for (const QByteArray& name : names)
            for (bool viaList : {false, true})
                QTest::addRow("%s%s", name.left(24).toPercentEncoding(" ").constData(), viaList ? " list" : "")
                    << name << viaList;
    }
    void oddNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, viaList);
        const QByteArray path = native(data()) + "/" + name;
        writeNative(path, gxFile("odd"));
        // A neighbour that a lossy round trip of the name would hit.
        const QByteArray neighbour = native(QFile::decodeName(path));
        const bool lossy = neighbour != path;
        if (lossy)
            writeNative(neighbour, plainGcode(), kBase - 100);

        ShowTFCard* list = openList(FromMemory);
        QCOMPARE(list->fileCount(), lossy ? 2 : 1);
        QCOMPARE(list->fileList()[0].path, path.toStdString());
        QToolButton* first = slotButton(list, 0);
        QCOMPARE(first->text(), first->fontMetrics().elidedText(QFile::decodeName(name), Qt::ElideRight, first->width()));
        if (viaList) {   // the selection holds the name's own bytes
            longPress(list, 0);
            QCOMPARE(list->selectedFiles(), std::vector<std::string>{path.toStdString()});
            answerQuestion(true);
            click(list, "delectBtn");
        } else {   // the file page holds exactly it
            shortPress(list, 0);
            BuildFileManage* page = BuildFileManage::instBuildFileManage;
            QVERIFY(page);
            QCOMPARE(page->nativePath(), path);
            if (lossy) {   // the printing page takes the name as text: it says why it cannot
                click(page, "buildPrint");
                QCOMPARE(message(), QString("The file name cannot be printed,\nplease rename the file"));
                QVERIFY(!BuildPrint::instBuildPrint);
                OneButtonDialog::instOneButtonDialog->close();
                settle();
            }
            answerQuestion(true);
            click(page, "deleteFile");
            QVERIFY(waitFor([] { return !BuildFileManage::instBuildFileManage; }));
        }
        QVERIFY(::access(path.constData(), F_OK) != 0);
        QCOMPARE(::access(neighbour.constData(), F_OK) == 0, lossy);
        QCOMPARE(list->fileCount(), lossy ? 1 : 0);
        for (const char* p : {"/pwned", "/pwned2", "/pwned3"})
            QVERIFY(!QFile::exists(data(p)) && !QFile::exists(QDir::currentPath() + p));
    }

    void endToEnd_printFromInternalStorage()
    {
        writeNative(data("/cube.gx"), printJob(3, 60), kBase);   // still streaming when print is pressed again
        makeFiles(data(), 2, "other");

        pressBuild();
        click(Build::instBuild, "memory");
        ShowTFCard* list = ShowTFCard::instShowTFCard;
        QCOMPARE(shownNames(list).first(), QString("cube.gx"));
        shortPress(list, 0);
        BuildFileManage* page = BuildFileManage::instBuildFileManage;
        click(page, "buildPrint");
        BuildPrint* printing = BuildPrint::instBuildPrint;
        QVERIFY(printing);
        QVERIFY(waitFor([&] { return layersSent() >= 1; }, 30000));

        // Print pressed for another file while the job runs: no second page,
        // and the running job goes on undisturbed to its end.
        click(page, "back");
        QVERIFY(waitFor([] { return !BuildFileManage::instBuildFileManage; }));
        shortPress(list, 1);
        click(BuildFileManage::instBuildFileManage, "buildPrint");
        settle();
        QVERIFY(BuildPrint::instBuildPrint == printing && PageTools::visibleCount<BuildPrint>() == 1);
        QVERIFY2(waitFor([] { return shows("Build Completed"); }, 60000), "the print never completed");
        // The storage, list and file pages stay beneath the printing page.
        QVERIFY(Build::instBuild && ShowTFCard::instShowTFCard && BuildFileManage::instBuildFileManage);
        QVERIFY(layersSent() >= 3);   // every layer of cube.gx reached the controller
    }
};

QTEST_MAIN(TestFilePages)
#include "test_filepages.moc"
