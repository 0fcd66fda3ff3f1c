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
#include "app/RowOrder.h"
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
    // Nothing is made on disk before something needs it.
    QVERIFY(!QFileInfo::exists(form.OutputFolder));
    QVERIFY(!QFileInfo::exists(form.SettingsFolder));
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

  // The one rule: what OK leaves in the dialog (and what Change... picks) is
  // used at once and is what the next start shows; Cancel changes nothing.
  void settingsApplyAndSurviveARestart_data() {
    QTest::addColumn<QString>("typed");     // relative to the temporary folder; "" = emptied
    QTest::addColumn<QString>("expected");  // after OK and at the next start; "" = the default
    QTest::newRow("folder") << "/music/new"
                            << "/music/new/";
    QTest::newRow("with separator") << "/music/"
                                    << "/music/";
    QTest::newRow("emptied") << ""
                             << "";
  }
  void settingsApplyAndSurviveARestart() {
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    const QString text = typed.isEmpty() ? QString() : Root() + typed;
    {
      TForm1 first(Shell);
      TFset& fset = *first.Fset;
      QTimer::singleShot(0, &fset, [&] {
        fset.FolderEdit->setText(Root() + "/cancelled");
        fset.FilesAtOnceBox->setValue(7);
        fset.CancelButton->click();
      });
      first.SettingsButton->click();
      QCOMPARE(first.OutputFolder, Root() + "/docs/Temp/");
      QCOMPARE(first.FilesAtOnce, DefaultFilesAtOnce());
      QTimer::singleShot(0, &fset, [&] {
        // Every showing starts from the settings in force.
        QCOMPARE(fset.FolderEdit->text(), Root() + "/docs/Temp/");
        QCOMPARE(fset.FilesAtOnceBox->value(), DefaultFilesAtOnce());
        fset.FolderEdit->setText(text);
        fset.FilesAtOnceBox->setValue(3);
        fset.OkButton->click();
      });
      first.SettingsButton->click();
      QCOMPARE(first.OutputFolder, typed.isEmpty() ? QString() : Root() + expected);
      QCOMPARE(first.OutputFolderField->text(), first.OutputFolder);
      QCOMPARE(first.FilesAtOnce, 3);
    }
    TForm1 next(Shell);
    QCOMPARE(next.FilesAtOnce, 3);
    QCOMPARE(next.Fset->FilesAtOnceBox->value(), 3);
    // An emptied field is used for the session but not kept.
    const QString folder = expected.isEmpty() ? Root() + "/docs/Temp/" : Root() + expected;
    QCOMPARE(next.OutputFolder, folder);
    QCOMPARE(next.Fset->FolderEdit->text(), folder);
    QVERIFY(!QFileInfo::exists(folder));  // made when a batch needs it
    QVERIFY(Shell.Errors.isEmpty());

    Shell.FolderAnswers = {Root() + "/picked"};
    next.OutputFolderButton->click();
    TForm1 third(Shell);
    QCOMPARE(third.OutputFolder, Root() + "/picked/");
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

  void emptyOutputFolderStopsConvert() {
    TForm1 form(Shell);
    TFset& fset = *form.Fset;
    fset.show();
    fset.FolderEdit->clear();
    fset.Ok();
    QCOMPARE(form.OutputFolder, QString());
    QVERIFY(!QFile::exists(IniFile()));  // an empty field writes nothing

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
    form.Fset->show();
    form.Fset->FolderEdit->setText("/x");
    form.Fset->OkButton->click();
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
    // First: the media libraries, once loaded (to describe listed rows),
    // stay loaded for the process.
    QTest::newRow("libraries") << "libraries"
                               << "The media libraries cannot be loaded:\nLoad function "
                                  "avcodec_find_encoder@libavcodec.so.";
    QTest::newRow("folder under a file")
        << "file"
        << "The output folder <root>/in/a.wav/out/ cannot be created: Not a directory";
    QTest::newRow("read-only folder")
        << "read-only"
        << "The output folder <root>/ro/ is not writable: Permission denied";
  }
  void errorsBeforeTheStartChangeNothing() {
    QFETCH(QString, cause);
    QFETCH(QString, message);
    TForm1 form(Shell);
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
    // The library folder is the program's from its start: set before any row
    // is listed (listing loads the libraries to describe the rows).
    form.AddFiles({MakeFile("a.wav", 10), MakeFile("b.wav", 10)});
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
      QCOMPARE(ReadIniString(IniFile(), "Output", "Path", "?"), QString("/picked/folder/"));
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

  // A header click sorts: names and texts in natural order, sizes and
  // durations by their numbers (unknown first), equal keys in the order
  // they had.
  void headerClickSorts_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("rows");  // "name|artist|bytes|ms"; bytes and ms may be empty
    QTest::addColumn<QStringList>("names");
    const QStringList longs = {"long10|||", "long2|||", "Long1|||", "long1|||", "long11|||"};
    QTest::newRow("natural names") << int(TFileListView::ColName) << false << longs
                                   << QStringList{"Long1", "long1", "long2", "long10", "long11"};
    QTest::newRow("natural names, descending")
        << int(TFileListView::ColName) << true << longs
        << QStringList{"long11", "long10", "long2", "long1", "Long1"};
    QTest::newRow("sizes by bytes")
        << int(TFileListView::ColSize) << false
        << QStringList{"mb|x|1300000|", "kb|x|2048|", "none|x||", "b|x|12|"}
        << QStringList{"none", "b", "kb", "mb"};
    QTest::newRow("durations, unknown first")
        << int(TFileListView::ColDuration) << false
        << QStringList{"long|x||600000", "unknown|x||", "short|x||59000", "mid|x||61000"}
        << QStringList{"unknown", "short", "mid", "long"};
    const QStringList artists = {"a|Zed||", "b|Abba||", "c|Zed||", "d|abba||", "e|Abba||"};
    QTest::newRow("equal artists keep their order")
        << int(TFileListView::ColArtist) << false << artists
        << QStringList{"b", "e", "d", "a", "c"};
    QTest::newRow("equal artists keep their order, descending")
        << int(TFileListView::ColArtist) << true << artists
        << QStringList{"a", "c", "d", "b", "e"};
  }
  void headerClickSorts() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, names);
    TFileListView list(nullptr);
    for (const QString& line : rows) {
      const QStringList field = line.split('|');
      QTreeWidgetItem* row = list.AppendRow(field[0], field[2], QString(), "/in/" + field[0]);
      row->setText(TFileListView::ColArtist, field[1]);
      if (!field[2].isEmpty()) row->setData(TFileListView::ColSize, SortKeyRole, field[2].toLongLong());
      if (!field[3].isEmpty())
        row->setData(TFileListView::ColDuration, SortKeyRole, field[3].toLongLong());
    }
    // As a user does it: one click sorts ascending, a second descending.
    const auto click = [&] {
      const int x = list.header()->sectionViewportPosition(column) + 5;
      QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    };
    list.resize(900, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    click();
    if (descending) click();
    QStringList order;
    for (int row = 0; row < list.RowCount(); ++row) order.append(list.Row(row)->text(0));
    QCOMPARE(order, names);
  }

  // The first size is the classic one; the list and the Path column take
  // what a larger window gives, and no caption is cut at the first size.
  void theListGrowsWithTheWindow() {
    TForm1 form(Shell);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.size(), QSize(634, 443));
    QVERIFY(form.minimumSize().width() < 634 && form.minimumSize().height() < 443);
    QCOMPARE(form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    const QStringList captions = {"Add", "Remove", "Clear", "Settings", "Details",
                                  "Help", "Stop", "Convert", "Change..."};
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
      if (button->window() != &form) continue;
      QVERIFY2(captions.contains(button->text()), qPrintable(button->text()));
      QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
    }
    const QStringList headers = {"Name", "Size", "Duration", "Title", "Artist", "Status", "Path"};
    for (int column = 0; column < TFileListView::ColumnCount; ++column)
      QCOMPARE(form.lvFiles->headerItem()->text(column), headers[column]);
    QCOMPARE(form.lvFiles->selectionMode(), QAbstractItemView::ExtendedSelection);

    const QSize list = form.lvFiles->size();
    const int path = form.lvFiles->columnWidth(TFileListView::ColPath);
    form.resize(1400, 900);
    QTRY_COMPARE(form.size(), QSize(1400, 900));
    QCoreApplication::processEvents();
    QCOMPARE(form.lvFiles->width() - list.width(), 1400 - 634);
    QCOMPARE(form.lvFiles->height() - list.height(), 900 - 443);
    QCOMPARE(form.lvFiles->columnWidth(TFileListView::ColPath) - path, 1400 - 634);
    QCOMPARE(form.BTips->width(), 1400);
    QCOMPARE(form.ConvertButton->geometry().right(), form.lvFiles->window()->width() - 24);
    form.close();
    TForm1 next(Shell);  // the size is remembered
    QCOMPARE(next.size(), QSize(1400, 900).boundedTo(next.screen()->availableGeometry().size()));
  }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
