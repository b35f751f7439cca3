// The common dialogs' static pointers, the progress figures, the one-press
// guard and the page guard.
#include "Dialog/onebuttondialog.h"
#include "Dialog/onelabledialog.h"
#include "Dialog/progressdialog.h"
#include "Dialog/twobuttondialog.h"
#include "Execute/COneTimesClicked.h"
#include "UI/resources.h"
#include "tools/PagePointer.h"

#include <QProgressBar>
#include <QToolButton>
#include <QtTest>

namespace {

void waitGuardFree() { QTRY_VERIFY_WITH_TIMEOUT(!OneTimesClicked().isHasClicked(), 2000); }

void click(QWidget* w, const char* name)
{
    waitGuardFree();
    QTest::mouseClick(w->findChild<QToolButton*>(name), Qt::LeftButton);
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

// Shows a dialog, ends it with end(), and checks that it is gone with its pointer.
template <class D>
void endsAndForgets(D* d, D*& pointer, const std::function<void(D*)>& end)
{
    QPointer<D> alive(d);
    QCOMPARE(pointer, d);
    d->show();
    end(d);
    QTRY_VERIFY(alive.isNull());
    QVERIFY(!pointer);
}

}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initOrlenkResources(); }
    void cleanup()
    {
        waitGuardFree();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->deleteLater();   // a window owned by another goes with it, once
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void dialogsClearTheirPointers()
    {
        endsAndForgets<OneLableDialog>(new OneLableDialog("Homing...", nullptr), OneLableDialog::instOneLableDialog,
                                       [](auto* d) {
                                           d->setVisible(false);
                                           QCOMPARE(OneLableDialog::instOneLableDialog, d);   // hiding keeps it
                                           d->close();
                                       });
        endsAndForgets<ProgressDialog>(new ProgressDialog("Copy File", "a.gx", nullptr),
                                       ProgressDialog::instProgressDialog, [](auto* d) {
                                           // A press inside the guard time of another press is dropped.
                                           OneTimesClicked().setOneTimesClicked(nullptr, "");
                                           QTest::mouseClick(d->template findChild<QToolButton*>("cancel"), Qt::LeftButton);
                                           QCOMPARE(ProgressDialog::instProgressDialog, d);
                                           click(d, "cancel");
                                       });
        endsAndForgets<TwoButtonDialog>(new TwoButtonDialog("Question", "Go on?", "", "", nullptr),
                                        TwoButtonDialog::instTwoButtonDialog, [](auto* d) { click(d, "cancel"); });
        QVERIFY(!TwoButtonDialog::isShowDialog);
        // Closed through the pointer, which the closer clears first: the flag still goes.
        auto* question = new TwoButtonDialog("", "Delete?", "Delete", "Keep", nullptr);
        TwoButtonDialog::instTwoButtonDialog = nullptr;
        delete question;
        QVERIFY(!TwoButtonDialog::isShowDialog);
        // A dialog closed late (deferred delete) must not clear the pointer of a newer one.
        auto* first = new OneButtonDialog("", "first", "", nullptr);
        auto* second = new OneButtonDialog("", "second", "", nullptr);
        delete first;
        QCOMPARE(OneButtonDialog::instOneButtonDialog, second);
        delete second;
        QVERIFY(!OneButtonDialog::instOneButtonDialog);
    }

    void progressDialogValues()
    {
        const qint64 big = Q_INT64_C(6000000000);   // a 6 GB file: more than 2^31 and 2^32
        const qint64 most = std::numeric_limits<qint64>::max();
        const std::tuple<const char*, qint64, QList<qint64>, int> rows[] = {
            {"truncated", 3, {2}, 66}, {"past max", 200, {900}, 100}, {"below 1% keeps bar", 1000, {300, 5}, 30},
            {"negative keeps bar", 100, {40, -7}, 40}, {"max 0", 0, {5}, 100}, {"max negative", -10, {-20}, 0},
            {"beyond 2^31, almost", big, {big - 1}, 99}, {"huge", most, {most / 4}, 25}};
        for (const auto& [name, max, values, percent] : rows) {
            ProgressDialog d("Transfer", "file.gx", nullptr);
            d.setAttribute(Qt::WA_DeleteOnClose, false);
            d.setMax(max);
            for (qint64 v : values)
                d.setValue(v);
            QVERIFY2(d.percent() == percent && d.findChild<QProgressBar*>("progressBar")->value() == percent, name);
        }
    }

    // The pressed look (the "_c" twin of the icon, the red text) comes back off.
    void guardBlocksForItsTimeThenFrees()
    {
        QToolButton b;
        b.setStyleSheet("QToolButton{color:#222222;}");
        b.setIcon(QIcon(":/Resource/icon/Back.png"));
        // A loaded machine may let the guard's time pass inside the press itself:
        // the press is repeated until it is seen held.
        bool held = false;
        for (int i = 0; i < 100 && !held; ++i) {
            waitGuardFree();
            OneTimesClicked().setOneTimesClicked(&b, "TOOLBUTTON_R25_STYLE");
            held = OneTimesClicked().isHasClicked();
            QCOMPARE(iconImage(b.icon()), resourceImage(held ? "Back_c.png" : "Back.png"));
            QCOMPARE(b.styleSheet().contains("#C2172D"), held);
            QVERIFY(!held || !OneTimesClicked().acceptPagePress(&b));   // a second press is refused
        }
        QVERIFY(held);
        waitGuardFree();
        QCOMPARE(iconImage(b.icon()), resourceImage("Back.png"));
        QCOMPARE(b.styleSheet(), QString("QToolButton{color:#222222;}"));

        // No pressed twin: the icon stays.
        b.setIcon(QIcon(":/Resource/icon/G_File.png"));
        OneTimesClicked().setOneTimesClicked(&b, "TOOLBUTTON_DIALOG_YES_STYLE");
        QCOMPARE(iconImage(b.icon()), resourceImage("G_File.png"));
        waitGuardFree();
        // A button deleted while pressed is simply forgotten.
        auto* gone = new QToolButton;
        gone->setIcon(QIcon(":/Resource/icon/Back.png"));
        OneTimesClicked().setOneTimesClicked(gone, "TOOLBUTTON_R25_STYLE");
        delete gone;
        waitGuardFree();
    }

    // A page that runs a nested loop learns afterwards that it was deleted meanwhile.
    void pageGuardAcrossNestedLoops()
    {
        auto* page = new QDialog;
        PageGuard alive(page);
        auto* question = new TwoButtonDialog("", "Still there?", "", "", nullptr);
        QTimer::singleShot(20, [page] { delete page; });
        QTimer::singleShot(60, [] {
            if (TwoButtonDialog::instTwoButtonDialog)
                TwoButtonDialog::instTwoButtonDialog->close();
        });
        QVERIFY(bool(alive));
        QCOMPARE(question->exec(), 0);
        QVERIFY(!alive);
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
