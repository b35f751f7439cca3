#include "buzzer/buzzerPlay.h"

#include "gpio/Gpio.h"
#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QDebug>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr const char* kSrc = "buzzer/buzzerPlay.cpp";
constexpr size_t kMaxQueuedTunes = 16;
constexpr size_t kMaxRememberedNotes = 1024;

struct Note {
    int freq;   // Hz, 0 = silence
    int ms;
};

const std::vector<Note>& tune(int id)
{
    static const std::vector<Note> tunes[8] = {
        {{117, 200}, {466, 200}, {0, 200}, {117, 200}, {466, 200}, {0, 200}, {2217, 440}},
        {{3520, 288}, {0, 188}, {4435, 188}, {0, 188}, {4699, 433}},
        {{1760, 150}, {0, 100}, {1760, 150}, {0, 100}, {1760, 150}},
        {{2637, 80}, {0, 40}, {3136, 120}},
        {{1568, 200}, {0, 20}, {1175, 200}, {0, 20}, {880, 400}},
        {{880, 400}, {0, 20}, {1109, 200}, {0, 20}, {1319, 200}, {0, 20}, {880, 400}},
        {{3520, 200}, {0, 20}, {3520, 200}, {0, 20}, {4186, 200}, {0, 20}, {3520, 400}},
        {{1047, 150}, {1319, 150}, {1568, 150}, {2093, 300}},
    };
    return tunes[id];
}

std::atomic<double> g_timeScale{1.0};

}

struct buzzerPlay::Impl {
    std::string name;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<TuneId> queue;
    bool running = false;
    bool playing = false;
    bool warned = false;
    std::vector<std::string> played;

    std::string channelDir() const
    {
        const std::string base = rootPath(std::string(PrinterPath::PwmDir));
        if (name.find('/') != std::string::npos)
            return base + "/" + name;
        return base + "/pwmchip0/" + name;
    }

    // Exports the channel when the chip has it but it is not visible yet.
    void exportChannel(const std::string& dir)
    {
        struct stat st;
        if (::stat(dir.c_str(), &st) == 0 || name.compare(0, 3, "pwm") != 0 || name.find('/') != std::string::npos)
            return;
        const std::string chip = rootPath(std::string(PrinterPath::PwmDir)) + "/pwmchip0";
        sysfsWriteFile(chip + "/export", name.substr(3));
    }

    void warnOnce(const std::string& what)
    {
        if (warned)
            return;
        warned = true;
        qWarning() << LOG_SRC(kSrc) << "buzzer" << name.c_str() << "is silent:" << what.c_str() << strerror(errno);
    }

    // Sets one note on the channel: duty 0 first, as the kernel refuses a
    // period shorter than the current duty cycle.
    void output(int freq)
    {
        const std::string dir = channelDir();
        exportChannel(dir);
        bool ok = true;
        if (freq <= 0) {
            ok = sysfsWriteFile(dir + "/enable", "0");
        } else {
            const long long period = 1000000000LL / freq;
            ok = sysfsWriteFile(dir + "/duty_cycle", "0") && sysfsWriteFile(dir + "/period", std::to_string(period))
                && sysfsWriteFile(dir + "/duty_cycle", std::to_string(period / 2)) && sysfsWriteFile(dir + "/enable", "1");
        }
        if (!ok)
            warnOnce(dir);
    }
};

buzzerPlay::buzzerPlay(const std::string& pwmName) : d(new Impl)
{
    d->name = pwmName;
}

buzzerPlay* buzzerPlay::getInstance(const std::string& pwmName)
{
    static std::mutex mutex;
    static std::map<std::string, buzzerPlay*> players;   // live as long as the program
    std::lock_guard<std::mutex> lock(mutex);
    buzzerPlay*& p = players[pwmName];
    if (!p)
        p = new buzzerPlay(pwmName);
    return p;
}

void buzzerPlay::start()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->running)
        return;
    pthread_t thread;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    const int rc = pthread_create(&thread, &attr, &buzzerPlay::threadMain, this);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        qWarning() << LOG_SRC(kSrc) << "create pthread error:" << strerror(rc);
        return;
    }
    d->running = true;
}

void buzzerPlay::play(TuneId id)
{
    if (id < Tune0 || id > Tune7)
        return;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->queue.size() >= kMaxQueuedTunes) {
            qWarning() << LOG_SRC(kSrc) << "tune queue full, dropping tune" << int(id);
            return;
        }
        d->queue.push_back(id);
    }
    d->wake.notify_one();
    // A queued tune needs a player; callers that forgot start() still hear it.
    start();
}

void* buzzerPlay::threadMain(void* self)
{
    static_cast<buzzerPlay*>(self)->run();
    return nullptr;
}

void buzzerPlay::run()
{
    for (;;) {
        TuneId id;
        {
            std::unique_lock<std::mutex> lock(d->mutex);
            d->playing = false;
            d->idle.notify_all();
            d->wake.wait(lock, [this] { return !d->queue.empty(); });
            id = d->queue.front();
            d->queue.pop_front();
            d->playing = true;
        }
        playTune(id);
    }
}

void buzzerPlay::playTune(TuneId id)
{
    for (const Note& n : tune(id)) {
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            if (d->played.size() >= kMaxRememberedNotes)
                d->played.erase(d->played.begin());
            d->played.push_back(std::to_string(n.freq) + "/" + std::to_string(n.ms));
            d->output(n.freq);
        }
        const double ms = n.ms * g_timeScale.load();
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(ms * 1000)));
    }
    std::lock_guard<std::mutex> lock(d->mutex);
    d->output(0);
}

std::vector<std::string> buzzerPlay::tuneNotes(TuneId id)
{
    std::vector<std::string> notes;
    if (id < Tune0 || id > Tune7)
        return notes;
    for (const Note& n : tune(id))
        notes.push_back(std::to_string(n.freq) + "/" + std::to_string(n.ms));
    return notes;
}

std::vector<std::string> buzzerPlay::playedNotes() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->played;
}

void buzzerPlay::clearPlayed()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->played.clear();
}

bool buzzerPlay::waitIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(d->mutex);
    return d->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this] { return d->queue.empty() && !d->playing; });
}

void buzzerPlay::setTimeScale(double scale)
{
    g_timeScale = scale < 0 ? 0 : scale;
}
