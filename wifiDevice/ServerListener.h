#pragma once
#include <QObject>
#include <cstdint>

// The part of the LAN listener that the printing pages use.
class ServerListener : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Free bytes of the file system holding path (64-bit), -1 when statfs fails.
    static int64_t check_free_space(const char* path);
signals:
    void sig_showMemoryList();
    void sig_printresume();
    void sig_printpause();
    void sig_printcancel();
};
