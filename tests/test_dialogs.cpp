// The common dialogs, the one-press guard and the page guard.
#include "Dialog/nobuttondialog.h"
#include "Dialog/onebuttondialog.h"
#include "Dialog/onelabledialog.h"
#include "Dialog/progressdialog.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/COneTimesClicked.h"
#include "UI/resources.h"
#include "tools/PagePointer.h"

#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <limits>

namespace {

void waitGuardFree()
{
    QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 2000);
}

QToolButton* button(QWidget* w, const char* name)
{
    auto* b = w->findChild<QToolButton*>(name);
    if (!b)
        qFatal("no button %s", name);
    return b;
}

QString labelText(QWidget* w, const char* name)
{
    auto* l = w->findChild<QLabel*>(name);
    return l ? l->text() : QString("<no label %1>").arg(name);
}

void click(QWidget* w, const char* name)
{
    waitGuardFree();
    QTest::mouseClick(button(w, name), Qt::LeftButton);
}

QImage iconImage(const QIcon& icon)
{
    const QList<QSize> sizes = icon.availableSizes();
    return icon.pixmap(sizes.isEmpty() ? QSize(32, 32) : sizes.first()).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage resourceImage(const QString& name)
{
    return QImage(":/Resource/icon/" + name).convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initOrlenkResources(); }
    void cleanup()
    {
        waitGuardFree();
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows << w;
        for (const QPointer<QWidget>& w : windows)
            delete w.data();
    }

    void resourcesAreCompiledIn()
    {
        QCOMPARE(QImage(":/Resource/icon/bg.png").size(), QSize(480, 232));
        for (const char* name : {"Back.png", "Back_c.png", "G_File.png", "USB Stick.png", "USB Stick_d.png",
                                 "build.png", "build_c.png"})
            QVERIFY2(!QImage(QString(":/Resource/icon/") + name).isNull(), name);
        QVERIFY(QFile::exists(":/Resource/translations/firmware_english.qm"));
    }

    void oneButtonDialog()
    {
        auto* d = new OneButtonDialog("Copy File", "Copy finished", "", nullptr);
        QPointer<OneButtonDialog> p(d);
        QCOMPARE(OneButtonDialog::instOneButtonDialog, d);
        QVERIFY(!d->isVisible());   // the creator shows it
        QVERIFY(d->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(labelText(d, "title"), QString("Copy File"));
        QCOMPARE(labelText(d, "label"), QString("Copy finished"));
        QCOMPARE(button(d, "ok")->text(), QString("OK"));
        d->show();
        click(d, "ok");
        QTRY_VERIFY(p.isNull());
        QVERIFY(!OneButtonDialog::instOneButtonDialog);

        auto* e = new OneButtonDialog("", "No title here", "Fine", nullptr);
        QCOMPARE(button(e, "ok")->text(), QString("Fine"));
        QVERIFY(e->findChild<QLabel*>("title")->isHidden());
        delete e;
        QVERIFY(!OneButtonDialog::instOneButtonDialog);
    }

    void twoButtonDialogAnswers()
    {
        for (const char* which : {"ok", "cancel"}) {
            waitGuardFree();
            auto* d = new TwoButtonDialog("Question", "Go on?", "", "", nullptr);
            QPointer<TwoButtonDialog> p(d);
            QCOMPARE(TwoButtonDialog::instTwoButtonDialog, d);
            QVERIFY(TwoButtonDialog::isShowDialog);
            QTimer::singleShot(50, d, [d, which] { QTest::mouseClick(button(d, which), Qt::LeftButton); });
            const int result = d->exec();
            QCOMPARE(result, QString(which) == "ok" ? 1 : 0);
            QTRY_VERIFY(p.isNull());
            QVERIFY(!TwoButtonDialog::instTwoButtonDialog);
            QVERIFY(!TwoButtonDialog::isShowDialog);
        }
        auto* d = new TwoButtonDialog("", "Delete?", "Delete", "Keep", nullptr);
        QCOMPARE(button(d, "ok")->text(), QString("Delete"));
        QCOMPARE(button(d, "cancel")->text(), QString("Keep"));
        // Closed through the pointer, which the closer clears first: the flag still goes.
        TwoButtonDialog::instTwoButtonDialog = nullptr;
        delete d;
        QVERIFY(!TwoButtonDialog::isShowDialog);
    }

    void noButtonAndNoticeDialogs()
    {
        auto* n = new NoButtonDialog("Copy File", "Waiting...", nullptr);
        QCOMPARE(NoButtonDialog::instNoButtonDialog, n);
        QVERIFY(n->findChildren<QToolButton*>().isEmpty());
        QCOMPARE(labelText(n, "label"), QString("Waiting..."));
        QPointer<NoButtonDialog> np(n);
        n->show();
        n->close();
        QTRY_VERIFY(np.isNull());
        QVERIFY(!NoButtonDialog::instNoButtonDialog);

        auto* o = new OneLableDialog("Homing...", nullptr);
        QCOMPARE(OneLableDialog::instOneLableDialog, o);
        QCOMPARE(labelText(o, "label"), QString("Homing..."));
        o->setVisible(true);
        o->setVisible(false);
        QCOMPARE(OneLableDialog::instOneLableDialog, o);   // hiding keeps it
        QPointer<OneLableDialog> op(o);
        OneLableDialog::instOneLableDialog->close();
        QTRY_VERIFY(op.isNull());
        QVERIFY(!OneLableDialog::instOneLableDialog);
    }

    // A dialog closed late (deferred delete) must not clear the pointer of a newer one.
    void olderDialogLeavesNewerPointer()
    {
        auto* first = new OneButtonDialog("", "first", "", nullptr);
        auto* second = new OneButtonDialog("", "second", "", nullptr);
        QCOMPARE(OneButtonDialog::instOneButtonDialog, second);
        delete first;
        QCOMPARE(OneButtonDialog::instOneButtonDialog, second);
        delete second;
        QVERIFY(!OneButtonDialog::instOneButtonDialog);
    }

    void progressDialogValues_data()
    {
        QTest::addColumn<qint64>("max");
        QTest::addColumn<QList<qint64>>("values");
        QTest::addColumn<int>("percent");
        const qint64 big = Q_INT64_C(6000000000);   // a 6 GB file: more than 2^31 and 2^32
        QTest::newRow("truncated") << qint64(3) << QList<qint64>{2} << 66;
        QTest::newRow("at max") << qint64(200) << QList<qint64>{200} << 100;
        QTest::newRow("past max") << qint64(200) << QList<qint64>{900} << 100;
        QTest::newRow("below 1% keeps bar") << qint64(1000) << QList<qint64>{300, 5} << 30;
        QTest::newRow("negative keeps bar") << qint64(100) << QList<qint64>{40, -7} << 40;
        QTest::newRow("max 0, value 0") << qint64(0) << QList<qint64>{0} << 100;
        QTest::newRow("max 0, value 5") << qint64(0) << QList<qint64>{5} << 100;
        QTest::newRow("max negative") << qint64(-10) << QList<qint64>{-20} << 0;
        QTest::newRow("beyond 2^31") << big << QList<qint64>{big / 2} << 50;
        QTest::newRow("beyond 2^31, almost") << big << QList<qint64>{big - 1} << 99;
        QTest::newRow("huge") << std::numeric_limits<qint64>::max() << QList<qint64>{std::numeric_limits<qint64>::max() / 4} << 25;
    }

    void progressDialogValues()
    {
        QFETCH(qint64, max);
        QFETCH(QList<qint64>, values);
        QFETCH(int, percent);
        ProgressDialog d("Transfer", "file.gx", nullptr);
        d.setAttribute(Qt::WA_DeleteOnClose, false);
        d.setMax(max);
        for (qint64 v : values)
            d.setValue(v);
        QCOMPARE(d.percent(), percent);
        QCOMPARE(d.findChild<QProgressBar*>("progressBar")->value(), percent);
    }

    void progressDialogLooksAndCancel()
    {
        auto* d = new ProgressDialog("Copy File", "a.gx", nullptr);
        QPointer<ProgressDialog> p(d);
        QCOMPARE(ProgressDialog::instProgressDialog, d);
        QCOMPARE(d->size(), QSize(480, 272));
        QCOMPARE(labelText(d, "title"), QString("Copy File"));
        QCOMPARE(labelText(d, "label"), QString("a.gx"));
        d->show();

        // A press inside the guard time of another press is dropped.
        OneTimesClicked().setOneTimesClicked(nullptr, "");
        QTest::mouseClick(button(d, "cancel"), Qt::LeftButton);
        QVERIFY(!p.isNull());
        click(d, "cancel");
        QTRY_VERIFY(p.isNull());
        QVERIFY(!ProgressDialog::instProgressDialog);
    }

    void guardBlocksForItsTimeThenFrees()
    {
        waitGuardFree();
        QToolButton b;
        b.setStyleSheet("QToolButton{color:#222222;}");
        b.setIcon(QIcon(":/Resource/icon/Back.png"));
        b.show();
        OneTimesClicked().setOneTimesClicked(&b, "TOOLBUTTON_R25_STYLE");
        QVERIFY(OneTimesClicked().isHasClicked());
        // The pressed look: the "_c" twin of the icon and the red text colour.
        QCOMPARE(iconImage(b.icon()), resourceImage("Back_c.png"));
        QVERIFY(b.styleSheet().contains("#C2172D"));
        QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 1000);
        QCOMPARE(iconImage(b.icon()), resourceImage("Back.png"));
        QCOMPARE(b.styleSheet(), QString("QToolButton{color:#222222;}"));
    }

    void guardWithoutButtonOrTwin()
    {
        waitGuardFree();
        OneTimesClicked().setOneTimesClicked(nullptr, "TOOLBUTTON_R25_STYLE");
        QVERIFY(OneTimesClicked().isHasClicked());
        waitGuardFree();

        // No pressed twin: the icon stays, the style still changes.
        QToolButton b;
        b.setIcon(QIcon(":/Resource/icon/G_File.png"));
        OneTimesClicked().setOneTimesClicked(&b, "TOOLBUTTON_DIALOG_YES_STYLE");
        QCOMPARE(iconImage(b.icon()), resourceImage("G_File.png"));
        QCOMPARE(b.styleSheet(), COneTimesClicked::styleSheet("TOOLBUTTON_DIALOG_YES_STYLE", true));
        waitGuardFree();
        QVERIFY(b.styleSheet().isEmpty());

        // A button deleted while pressed is simply forgotten.
        auto* gone = new QToolButton;
        gone->setIcon(QIcon(":/Resource/icon/Back.png"));
        OneTimesClicked().setOneTimesClicked(gone, "TOOLBUTTON_R25_STYLE");
        delete gone;
        waitGuardFree();
        QVERIFY(COneTimesClicked::styleSheet("NO_SUCH_STYLE", true).isEmpty());
    }

    // A page that runs a nested loop learns afterwards that it was deleted meanwhile.
    void pageGuardAcrossNestedLoops()
    {
        auto* page = new QDialog;
        PageGuard alive(page);
        QVERIFY(bool(alive));
        page->deleteLater();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);

        auto* page2 = new QDialog;
        PageGuard alive2(page2);
        auto* question = new TwoButtonDialog("", "Still there?", "", "", nullptr);
        QTimer::singleShot(20, [page2] { delete page2; });
        QTimer::singleShot(60, [] {
            if (TwoButtonDialog::instTwoButtonDialog)
                TwoButtonDialog::instTwoButtonDialog->close();
        });
        QCOMPARE(question->exec(), 0);
        QVERIFY(!alive2);
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
