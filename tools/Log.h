#pragma once
// The program's log: one file in the log folder, rotated when it would grow
// past 1,024,000 bytes, keeping 9 older files (name.1 newest .. name.9 oldest).
// Each line: UTC "yyyy.MM.dd hh:mm:ss.zzz", " <DEBUG> " / " <WARNING> " /
// " <CRITICAL> " / " <FATAL> ", the message.
//
// Levels from the first program argument: the number is how many levels are
// written, counted from the most severe:
//   "-1" FATAL only, "-2" CRITICAL and above, "-3" WARNING and above,
//   "-4" everything (DEBUG and above). Anything else: everything.
// Qt's info messages are written as DEBUG.
//
// Thread-safe: every write and rotation happens under one mutex.
#include <QtGlobal>
#include <cstdint>
#include <mutex>
#include <string>

// Names the place in the source before a message, for example
//   qWarning() << LOG_SRC("Config/Config.cpp") << "text";
#define LOG_SRC(file) file << __func__ << __LINE__

class Log {
public:
    enum Level { Debug = 0, Warning = 1, Critical = 2, Fatal = 3 };
    static constexpr int64_t MaxFileSize = 1024000;
    static constexpr int KeptFiles = 9;

    static Log& instance();
    // "-1".."-4" as described above; any other text (or null) gives Debug.
    static Level levelFromArgument(const char* arg);
    // Level of a config "log.level" number 1..4, same meaning as the argument.
    static Level levelFromNumber(int n);

    // Opens <folder>/<fileName> for appending (creating the folder). 0, or
    // -errno; the text of the error is strerror(-result).
    int open(const std::string& folder, const std::string& fileName, Level minLevel = Debug);
    void close();
    bool isOpen() const;
    std::string filePath() const;

    // Writes one line when level is at or above the minimum.
    void write(Level level, const std::string& message);

    // Routes every Qt message at or above the level into the log.
    static void installMessageHandler();

private:
    Log() = default;
    void rotateLocked();
    int openFileLocked();

    mutable std::mutex m_mutex;
    int m_fd = -1;
    int64_t m_size = 0;
    std::string m_path;
    Level m_level = Debug;
};
