#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qxsdk {

struct FileInfo {
    enum Type { File = 1, Directory = 2 };
    int type = File;
    int64_t size = 0;
    time_t mtime = 0;
    long mtimeNsec = 0;
    std::string path;      // full path
    uid_t owner = 0;
};

class FileManager {
public:
    // Lists folder (without "." and ".."): directories unless filesOnly, other
    // entries when their name starts with prefix and ends with one of suffixes
    // (any case). Newest first when sortByTime. 0, or -errno.
    static int entryList(std::vector<FileInfo>& list, const std::string& folder, bool recursive,
                         bool filesOnly, bool sortByTime, const std::string& prefix,
                         const std::vector<std::string>& suffixes);
    static std::string fileName(const std::string& path);
    static int remove(const std::string& path);
};

}
