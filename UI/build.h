#pragma once
// The storage choice page: internal storage or the USB stick.
#include <QDialog>

namespace Ui { class Build; }

class Build : public QDialog {
    Q_OBJECT
public:
    explicit Build(QWidget* parent = nullptr);
    ~Build() override;
    static Build* instBuild;

public slots:
    void slot_usbInsert();
    void slot_usbRemove();

private slots:
    void on_memory_clicked();
    void on_upan_clicked();
    void on_back_clicked();
    void on_memory_pressed();
    void on_memory_released();
    void on_upan_pressed();
    void on_upan_released();
    void on_back_pressed();
    void on_back_released();

private:
    Ui::Build* ui;
};
