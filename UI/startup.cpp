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

namespace Startup {

namespace {
constexpr int kFontPoints = 14;
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
