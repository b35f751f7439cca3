#include "UI/home.h"
Home* Home::instHome = nullptr;
Home::Home(QWidget* parent) : QDialog(parent) { setAttribute(Qt::WA_DeleteOnClose); }
Home::~Home() { instHome = nullptr; }
