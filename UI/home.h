#pragma once
// Placeholder for the homing page.
#include <QDialog>
#include "Execute/CExecuteReturnHome.h"

class Home : public QDialog, public ReturnHomeListener {
    Q_OBJECT
public:
    explicit Home(QWidget* parent = nullptr);
    ~Home() override;
    static Home* instHome;
    void checkReturnHomeDone() override {}
};
