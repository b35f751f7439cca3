#pragma once
// Every absolute path of the printer goes through rootPath(), so the program,
// the tests and the demo can run inside a sandbox folder named by ORLENK_ROOT.
#include <QString>
#include <string>

namespace PrinterPath {
constexpr const char* Data = "/data";
constexpr const char* Media = "/media";
constexpr const char* ConfigFile = "/opt/PROGRAM/config/config.json";
constexpr const char* LogDir = "/opt/PROGRAM/log";
constexpr const char* ResumePrintFile = "/data/resume_print_file";
constexpr const char* ResumeBuildFile = "/data/resume_build_file";
constexpr const char* ResumePrintDetailFile = "/data/resume_printdetail_file";
constexpr const char* SerialPort = "/dev/ttyS2";
constexpr const char* GpioDir = "/sys/class/gpio";
constexpr const char* PwmDir = "/sys/class/pwm";
constexpr const char* ProcMounts = "/proc/mounts";
constexpr const char* FontFile = "/opt/qt-4.8.6/lib/fonts/code2000.ttf";
constexpr const char* PluginDir = "/opt/qt-4.8.6/plugins";
constexpr const char* CorePattern = "/proc/sys/kernel/core_pattern";
constexpr const char* CoreFile = "/data/Orlenk3-arm.core";
constexpr int BufferBusyGpio = 131;
}

// The sandbox root: $ORLENK_ROOT, or "/" when unset or empty.
std::string sandboxRoot();
// Maps an absolute printer path under the sandbox root ("/data" -> "<root>/data").
std::string rootPath(const std::string& absolutePath);
QString rootPath(const QString& absolutePath);
QString rootPath(const char* absolutePath);
// The inverse, for paths shown to the user or stored in settings.
QString printerPath(const QString& sandboxedPath);
// Whether path names a regular file whose real place, links resolved, lies in
// internal storage or on the USB stick: only such files are printed or copied.
bool isStorageFile(const std::string& path);
// Whether a path with every link already resolved lies inside internal
// storage or on the USB stick.
bool isStoragePlace(const std::string& realPath);
