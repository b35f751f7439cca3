#include "Dialog/commondialog.h"

#include "Execute/COneTimesClicked.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

namespace CommonDialog {

namespace {

// Pages often open their notice while they are built, before they are shown;
// shown afterwards, the page would cover it. When another window is shown over
// dialogs that are up, they are raised again (in the order they were made, so
// a question stays above the notice it was asked over) once that window is up.
class KeepOnTop : public QObject {
public:
    explicit KeepOnTop(QObject* parent) : QObject(parent) {}

    void add(QDialog* dialog)
    {
        m_dialogs.removeIf([](const QPointer<QDialog>& d) { return d.isNull(); });
        m_dialogs.append(dialog);
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Show && object->isWidgetType()) {
            auto* window = static_cast<QWidget*>(object);
            const Qt::WindowType type = window->windowType();
            if ((type == Qt::Window || type == Qt::Dialog) && !m_pending && !isDialog(window) && anyVisible()) {
                m_pending = true;
                QTimer::singleShot(0, this, &KeepOnTop::raiseDialogs);
            }
        }
        return false;
    }

private:
    bool isDialog(const QWidget* window) const
    {
        for (const QPointer<QDialog>& dialog : m_dialogs)
            if (dialog == window)
                return true;
        return false;
    }

    bool anyVisible() const
    {
        for (const QPointer<QDialog>& dialog : m_dialogs)
            if (dialog && dialog->isVisible())
                return true;
        return false;
    }

    void raiseDialogs()
    {
        m_pending = false;
        // The offscreen platform keeps no stacking order and warns on raise.
        static const bool stacks = QGuiApplication::platformName() != QLatin1String("offscreen");
        QDialog* top = nullptr;
        for (const QPointer<QDialog>& dialog : std::as_const(m_dialogs))
            if (dialog && dialog->isVisible()) {
                if (stacks)
                    dialog->raise();
                top = dialog;
            }
        if (top)
            top->activateWindow();
    }

    QList<QPointer<QDialog>> m_dialogs;
    bool m_pending = false;
};

void keepOnTop(QDialog* dialog)
{
    static QPointer<KeepOnTop> keeper;
    if (!keeper && qApp) {
        keeper = new KeepOnTop(qApp);
        qApp->installEventFilter(keeper);
    }
    if (keeper)
        keeper->add(dialog);
}

}  // namespace

void prepare(QDialog* dialog, QPoint pos)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->move(pos);
    keepOnTop(dialog);
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
