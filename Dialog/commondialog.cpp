#include "Dialog/commondialog.h"

#include "Execute/COneTimesClicked.h"

#include <QDialog>
#include <QLabel>
#include <QToolButton>

namespace CommonDialog {

void prepare(QDialog* dialog, QPoint pos)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->move(pos);
}

void styleButton(QToolButton* button, const char* styleKey)
{
    button->setStyleSheet(COneTimesClicked::styleSheet(QString::fromLatin1(styleKey), false));
}

void setTitle(QLabel* title, QWidget* separator, QLabel* text, const QString& value)
{
    // The text keeps its bottom edge; without a title it starts where the title was.
    static const char* const kTop = "orlenkTextTop";
    if (!text->property(kTop).isValid())
        text->setProperty(kTop, text->y());
    const int textTop = text->property(kTop).toInt();
    const int bottom = text->geometry().bottom();
    const bool shown = !value.isEmpty();
    title->setText(value);
    title->setVisible(shown);
    if (separator)
        separator->setVisible(shown);
    const int top = shown ? textTop : title->y();
    text->setGeometry(text->x(), top, text->width(), bottom - top + 1);
}

void setupCard(QDialog* dialog, QLabel* title, QWidget* separator, QLabel* text, const QString& titleText,
               const QString& message)
{
    prepare(dialog, CardPos);
    setTitle(title, separator, text, titleText);
    text->setText(message);
}

}
