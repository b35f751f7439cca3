#define _FILE_OFFSET_BITS 64   // 64-bit offsets on the 32-bit board too
#include "serial/GcodeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr size_t CountBlock = 256 * 1024;

// A block at a page boundary, or null.
char* pageAligned(size_t size)
{
    void* p = nullptr;
    const long page = ::sysconf(_SC_PAGESIZE);
    return ::posix_memalign(&p, page > 0 ? size_t(page) : 4096, size) == 0 ? static_cast<char*>(p) : nullptr;
}

}

GcodeFileReader::~GcodeFileReader() { close(); }

bool GcodeFileReader::open(int fd, int64_t offset)
{
    close();
    if (fd < 0 || offset < 0)
        return false;
#ifdef POSIX_FADV_SEQUENTIAL
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    if (!m_buf)
        m_buf.reset(pageAligned(BufferSize));
    if (!m_buf)
        return false;
    m_fd = fd;
    m_offset = offset;
    m_begin = m_end = 0;
    m_eof = m_failed = m_tooLong = m_skipRest = false;
    return true;
}

void GcodeFileReader::close()
{
    m_fd = -1;   // the descriptor is the caller's
}

bool GcodeFileReader::fill()
{
    if (m_begin > 0) {
        std::memmove(m_buf.get(), m_buf.get() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    while (m_end < BufferSize) {
        const ssize_t n = ::pread(m_fd, m_buf.get() + m_end, BufferSize - m_end, off_t(m_offset));
        if (n > 0) {
            m_end += size_t(n);
            m_offset += n;
            return true;
        }
        if (n == 0) {
            m_eof = true;
            return false;
        }
        if (errno == EINTR)
            continue;
        m_failed = true;   // e.g. the USB stick was pulled
        m_eof = true;
        return false;
    }
    return true;
}

bool GcodeFileReader::next(std::string_view& line)
{
    if (m_fd < 0)
        return false;
    for (;;) {
        const char* start = m_buf.get() + m_begin;
        const void* nl = m_end > m_begin ? std::memchr(start, '\n', m_end - m_begin) : nullptr;
        if (nl) {
            const size_t len = size_t(static_cast<const char*>(nl) - start);
            m_begin += len + 1;
            if (m_skipRest) {          // tail of a line already handed out cut
                m_skipRest = false;
                continue;
            }
            m_tooLong = false;
            line = std::string_view(start, len);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            return true;
        }
        if (m_skipRest && m_end > m_begin) {
            m_begin = m_end;           // still inside the cut line
            continue;
        }
        if (m_begin == 0 && m_end == BufferSize) {
            // A line longer than the buffer: hand out its start, marked, and drop the rest.
            m_tooLong = true;
            m_skipRest = true;
            line = std::string_view(m_buf.get(), m_end);
            m_begin = m_end;
            return true;
        }
        if (m_eof || !fill()) {
            if (m_failed)
                return false;
            if (m_end > m_begin) {    // last line without "\n"
                const size_t len = m_end - m_begin;
                line = std::string_view(m_buf.get() + m_begin, len);
                m_begin = m_end;
                if (m_skipRest) {
                    m_skipRest = false;
                    return false;
                }
                m_tooLong = false;
                if (!line.empty() && line.back() == '\r')
                    line.remove_suffix(1);
                return true;
            }
            return false;
        }
    }
}

uint64_t countNewlines(const char* data, size_t size)
{
    // Sixteen lanes at a time; portable vector code that becomes SSE2 or NEON.
    typedef unsigned char v16 __attribute__((vector_size(16)));
    uint64_t total = 0;
    size_t i = 0;
    const v16 nl = {'\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n'};
    while (size - i >= 16) {
        v16 acc = {};
        const size_t blocks = std::min<size_t>((size - i) / 16, 255);
        for (size_t b = 0; b < blocks; ++b, i += 16) {
            v16 chunk;
            std::memcpy(&chunk, data + i, 16);
            acc -= (v16)(chunk == nl);   // a match is all ones, that is -1
        }
        for (int k = 0; k < 16; ++k)
            total += acc[k];
    }
    for (; i < size; ++i)
        total += data[i] == '\n';
    return total;
}

int64_t countGcodeLines(int fd, int64_t offset)
{
    if (fd < 0 || offset < 0)
        return -1;
#ifdef POSIX_FADV_SEQUENTIAL
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    const std::unique_ptr<char, decltype(&std::free)> block(pageAligned(CountBlock), &std::free);
    if (!block)
        return -1;
    char* const buf = block.get();
    int64_t lines = 0;
    char last = '\n';
    for (;;) {
        const ssize_t n = ::pread(fd, buf, CountBlock, off_t(offset));
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        offset += n;
        lines += int64_t(countNewlines(buf, size_t(n)));
        last = buf[size_t(n) - 1];
    }
    return last == '\n' ? lines : lines + 1;
}
