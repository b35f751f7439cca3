// Arbitrary bytes as a print file: the header, thumbnail and pre-print check
// readers must neither crash nor read out of bounds, and the print loop's line
// reader and counter must agree on the lines of the file it opens.
#include "Files/PrintFile.h"
#include "serial/GcodeFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

QString workDir;

void removeWorkDir()
{
    if (!workDir.isEmpty())
        QDir(workDir).removeRecursively();
}

bool writeAll(const QString& path, const uint8_t* data, size_t size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    return done == size;
}

}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet);
    QByteArray tmpl = QDir::tempPath().toLocal8Bit() + "/fuzz_printfile-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        std::abort();
    workDir = QString::fromLocal8Bit(tmpl);
    std::atexit(removeWorkDir);
    // The reader takes only files of internal storage: the work folder is the root.
    ::setenv("ORLENK_ROOT", tmpl.constData(), 1);
    if (!QDir(workDir).mkpath("data"))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The last byte chooses the kind, so the same bytes are read both ways.
    const bool gx = size == 0 || (data[size - 1] & 1) == 0;
    const QString path = workDir + (gx ? "/data/input.gx" : "/data/input.gcode");
    if (!writeAll(path, data, size))
        std::abort();

    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    if (const auto h = PrintFile::parseHeader(bytes))
        (void)PrintFile::thumbnailRange(*h, qint64(size));
    (void)PrintFile::readHeader(path);
    (void)PrintFile::readThumbnail(path, 110, 110);
    const PrintFile::CheckResult r = PrintFile::checkPrintFile(path);
    if (r.nozzleTemp < 0 || r.nozzleTemp > 260 || r.platformTemp < 0 || r.platformTemp > 110)
        std::abort();
    if (r.bytesRead < 0 || r.bytesRead > qint64(size) + 4096)
        std::abort();
    // The decoder's own guard, on the raw bytes.
    (void)PrintFile::decodeThumbnail(bytes);

    // As the print loop reads it: one open, header, count and lines by offset.
    PrintFile::StorageFile file;
    if (file.open(path.toStdString()) != PrintFile::StorageFile::Status::Open || file.size() != int64_t(size))
        std::abort();
    int64_t start = 0;
    if (gx) {
        const auto h = PrintFile::readHeader(file.fd());
        if (bool(h) != (size >= size_t(PrintFile::HeaderSize)))
            std::abort();
        if (h && h->gcodeOffset >= uint32_t(PrintFile::HeaderSize) && int64_t(h->gcodeOffset) <= file.size())
            start = h->gcodeOffset;
    }
    const int64_t total = countGcodeLines(file.fd(), start);
    GcodeFileReader reader;
    if (total < 0 || !reader.open(file.fd(), start))
        std::abort();
    std::string_view line;
    int64_t lines = 0;
    while (reader.next(line))
        ++lines;
    if (reader.failed() || lines != total)
        std::abort();
    return 0;
}
