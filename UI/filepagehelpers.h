#pragma once
// Small helpers shared by the storage, file list and file pages.
#include <QByteArray>
#include <QPixmap>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class OneButtonDialog;
class QWidget;

namespace FilePages {

// The main window's USB-stick flag; false while there is no main window.
bool usbMounted();

// Free bytes of the file system holding path, -1 when unknown: the LAN
// listener's query. Any thread may ask.
int64_t freeSpace(const char* path);
// Tests answer it for storages they cannot make small; null restores it.
void setFreeSpaceForTesting(std::function<int64_t(const char* path)> query);

// The one-button message of the file pages: an open one gets the text (and
// buttonText when given), otherwise a new one is made (its own "OK" when no
// buttonText); then it is shown, the page repainted and pending events run,
// so the caller must check its page again. The message belongs to page (none
// when null) until another page's text replaces it.
void showMessage(QWidget* page, const QString& text, const QString& buttonText = QString());

// The one-button dialog when it exists and its text was last set by page.
OneButtonDialog* messageOf(const QWidget* page);
// Marks dialog as the message of page (for a dialog made without showMessage).
void setMessageOwner(OneButtonDialog* dialog, const QWidget* page);

// The generic print-file icon scaled into w x h, for a file without a thumbnail.
QPixmap genericFileIcon(int w, int h);

// Frameless, deleted on close, at (0, 40) below the status row, with the
// common background picture.
void setupPage(QWidget* page);

// A name of at most maxChars characters (as the user sees them) is returned
// whole; a longer one is cut to its first maxChars characters and "...".
QString cutName(const QString& name, int maxChars);

// The name of a path: the part after its last "/" (a "\\" is part of a
// name on this system).
std::string baseName(const std::string& path);

// The text shown for a file name's own bytes.
QString displayName(const std::string& bytes);
inline QString displayName(const QByteArray& bytes) { return displayName(bytes.toStdString()); }

// True when the name survives the trip through QString unchanged, so APIs
// that take a QString path reach the same file.
bool roundTrips(const std::string& bytes);

}
