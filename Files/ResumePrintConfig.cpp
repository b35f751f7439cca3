#include "Files/ResumePrintConfig.h"

#include "Config/Config.h"
#include "tools/AtomicFile.h"
#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QDebug>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr const char* kSrc = "Files/ResumePrintConfig.cpp";
constexpr size_t kMaxRecordBytes = 4096;

// One lock for the three records: the print thread and the pages both write them.
std::mutex& recordMutex()
{
    static std::mutex m;
    return m;
}

// Parses "<int>\n" lines. Every line must be complete (ended by "\n") and a
// plain decimal within int range; anything else means a damaged record.
bool parseLines(const std::string& text, std::vector<long long>& out, size_t count)
{
    out.clear();
    size_t pos = 0;
    while (out.size() < count) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            return false;
        std::string line = text.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t i = 0;
        bool negative = false;
        if (i < line.size() && (line[i] == '-' || line[i] == '+'))
            negative = line[i++] == '-';
        if (i == line.size() || line.size() - i > 10)
            return false;
        long long v = 0;
        for (; i < line.size(); ++i) {
            if (line[i] < '0' || line[i] > '9')
                return false;
            v = v * 10 + (line[i] - '0');
        }
        v = negative ? -v : v;
        if (v < INT_MIN || v > INT_MAX)
            return false;
        out.push_back(v);
        pos = nl + 1;
    }
    return true;
}

int writeNumbers(const char* printerFile, const std::vector<int>& values)
{
    std::string text;
    for (int v : values)
        text += std::to_string(v) + "\n";
    const std::string path = rootPath(std::string(printerFile));
    const int rc = AtomicFile::write(path, text);
    if (rc != 0) {
        qWarning() << LOG_SRC(kSrc) << "cannot write" << path.c_str() << ":" << strerror(-rc);
        return -1;
    }
    return 0;
}

// A single non-negative number; 0 when the file is missing or damaged.
int readCount(const char* printerFile)
{
    const std::string path = rootPath(std::string(printerFile));
    std::string text;
    const int rc = AtomicFile::read(path, text, kMaxRecordBytes);
    if (rc != 0)
        return 0;
    std::vector<long long> v;
    if (!parseLines(text, v, 1) || v[0] < 0) {
        qWarning() << LOG_SRC(kSrc) << path.c_str() << "is damaged, ignoring it";
        return 0;
    }
    return static_cast<int>(v[0]);
}

bool inRange(long long v, long long lo, long long hi) { return v >= lo && v <= hi; }

}

namespace FILESNAMESPACE {

int CResumePrintConfigSaveFile::getResumeBuildTime()
{
    std::lock_guard<std::mutex> lock(recordMutex());
    return readCount(PrinterPath::ResumeBuildFile);
}

int CResumePrintConfigSaveFile::setResumeBuildTime(int seconds)
{
    std::lock_guard<std::mutex> lock(recordMutex());
    return writeNumbers(PrinterPath::ResumeBuildFile, {seconds < 0 ? 0 : seconds});
}

int CResumePrintConfigSaveFile::getResumePrintNumber()
{
    std::lock_guard<std::mutex> lock(recordMutex());
    return readCount(PrinterPath::ResumePrintFile);
}

int CResumePrintConfigSaveFile::setResumePrintNumber(int line)
{
    std::lock_guard<std::mutex> lock(recordMutex());
    return writeNumbers(PrinterPath::ResumePrintFile, {line < 0 ? 0 : line});
}

CResumePrintConfigSaveFile& ResumePrintConfigSaveFile()
{
    static CResumePrintConfigSaveFile keeper;
    return keeper;
}

void beginResumeRecords(const std::string& printerPath, bool resumed, bool storeName)
{
    Config* config = getConfigFile().configFile();
    if (!resumed) {
        config->setPowerOffResumePrintFileName("");
        ResumePrintConfigSaveFile().setResumePrintNumber(0);
    }
    if (storeName)
        config->setPowerOffResumePrintFileName(printerPath);
}

void clearResumeRecords()
{
    getConfigFile().configFile()->setPowerOffResumePrintFileName("");
    ResumePrintConfigSaveFile().setResumePrintNumber(0);
    ResumePrintConfigSaveFile().setResumeBuildTime(0);
    printdetail_clear_config();
}

}

int printdetail_write_config(_printcfg_t* cfg)
{
    if (!cfg)
        return -1;
    std::lock_guard<std::mutex> lock(recordMutex());
    return writeNumbers(PrinterPath::ResumePrintDetailFile,
                        {cfg->set_flag, cfg->speed, cfg->extrusion, cfg->zoffset, cfg->plate, cfg->Extruder, 0, 0});
}

int printdetail_read_config(_printcfg_t* cfg)
{
    if (!cfg)
        return -1;
    std::lock_guard<std::mutex> lock(recordMutex());
    const std::string path = rootPath(std::string(PrinterPath::ResumePrintDetailFile));
    std::string text;
    const int rc = AtomicFile::read(path, text, kMaxRecordBytes);
    if (rc == -ENOENT) {
        qDebug() << LOG_SRC(kSrc) << " resume_printdetail_file not exist";
        return -1;
    }
    std::vector<long long> v;
    // set_flag, speed, extrusion, zoffset, plate, Extruder, 0, 0
    const bool ok = rc == 0 && parseLines(text, v, 8) && inRange(v[0], 0, 1) && inRange(v[1], 1, 1000)
        && inRange(v[2], 1, 1000) && inRange(v[3], -1000, 1000) && inRange(v[4], 0, 200)
        && inRange(v[5], 0, 400);
    if (!ok) {
        qWarning() << LOG_SRC(kSrc) << " resume_printdetail_file is damaged, ignoring it";
        return -1;
    }
    cfg->set_flag = static_cast<int>(v[0]);
    cfg->speed = static_cast<int>(v[1]);
    cfg->extrusion = static_cast<int>(v[2]);
    cfg->zoffset = static_cast<int>(v[3]);
    cfg->plate = static_cast<int>(v[4]);
    cfg->Extruder = static_cast<int>(v[5]);
    return 0;
}

int printdetail_clear_config()
{
    _printcfg_t cfg;
    cfg.set_flag = 0;
    cfg.speed = 100;
    cfg.extrusion = 100;
    cfg.zoffset = 0;
    cfg.plate = 60;
    cfg.Extruder = 210;
    return printdetail_write_config(&cfg);
}
