#include "tools/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// ".<name>.tmp-" beside path: hidden, and never a name a user picks.
std::string temporaryPrefix(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + "." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp-";
}

int writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

}

namespace AtomicFile {

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int makePath(const std::string& folder)
{
    if (folder.empty())
        return 0;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        partial = folder.substr(0, pos);
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return -errno;
    }
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0)
        return -errno;
    return S_ISDIR(st.st_mode) ? 0 : -ENOTDIR;
}

int write(const std::string& path, const std::string& data)
{
    const std::string folder = folderOf(path);
    std::string name = temporaryPrefix(path) + "XXXXXX";
    std::vector<char> tmpl(name.begin(), name.end());
    tmpl.push_back('\0');
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const std::string tmpPath(tmpl.data());
    int rc = writeAll(fd, data.data(), data.size());
    if (rc == 0 && ::fchmod(fd, 0644) != 0)
        rc = -errno;
    if (rc == 0 && ::fsync(fd) != 0)
        rc = -errno;
    if (::close(fd) != 0 && rc == 0)
        rc = -errno;
    if (rc == 0 && ::rename(tmpPath.c_str(), path.c_str()) != 0)
        rc = -errno;
    if (rc != 0) {
        ::unlink(tmpPath.c_str());
        return rc;
    }
    // The rename itself must reach the disk too.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

int removeStale(const std::vector<std::string>& paths)
{
    // One scan per folder, whatever number of its files are asked for.
    std::map<std::string, std::vector<std::string>> stems;
    for (const std::string& path : paths) {
        const std::string prefix = temporaryPrefix(path);
        stems[folderOf(path)].push_back(prefix.substr(prefix.rfind('/') + 1));
    }
    int removed = 0;
    for (const auto& [folder, names] : stems) {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir)
            continue;
        while (const struct dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            for (const std::string& stem : names) {
                if (name.size() != stem.size() + 6 || name.compare(0, stem.size(), stem) != 0)
                    continue;
                if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
                    ++removed;
                break;
            }
        }
        ::closedir(dir);
    }
    return removed;
}

int read(const std::string& path, std::string& out, size_t maxBytes)
{
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    char buf[4096];
    int rc = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            rc = -errno;
            break;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            rc = -EFBIG;
            break;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    if (rc != 0)
        out.clear();
    return rc;
}

}
