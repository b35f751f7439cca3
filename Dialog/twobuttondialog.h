#pragma once
// A question with two buttons; exec() returns 1 (Accepted) for the OK button, 0 otherwise.
#include <QDialog>
#include <QString>

namespace Ui { class TwoButtonDialog; }

class TwoButtonDialog : public QDialog {
    Q_OBJECT
public:
    // Empty button texts keep the dialog's own ("OK", "Cancel").
    TwoButtonDialog(QString title, QString text, QString okText, QString cancelText, QWidget* parent = nullptr);
    ~TwoButtonDialog() override;
    static TwoButtonDialog* instTwoButtonDialog;
    // True while a question is up; callers use it to keep to one question at a time.
    static bool isShowDialog;

    void setLabelText(QString text);

private slots:
    void on_ok_clicked();
    void on_cancel_clicked();

private:
    void answer(int result);
    Ui::TwoButtonDialog* ui;
};
