#pragma once
#include <QObject>
#include <QString>

class QToolButton;

// Accepts one guarded button press per 100 ms anywhere in the program.
class COneTimesClicked : public QObject {
    Q_OBJECT
public:
    bool isHasClicked() const { return m_clicked; }
    // Sets the guard, repaints, processes pending events and clears the guard after 100 ms.
    // A non-null button shows its pressed look for styleKey until then.
    void setOneTimesClicked(QToolButton* button, QString styleKey);
    // The style sheet of a style key, plain or pressed.
    static QString styleSheet(const QString& styleKey, bool pressed);
private:
    bool m_clicked = false;
};

COneTimesClicked& OneTimesClicked();
