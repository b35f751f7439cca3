#pragma once
// Tunes on a sysfs PWM channel, played by a thread of their own.
//
// The output name "pwmN" is channel N of the first PWM chip:
// <PwmDir>/pwmchip0/pwmN with its "period", "duty_cycle" and "enable" files
// (the channel is exported through pwmchip0/export when it is missing). A name
// holding a "/" ("pwmchip1/pwm0") is taken as a path under <PwmDir>.
// Missing or unwritable files make the buzzer silent (logged once); the tunes
// still run their course, so callers never wait or fail because of it.
//
// Tunes (frequency Hz / duration ms, 0 Hz = silence):
//   0 over-temperature, 1 job finished / homing done, 2 alarm (three short beeps),
//   3 short confirmation, 4 failure (falling), 5 target reached / filament,
//   6 park position reached, 7 start-up (rising).
#include <string>
#include <vector>

class buzzerPlay {
public:
    enum TuneId { Tune0 = 0, Tune1, Tune2, Tune3, Tune4, Tune5, Tune6, Tune7 };
    static buzzerPlay* getInstance(const std::string& pwmName);
    void start();                 // starts the player thread unless it runs
    void play(TuneId id);         // queues the tune and returns at once

    // The notes of a tune as "freq/ms".
    static std::vector<std::string> tuneNotes(TuneId id);

    // Tests: the notes played so far (the last 1024) as "freq/ms"; clearPlayed() forgets them.
    std::vector<std::string> playedNotes() const;
    void clearPlayed();
    // Tests: waits until the queue is empty and no tune plays; false after timeoutMs.
    bool waitIdle(int timeoutMs);
    // Tests: scales every note's duration (1.0 real time, 0.0 no waiting).
    static void setTimeScale(double scale);

private:
    explicit buzzerPlay(const std::string& pwmName);
    static void* threadMain(void* self);
    void run();
    void playTune(TuneId id);
    struct Impl;
    Impl* d;
};
