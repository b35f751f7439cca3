#pragma once
// Buffered line reading of a G-code file from a byte offset, and a fast line
// count over the same range; both agree on what a line is (a last line
// without "\n" counts as a line). Both read an open descriptor by offset
// (pread), so they can share one with each other and with other readers;
// neither closes it.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

class GcodeFileReader {
public:
    GcodeFileReader() = default;
    ~GcodeFileReader();
    GcodeFileReader(const GcodeFileReader&) = delete;
    GcodeFileReader& operator=(const GcodeFileReader&) = delete;

    bool open(int fd, int64_t offset);
    void close();
    // The next line without "\n" and a trailing "\r"; valid until the next call.
    // False at the end of the file or on a read error (see failed()).
    bool next(std::string_view& line);
    // The line just returned was longer than the buffer and has been cut.
    bool lineTooLong() const { return m_tooLong; }
    bool failed() const { return m_failed; }

    static constexpr size_t BufferSize = 256 * 1024;

private:
    bool fill();
    int m_fd = -1;
    int64_t m_offset = 0;   // of the next byte to read
    // Page-aligned: the kernel copies into an aligned buffer about twice as fast.
    std::unique_ptr<char, decltype(&std::free)> m_buf{nullptr, &std::free};
    size_t m_begin = 0, m_end = 0;
    bool m_eof = false, m_failed = false, m_tooLong = false, m_skipRest = false;
};

// Lines from offset to the end of the file, or -1 when the file cannot be read.
int64_t countGcodeLines(int fd, int64_t offset);
// Number of "\n" bytes in a block.
uint64_t countNewlines(const char* data, size_t size);
