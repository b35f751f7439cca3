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
        qWarning() << LOG_SRC("wifiDevice/ServerListener.cpp") << "check free space failed: " << (path ? path : "(null)")
                   << std::strerror(err);
        return -1;
    }
    // The blocks a write can use (root's reserve left out); both factors are
    // widened first, since a 32-bit board has 32-bit block counts.
    const int64_t freeSpace = static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_bsize);
    qDebug() << LOG_SRC("wifiDevice/ServerListener.cpp") << "check free space: freespace = " << freeSpace;
    return freeSpace;
}
