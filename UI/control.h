#pragma once
// The tool menu: one button per machine tool page, and Back.
#include <QDialog>

class QToolButton;
namespace Ui { class Control; }

class Control : public QDialog {
    Q_OBJECT
public:
    explicit Control(QWidget* parent = nullptr);
    ~Control() override;
    static Control* instControl;

private slots:
    void on_back_clicked();
    void on_back_pressed();
    void on_back_released();
    void initView();
    void on_showPreheat_clicked();
    void on_showPreheat_pressed();
    void on_showPreheat_released();
    void on_showManualControl_clicked();
    void on_showManualControl_pressed();
    void on_showManualControl_released();
    void on_showHome_clicked();
    void on_showHome_pressed();
    void on_showHome_released();
    void on_showLoad_clicked();
    void on_showLoad_pressed();
    void on_showLoad_released();
    void on_showUnload_clicked();
    void on_showUnload_pressed();
    void on_showUnload_released();
    void on_showLeveling_clicked();
    void on_showLeveling_pressed();
    void on_showLeveling_released();

private:
    // Pressed (red, "_c" icon) or normal look of one of the menu's buttons.
    void showLook(QToolButton* button, const char* icon, bool pressed);
    Ui::Control* ui;
};
