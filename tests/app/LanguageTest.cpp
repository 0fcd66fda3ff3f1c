// The window starts in the user's language: under LANG=de_DE.UTF-8 the
// captions, the list's headers, the settings dialog and the status texts
// are German. The language is set before the application exists, as a
// desktop session sets it.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "app/FileListView.h"
#include "app/MainWindow.h"
#include "app/SettingsDialog.h"
#include "app/StatusTexts.h"
#include "converter/UserLanguage.h"
#include "tests/app/RecordingShell.h"
#include "tests/support/TempFolder.h"

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void windowStartsInGerman() {
    TempFolder temp;
    TRecordingShell shell;
    shell.Config = QString::fromStdString(temp / "config");
    shell.Documents = QString::fromStdString(temp / "docs");
    TForm1 form(shell);
    QCOMPARE(form.AddButton->text(), QString("Hinzufügen"));
    QCOMPARE(form.ConvertButton->text(), QString("Umwandeln"));
    QCOMPARE(form.lvFiles->headerItem()->text(TFileListView::ColSize), QString("Größe"));
    QCOMPARE(form.Fset->PageControl->tabText(0), QString("Ausgabepfad"));
    QCOMPARE(form.Fset->windowTitle(), QString(" Optionen"));
    QCOMPARE(SummaryLine({2, 0, 1, 0}), QString("    Fertig: 2 umgewandelt, 1 fehlgeschlagen"));
    QCOMPARE(EndMark(TTaskState::tsStopped), QString("Angehalten"));
  }
};

int main(int argc, char* argv[]) {
  qunsetenv("LANGUAGE");
  qunsetenv("LC_ALL");
  qunsetenv("LC_MESSAGES");
  qputenv("LANG", "de_DE.UTF-8");
  QApplication application(argc, argv);
  InstallUserLanguage(application);
  LanguageTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "LanguageTest.moc"
