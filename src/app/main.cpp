#include <QApplication>

#include "gui/MainWindow.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Objednávky"));
  TfMain window;
  window.show();
  return QApplication::exec();
}
