#pragma once
#include <QObject>
#include <QString>

class QTimer;

class ReturnHomeListener {
public:
    virtual ~ReturnHomeListener() = default;
    virtual void checkReturnHomeDone() = 0;
};

// Homing executor: Z, then X, then Y (or Z only), driven by 100 ms timers on
// the GUI thread that read the end stops with "M119"; one callback at the end.
class CExecuteReturnHome : public QObject {
    Q_OBJECT
public:
    void setObject(ReturnHomeListener* listener);
    void returnHome(bool zOnly);
    bool isHoming() const;

private:
    void step(unsigned run);
    void arm(unsigned run);

    ReturnHomeListener* m_listener = nullptr;
    QString m_axes;            // axes still to home, in order
    bool m_commandSent = false; // "G28" sent for the first axis of m_axes
    bool m_running = false;
    unsigned m_run = 0;        // a new run or an unregister makes older timers stale
};

CExecuteReturnHome& ExecuteReturnHome();
