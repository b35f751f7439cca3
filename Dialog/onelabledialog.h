#pragma once
// A one-line notice without buttons, shown over the screen while the machine
// works; pages show and hide it with setVisible and close it through the pointer.
#include <QDialog>
#include <QString>

namespace Ui { class OneLableDialog; }

class OneLableDialog : public QDialog {
    Q_OBJECT
public:
    explicit OneLableDialog(QString text, QWidget* parent = nullptr);
    ~OneLableDialog() override;
    static OneLableDialog* instOneLableDialog;

    void setLabelText(QString text);

private:
    Ui::OneLableDialog* ui;
};
