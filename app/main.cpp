// melvaro: the desktop converter. Everything lives in the window classes; this
// only brings up the application and the main window.
#include <QApplication>

#include "app/MainWindow.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(AppTitle);
  QApplication::setDesktopFileName(QStringLiteral("melvaro"));
  TDesktopShell shell;
  TForm1 form1(shell);
  form1.show();
  return QApplication::exec();
}
