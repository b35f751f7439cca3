#pragma once
// Small files that must survive a power loss: written to a temporary file in
// the same folder (".<name>.tmp-XXXXXX"), synced, renamed over the old one,
// and the folder synced.
#include <cstddef>
#include <string>
#include <vector>

namespace AtomicFile {

// Replaces path with data. 0, or -errno (the old file is then left as it was).
int write(const std::string& path, const std::string& data);

// Removes the temporary files that write() left beside any of paths when
// the program died mid-write. Only for a moment when nothing writes them.
// The number removed.
int removeStale(const std::vector<std::string>& paths);

// Reads at most maxBytes of path into out. 0, -errno, or -EFBIG when the
// file is larger than maxBytes.
int read(const std::string& path, std::string& out, size_t maxBytes);

// The folder part of a path: "a/b" -> "a", "/b" -> "/", "b" -> ".".
std::string folderOf(const std::string& path);

// Creates the folder and its parents (like mkdir -p). 0 or -errno.
int makePath(const std::string& folder);

}
