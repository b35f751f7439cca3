#include "Execute/COneTimesClicked.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QVariant>

namespace {

constexpr int kGuardMs = 100;
const char* const kIconDir = ":/Resource/icon/";

// The style keys of the program's buttons: the plain look and the pressed look.
// Text is #222222 and turns #C2172D while pressed.
struct ButtonStyle {
    const char* key;
    const char* plain;
    const char* pressed;
};

const ButtonStyle kStyles[] = {
    // Back buttons and the other buttons of the pages' bottom bars.
    {"TOOLBUTTON_R25_STYLE",
     "QToolButton{border:0px;border-radius:25px;background:transparent;color:#222222;font:16px;}",
     "QToolButton{border:0px;border-radius:25px;background:transparent;color:#C2172D;font:16px;}"},
    // The confirming button of a dialog.
    {"TOOLBUTTON_DIALOG_YES_STYLE",
     "QToolButton{border:1px solid #C8CBD0;border-radius:6px;background:#FFFFFF;color:#222222;font:16px;}",
     "QToolButton{border:1px solid #C2172D;border-radius:6px;background:#FFFFFF;color:#C2172D;font:16px;}"},
    // The declining button of a dialog.
    {"TOOLBUTTON_DIALOG_NO_STYLE",
     "QToolButton{border:1px solid #C8CBD0;border-radius:6px;background:#F2F3F5;color:#222222;font:16px;}",
     "QToolButton{border:1px solid #C2172D;border-radius:6px;background:#F2F3F5;color:#C2172D;font:16px;}"},
    // The four buttons of the main window: icon above the text.
    {"TOOLBUTTON_MAIN_STYLE",
     "QToolButton{border:0px;background:transparent;color:#222222;font:16px;}",
     "QToolButton{border:0px;background:transparent;color:#C2172D;font:16px;}"},
    // Icon buttons with text under the icon on the pages (tool menu, storage choice).
    {"TOOLBUTTON_ICON_STYLE",
     "QToolButton{border:0px;color:#222222;font:16px;}",
     "QToolButton{border:0px;color:#C2172D;font:16px;}"},
    // Filled red action button ("Start", "OK" on the tool pages).
    {"TOOLBUTTON_RED_STYLE",
     "QToolButton{background-color:#C2172D;border:0px;border-radius:4px;color:#FFFFFF;font:16px;}",
     "QToolButton{background-color:#8E1020;border:0px;border-radius:4px;color:#FFFFFF;font:16px;}"},
};

const ButtonStyle* findStyle(const QString& key)
{
    for (const ButtonStyle& s : kStyles)
        if (key == QLatin1String(s.key))
            return &s;
    return nullptr;
}

// The bytes of an image in one pixel format, for comparing pictures.
QByteArray imageKey(const QImage& image)
{
    const QImage img = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray key(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes());
    key.prepend(QByteArray::number(img.width()) + "x" + QByteArray::number(img.height()) + ":");
    return key;
}

// Finds which picture of ":/Resource/icon/" an icon shows. Forms set icons from
// files, and QIcon does not keep the file name, so the icon's own pixmap at its
// native size is compared with the pictures of the resource (read once).
QString resourceIconName(const QIcon& icon)
{
    static QHash<QByteArray, QString> byContent;
    static QHash<qint64, QString> byIcon;
    if (icon.isNull())
        return QString();
    const auto known = byIcon.constFind(icon.cacheKey());
    if (known != byIcon.constEnd())
        return known.value();
    if (byContent.isEmpty()) {
        const QDir dir(QString::fromLatin1(kIconDir));
        for (const QString& file : dir.entryList({"*.png"}, QDir::Files)) {
            QImage img(dir.filePath(file));
            if (!img.isNull())
                byContent.insert(imageKey(img), file);
        }
    }
    if (byIcon.size() > 512)   // thumbnails make new icons all the time
        byIcon.clear();
    QString name;
    const QList<QSize> sizes = icon.availableSizes();
    if (!sizes.isEmpty())
        name = byContent.value(imageKey(icon.pixmap(sizes.first()).toImage()));
    byIcon.insert(icon.cacheKey(), name);
    return name;
}

struct PressedButton {
    QPointer<QToolButton> button;
    QString styleSheet;
    QIcon icon;
    bool iconSwapped = false;
};

PressedButton g_pressed;
QTimer* g_releaseTimer = nullptr;

void restorePressed()
{
    if (g_pressed.button) {
        g_pressed.button->setStyleSheet(g_pressed.styleSheet);
        if (g_pressed.iconSwapped)
            g_pressed.button->setIcon(g_pressed.icon);
    }
    g_pressed = PressedButton();
}

// Gives the button its pressed look: the style key's pressed sheet and the
// icon's "_c.png" twin, when the resource has one.
void showPressed(QToolButton* button, const QString& styleKey)
{
    g_pressed.button = button;
    g_pressed.styleSheet = button->styleSheet();
    if (const ButtonStyle* style = findStyle(styleKey))
        button->setStyleSheet(QString::fromLatin1(style->pressed));

    QString name = button->property("iconName").toString();
    if (name.isEmpty())
        name = resourceIconName(button->icon());
    if (name.endsWith(QLatin1String(".png")) && !name.endsWith(QLatin1String("_c.png"))) {
        const QString twin = QString::fromLatin1(kIconDir) + name.left(name.size() - 4) + "_c.png";
        if (QFile::exists(twin)) {
            g_pressed.icon = button->icon();
            g_pressed.iconSwapped = true;
            button->setIcon(QIcon(twin));
        }
    }
}

}  // namespace

COneTimesClicked& OneTimesClicked()
{
    static COneTimesClicked guard;
    return guard;
}

QString COneTimesClicked::styleSheet(const QString& styleKey, bool pressed)
{
    const ButtonStyle* style = findStyle(styleKey);
    if (!style)
        return QString();
    return QString::fromLatin1(pressed ? style->pressed : style->plain);
}

void COneTimesClicked::setOneTimesClicked(QToolButton* button, QString styleKey)
{
    if (!g_releaseTimer) {
        g_releaseTimer = new QTimer(this);
        g_releaseTimer->setSingleShot(true);
        g_releaseTimer->setInterval(kGuardMs);
        connect(g_releaseTimer, &QTimer::timeout, this, [this] {
            restorePressed();
            m_clicked = false;
        });
    }
    restorePressed();   // a look still shown from an earlier press
    m_clicked = true;
    g_releaseTimer->start();
    if (button) {
        showPressed(button, styleKey);
        button->repaint();
    }
    QCoreApplication::processEvents();
}

bool COneTimesClicked::acceptPress(QObject* owner, QToolButton* button, const QString& styleKey)
{
    if (m_clicked)
        return false;
    QPointer<QObject> alive(owner);
    setOneTimesClicked(button, styleKey);
    return !alive.isNull();
}

bool COneTimesClicked::acceptPagePress(QObject* page)
{
    QPointer<QObject> alive(page);
    if (!acceptPress(page, nullptr, QStringLiteral("TOOLBUTTON_R25_STYLE")))
        return false;
    QCoreApplication::processEvents();
    return !alive.isNull();
}
