#pragma once
// The homing page.
#include <QDialog>
#include <QString>
#include "Execute/CExecuteReturnHome.h"
#include "Execute/MachineRules.h"

class SerialObject;
namespace Ui { class Home; }

class Home : public QDialog, public ReturnHomeListener {
    Q_OBJECT
public:
    explicit Home(QWidget* parent = nullptr);
    ~Home() override;
    static Home* instHome;

    void checkReturnHomeDone() override;
    void returnHomeFailed() override;

private slots:
    void on_yes_pressed();
    void on_yes_released();
    void on_yes_clicked();

private:
    Ui::Home* ui;
    void giveUp(MachineRules::Trouble why);
    // "Homing completed" only once the coordinate set has reached the controller.
    void completeWhenSent();

    SerialObject* m_serial = nullptr;
};
