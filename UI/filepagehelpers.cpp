#include "UI/filepagehelpers.h"

#include "Dialog/onebuttondialog.h"
#include "UI/mainwindow.h"
#include "wifiDevice/ServerListener.h"

#include <QCoreApplication>
#include <QFile>
#include <QPalette>
#include <QTextBoundaryFinder>
#include <QVariant>
#include <QWidget>
#include <mutex>

namespace FilePages {

bool usbMounted()
{
    return MainWindow::instMainWindow && MainWindow::instMainWindow->usbFlag();
}

namespace {
constexpr const char* kOwner = "filePagesOwner";
std::mutex g_freeSpaceMutex;
std::function<int64_t(const char*)> g_freeSpaceForTesting;
}

int64_t freeSpace(const char* path)
{
    std::function<int64_t(const char*)> query;
    {
        std::lock_guard<std::mutex> lock(g_freeSpaceMutex);
        query = g_freeSpaceForTesting;
    }
    return query ? query(path) : ServerListener::check_free_space(path);
}

void setFreeSpaceForTesting(std::function<int64_t(const char*)> query)
{
    std::lock_guard<std::mutex> lock(g_freeSpaceMutex);
    g_freeSpaceForTesting = std::move(query);
}

void setMessageOwner(OneButtonDialog* dialog, const QWidget* page)
{
    dialog->setProperty(kOwner, QVariant::fromValue(reinterpret_cast<quintptr>(page)));
}

OneButtonDialog* messageOf(const QWidget* page)
{
    OneButtonDialog* dialog = OneButtonDialog::instOneButtonDialog;
    if (!dialog || dialog->property(kOwner).value<quintptr>() != reinterpret_cast<quintptr>(page))
        return nullptr;
    return dialog;
}

void showMessage(QWidget* page, const QString& text, const QString& buttonText)
{
    OneButtonDialog* dialog = OneButtonDialog::instOneButtonDialog;
    if (dialog) {
        if (!buttonText.isEmpty())
            dialog->setBtnText(buttonText);
        dialog->setLabelText(text);
    } else {
        dialog = new OneButtonDialog("", text, buttonText, nullptr);
    }
    setMessageOwner(dialog, page);
    dialog->show();
    if (page)
        page->repaint();
    QCoreApplication::processEvents();
}

QPixmap genericFileIcon(int w, int h)
{
    return QPixmap(":/Resource/icon/G_File.png").scaled(w, h, Qt::KeepAspectRatio, Qt::FastTransformation);
}

void setupPage(QWidget* page)
{
    page->setAttribute(Qt::WA_DeleteOnClose);
    page->setWindowFlags(page->windowFlags() | Qt::FramelessWindowHint);
    page->move(0, 40);
    QPalette palette = page->palette();
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(QPixmap(":/Resource/icon/bg.png")));
    page->setPalette(palette);
    page->setAutoFillBackground(true);
    // The bottom bar draws its top border from its style sheet.
    if (QWidget* bar = page->findChild<QWidget*>("widget", Qt::FindDirectChildrenOnly))
        bar->setAttribute(Qt::WA_StyledBackground);
}

QString cutName(const QString& name, int maxChars)
{
    // Count grapheme clusters so that neither a surrogate pair nor a letter
    // with its combining marks is split.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    int chars = 0;
    qsizetype cut = -1;
    while (finder.toNextBoundary() != -1) {
        ++chars;
        if (chars == maxChars)
            cut = finder.position();
        if (chars > maxChars)
            return name.left(cut) + "...";
    }
    return name;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

QString displayName(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

bool roundTrips(const std::string& bytes)
{
    const QByteArray raw = QByteArray::fromStdString(bytes);
    return QFile::encodeName(QFile::decodeName(raw)) == raw;
}

}
