#pragma once
// Placeholder for the storage choice page.
#include <QDialog>

class Build : public QDialog {
    Q_OBJECT
public:
    explicit Build(QWidget* parent = nullptr);
    ~Build() override;
    static Build* instBuild;
};
