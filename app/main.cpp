// melvaro: the desktop converter. Everything lives in the window classes; this
// only brings up the application and the main window, with the files and
// folders named on the command line ("Open with Melvaro") in its list.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/AudioFiles.h"
#include "app/MainWindow.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"
#include "converter/UserLanguage.h"

namespace {

const char* const Usage = "usage: melvaro [FILE_OR_FOLDER...]\n";
const char* const Help =
    "Opens the Melvaro window with each FILE_OR_FOLDER in its list: a folder\n"
    "adds the audio files beneath it, sub-folders included.\n"
    "\n"
    "  -h, --help     show this text\n"
    "      --version  show the program's version\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are taken as well.\n";

// --help and --version are answered before Qt starts, so that they work
// without a display.
bool AnsweredWithoutWindow(int argc, char* argv[]) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("melvaro %s\n", MELVARO_VERSION);
      return true;
    }
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::printf("%s\n%s", Usage, Help);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (AnsweredWithoutWindow(argc, argv)) return 0;
  PreferUtf8WithoutLocale();
  QApplication application(argc, argv);
  InstallUserLanguage(application);
  QApplication::setApplicationName(AppTitle);
  QApplication::setApplicationVersion(QStringLiteral(MELVARO_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("melvaro"));
  TDesktopShell shell;
  TForm1 form1(shell);
  form1.show();
  // Qt has taken its own options out of argc and argv already.
  form1.AddNativePaths(NativeCommandLinePaths(argc, argv));
  return QApplication::exec();
}
