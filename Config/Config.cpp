#include "Config/Config.h"

#include "tools/AtomicFile.h"
#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QDebug>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace {

constexpr const char* kSrc = "Config/Config.cpp";
constexpr size_t kMaxConfigBytes = 1024 * 1024;
constexpr const char* kDefaultModifyTime = "202001010101.01";
const char* const kSections[] = {"log", "general", "polarcloud", "network", "autoCalibration"};

bool sameKind(const Json::Value& v, const Json::Value& def)
{
    switch (def.type()) {
    case Json::booleanValue: return v.isBool();
    case Json::intValue:
    case Json::uintValue: return v.isInt();
    case Json::realValue: return v.isNumeric();
    case Json::stringValue: return v.isString();
    default: return v.type() == def.type();
    }
}

// The shortest decimal that reads back as the same float, so 0.1f is stored as 0.1.
double floatForJson(float f)
{
    char buf[32];
    for (int precision = 6; precision <= 9; ++precision) {
        snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(f));
        if (strtof(buf, nullptr) == f)
            break;
    }
    return strtod(buf, nullptr);
}

// "CCYYMMDDhhmm.ss", the form `touch -t` reads. Fields are checked, not just digits.
bool parseStamp(const std::string& s, struct tm& tm)
{
    if (s.size() != 15 || s[12] != '.')
        return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (i != 12 && (s[i] < '0' || s[i] > '9'))
            return false;
    auto num = [&](size_t pos, size_t len) { return std::atoi(s.substr(pos, len).c_str()); };
    memset(&tm, 0, sizeof tm);
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(4, 2) - 1;
    tm.tm_mday = num(6, 2);
    tm.tm_hour = num(8, 2);
    tm.tm_min = num(10, 2);
    tm.tm_sec = num(13, 2);
    return tm.tm_year >= 70 && tm.tm_mon >= 0 && tm.tm_mon <= 11 && tm.tm_mday >= 1 && tm.tm_mday <= 31
        && tm.tm_hour <= 23 && tm.tm_min <= 59 && tm.tm_sec <= 60;
}

std::string formatStamp(const struct tm& tm)
{
    char buf[32];
    snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d.%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
             tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

}

Config::Config() = default;

void Config::ensureLoaded()
{
    if (!m_loaded || m_path != rootPath(std::string(PrinterPath::ConfigFile)))
        load();
}

void Config::load()
{
    m_path = rootPath(std::string(PrinterPath::ConfigFile));
    m_loaded = true;
    m_root = Json::Value(Json::objectValue);

    std::string text;
    const int rc = AtomicFile::read(m_path, text, kMaxConfigBytes);
    if (rc == -ENOENT) {
        qWarning() << LOG_SRC(kSrc) << "no settings file" << m_path.c_str() << "- using defaults";
        return;
    }
    if (rc != 0) {
        qWarning() << LOG_SRC(kSrc) << "cannot read" << m_path.c_str() << ":" << strerror(-rc)
                   << "- using defaults";
        return;
    }
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value parsed;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errors) || !parsed.isObject()) {
        qWarning() << LOG_SRC(kSrc) << "settings file" << m_path.c_str() << "is damaged - using defaults:"
                   << errors.c_str();
        return;
    }
    m_root = parsed;
}

void Config::reload()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    load();
}

void Config::save()
{
    for (const char* section : kSections)
        if (!m_root[section].isObject())
            m_root[section] = Json::Value(Json::objectValue);

    Json::StreamWriterBuilder builder;
    builder["indentation"] = "    ";
    builder["precision"] = 15;
    const std::string text = Json::writeString(builder, m_root) + "\n";

    int rc = AtomicFile::makePath(AtomicFile::folderOf(m_path));
    if (rc == 0)
        rc = AtomicFile::write(m_path, text);
    if (rc != 0)
        qWarning() << LOG_SRC(kSrc) << "cannot write" << m_path.c_str() << ":" << strerror(-rc);
}

Json::Value& Config::value(const char* section, const char* key, const Json::Value& def)
{
    ensureLoaded();
    Json::Value& sec = m_root[section];
    if (!sec.isObject())
        sec = Json::Value(Json::objectValue);
    Json::Value& v = sec[key];
    if (!sameKind(v, def)) {
        v = def;
        save();
    }
    return v;
}

void Config::set(const char* section, const char* key, const Json::Value& v)
{
    ensureLoaded();
    Json::Value& sec = m_root[section];
    if (!sec.isObject())
        sec = Json::Value(Json::objectValue);
    sec[key] = v;
    save();
}

bool Config::getBool(const char* section, const char* key, bool def)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return value(section, key, Json::Value(def)).asBool();
}

int Config::getInt(const char* section, const char* key, int def)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return value(section, key, Json::Value(def)).asInt();
}

double Config::getDouble(const char* section, const char* key, double def)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const double d = value(section, key, Json::Value(def)).asDouble();
    return std::isfinite(d) ? d : def;
}

std::string Config::getString(const char* section, const char* key, const std::string& def)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return value(section, key, Json::Value(def)).asString();
}

void Config::setValue(const char* section, const char* key, const Json::Value& v)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    set(section, key, v);
}

bool Config::getBuzzerStatus() { return getBool("general", "buzzerStatus", true); }
void Config::setBuzzerStatus(bool on) { setValue("general", "buzzerStatus", on); }
bool Config::getLedStatus() { return getBool("general", "ledStatus", true); }
void Config::setLedStatus(bool on) { setValue("general", "ledStatus", on); }
bool Config::getFilamentDetect() { return getBool("general", "filamentDetect", true); }
void Config::setFilamentDetect(bool on) { setValue("general", "filamentDetect", on); }
bool Config::getPowerOffResumePrintStatus() { return getBool("general", "powerOffResumePrintStatus", true); }
void Config::setPowerOffResumePrintStatus(bool on) { setValue("general", "powerOffResumePrintStatus", on); }

std::string Config::getPowerOffResumePrintFileName()
{
    return getString("general", "powerOffResumePrintFileName", "");
}

void Config::setPowerOffResumePrintFileName(const std::string& path)
{
    setValue("general", "powerOffResumePrintFileName", path);
}

double Config::getExtruderCalibrationValue() { return getDouble("general", "extruderCalibrationValue", 3.0); }

void Config::setExtruderCalibrationValue(double mm)
{
    if (!std::isfinite(mm)) {
        qWarning() << LOG_SRC(kSrc) << "ignoring a non-finite nozzle offset";
        return;
    }
    setValue("general", "extruderCalibrationValue", mm);
}

int Config::getPrinterTotalTime() { return getInt("general", "printerTotalTime", 0); }

void Config::setPrinterTotalTime(int minutes)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const long long total = static_cast<long long>(getPrinterTotalTime()) + minutes;
    const int clamped = total < 0 ? 0 : (total > INT_MAX ? INT_MAX : static_cast<int>(total));
    set("general", "printerTotalTime", clamped);
}

std::string Config::getLanguage() { return getString("general", "language", "english"); }
void Config::setLanguage(const std::string& language) { setValue("general", "language", language); }
int Config::getLogLevel() { return getInt("log", "level", 4); }

float Config::getAutoPoint(int n)
{
    if (n < 1 || n > 9)
        return 0.0f;
    const std::string key = "point" + std::to_string(n);
    return static_cast<float>(getDouble("autoCalibration", key.c_str(), 0.0));
}

void Config::setAutoPoint(int n, float value)
{
    if (n < 1 || n > 9 || !std::isfinite(value)) {
        qWarning() << LOG_SRC(kSrc) << "ignoring point" << n << value;
        return;
    }
    const std::string key = "point" + std::to_string(n);
    setValue("autoCalibration", key.c_str(), floatForJson(value));
}

float Config::getAutoPoint1() { return getAutoPoint(1); }
float Config::getAutoPoint2() { return getAutoPoint(2); }
float Config::getAutoPoint3() { return getAutoPoint(3); }
float Config::getAutoPoint4() { return getAutoPoint(4); }
float Config::getAutoPoint5() { return getAutoPoint(5); }
float Config::getAutoPoint6() { return getAutoPoint(6); }
float Config::getAutoPoint7() { return getAutoPoint(7); }
float Config::getAutoPoint8() { return getAutoPoint(8); }
float Config::getAutoPoint9() { return getAutoPoint(9); }

std::string Config::getModifyTime()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::string stamp = getString("general", "modifyTime", kDefaultModifyTime);
    struct tm tm;
    if (!parseStamp(stamp, tm)) {
        qWarning() << LOG_SRC(kSrc) << "bad modifyTime" << stamp.c_str() << "- starting again";
        stamp = kDefaultModifyTime;
        set("general", "modifyTime", stamp);
    }
    return stamp;
}

std::string Config::nextModifyTime(const std::string& stamp)
{
    struct tm tm;
    if (!parseStamp(stamp, tm))
        parseStamp(kDefaultModifyTime, tm);
    // Count in UTC so a daylight-saving change cannot repeat or skip a stamp.
    time_t t = timegm(&tm) + 1;
    struct tm next;
    gmtime_r(&t, &next);
    return formatStamp(next);
}

time_t Config::pastNewestIn(const std::string& folder, const std::string& skip)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    time_t newest = -1;
    while (const struct dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 || skip == name)
            continue;
        struct stat st;
        if (fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            newest = std::max(newest, st.st_mtime);
    }
    closedir(dir);
    return newest + 1;
}

void Config::updateFileModifyTime(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    updateFileModifyTime(path, pastNewestIn(folder, path.substr(slash == std::string::npos ? 0 : slash + 1)));
}

void Config::updateFileModifyTime(const std::string& path, time_t notBefore)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    // The counter keeps copies in order on a board whose clock is unset; on
    // one whose clock is right the copy must still list before every file
    // already there, so the stamp is the latest of the counter, the clock and
    // notBefore.
    std::string stamp = nextModifyTime(getModifyTime());
    struct tm tm;
    parseStamp(stamp, tm);
    tm.tm_isdst = -1;
    const time_t counter = mktime(&tm);
    const time_t newest = std::max(time(nullptr), notBefore);
    if (newest > counter) {
        struct tm local;
        localtime_r(&newest, &local);
        stamp = formatStamp(local);
    }

    // The stamp is local time, as touch reads it.
    parseStamp(stamp, tm);
    tm.tm_isdst = -1;
    struct timespec times[2];
    times[0].tv_sec = mktime(&tm);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    // Set directly on the file: its name never passes through a shell.
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        qWarning() << LOG_SRC(kSrc) << "cannot set the time of" << path.c_str() << ":" << strerror(errno);
    set("general", "modifyTime", stamp);
}

Config* GetConfigFile::configFile()
{
    static Config config;
    return &config;
}

GetConfigFile& getConfigFile()
{
    static GetConfigFile holder;
    return holder;
}
