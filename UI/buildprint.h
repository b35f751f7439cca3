#pragma once
// Placeholder: the printing page lands with its own work; only the interface
// the main window uses is here.
#include <QDialog>
#include <QString>
#include "Execute/CExecuteReturnHome.h"

class BuildPrint : public QDialog, public ReturnHomeListener {
    Q_OBJECT
public:
    BuildPrint(QString filePath, QWidget* parent = nullptr);
    ~BuildPrint() override;
    static BuildPrint* instBuildPrint;
    void checkReturnHomeDone() override {}
    void ClearBuildTime() {}
    QString getPrintLayer() { return "0/0"; }
    int m_printSpeed = 100;   // speed copy, percent
    int m_zOffset = 0;        // Z-offset copy, hundredths of a millimetre
};
