#pragma once
// The raw serial line to the controller: 115200 baud, 8N1, no flow control,
// no echo, non-blocking descriptor; every read and write is bounded in time
// and every reply line in length.
#include <cstddef>
#include <string>

class SerialPort {
public:
    explicit SerialPort(std::string devicePath);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    bool open();
    void close();
    bool reopen();
    bool isOpen() const { return m_fd >= 0; }
    const std::string& devicePath() const { return m_path; }

    // Writes all bytes within timeoutMs. Returns the bytes written: all of them,
    // or fewer when the line failed (then the port is marked broken).
    size_t write(const char* data, size_t size, int timeoutMs);

    enum class Read { Line, Timeout, HangUp, TooLong };
    // One line up to "\n" (which is removed, as is a trailing "\r").
    Read readLine(std::string& line, int timeoutMs, size_t maxLength);

    // True when bytes are waiting that nobody asked for (read ahead or in the kernel).
    bool hasStaleInput();
    // True when a whole line has been read ahead (readLine returns it without waiting).
    bool hasLine() const { return m_in.find('\n') != std::string::npos; }
    // Part of a line has arrived, without its end.
    bool hasPartialLine() const { return !m_in.empty() && !hasLine(); }
    // Whole lines read ahead (replies waiting to be taken).
    int linesWaiting() const;
    // Reads ahead, without waiting, what has already arrived.
    void readAvailable();
    // Drops everything already received.
    void flushInput();
    // Drops everything already received and returns how many whole lines it held.
    int dropWaiting();
    // Reads and drops input until the line has been quiet for quietMs, at most maxMs.
    void drainUntilQuiet(int quietMs, int maxMs);

    // Set when a read or write found the line hung up or failing.
    bool broken() const { return m_broken; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_broken = false;
    bool m_openFailed = false;
    std::string m_in;      // bytes read ahead, not yet handed out
};
