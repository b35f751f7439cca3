#pragma once
// A message with one button that closes it.
#include <QDialog>
#include <QString>

namespace Ui { class OneButtonDialog; }

class OneButtonDialog : public QDialog {
    Q_OBJECT
public:
    // An empty button text keeps the button's own "OK". Not shown by the constructor.
    OneButtonDialog(QString title, QString text, QString buttonText, QWidget* parent = nullptr);
    ~OneButtonDialog() override;
    static OneButtonDialog* instOneButtonDialog;

    void setLabelText(QString text);
    void setBtnText(QString text);

private slots:
    void on_ok_clicked();

private:
    Ui::OneButtonDialog* ui;
};
