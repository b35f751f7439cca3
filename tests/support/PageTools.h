#pragma once
// Presses and readers shared by the page tests.
#include "Dialog/twobuttondialog.h"
#include "UI/ExtruderCalibration.h"
#include "UI/setting.h"
#include "Execute/COneTimesClicked.h"
#include "buzzer/buzzerPlay.h"
#include "tests/support/SimHarness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace PageTools {

// The transcript without status, end-stop and flow-control queries (position queries stay).
inline QStringList withoutPolls(const QStringList& lines, const QStringList& more = {})
{
    static const QStringList polls{"M105", "M113", "M117", "M119", "M121", "M130"};
    QStringList out;
    for (const QString& l : lines)
        if (!polls.contains(l) && !more.contains(l))
            out << l;
    return out;
}

// Presses a button of `window` once the one-press guard lets it through.
inline void click(QWidget* window, const char* name)
{
    SimHarness::waitUntil([] { return !OneTimesClicked().isHasClicked(); }, 2000);
    auto* b = window ? window->findChild<QToolButton*>(name) : nullptr;
    QVERIFY2(b && b->isVisibleTo(window) && b->isEnabled(), name);
    QTest::mouseClick(b, Qt::LeftButton);
}

inline QString label(QWidget* w, const char* name)
{
    auto* l = w ? w->findChild<QLabel*>(name) : nullptr;
    return l ? l->text() : QString();
}

// Answers the open question ("YES" or "NO") when its button is on screen.
inline void answer(bool yes)
{
    TwoButtonDialog* q = TwoButtonDialog::instTwoButtonDialog;
    auto* b = q ? q->findChild<QToolButton*>(yes ? "ok" : "cancel") : nullptr;
    if (b && b->isVisible() && b->isEnabled())
        QTest::mouseClick(b, Qt::LeftButton);
}

// Answers the question that the next press opens.
inline void answerSoon(bool yes)
{
    QTimer::singleShot(300, [yes] { answer(yes); });
}

// Waits until a page is deleted, sending the deferred deletes a close outside an event loop leaves.
// A stop or heater-off command the controller could not confirm within its
// call is delivered once more right behind itself: that is one command.
inline QStringList onceEach(const QStringList& commands)
{
    static const QStringList safety{"M112", "M18", "M140 S0", "M104 S0 T0", "M141 T219"};
    QStringList out;
    for (const QString& c : commands)
        if (out.isEmpty() || out.last() != c || !safety.contains(c))
            out << c;
    return out;
}

// The probing page, opened the only way there is: its entry on the settings page.
inline ExtruderCalibration* openProbingPage()
{
    Setting::instSetting = new Setting(nullptr);
    Setting::instSetting->show();
    click(Setting::instSetting, "showExtruderCalibration");
    QTest::qWait(120);   // the one-press guard
    delete Setting::instSetting;
    return ExtruderCalibration::instExtruderCalibration;
}

inline bool gone(QObject* object, int ms = 20000)
{
    QPointer<QObject> page = object;
    return SimHarness::waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return page.isNull();
    }, ms);
}

inline std::vector<std::string> notesPlayed()
{
    buzzerPlay* b = buzzerPlay::getInstance("pwm1");
    b->waitIdle(2000);
    return b->playedNotes();
}

// How many top-level widgets of kind T are on screen.
template <class T> int visibleCount()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<T*>(w) && w->isVisible();
    return n;
}

// The GUI thread's longest stall while it lives: a fast timer records the longest gap between its ticks.
class GuiGapMeter {
public:
    explicit GuiGapMeter(int tickMs = 10)
    {
        m_clock.start();
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.elapsed() - m_last);
            m_last = m_clock.elapsed();
        });
        m_tick.start(tickMs);
    }
    qint64 longest() const { return m_longest; }

private:
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_last = 0, m_longest = 0;
};

}
