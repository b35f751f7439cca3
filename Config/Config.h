#pragma once
// The settings store: one JSON file, one getter and setter per key. A getter
// of a missing key stores its default. Every setter rewrites the whole file
// (written to a temporary file, synced and renamed over the old one).
#include <json/json.h>
#include <ctime>
#include <mutex>
#include <string>

class Config {
public:
    Config();

    bool getBuzzerStatus();                 // general.buzzerStatus, default true
    void setBuzzerStatus(bool on);
    bool getLedStatus();                    // general.ledStatus, default true
    void setLedStatus(bool on);
    bool getFilamentDetect();               // general.filamentDetect, default true
    void setFilamentDetect(bool on);
    bool getPowerOffResumePrintStatus();    // general.powerOffResumePrintStatus, default true
    void setPowerOffResumePrintStatus(bool on);
    std::string getPowerOffResumePrintFileName();  // general.powerOffResumePrintFileName, default ""
    void setPowerOffResumePrintFileName(const std::string& path);
    double getExtruderCalibrationValue();   // general.extruderCalibrationValue, default 3.0
    void setExtruderCalibrationValue(double mm);
    int getPrinterTotalTime();              // general.printerTotalTime, minutes, default 0
    void setPrinterTotalTime(int minutes);  // adds minutes to the stored total
    std::string getLanguage();              // general.language, default "english"
    void setLanguage(const std::string& language);
    int getLogLevel();                      // log.level, default 4
    float getAutoPoint1(); float getAutoPoint2(); float getAutoPoint3();
    float getAutoPoint4(); float getAutoPoint5(); float getAutoPoint6();
    float getAutoPoint7(); float getAutoPoint8(); float getAutoPoint9();
    float getAutoPoint(int n);              // autoCalibration.point<n>, n 1..9, default 0.0
    void setAutoPoint(int n, float value);

    // Gives the file the next "modifyTime" stamp as access and modification time,
    // so a copy into internal storage lists as the newest file of its folder:
    // the later of the counter's next value, the clock and notBefore.
    void updateFileModifyTime(const std::string& path, time_t notBefore);
    // As above with notBefore one second past the newest other entry of its folder.
    void updateFileModifyTime(const std::string& path);
    // One second past the newest modification time among the entries of folder
    // but skip, 0 when none. It stats every entry: a copy of many files asks
    // once, as each later stamp follows the counter past the one before.
    static time_t pastNewestIn(const std::string& folder, const std::string& skip = std::string());
    std::string getModifyTime();            // general.modifyTime, default "202001010101.01"

    // Tests: forget the cached document and read the file again.
    void reload();

    // The stamp that follows a "modifyTime" stamp (one second later).
    static std::string nextModifyTime(const std::string& stamp);

private:
    void ensureLoaded();
    bool getBool(const char* section, const char* key, bool def);
    int getInt(const char* section, const char* key, int def);
    double getDouble(const char* section, const char* key, double def);
    std::string getString(const char* section, const char* key, const std::string& def);
    void setValue(const char* section, const char* key, const Json::Value& v);
    Json::Value& value(const char* section, const char* key, const Json::Value& def);
    void set(const char* section, const char* key, const Json::Value& v);
    void save();
    void load();
    std::recursive_mutex m_mutex;
    Json::Value m_root;
    bool m_loaded = false;
    std::string m_path;     // the file m_root was read from (follows the sandbox root)
};

class GetConfigFile {
public:
    Config* configFile();
};

GetConfigFile& getConfigFile();
