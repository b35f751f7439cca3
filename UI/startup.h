#pragma once
// Steps of the program's start that need the widgets library.
class QApplication;

namespace Startup {

// Core dumps of unlimited size, written as the printer's core file.
void allowCoreDumps();
// The font file of the printer at 14 pt, or the system font at 14 pt without it.
void setApplicationFont(QApplication& app);
// Tells the user that the controller cannot be reached ("Machine stoppage"),
// keeps the notice up for showMs and returns -1, the program's exit code.
int machineStoppage(QApplication& app, int showMs);

}
