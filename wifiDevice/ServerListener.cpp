#include "wifiDevice/ServerListener.h"

#include "tools/Log.h"

#include <QDebug>
#include <cerrno>
#include <cstring>
#include <sys/statfs.h>

int64_t ServerListener::check_free_space(const char* path)
{
    struct statfs fs;
    if (!path || statfs(path, &fs) != 0) {
        const int err = path ? errno : EINVAL;
        qWarning().noquote() << LOG_SRC("wifiDevice/ServerListener.cpp")
                             << QString("check free space failed: %1 %2").arg(path ? path : "(null)", std::strerror(err));
        return -1;
    }
    // Free blocks times block size, both widened first: a 32-bit board has
    // 32-bit block counts.
    const int64_t freeSpace = static_cast<int64_t>(fs.f_bfree) * static_cast<int64_t>(fs.f_bsize);
    qDebug().noquote() << LOG_SRC("wifiDevice/ServerListener.cpp") << "check free space: freespace = " + QString::number(freeSpace);
    return freeSpace;
}
