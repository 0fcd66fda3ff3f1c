// The main window and the settings dialog without conversions: start-up
// folders, the settings file, the list operations and the event handlers.
#include <unistd.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>

extern "C" {
#include <libavcodec/version.h>
}

#include "app/AudioFiles.h"
#include "app/FileListView.h"
#include "app/IniFile.h"
#include "app/MainWindow.h"
#include "app/SettingsDialog.h"
#include "app/StartupFolders.h"
#include "tests/app/RecordingShell.h"
#include "tests/support/TempFolder.h"

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TempFolder> Temp;
  TRecordingShell Shell;

  QString Root() const { return QString::fromStdString(Temp->path().string()); }
  QString IniFile() const { return Root() + "/config/tarvik/Melvaro/Path.INI"; }
  static QStringList Column(const TForm1& form, int column) {
    QStringList texts;
    for (int row = 0; row < form.lvFiles->RowCount(); ++row)
      texts.append(form.lvFiles->Row(row)->text(column));
    return texts;
  }
  QString MakeFile(const QString& name, qint64 size) {
    const QString path = Root() + "/in/" + name;
    QDir().mkpath(Root() + "/in");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
      qFatal("cannot make %s", qPrintable(path));
    return path;
  }

 private slots:
  void init() {
    Temp = std::make_unique<TempFolder>();
    Shell = TRecordingShell();
    Shell.Config = Root() + "/config";
    Shell.Documents = Root() + "/docs";
  }
  void cleanup() { Temp.reset(); }

  void startupWithoutSettingsFile() {
    TForm1 form(Shell);
    QCOMPARE(form.OutputFolder, Root() + "/docs/Temp/");
    QCOMPARE(form.SettingsFolder, Root() + "/config/tarvik/Melvaro/");
    QVERIFY(QFileInfo(form.OutputFolder).isDir());
    QVERIFY(QFileInfo(form.SettingsFolder).isDir());
    QVERIFY(!QFile::exists(IniFile()));
    QCOMPARE(form.Fset->FolderEdit->text(), form.OutputFolder);
    QCOMPARE(form.FilesAtOnce, DefaultFilesAtOnce());
    QCOMPARE(form.Fset->FilesAtOnceBox->value(), DefaultFilesAtOnce());

    QCOMPARE(form.windowTitle(), QString("  Melvaro V3.3"));
    QCOMPARE(QCoreApplication::applicationName(), QString("Melvaro"));
    QCOMPARE(form.FormatBox->count(), int(OutputFormats().size()));
    QCOMPARE(form.FormatBox->currentText(), QString("  MP3  (*.mp3)"));
    QVERIFY(!form.StopButton->isEnabled());
    QVERIFY(form.ConvertButton->isEnabled());
    QCOMPARE(form.ProgressBar1->value(), 0);  // nothing has run: empty and blank
    QCOMPARE(form.BTips->text(), QString());
    QCOMPARE(form.Fset->windowTitle(), QString(" Settings"));
    QCOMPARE(form.Fset->PageControl->tabText(0), QString("Output Path"));
  }

  void savedFolderIsUsedFromTheNextStart_data() {
    QTest::addColumn<QString>("saved");     // relative to the temporary folder
    QTest::addColumn<QString>("expected");  // "" = the default folder
    QTest::newRow("folder") << "/music/new"
                            << "/music/new/";
    QTest::newRow("with separator") << "/music/"
                                    << "/music/";
    QTest::newRow("NoCode") << "NoCode"
                            << "";
  }
  void savedFolderIsUsedFromTheNextStart() {
    QFETCH(QString, saved);
    QFETCH(QString, expected);
    const QString text = saved == "NoCode" ? saved : Root() + saved;
    {
      TForm1 first(Shell);
      first.Fset->FolderEdit->setText(text);
      first.Fset->FilesAtOnceBox->setValue(3);
      first.Fset->Save();
      QCOMPARE(first.OutputFolder, Root() + "/docs/Temp/");  // saving alone changes nothing
      QCOMPARE(first.FilesAtOnce, DefaultFilesAtOnce());
    }
    QCOMPARE(ReadIniString(IniFile(), "Output", "Path", "?"), text);

    TForm1 next(Shell);
    QCOMPARE(next.FilesAtOnce, 3);
    QCOMPARE(next.Fset->FilesAtOnceBox->value(), 3);
    const QString folder = expected.isEmpty() ? Root() + "/docs/Temp/" : Root() + expected;
    QCOMPARE(next.OutputFolder, folder);
    QVERIFY(QFileInfo(folder).isDir());
    // The dialog shows the text as saved, without the separator added.
    QCOMPARE(next.Fset->FolderEdit->text(), saved == "NoCode" ? folder : text);
    QVERIFY(Shell.Errors.isEmpty());
  }

  void formatChoicesAreSavedAndReadBack() {
    {
      TForm1 form(Shell);
      form.FormatBox->setCurrentIndex(form.FormatBox->findText("  FLAC  (*.flac)"));
      QCOMPARE(ReadIniString(IniFile(), "Format", "Format", "?"), QString("flac"));
      TFset& fset = *form.Fset;
      QTimer::singleShot(0, &fset, [&] {
        QCOMPARE(fset.FormatLabel->text(), QString("FLAC  (*.flac)"));
        QCOMPARE(fset.QualityBox->currentText(), QString("Compression 5"));
        QCOMPARE(fset.RateBox->currentText(), QString("Keep the source's"));
        fset.QualityBox->setCurrentIndex(fset.QualityBox->findText("Compression 8"));
        fset.RateBox->setCurrentIndex(fset.RateBox->findText("48000 Hz"));
        fset.ChannelsBox->setCurrentIndex(fset.ChannelsBox->findText("Mono"));
        fset.OkButton->click();
      });
      form.SettingsButton->click();
      QCOMPARE(ReadIniString(IniFile(), "flac", "Quality", "?"), QString("8"));
      QCOMPARE(ReadIniString(IniFile(), "flac", "Rate", "?"), QString("48000"));
      QCOMPARE(ReadIniString(IniFile(), "flac", "Channels", "?"), QString("1"));
    }
    // A value the format cannot take (an edited or damaged file) gives way to
    // the format's default; the other formats keep theirs.
    WriteIniString(IniFile(), "mp3", "Bitrate", "12345");
    TForm1 next(Shell);
    QCOMPARE(next.FormatBox->currentText(), QString("  FLAC  (*.flac)"));
    const OutputChoice flac = next.FormatSettings.Current();
    QCOMPARE(flac.Level, 8);
    QCOMPARE(flac.SampleRate, 48000);
    QCOMPARE(flac.Channels, 1);
    const OutputChoice mp3 = next.FormatSettings.ChoiceFor(OutputFormat::Mp3);
    QCOMPARE(mp3.Bitrate, 128);
    QCOMPARE(mp3.SampleRate, 44100);
    QVERIFY(Shell.Errors.isEmpty());
  }

  void okCancelAndSaveOfTheDialog() {
    TForm1 form(Shell);
    TFset& fset = *form.Fset;

    fset.FolderEdit->setText(Root() + "/typed");
    QTimer::singleShot(0, &fset, [&] { fset.CancelButton->click(); });
    form.SettingsButton->click();  // modal; Cancel ends it
    QCOMPARE(form.OutputFolder, Root() + "/docs/Temp/");
    QCOMPARE(fset.FolderEdit->text(), Root() + "/typed");  // kept for the next showing
    QVERIFY(fset.isHidden());

    fset.FilesAtOnceBox->setValue(5);
    QTimer::singleShot(0, &fset, [&] { fset.OkButton->click(); });
    form.SettingsButton->click();
    QCOMPARE(form.OutputFolder, Root() + "/typed");  // unchanged and unchecked
    QCOMPARE(form.FilesAtOnce, 5);
    QVERIFY(fset.isHidden());

    fset.FolderEdit->clear();
    fset.Save();
    QVERIFY(!QFile::exists(IniFile()));  // an empty field writes nothing
    fset.Ok();
    QCOMPARE(form.OutputFolder, QString());

    // No output folder: Convert says so and does nothing.
    form.AddFiles({MakeFile("a.wav", 10)});
    form.Convert();
    QVERIFY(!form.StopButton->isEnabled());
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({""}));
    QCOMPARE(Shell.Errors, QStringList({"No output folder is set: choose one in the settings."}));
  }

  void browseFillsTheField() {
    TForm1 form(Shell);
    Shell.FolderAnswers = {"/picked/folder", ""};
    form.Fset->BrowseButton->click();
    QCOMPARE(form.Fset->FolderEdit->text(), QString("/picked/folder"));
    form.Fset->BrowseButton->click();  // cancelled
    QCOMPARE(form.Fset->FolderEdit->text(), QString("/picked/folder"));
    QCOMPARE(form.OutputFolder, Root() + "/docs/Temp/");
  }

  void failedSaveReachesTheErrorDisplay() {
    TForm1 form(Shell);
    QDir().mkpath(IniFile());  // a folder where the file belongs
    form.Fset->FolderEdit->setText("/x");
    form.Fset->SaveButton->click();
    QCOMPARE(Shell.Errors, QStringList({"Unable to write to " + IniFile()}));
  }

  void addRemoveAndClear() {
    TForm1 form(Shell);
    const QStringList files = {MakeFile("empty.wav", 0), MakeFile("small.wav", 1023),
                               MakeFile("k.flac", 1024), MakeFile("big.mp3", 1048576),
                               Root() + "/in/gone.ogg"};
    Shell.FileAnswers = {files, {}, {files[1]}};

    form.AddButton->click();
    QCOMPARE(Shell.FileDialogFolders, QStringList({""}));
    QCOMPARE(Shell.FileDialogFilters.first(), form.OpenDialogFilter);
    QVERIFY(form.OpenDialogFilter.startsWith("Audio Files|*.wav;*.au;*.aiff;"));
    // A file that is not there is refused at once, with the reason.
    QCOMPARE(Column(form, TFileListView::ColName),
             QStringList({"empty.wav", "small.wav", "k.flac", "big.mp3"}));
    QCOMPARE(Shell.Errors,
             QStringList({"Not added:\n" + files[4] + ": No such file or directory"}));
    QCOMPARE(Column(form, TFileListView::ColSize),
             QStringList({"0KB", "1.0KB", "1.0KB", "1.0MB"}));
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"", "", "", ""}));
    QCOMPARE(Column(form, TFileListView::ColPath), files.mid(0, 4));
    QCOMPARE(form.BTips->text(), QString());  // listing is no news
    QCOMPARE(form.LastAddFolder, Root() + "/in/");

    form.AddButton->click();  // cancelled: nothing changes
    QCOMPARE(form.lvFiles->RowCount(), 4);
    form.AddButton->click();  // the same file again is not listed twice
    QCOMPARE(form.lvFiles->RowCount(), 4);
    QCOMPARE(form.BTips->text(), QString("    Done; 1 file(s) already in the list left out"));
    // Nor under another name of it.
    QVERIFY(QFile::link(files[1], Root() + "/in/link.wav"));
    form.AddFiles({Root() + "/in/link.wav", Root() + "/in/../in/small.wav"});
    QCOMPARE(form.lvFiles->RowCount(), 4);
    form.AddFiles({MakeFile("small2.wav", 10)});
    QCOMPARE(form.lvFiles->RowCount(), 5);
    QCOMPARE(Shell.FileDialogFolders, QStringList({"", Root() + "/in/", Root() + "/in/"}));

    form.RemoveButton->click();  // nothing selected
    QCOMPARE(form.lvFiles->RowCount(), 5);
    form.lvFiles->Row(1)->setSelected(true);
    form.lvFiles->Row(3)->setSelected(true);
    form.RemoveButton->click();
    QCOMPARE(Column(form, TFileListView::ColName),
             QStringList({"empty.wav", "k.flac", "small2.wav"}));
    form.AddFiles({files[1]});  // removed rows no longer count as listed
    QCOMPARE(Column(form, TFileListView::ColName),
             QStringList({"empty.wav", "k.flac", "small2.wav", "small.wav"}));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.lvFiles->setFocus();
    form.lvFiles->Row(0)->setSelected(true);
    form.lvFiles->Row(2)->setSelected(true);
    QTest::keyClick(form.lvFiles, Qt::Key_Delete);
    QCOMPARE(Column(form, TFileListView::ColName), QStringList({"k.flac", "small.wav"}));
    form.ClearButton->click();
    QCOMPARE(form.lvFiles->RowCount(), 0);
  }

  void droppedFilesAndFoldersAreAdded() {
    TForm1 form(Shell);
    const QString single = MakeFile("single.txt", 3);
    QDir().mkpath(Root() + "/in/album/cd2");
    const QString a = MakeFile("album/01.flac", 2048);
    const QString b = MakeFile("album/cd2/02.mp3", 10);
    MakeFile("album/cover.jpg", 10);

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(single), QUrl::fromLocalFile(Root() + "/in/album")});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.lvFiles->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.lvFiles->viewport(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(Column(form, TFileListView::ColPath), QStringList({single, a, b}));
    QCOMPARE(Column(form, TFileListView::ColSize), QStringList({"0.1KB", "2.0KB", "0.1KB"}));
    QCOMPARE(form.BTips->text(), QString());
    // Each row remembers the folder it was found under.
    QCOMPARE(TForm1::RowRoot(form.lvFiles->Row(0)), QString());
    QCOMPARE(TForm1::RowRoot(form.lvFiles->Row(1)), Root() + "/in/album");
    QCOMPARE(TForm1::RowRoot(form.lvFiles->Row(2)), Root() + "/in/album");
  }

  void commandLineFilesAndFoldersReachTheList() {
    const QString song = MakeFile("song.wav", 2048);
    QDir().mkpath(Root() + "/in/album");
    const QString inner = MakeFile("album/01.flac", 10);
    MakeFile("album/notes.txt", 10);
    QDir::setCurrent(Root());
    TForm1 form(Shell);
    form.AddPaths(CommandLinePaths({"melvaro", "in/song.wav", Root() + "/in/album", ""}));
    QCOMPARE(Column(form, TFileListView::ColPath), QStringList({song, inner}));
    QCOMPARE(Column(form, TFileListView::ColSize), QStringList({"2.0KB", "0.1KB"}));
  }

  // What would fail every row is said once, before anything changes.
  void errorsBeforeTheStartChangeNothing_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("message");  // its start; "<root>" stands for the folder
    QTest::newRow("folder under a file")
        << "file"
        << "The output folder <root>/in/a.wav/out/ cannot be created: Not a directory";
    QTest::newRow("read-only folder")
        << "read-only"
        << "The output folder <root>/ro/ is not writable: Permission denied";
    QTest::newRow("libraries") << "libraries"
                               << "The media libraries cannot be loaded:\nLoad function "
                                  "avcodec_find_encoder@libavcodec.so.";
  }
  void errorsBeforeTheStartChangeNothing() {
    QFETCH(QString, cause);
    QFETCH(QString, message);
    TForm1 form(Shell);
    form.AddFiles({MakeFile("a.wav", 10), MakeFile("b.wav", 10)});
    if (cause == "file") {
      form.OutputFolder = Root() + "/in/a.wav/out";
    } else if (cause == "read-only") {
      if (geteuid() == 0) QSKIP("the superuser writes into read-only folders");
      QDir().mkpath(Root() + "/ro");
      QFile::setPermissions(Root() + "/ro", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
      form.OutputFolder = Root() + "/ro";
    } else {
      // A library folder whose avcodec lacks an entry point: found first, so
      // the loader stops there.
      const QString folder = Root() + "/lib";
      QDir().mkpath(folder);
      QVERIFY(QFile::copy(MELVARO_STANDIN_AVCODEC_MISSING_ENTRY,
                          folder + "/libavcodec.so." + QString::number(LIBAVCODEC_VERSION_MAJOR)));
      form.LibraryFolder = folder;
    }
    const QString tipsBefore = form.BTips->text();
    form.ConvertButton->click();

    QCOMPARE(Shell.Errors.size(), 1);
    QVERIFY2(Shell.Errors.first().startsWith(message.replace("<root>", Root())),
             qPrintable(Shell.Errors.first()));
    QVERIFY(!form.Converting() && form.ConvertButton->isEnabled());
    QCOMPARE(Column(form, TFileListView::ColName), QStringList({"a.wav", "b.wav"}));
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"", ""}));
    QCOMPARE(form.BTips->text(), tipsBefore);
    QCOMPARE(form.ProgressBar1->value(), 0);
    QVERIFY(Shell.Opened.isEmpty());
    QFile::setPermissions(Root() + "/ro",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  // The output folder is in sight and changed from the main window; the
  // names page shows what the selected row would become.
  void outputFolderAndNamesInTheWindow() {
    {
      TForm1 form(Shell);
      QCOMPARE(form.OutputFolderField->text(), Root() + "/docs/Temp/");
      Shell.FolderAnswers = {"/picked/folder", ""};
      form.OutputFolderButton->click();
      QCOMPARE(form.OutputFolder, QString("/picked/folder/"));
      QCOMPARE(form.OutputFolderField->text(), QString("/picked/folder/"));
      QCOMPARE(form.Fset->FolderEdit->text(), QString("/picked/folder/"));
      form.OutputFolderButton->click();  // cancelled
      QCOMPARE(form.OutputFolder, QString("/picked/folder/"));

      QDir().mkpath(Root() + "/in/album/cd2");
      MakeFile("album/cd2/02.mp3", 10);  // no audio in it: no tags either
      form.AddPaths({Root() + "/in/album"});
      TFset& fset = *form.Fset;
      fset.show();
      QCOMPARE(fset.LayoutBox->currentIndex(), 0);
      QCOMPARE(fset.ExampleLabel->text(),
               QString("Example, in the output folder:\nArtist/Album/01 Song.mp3"));
      fset.PatternEdit->setText("{genre}/{year}/{track:02} {title}");
      QCOMPARE(fset.ExampleLabel->text(),
               QString("Example, in the output folder:\nPop/2024/01 Song.mp3"));
      fset.hide();
      form.lvFiles->Row(0)->setSelected(true);
      fset.show();  // the selected row, with the placeholders of its missing tags
      QCOMPARE(fset.PatternEdit->text(), QString());  // not kept without OK
      fset.PatternEdit->setText("{album}/{track:02} {title}");
      QCOMPARE(fset.ExampleLabel->text(),
               QString("Selected file, in the output folder:\nUnknown Album/00 02.mp3"));
      fset.LayoutBox->setCurrentIndex(2);
      QCOMPARE(fset.ExampleLabel->text(),
               QString("Selected file, in the output folder:\ncd2/Unknown Album/00 02.mp3"));
      fset.LayoutBox->setCurrentIndex(3);
      QCOMPARE(fset.ExampleLabel->text(),
               QString("Selected file, beside the source:\nUnknown Album/00 02.mp3"));
      fset.Ok();
      QCOMPARE(int(form.Naming.Layout), int(TOutputLayout::Beside));
      QCOMPARE(form.Naming.Pattern, std::string("{album}/{track:02} {title}"));
      QCOMPARE(form.OutputFolderField->text(), QString("/picked/folder/"));
    }
    TForm1 again(Shell);  // read back at the next start
    QCOMPARE(int(again.Naming.Layout), int(TOutputLayout::Beside));
    QCOMPARE(again.Naming.Pattern, std::string("{album}/{track:02} {title}"));
  }

  // Help opens the document beside the program; when the desktop cannot
  // open it, a message box says why.
  void helpOpensTheDocumentBesideTheProgram() {
    TForm1 form(Shell);
    const QString help = QCoreApplication::applicationDirPath() + "/Help.htm";
    form.HelpButton->click();
    QCOMPARE(Shell.Opened, QStringList({help}));
    QVERIFY(Shell.Errors.isEmpty());
    Shell.OpenAnswers = {"no program of the desktop could open it"};
    form.HelpButton->click();
    QCOMPARE(Shell.Errors, QStringList({"The help " + help +
                                        " cannot be opened: no program of the desktop could "
                                        "open it"}));
  }

  // Convert on an empty list says why nothing happens; Clear takes the last
  // batch's gauge and summary with the rows.
  void emptyListAndClearLeaveNothingBehind() {
    TForm1 form(Shell);
    form.ConvertButton->click();
    QVERIFY(!form.Converting());
    QCOMPARE(form.BTips->text(), QString("    Nothing to convert: add files to the list first."));
    QCOMPARE(form.ProgressBar1->value(), 0);
    QVERIFY(Shell.Errors.isEmpty());
    form.AddFiles({MakeFile("a.wav", 10)});
    form.ProgressBar1->setValue(700);  // as a batch leaves them
    form.BTips->setText("    Done: 1 converted, 0 failed");
    form.ClearButton->click();
    QCOMPARE(form.lvFiles->RowCount(), 0);
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(form.BTips->text(), QString());
  }

  void controlsOfTheWindows() {
    TForm1 form(Shell);
    QCOMPARE(form.size(), QSize(634, 443));
    const struct {
      QWidget* control;
      const char* caption;
      QRect rect;
    } controls[] = {
        {form.AddButton, "Add", {24, 24, 75, 25}},
        {form.RemoveButton, "Remove", {120, 24, 75, 25}},
        {form.ClearButton, "Clear", {216, 24, 75, 25}},
        {form.SettingsButton, "Settings", {312, 24, 75, 25}},
        {form.DetailsButton, "Details", {408, 24, 75, 25}},
        {form.HelpButton, "Help", {536, 24, 75, 25}},
        {form.StopButton, "Stop", {408, 392, 75, 25}},
        {form.ConvertButton, "Convert", {504, 392, 107, 25}},
        {form.Fset->OkButton, "OK", {144, 208, 75, 25}},
        {form.Fset->CancelButton, "Cancel", {232, 208, 75, 25}},
        {form.Fset->BrowseButton, "Browse", {208, 24, 59, 21}},
        {form.Fset->SaveButton, "Save as default", {16, 112, 113, 25}},
        {form.ListPanel, "", {24, 64, 585, 273}},
        {form.ProgressBar1, "", {24, 336, 585, 8}},
        {form.OutputFolderField, "", {112, 358, 410, 20}},
        {form.OutputFolderButton, "Change...", {536, 356, 75, 25}},
        {form.FormatBox, "", {24, 393, 193, 20}},
        {form.Fset->PageControl, "", {16, 16, 289, 177}},
        {form.Fset->FolderEdit, "", {16, 56, 257, 20}},
        {form.Fset->FilesAtOnceBox, "", {222, 112, 51, 25}},
    };
    for (const auto& c : controls) {
      QCOMPARE(c.control->geometry(), c.rect);
      if (auto* button = qobject_cast<QPushButton*>(c.control))
        QCOMPARE(button->text(), QString(c.caption));
    }
    QCOMPARE(form.Fset->size(), QSize(321, 247));
    QCOMPARE(form.BTips->geometry(), QRect(0, 425, 634, 18));
    const QStringList headers = {"Name", "Size", "Status", "Path"};
    const int widths[] = {200, 90, 80, 190};
    for (int column = 0; column < 4; ++column) {
      QCOMPARE(form.lvFiles->headerItem()->text(column), headers[column]);
      QCOMPARE(form.lvFiles->columnWidth(column), widths[column]);
    }
    QCOMPARE(form.lvFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
  }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
