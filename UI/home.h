#pragma once
// The homing page.
#include <QDialog>
#include <QString>
#include "Execute/CExecuteReturnHome.h"
#include "Execute/MachineRules.h"

class SerialObject;
class QTimer;
namespace Ui { class Home; }

class Home : public QDialog, public ReturnHomeListener {
    Q_OBJECT
public:
    explicit Home(QWidget* parent = nullptr);
    ~Home() override;
    static Home* instHome;

    void checkReturnHomeDone() override;

    // How long Back stays locked when homing never reports its end.
    static int homingTimeoutMs;

private slots:
    void on_yes_pressed();
    void on_yes_released();
    void on_yes_clicked();
    void homingTimedOut();

private:
    Ui::Home* ui;
    SerialObject* m_serial = nullptr;
    QTimer* m_timeout = nullptr;
};
