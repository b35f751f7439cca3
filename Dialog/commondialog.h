#pragma once
// What the common dialogs share: frameless top-level windows on the 480 x 272
// screen, deleted when closed, with the program's card look.
#include <QPoint>
#include <QString>

class QDialog;
class QLabel;
class QToolButton;
class QWidget;

namespace CommonDialog {

// The place of a 400 x 200 message card, centred on the screen.
constexpr QPoint CardPos{40, 36};

// Frameless, deleted when closed, placed at pos; while up it stays above
// windows shown after it.
void prepare(QDialog* dialog, QPoint pos);
// Gives a button the plain look of a style key (see COneTimesClicked).
void styleButton(QToolButton* button, const char* styleKey);
// Shows the title, or hides it and lets the text take its room.
void setTitle(QLabel* title, QWidget* separator, QLabel* text, const QString& value);
// A message card: prepared at CardPos, with its title (hidden when empty) and its text.
void setupCard(QDialog* dialog, QLabel* title, QWidget* separator, QLabel* text, const QString& titleText,
               const QString& message);

// Closes the dialog that a static pointer holds; the pointer is cleared first,
// so nobody reaches the closing dialog through it.
template <class D>
void closeThrough(D*& pointer)
{
    if (D* dialog = pointer) {
        pointer = nullptr;
        dialog->close();
    }
}

}
