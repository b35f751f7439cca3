#include "tests/support/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

Sandbox::Sandbox()
{
    m_hadOldRoot = qEnvironmentVariableIsSet("ORLENK_ROOT");
    m_oldRoot = qgetenv("ORLENK_ROOT");
    for (const char* d : {"/data", "/media", "/opt/PROGRAM/config", "/opt/PROGRAM/log", "/dev",
                          "/sys/class/gpio/gpio131", "/sys/class/pwm/pwmchip0", "/proc"})
        QDir().mkpath(path(d));
    writeFile("/proc/mounts", "/dev/root / ext4 rw 0 0\n");
    writeFile("/sys/class/gpio/gpio131/value", "0\n");
    qputenv("ORLENK_ROOT", root().toLocal8Bit());
}

Sandbox::~Sandbox()
{
    m_hadOldRoot ? qputenv("ORLENK_ROOT", m_oldRoot) : qunsetenv("ORLENK_ROOT");
}

void Sandbox::writeFile(const QString& printerPath, const QByteArray& content) const
{
    QDir().mkpath(QFileInfo(path(printerPath)).path());
    QFile f(path(printerPath));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

QByteArray Sandbox::readFile(const QString& printerPath) const
{
    QFile f(path(printerPath));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Sandbox::setUsbMounted(bool mounted) const
{
    writeFile("/proc/mounts", QByteArray("/dev/root / ext4 rw 0 0\n") + (mounted ? "/dev/sda1 /media vfat rw,relatime 0 0\n" : ""));
}
