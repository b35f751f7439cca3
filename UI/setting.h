#pragma once
// The settings page: for now only the entry to the probing page.
#include <QDialog>

namespace Ui { class Setting; }

class Setting : public QDialog {
    Q_OBJECT
public:
    explicit Setting(QWidget* parent = nullptr);
    ~Setting() override;
    static Setting* instSetting;

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void on_showExtruderCalibration_clicked();
    void on_back_clicked();
    void on_back_pressed();
    void on_back_released();

private:
    Ui::Setting* ui;
};
