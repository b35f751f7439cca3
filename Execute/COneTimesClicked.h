#pragma once
#include <QObject>
#include <QString>

class QToolButton;

// Accepts one guarded button press per 100 ms anywhere in the program.
// Style keys (table in COneTimesClicked.cpp): TOOLBUTTON_R25_STYLE (bottom-bar
// buttons such as Back), TOOLBUTTON_DIALOG_YES_STYLE / TOOLBUTTON_DIALOG_NO_STYLE
// (dialog buttons), TOOLBUTTON_MAIN_STYLE (main window), TOOLBUTTON_ICON_STYLE
// (icon over text on the pages), TOOLBUTTON_RED_STYLE (filled red action button).
// The pressed look swaps the button's icon for its "_c.png" twin under
// ":/Resource/icon/" (found from the picture itself, or named by the button's
// "iconName" property) and turns the text from #222222 to #C2172D.
class COneTimesClicked : public QObject {
    Q_OBJECT
public:
    bool isHasClicked() const { return m_clicked; }
    // Sets the guard, repaints, processes pending events and clears the guard after 100 ms.
    // A non-null button shows its pressed look for styleKey until then.
    void setOneTimesClicked(QToolButton* button, QString styleKey);
    // The start of a guarded handler: false while the guard is on; otherwise sets
    // it as setOneTimesClicked does and tells whether owner still exists after
    // the pending events have run.
    bool acceptPress(QObject* owner, QToolButton* button, const QString& styleKey);
    // A page's guarded button: the guard with "TOOLBUTTON_R25_STYLE" and no button,
    // then the pending events once; true when the page still exists to act.
    bool acceptPagePress(QObject* page);
    // The style sheet of a style key, plain or pressed.
    static QString styleSheet(const QString& styleKey, bool pressed);
private:
    bool m_clicked = false;
};

COneTimesClicked& OneTimesClicked();
