#pragma once
// A fresh printer root in a temporary folder; ORLENK_ROOT points at it while it lives.
#include <QString>
#include <QTemporaryDir>

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    QString root() const { return m_dir.path(); }
    // A printer path under this root ("/data/x.gx" -> "<root>/data/x.gx").
    QString path(const QString& printerPath) const { return m_dir.path() + printerPath; }
    void writeFile(const QString& printerPath, const QByteArray& content) const;
    QByteArray readFile(const QString& printerPath) const;
    // Lists a file system on /media in the sandboxed /proc/mounts, or removes it.
    void setUsbMounted(bool mounted) const;
private:
    QTemporaryDir m_dir;
    QByteArray m_oldRoot;
    bool m_hadOldRoot = false;
};
