#include "UI/build.h"
Build* Build::instBuild = nullptr;
Build::Build(QWidget* parent) : QDialog(parent) { setAttribute(Qt::WA_DeleteOnClose); }
Build::~Build() { instBuild = nullptr; }
