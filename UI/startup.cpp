#include "UI/startup.h"

#include "Dialog/nobuttondialog.h"
#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace Startup {

namespace {
constexpr int kFontPoints = 14;
}

void allowCoreDumps()
{
    // The kernel's core pattern; a sandbox root has no such file, so nothing is set there.
    const std::string pattern = rootPath(std::string(PrinterPath::CoreFile)) + "\n";
    const int fd = ::open(rootPath(std::string(PrinterPath::CorePattern)).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd >= 0) {
        if (::write(fd, pattern.data(), pattern.size()) != ssize_t(pattern.size()))
            qWarning() << LOG_SRC("UI/startup.cpp") << "core pattern not set:" << std::strerror(errno);
        ::close(fd);
    }
    struct rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    if (::setrlimit(RLIMIT_CORE, &unlimited) != 0) {
        // Without the right to raise the hard limit: as much as it allows.
        struct rlimit limit;
        if (::getrlimit(RLIMIT_CORE, &limit) == 0) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_CORE, &limit);
        }
    }
}

void setApplicationFont(QApplication& app)
{
    QFont font = app.font();
    const QString file = rootPath(PrinterPath::FontFile);
    if (QFile::exists(file)) {
        const int id = QFontDatabase::addApplicationFont(file);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            font = QFont(families.first());
        else
            qWarning() << LOG_SRC("UI/startup.cpp") << "font file unusable:" << file;
    }
    font.setPointSize(kFontPoints);
    app.setFont(font);
}

int machineStoppage(QApplication& app, int showMs)
{
    qCritical() << LOG_SRC("UI/startup.cpp") << "controller link cannot be opened";
    auto* dialog = new NoButtonDialog(QApplication::translate("Startup", "Machine stoppage"),
                                      QApplication::translate("Startup", "Please reboot the machine"), nullptr);
    dialog->show();
    QTimer::singleShot(showMs, &app, &QCoreApplication::quit);
    app.exec();
    delete NoButtonDialog::instNoButtonDialog;
    return -1;
}

}
