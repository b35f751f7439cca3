#pragma once
// What the load and unload filament wizards share: their look, the nozzle
// temperature line, the tune and the cancel question.
#include <QString>
#include <functional>

class QLabel;
class QToolButton;
class QWidget;
class SerialObject;
class TwoButtonDialog;
template <class T> class QPointer;

namespace FilamentPages {

// Frameless, deleted on close, at (0, 40) below the status row.
void setupPage(QWidget* page);
// The common background picture scaled over the whole page.
void paintBackground(QWidget* page);

// Takes the controller link, sets the nozzle target and shows the main
// window's last reading beside that target; returns the link.
SerialObject* startHeating(int target, QLabel* current, QLabel* targetLabel);

// The closing of a wizard that has ended: once, 500 ms after the first call,
// with the button disabled meanwhile. Logs the call with the closing flag as found.
void closeLater(QWidget* page, const char* source, bool& closing, QToolButton* button,
                const std::function<void()>& closeOperation);

// The main window's last nozzle reading and target shown as "<current>" and
// "/<target>℃"; returns the reading (0 while there is no main window).
int showNozzle(QLabel* current, QLabel* target);

// Starts an extruder move from E0: the "filament moving" tune when the buzzer
// is on, then "M112", "G92 E0" and `move`; false when the link could not
// confirm that the controller took them.
bool pushFilament(SerialObject* serial, const char* move);

enum class Answer { Yes, No, PageGone };
// The cancel question run with exec(); `question` points at it while it is
// open, so the page can answer it when it goes away itself. PageGone: the
// page was deleted while the question was open; do not touch it.
Answer askCancel(QWidget* page, QPointer<TwoButtonDialog>& question,
                 const QString& title, const QString& text);

}
