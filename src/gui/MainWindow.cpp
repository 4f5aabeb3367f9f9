#include "gui/MainWindow.h"

TfMain::TfMain(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Objednávky"));
  resize(1024, 700);
}
