#pragma once
// A progress screen covering the whole 480 x 272 display: title, text line,
// a bar from 0 to 100 and one "Cancel" button that closes it.
#include <QDialog>
#include <QString>

namespace Ui { class ProgressDialog; }

class ProgressDialog : public QDialog {
    Q_OBJECT
public:
    ProgressDialog(QString title, QString text, QWidget* parent = nullptr);
    ~ProgressDialog() override;
    static ProgressDialog* instProgressDialog;

    // The value that counts as 100 %.
    void setMax(qint64 max);
    // Below the maximum the bar shows value * 100 / maximum, truncated, and stays
    // as it is while that is below 1; at (or past) the maximum it shows 100.
    // A maximum of 0 or less has nothing to divide by: only "done" is shown.
    void setValue(qint64 value);
    void setLabelText(QString text);
    int percent() const;

private slots:
    void on_cancel_clicked();

private:
    Ui::ProgressDialog* ui;
    qint64 m_max = 100;
};
