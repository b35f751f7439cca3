#pragma once
// The jog page: an axis moves while its arrow is held.
#include <QDialog>
#include <QString>

class SerialObject;
class QTimer;
class QToolButton;
namespace Ui { class Manual; }

class Manual : public QDialog {
    Q_OBJECT
public:
    explicit Manual(QWidget* parent = nullptr);
    ~Manual() override;
    static Manual* instManual;

    // A held arrow is stopped after this long without a release; tests shorten it.
    static int guardMs;

    // Leaves the machine as closing the page does: motion stopped, motors off,
    // LAN status ready. The main window calls it before it starts a print job;
    // the destructor then sends nothing more.
    void stopMachine();

private slots:
    void on_back_clicked();
    void on_Xm_pressed();
    void on_Xm_released();
    void on_Xp_pressed();
    void on_Xp_released();
    void on_Ym_pressed();
    void on_Ym_released();
    void on_Yp_pressed();
    void on_Yp_released();
    void on_Zm_pressed();
    void on_Zm_released();
    void on_Zp_pressed();
    void on_Zp_released();
    void showCoordinate() const;
    void timerOut();

protected:
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void jog(QToolButton* arrow, const QString& axisWord, int feed);
    void release(QToolButton* arrow);
    void stopIfMoving();

    Ui::Manual* ui;
    SerialObject* m_serial = nullptr;
    QTimer* m_guard = nullptr;
    bool m_stopped = false;   // stopMachine() has run
};
