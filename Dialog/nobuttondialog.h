#pragma once
// A message without buttons; its creator closes it.
#include <QDialog>
#include <QString>

namespace Ui { class NoButtonDialog; }

class NoButtonDialog : public QDialog {
    Q_OBJECT
public:
    NoButtonDialog(QString title, QString text, QWidget* parent = nullptr);
    ~NoButtonDialog() override;
    static NoButtonDialog* instNoButtonDialog;

    void setLabelText(QString text);

private:
    Ui::NoButtonDialog* ui;
};
