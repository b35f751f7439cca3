#pragma once
// The manual levelling page: homes, sets the nozzle gap at the rear point with
// the arrow buttons, visits the two front points for the nuts under the
// platform, stores the offset found and homes again.
#include <QDialog>
#include <QList>
#include <QString>
#include "Execute/CExecuteReturnHome.h"
#include "Execute/MachineRules.h"

class SerialObject;
class QTimer;
namespace Ui { class PlatformLevel; }

class PlatformLevel : public QDialog, public ReturnHomeListener {
    Q_OBJECT
public:
    explicit PlatformLevel(QWidget* parent = nullptr);
    ~PlatformLevel() override;
    static PlatformLevel* instPlatformLevel;

    void checkReturnHomeDone() override;
    void returnHomeFailed() override;

private slots:
    void checkMove();
    void on_back_clicked();
    void on_ok_clicked();
    void on_Zm_pressed();
    void on_Zp_pressed();

private:
    QList<QWidget*> stepWidgets() const;   // what showUI() and hiddenUI() switch
    void showUI();
    void hiddenUI();
    void platformLevelDone();
    void arrivedAtRearPoint();
    void moveToPoint(const QString& notice, const QString& travel);
    void stepZ(int tenths);
    // Homing (no limit here: the homing executor has its own) or moves with their limit.
    void startMoving(int limitMs = 0);
    // The machine is stuck or silent: stopped, the cause shown, Back offered.
    void giveUp(MachineRules::Trouble why);
    void pollMotionIn(int ms);
    void showOffset();

    Ui::PlatformLevel* ui;
    SerialObject* m_serial = nullptr;
    int m_homingStage = 0;      // 0: first homing and the points; 1: final homing
    int m_pointStage = 0;       // 0 travelling to the rear point, 1..3 at point 1..3
    bool m_inOk = false;        // the OK handler is running (it lets events run)
    int m_targetZ = 0;          // tenths of a mm, the Z last commanded at this point
    int m_ZShowOffset = 0;      // micrometres, the offset shown and stored at the end
    bool m_isMoving = false;    // homing or a move under way: OK is ignored
    MachineRules::MoveWait m_moveWait;
};
