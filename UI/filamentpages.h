#pragma once
// What the load and unload filament wizards share: their look, the nozzle
// temperature line, the tune and the cancel question.
#include <QString>

class QLabel;
class QWidget;
class TwoButtonDialog;
template <class T> class QPointer;

namespace FilamentPages {

// Frameless, deleted on close, at (0, 40) below the status row.
void setupPage(QWidget* page);
// The common background picture scaled over the whole page.
void paintBackground(QWidget* page);

// The main window's last nozzle reading and target shown as "<current>" and
// "/<target>℃"; returns the reading (0 while there is no main window).
int showNozzle(QLabel* current, QLabel* target);
QString targetText(int target);

// The "filament moving" tune, when the buzzer is on.
void playMovingTune();

enum class Answer { Yes, No, PageGone };
// The cancel question run with exec(); `question` points at it while it is
// open, so the page can answer it when it goes away itself. PageGone: the
// page was deleted while the question was open; do not touch it.
Answer askCancel(QWidget* page, QPointer<TwoButtonDialog>& question,
                 const QString& title, const QString& text);

}
