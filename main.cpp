// Start-up of the printer's touch-screen program: log, font, controller link,
// start tune, translation, main window.
#include "Config/Config.h"
#include "Execute/CExecuteGetSerialObject.h"
#include "Files/StartupCleanup.h"
#include "UI/mainwindow.h"
#include "UI/resources.h"
#include "UI/startup.h"
#include "buzzer/buzzerPlay.h"
#include "serial/SerialObject.h"
#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kStoppageShowMs = 3000;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::addLibraryPath(rootPath(PrinterPath::PluginDir));
    Startup::allowCoreDumps();
    initOrlenkResources();

    // The log: level from the first argument, Qt's messages into it with "-D".
    const Log::Level level = Log::levelFromArgument(argc > 1 ? argv[1] : nullptr);
    const std::string program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toStdString();
    const int rc = Log::instance().open(rootPath(std::string(PrinterPath::LogDir)), program + ".log", level);
    if (rc != 0) {
        std::printf("open log error: %s\n", std::strerror(-rc));
        return -1;
    }
    if (argc > 2 && std::strcmp(argv[2], "-D") == 0)
        Log::installMessageHandler();
    qDebug() << LOG_SRC("main.cpp") << "start" << QString::fromStdString(program);
    removeStaleTemporaryFiles();

    // Qt 6 takes plain strings, translations and the locale as UTF-8 already.
    Startup::setApplicationFont(app);

    SerialObject* serial = ExecuteGetSerialObject().serial();
    if (!serial || (!serial->isOpen() && !serial->open()))
        return Startup::machineStoppage(app, kStoppageShowMs);
    // Stop whatever the controller was doing and release the motors.
    serial->serialCheckCode("M112");
    serial->serialCheckCode("M18");
    if (getConfigFile().configFile()->getBuzzerStatus()) {
        buzzerPlay* buzzer = buzzerPlay::getInstance("pwm1");
        buzzer->start();
        buzzer->play(buzzerPlay::Tune7);   // the rising start-up tune
    }

    installOrlenkTranslator(getConfigFile().configFile()->getLanguage());

    MainWindow window;
    window.show();
    const int result = app.exec();
    // The print thread writes the link and the settings: it leaves before they go.
    serial->endPrintForExit();
    return result;
}
