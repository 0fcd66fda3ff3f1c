// melvaro: the desktop converter. Everything lives in the window classes; this
// only brings up the application and the main window, with the files and
// folders named on the command line ("Open with Melvaro") in its list.
#include <QApplication>

#include "app/AudioFiles.h"
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
  // Qt has taken its own options out of the arguments already.
  form1.AddPaths(CommandLinePaths(QApplication::arguments()));
  return QApplication::exec();
}
