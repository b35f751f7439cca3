#pragma once
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

class QTimer;

class ReturnHomeListener {
public:
    virtual ~ReturnHomeListener() = default;
    virtual void checkReturnHomeDone() = 0;
    // An axis did not reach its end stop in time; the run has ended.
    virtual void returnHomeFailed() {}
};

// Homing executor: Z, then X, then Y (or Z only), driven by 100 ms timers on
// the GUI thread that read the end stops with "M119"; one callback at the end.
// An axis that does not reach home within its limit ends the run with a
// failure callback.
class CExecuteReturnHome : public QObject {
    Q_OBJECT
public:
    void setObject(ReturnHomeListener* listener);
    // Unregisters the listener only while it is still the registered one, so a
    // page going away never drops another page's homing run.
    void releaseObject(ReturnHomeListener* listener);
    void returnHome(bool zOnly);
    bool isHoming() const;

private:
    void step(unsigned run);
    void arm(unsigned run);

    ReturnHomeListener* m_listener = nullptr;
    QString m_axes;            // axes still to home, in order
    bool m_commandSent = false; // "G28" sent for the first axis of m_axes
    bool m_running = false;
    QDeadlineTimer m_axisDeadline;  // when the axis being homed must be home
    unsigned m_run = 0;        // a new run or an unregister makes older timers stale
};

CExecuteReturnHome& ExecuteReturnHome();
