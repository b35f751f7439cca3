#pragma once
#include <QObject>

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
};

CExecuteReturnHome& ExecuteReturnHome();
