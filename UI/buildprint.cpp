#include "UI/buildprint.h"
BuildPrint* BuildPrint::instBuildPrint = nullptr;
BuildPrint::BuildPrint(QString, QWidget* parent) : QDialog(parent) { setAttribute(Qt::WA_DeleteOnClose); }
BuildPrint::~BuildPrint() { instBuildPrint = nullptr; }
