#pragma once
// The homing page, and the post-homing coordinate set that every page sends
// after a homing run of its own.
#include <QDialog>
#include <QString>
#include "Execute/CExecuteReturnHome.h"

class SerialObject;
class QTimer;
namespace Ui { class Home; }

// The machine's build volume and where homing leaves the head.
namespace HomedPosition {
constexpr const char* BuildVolume = "190 X 195 X 200";   // width X depth X height, mm
constexpr double HomedZ = 215.0;                         // mm, before the nozzle offset
constexpr int HomingMargin = 5;                          // mm, added to half width and depth

int buildWidth();          // 190
int buildDepth();          // 195
// 215 minus the stored nozzle offset, two decimals ("212.00"); also the park height.
QString homedZText();
// "G92 X100 Y102 Z212.00 A0 B0"
QString coordinateSetCommand();
}

// Declares the homed position to the controller: "G90" (when withG90), then
// the "G92" line of HomedPosition::coordinateSetCommand(). Replies are not read.
void sendHomedCoordinates(SerialObject* link, bool withG90);

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
