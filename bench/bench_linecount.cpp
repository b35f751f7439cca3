// Counts the lines of a file as the print loop does, as a program of its own,
// so it can be timed as a whole process beside "wc -l FILE".
#include "serial/GcodeFile.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    const int64_t lines = countGcodeLines(fd, 0);
    if (fd >= 0)
        ::close(fd);
    if (lines < 0) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    std::printf("%lld %s\n", static_cast<long long>(lines), argv[1]);
    return 0;
}
