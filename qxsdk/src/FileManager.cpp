#include "qxsdk/src/FileManager.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qxsdk {

namespace {

// Deeper trees than this are not walked: a stick can hold anything.
constexpr int kMaxDepth = 32;

bool endsWithNoCase(const char* name, const std::string& suffix)
{
    const size_t length = std::strlen(name);
    if (length <= suffix.size())
        return false;
    return strcasecmp(name + (length - suffix.size()), suffix.c_str()) == 0;
}

bool admitted(const char* name, const std::string& prefix, const std::vector<std::string>& suffixes)
{
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0)
        return false;
    if (suffixes.empty())
        return true;
    for (const std::string& s : suffixes)
        if (endsWithNoCase(name, s))
            return true;
    return false;
}

std::string realPath(const std::string& path)
{
    char* r = ::realpath(path.c_str(), nullptr);
    if (!r)
        return std::string();
    std::string s(r);
    free(r);
    return s;
}

bool isInside(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

struct Walk {
    std::vector<FileInfo>& list;
    bool recursive;
    bool filesOnly;
    const std::string& prefix;
    const std::vector<std::string>& suffixes;
    std::string topReal;                          // the listed folder, links resolved
    std::set<std::pair<dev_t, ino_t>> visited;   // guards against bind-mount loops
};

// A folder opened for listing: its descriptor, or -errno.
int openFolderAt(int dirFd, const char* path)
{
    const int fd = ::openat(dirFd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

FileInfo makeInfo(std::string path, const struct stat& st)
{
    FileInfo info;
    info.type = S_ISDIR(st.st_mode) ? FileInfo::Directory : FileInfo::File;
    info.size = static_cast<int64_t>(st.st_size);
    info.mtime = st.st_mtim.tv_sec;
    info.mtimeNsec = st.st_mtim.tv_nsec;
    info.path = std::move(path);
    info.owner = st.st_uid;
    return info;
}

// dirFd: the folder opened as a directory; closed here.
int walk(Walk& w, int dirFd, const std::string& folder, int depth)
{
    DIR* dir = dirFd >= 0 ? ::fdopendir(dirFd) : nullptr;
    if (!dir) {
        const int err = dirFd >= 0 ? errno : -dirFd;
        if (dirFd >= 0)
            ::close(dirFd);
        fprintf(stderr, "src/FileManager.cpp[%d]: open dir (%s) fail: %s\n", __LINE__, folder.c_str(), strerror(err));
        return -err;
    }
    const int fd = ::dirfd(dir);
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (struct dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        // One stat per entry, relative to the open folder: no path lookup from the root.
        struct stat st;
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            fprintf(stderr, "src/FileManager.cpp[%d]: stat file (%s%s) fail: %s\n", __LINE__, base.c_str(), name,
                    strerror(errno));
            continue;
        }
        bool link = false;
        if (S_ISLNK(st.st_mode)) {
            // A link counts as what it names, and only when that lies inside the
            // listed folder; it is never descended into (no loops, no second
            // path to the same files).
            const std::string path = base + name;
            if (::fstatat(fd, name, &st, 0) != 0) {
                fprintf(stderr, "src/FileManager.cpp[%d]: stat file (%s) fail: %s\n", __LINE__, path.c_str(), strerror(errno));
                continue;
            }
            if (!isInside(realPath(path), w.topReal))
                continue;
            link = true;
        }
        if (S_ISDIR(st.st_mode)) {
            if (!w.filesOnly)
                w.list.push_back(makeInfo(base + name, st));
            if (!link && w.recursive && depth < kMaxDepth && w.visited.insert({st.st_dev, st.st_ino}).second)
                walk(w, openFolderAt(fd, name), base + name, depth + 1);
            continue;
        }
        if (admitted(name, w.prefix, w.suffixes))
            w.list.push_back(makeInfo(base + name, st));
    }
    ::closedir(dir);
    return 0;
}

int removeTree(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? 0 : -errno;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : -errno;

    int result = 0;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return -errno;
    std::vector<std::string> children;
    while (struct dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            children.push_back(path + "/" + name);
    }
    ::closedir(dir);
    // Links inside are removed as links (lstat above), never followed.
    for (const std::string& child : children) {
        const int rc = removeTree(child);
        if (rc != 0 && result == 0)
            result = rc;
    }
    if (::rmdir(path.c_str()) != 0 && result == 0)
        result = -errno;
    return result;
}

}

int FileManager::entryList(std::vector<FileInfo>& list, const std::string& folder, bool recursive,
                           bool filesOnly, bool sortByTime, const std::string& prefix,
                           const std::vector<std::string>& suffixes)
{
    list.clear();
    Walk w{list, recursive, filesOnly, prefix, suffixes, realPath(folder), {}};
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0)
        w.visited.insert({st.st_dev, st.st_ino});
    const int rc = walk(w, openFolderAt(AT_FDCWD, folder.c_str()), folder, 0);
    if (rc != 0)
        return rc;
    if (sortByTime) {
        std::sort(list.begin(), list.end(), [](const FileInfo& a, const FileInfo& b) {
            if (a.mtime != b.mtime)
                return a.mtime > b.mtime;
            if (a.mtimeNsec != b.mtimeNsec)
                return a.mtimeNsec > b.mtimeNsec;
            return a.path < b.path;
        });
    }
    return 0;
}

std::string FileManager::fileName(const std::string& path)
{
    const size_t pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

int FileManager::remove(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            fprintf(stderr, "src/FileManager.cpp[%d]: fileName(%s) not exist\n", __LINE__, path.c_str());
            return 0;
        }
        return -errno;
    }
    const int rc = removeTree(path);
    ::sync();
    return rc;
}

}
