#pragma once
// Tunes on a sysfs PWM channel, played by a thread of their own.
#include <string>

class buzzerPlay {
public:
    enum TuneId { Tune0 = 0, Tune1, Tune2, Tune3, Tune4, Tune5, Tune6, Tune7 };
    static buzzerPlay* getInstance(const std::string& pwmName);
    void start();
    void play(TuneId id);
    // Tests: every note played so far as "freq/ms", and a wait until the queue is empty.
    // (Implementation details are private to buzzer/.)
private:
    explicit buzzerPlay(const std::string& pwmName);
    struct Impl;
    Impl* d;
};
