#include "app/MainWindow.h"

#include <unistd.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <set>
#include <system_error>

#include "app/AudioFiles.h"
#include "app/DetailsDialog.h"
#include "app/ExistingSettings.h"
#include "app/FileListView.h"
#include "app/IniFile.h"
#include "app/InputTags.h"
#include "app/NamingSettings.h"
#include "app/PathRules.h"
#include "app/SettingsDialog.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"
#include "app/ThreadMailbox.h"
#include "app/TrackRows.h"
#include "converter/AlbumTracks.h"
#include "converter/FolderWalker.h"
#include "converter/VeltoConverter.h"

namespace {

const QString Blank4 = QStringLiteral("    ");
// The gauge's scale: the batch's fraction in thousandths.
constexpr int GaugeSteps = 1000;
// A row keeps at most this many log lines (the first ones and the last
// ones say why a file failed; a chatty file must not fill the memory).
constexpr int RowLogLimit = 400;
constexpr int RowLogRole = Qt::UserRole;
// On the path column: the folder the file was found under, and its device
// and inode (what tells two names of one file apart).
constexpr int RowRootRole = Qt::UserRole;
constexpr int RowIdRole = Qt::UserRole + 1;
// The error display names at most this many refused paths.
constexpr int RefusalsShown = 20;
// Setting up described inputs yields to the event loop after this long.
constexpr int PrepareSliceMs = 20;

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString FromNative(const std::string& text) { return QString::fromLocal8Bit(text); }

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width,
                        int height) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, top, width, height);
  return button;
}

void SetRowTip(QTreeWidgetItem* row, const QString& tip) {
  for (int column = 0; column < TFileListView::ColPath + 1; ++column) row->setToolTip(column, tip);
}

}  // namespace

TForm1::TForm1(TShell& shell)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      LibraryFolder(QString::fromStdString(
          LibraryFolderOf(QCoreApplication::applicationDirPath().toStdString()))),
      Shell(shell),
      FConverter(std::make_unique<TVeltoConverter>()) {
  CreateControls();
  Posts = new TThreadMailbox(this);

  // Posted, never called: these run on the tasks' threads. The result is
  // read here, where the task is known to have ended and still exists.
  TVeltoConverter* converter = FConverter.get();
  FConverter->OnProgress = [this](int AIndex, int, int, int ADurationTime, float, float, int64_t,
                                  int ATotalDuration) {
    const unsigned batch = Batch.load();
    Posts->Post([this, batch, AIndex, ADurationTime, ATotalDuration] {
      if (batch == Batch.load()) Progress(AIndex, ADurationTime, ATotalDuration);
    });
  };
  FConverter->OnTerminate = [this, converter](int AIndex, bool) {
    const unsigned batch = Batch.load();
    const TTaskResult result = AIndex >= 0 ? converter->TaskResult(AIndex) : TTaskResult{};
    Posts->Post([this, batch, AIndex, result] {
      if (batch == Batch.load()) Terminate(AIndex, result);
    });
  };
  FConverter->OnLog = [this](int AIndex, TLogLevel, const std::string& AMsg) {
    if (AIndex < 0) return;  // not a line of one of our files
    const unsigned batch = Batch.load();
    const QString line = QString::fromUtf8(AMsg);
    Posts->Post([this, batch, AIndex, line] {
      if (batch == Batch.load()) Logged(AIndex, line);
    });
  };

  PrepareSlices = new QTimer(this);
  PrepareSlices->setSingleShot(true);
  PrepareSlices->setInterval(0);
  connect(PrepareSlices, &QTimer::timeout, this, &TForm1::TakePrepared);

  FormCreate();
  Fset = new TFset(*this, Shell);
  Details = new TDetailsDialog(this);
  ShowOutputFolder();
}

TForm1::~TForm1() {
  // The producers end while the window's members still exist.
  Preparer.StopAndWait();
  FConverter->DetachEvents();
  FConverter.reset();
}

void TForm1::CreateControls() {
  setFixedSize(634, 443);

  AddButton = MakeButton(this, tr("Add"), 24, 24, 75, 25);
  RemoveButton = MakeButton(this, tr("Remove"), 120, 24, 75, 25);
  ClearButton = MakeButton(this, tr("Clear"), 216, 24, 75, 25);
  SettingsButton = MakeButton(this, tr("Settings"), 312, 24, 75, 25);
  DetailsButton = MakeButton(this, tr("Details"), 408, 24, 75, 25);
  HelpButton = MakeButton(this, tr("Help"), 536, 24, 75, 25);

  ListPanel = new QFrame(this);
  ListPanel->setGeometry(24, 64, 585, 273);
  ListPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* panelLayout = new QVBoxLayout(ListPanel);
  panelLayout->setContentsMargins(1, 1, 1, 1);
  lvFiles = new TFileListView(ListPanel);
  lvFiles->setFrameShape(QFrame::NoFrame);
  panelLayout->addWidget(lvFiles);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setGeometry(24, 336, 585, 8);
  // Empty until a batch has something to show.
  ProgressBar1->setRange(0, GaugeSteps);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  auto* folderLabel = new QLabel(tr("Output folder"), this);
  folderLabel->setGeometry(24, 358, 88, 20);
  OutputFolderField = new QLineEdit(this);
  OutputFolderField->setGeometry(112, 358, 410, 20);
  OutputFolderField->setReadOnly(true);
  folderLabel->setBuddy(OutputFolderField);
  OutputFolderButton = MakeButton(this, tr("Change..."), 536, 356, 75, 25);

  FormatBox = new QComboBox(this);
  FormatBox->setGeometry(24, 393, 193, 20);
  FormatBox->setEditable(false);

  StopButton = MakeButton(this, tr("Stop"), 408, 392, 75, 25);
  ConvertButton = MakeButton(this, tr("Convert"), 504, 392, 107, 25);

  BTips = new QLabel(this);
  BTips->setGeometry(0, height() - 18, width(), 18);
  BTips->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  connect(AddButton, &QPushButton::clicked, this, &TForm1::Add);
  connect(RemoveButton, &QPushButton::clicked, this, &TForm1::Remove);
  connect(ClearButton, &QPushButton::clicked, this, &TForm1::Clear);
  connect(SettingsButton, &QPushButton::clicked, this, &TForm1::Settings);
  connect(DetailsButton, &QPushButton::clicked, this, &TForm1::ShowDetails);
  connect(HelpButton, &QPushButton::clicked, this, &TForm1::Help);
  connect(StopButton, &QPushButton::clicked, this, &TForm1::Stop);
  connect(OutputFolderButton, &QPushButton::clicked, this, &TForm1::ChangeOutputFolder);
  connect(ConvertButton, &QPushButton::clicked, this, &TForm1::Convert);
  connect(lvFiles, &TFileListView::PathsDropped, this, [this](const QStringList& paths) {
    if (!Converting()) AddPaths(paths);
  });
  connect(lvFiles, &QTreeWidget::itemSelectionChanged, this, &TForm1::ShowSelectedDetails);
  connect(lvFiles, &QTreeWidget::itemDoubleClicked, this, &TForm1::ShowDetails);
  auto* deleteKey = new QShortcut(QKeySequence::Delete, lvFiles, nullptr, nullptr,
                                  Qt::WidgetWithChildrenShortcut);
  connect(deleteKey, &QShortcut::activated, this, [this] {
    if (RemoveButton->isEnabled()) Remove();
  });

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TForm1::FormCreate() {
  OpenDialogFilter = TranslatedOpenDialogFilter();
  setWindowTitle(QStringLiteral("  Melvaro V3.3"));
  QCoreApplication::setApplicationName(AppTitle);
  StopButton->setEnabled(false);

  const TStartupFolders folders = LoadStartupFolders(Shell);
  SettingsFolder = folders.SettingsFolder;
  OutputFolder = folders.OutputFolder;

  FormatSettings.Load(SettingsFolder + SettingsFileName);
  LoudnessSettings.Load(SettingsFolder + SettingsFileName);
  for (const FormatDescription& d : OutputFormats()) {
    FormatBox->addItem(QStringLiteral("  ") + QString::fromLatin1(d.Label));
    if (d.Format == FormatSettings.Format()) FormatBox->setCurrentIndex(FormatBox->count() - 1);
  }
  connect(FormatBox, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0 || index >= static_cast<int>(OutputFormats().size())) return;
    FormatSettings.SetFormat(OutputFormats()[index].Format);
    try {
      FormatSettings.Save(SettingsFolder + SettingsFileName);
    } catch (const TIniFileError& error) {
      Shell.ShowError(this, QString::fromStdString(error.what()));
    }
  });
  FilesAtOnce = ReadFilesAtOnce(SettingsFolder);
  Naming = ReadNamingRules(SettingsFolder);
  Existing = ReadExistingRule(SettingsFolder);
}

bool TForm1::Converting() const { return StopButton->isEnabled(); }

void TForm1::SetConverting(bool converting) {
  for (QPushButton* button :
       {AddButton, RemoveButton, ClearButton, SettingsButton, ConvertButton, OutputFolderButton})
    button->setEnabled(!converting);
  StopButton->setEnabled(converting);
  // Rows must stay in step with the batch while it runs.
  lvFiles->SetTakesDrops(!converting);
}

// ---- List ------------------------------------------------------------------

void TForm1::Add() {
  const QStringList files = Shell.PickFiles(this, LastAddFolder, OpenDialogFilter);
  if (files.isEmpty()) return;
  LastAddFolder = FolderPart(files.first());
  AddFiles(files);
}

void TForm1::AddPaths(const QStringList& paths) {
  std::set<TFileId> listed;
  for (int position = 0; position < lvFiles->RowCount(); ++position) {
    const QVariantList id =
        lvFiles->Row(position)->data(TFileListView::ColPath, RowIdRole).toList();
    if (id.size() == 2) listed.insert({id[0].toULongLong(), id[1].toULongLong()});
  }
  std::vector<std::string> given;
  for (const QString& path : paths) given.push_back(NativePath(path));
  const TFoundInputs found = FindInputs(given, &listed);

  for (const TFoundInput& file : found.Files) {
    try {
      lvFiles->setUpdatesEnabled(false);
      const QString path = FromNative(file.Path);
      const QFileInfo info(path);
      QTreeWidgetItem* row =
          lvFiles->AppendRow(FileNamePart(path), QString(), QString(), QString());
      // Keeps the window painting during a long list; user input waits, so
      // no second Add or Convert can start in the middle of this one.
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      BTips->setText(Blank4 + path);
      row->setText(TFileListView::ColSize, SizeText(info.size()));
      row->setText(TFileListView::ColStatus, QString());
      row->setText(TFileListView::ColPath, path);
      row->setData(TFileListView::ColPath, RowRootRole, FromNative(file.Root));
      row->setData(TFileListView::ColPath, RowIdRole,
                   QVariantList{QVariant::fromValue<qulonglong>(file.Id.first),
                                QVariant::fromValue<qulonglong>(file.Id.second)});
    } catch (const std::exception&) {
      // One file that cannot be listed does not keep the others out.
    }
    lvFiles->setUpdatesEnabled(true);
  }
  // The paths shown while listing were progress, not news.
  if (found.Repeated.empty())
    BTips->setText(QString());
  else
    BTips->setText(Blank4 + tr("Done; %n file(s) already in the list left out", nullptr,
                               static_cast<int>(found.Repeated.size())));
  if (!found.Problems.empty()) {
    QStringList lines{tr("Not added:")};
    for (const TInputProblem& problem : found.Problems) {
      if (lines.size() > RefusalsShown) {
        lines.append(tr("... and %n more", nullptr,
                        static_cast<int>(found.Problems.size()) - RefusalsShown));
        break;
      }
      lines.append(FromNative(problem.Path) + QStringLiteral(": ") + FromNative(problem.Reason));
    }
    Shell.ShowError(this, lines.join(u'\n'));
  }
}

void TForm1::Remove() {
  if (lvFiles->RowCount() == 0) return;
  const QList<QTreeWidgetItem*> selected = lvFiles->selectedItems();
  if (selected.isEmpty()) return;
  lvFiles->setUpdatesEnabled(false);
  qDeleteAll(selected);
  lvFiles->setUpdatesEnabled(true);
}

void TForm1::Clear() {
  // The last batch's gauge and summary went with its rows.
  ProgressBar1->setValue(0);
  BTips->setText(QString());
  if (lvFiles->RowCount() == 0) return;
  lvFiles->setUpdatesEnabled(false);
  lvFiles->clear();
  lvFiles->setUpdatesEnabled(true);
}

void TForm1::Settings() {
  Fset->exec();
  ShowOutputFolder();
}

void TForm1::ChangeOutputFolder() {
  const QString folder = Shell.PickFolder(this);
  if (folder.isEmpty()) return;
  OutputFolder = WithSeparator(folder);
  Fset->FolderEdit->setText(OutputFolder);  // so that its OK keeps this choice
  ShowOutputFolder();
}

void TForm1::ShowOutputFolder() {
  OutputFolderField->setText(OutputFolder);
  OutputFolderField->setCursorPosition(0);
  OutputFolderField->setToolTip(OutputFolder);
}

void TForm1::Help() {
  const QString help = QCoreApplication::applicationDirPath() + QStringLiteral("/Help.htm");
  if (const QString why = Shell.Open(help); !why.isEmpty())
    Shell.ShowError(this, tr("The help %1 cannot be opened: %2").arg(help, why));
}

// ---- Details -----------------------------------------------------------------

QString TForm1::RowRoot(const QTreeWidgetItem* row) {
  return row ? row->data(TFileListView::ColPath, RowRootRole).toString() : QString();
}

QStringList TForm1::RowLog(const QTreeWidgetItem* row) {
  return row ? row->data(TFileListView::ColName, RowLogRole).toStringList() : QStringList();
}

void TForm1::AppendRowLog(QTreeWidgetItem* row, const QString& line) {
  QStringList lines = RowLog(row);
  if (lines.size() >= RowLogLimit) lines.removeAt(RowLogLimit / 2);  // keeps the first half
  lines.append(line);
  row->setData(TFileListView::ColName, RowLogRole, lines);
  if (Details->isVisible() && lvFiles->currentItem() == row) Details->AppendLine(line);
}

void TForm1::ShowDetails() {
  ShowSelectedDetails();
  if (!Details->isVisible() && isVisible()) {
    // Below the main window where the screen has room, so that the list and
    // the lines can be read together.
    QPoint place = frameGeometry().bottomLeft() + QPoint(0, 8);
    if (const QScreen* screen = this->screen()) {
      const QRect room = screen->availableGeometry();
      place.setY(qMin(place.y(), room.bottom() - Details->frameGeometry().height()));
    }
    Details->move(place);
  }
  Details->show();
  Details->raise();
}

void TForm1::ShowSelectedDetails() {
  const QList<QTreeWidgetItem*> selected = lvFiles->selectedItems();
  QTreeWidgetItem* row = selected.isEmpty() ? nullptr : selected.first();
  if (row) lvFiles->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
  Details->ShowRow(row ? row->text(TFileListView::ColPath) : QString(), RowLog(row));
}

// ---- Conversion ------------------------------------------------------------

bool TForm1::OutputFolderUsable(const QString& folder) {
  std::error_code error;
  std::filesystem::create_directories(NativePath(folder), error);
  if (error) {
    Shell.ShowError(this, tr("The output folder %1 cannot be created: %2")
                              .arg(folder, FromNative(error.message())));
    return false;
  }
  // Writing is what the tasks will do; a probe file says so truthfully where
  // permission bits do not (read-only mounts, the superuser).
  std::string probe = NativePath(WithSeparator(folder)) + ".melvaro-write-check-XXXXXX";
  const int descriptor = mkstemp(probe.data());
  if (descriptor < 0) {
    const int reason = errno;
    Shell.ShowError(this, tr("The output folder %1 is not writable: %2")
                              .arg(folder, FromNative(std::strerror(reason))));
    return false;
  }
  ::close(descriptor);
  ::unlink(probe.c_str());
  return true;
}

bool TForm1::LibrariesLoaded() {
  TVeltoConverter& converter = *FConverter;
  if (converter.LoadLibraries(NativePath(LibraryFolder), true)) return true;
  Shell.ShowError(this, tr("The media libraries cannot be loaded:\n%1")
                            .arg(FromNative(converter.LastError())));
  return false;
}

void TForm1::Convert() {
  if (lvFiles->RowCount() == 0) {
    ProgressBar1->setValue(0);
    BTips->setText(Blank4 + tr("Nothing to convert: add files to the list first."));
    return;
  }
  if (OutputFolder.isEmpty()) {
    Shell.ShowError(this, tr("No output folder is set: choose one in the settings."));
    return;
  }
  // What would fail every row is said once, before anything changes.
  if (!OutputFolderUsable(WithSeparator(OutputFolder)) || !LibrariesLoaded()) return;
  OutputFolder = WithSeparator(OutputFolder);

  Preparer.StopAndWait();
  PendingPrepared.clear();
  FConverter->ClearTasks();
  ++Batch;  // after ClearTasks: whatever the old batch posted is stale now
  SetConverting(true);

  const int rows = lvFiles->RowCount();
  BatchRows.clear();
  BatchOutputs.assign(static_cast<std::size_t>(rows), QString());
  TaskRows.clear();
  Counts = TBatchCounts{};
  Sync.reset();
  if (Existing != TExistingRule::Replace)
    Sync = std::make_unique<TOutputSync>(NativePath(OutputFolder), Existing,
                                         SettingsWording(FormatSettings.Current()), false);
  BatchProgress.Begin(rows);
  AllPrepared = false;

  OutputClaims.Clear();
  std::vector<TInputToPrepare> inputs;
  for (int position = 0; position < rows; ++position) {
    QTreeWidgetItem* row = lvFiles->Row(position);
    const QString path = row->text(TFileListView::ColPath);
    BatchRows.push_back(row);
    OutputClaims.AddInput(NativePath(path));
    inputs.push_back({NativePath(path), InputOptionsFor(NativePath(path))});
    row->setText(TFileListView::ColStatus, QString());
    TrackRows::Clear(row);
    row->setData(TFileListView::ColName, RowLogRole, QVariant());
    SetRowTip(row, QString());
  }
  ProgressBar1->setRange(0, GaugeSteps);
  ProgressBar1->setValue(0);
  BTips->setText(Blank4 + tr("Please wait ..."));
  ShowSelectedDetails();
  BatchClock.start();

  const unsigned batch = Batch.load();
  Preparer.Start(std::move(inputs), [this, batch](TPreparedInput prepared) {
    Posts->Post([this, batch, prepared = std::move(prepared)]() mutable {
      if (batch == Batch.load()) Prepared(std::move(prepared));
    });
  });
}

void TForm1::Prepared(TPreparedInput prepared) {
  if (Stopping) return;  // described before Stop; it gets no task now
  PendingPrepared.push_back(std::move(prepared));
  if (!PrepareSlices->isActive()) PrepareSlices->start();
}

void TForm1::TakePrepared() {
  QElapsedTimer slice;
  slice.start();
  while (!PendingPrepared.empty() && Converting() && slice.elapsed() < PrepareSliceMs) {
    const TPreparedInput prepared = std::move(PendingPrepared.front());
    PendingPrepared.pop_front();
    SetUpPrepared(prepared);
  }
  if (!PendingPrepared.empty() && Converting()) PrepareSlices->start();
}

void TForm1::SetUpPrepared(const TPreparedInput& prepared) {
  if (prepared.Position < 0) {
    AllPrepared = true;
    return FinishIfDone();
  }
  const int position = prepared.Position;
  QTreeWidgetItem* row = BatchRows[static_cast<std::size_t>(position)];
  const QString path = row->text(TFileListView::ColPath);
  if (!prepared.Readable) {
    AppendRowLog(row, FromNative(prepared.Error));
    EndRow(row, position, TTaskState::tsFailed, FromNative(prepared.Error));
    return FinishIfDone();
  }

  // A file with a cue sheet becomes its tracks; one whose sheet cannot be
  // used fails with the sheet's line rather than becoming one long file.
  std::vector<TPlannedTrack> tracks;
  std::string sheetProblem;
  if (!PlanAlbumTracks(prepared.Description, TSplitMode::Sheet, tracks, sheetProblem)) {
    AppendRowLog(row, FromNative(sheetProblem));
    EndRow(row, position, TTaskState::tsFailed, FromNative(sheetProblem));
    return FinishIfDone();
  }

  TVeltoConverter& converter = *FConverter;
  BatchProgress.SetDuration(position, prepared.Description.DurationMs);
  TOutputOptions output;
  ResetOutputOptions(output);
  FillOutputOptions(FormatSettings.Current(), output);
  LoudnessSettings.Fill(output);
  CopyInputTags(prepared.Description, output);
  TNamingRules naming = Naming;
  naming.Extension = output.FileExt;
  const TNamingInput source{NativePath(path), NativePath(RowRoot(row)), prepared.Description.Tags};
  // An album's tracks are named when they are added; the record keeps one
  // output per source, so only a file of its own is judged by it.
  QString fileName;
  if (tracks.empty()) {
    std::string note;
    output.FileName =
        OutputClaims.Claim(OutputPath(source, naming, NativePath(OutputFolder)), &note);
    if (!note.empty()) AppendRowLog(row, FromNative(note));
    fileName = FromNative(output.FileName);
    BatchOutputs[static_cast<std::size_t>(position)] = fileName;
    if (Sync) {
      const TOutputDecision decision = Sync->Decide(source.Source, source.Root, output.FileName);
      for (const std::string& message : Sync->TakeMessages())
        AppendRowLog(row, FromNative(message));
      if (decision != TOutputDecision::Convert) {
        EndRowUnchanged(row, position, decision == TOutputDecision::UpToDate);
        return FinishIfDone();
      }
    }
  }

  TInputOptions input = InputOptionsFor(NativePath(path));
  const int index = converter.AddInput(prepared.Description, &input);
  if (index < 0) {
    const QString reason = FromNative(converter.LastError());
    BatchOutputs[static_cast<std::size_t>(position)].clear();
    AppendRowLog(row, reason);
    EndRow(row, position, TTaskState::tsFailed, reason);
    return FinishIfDone();
  }
  if (TaskRows.size() <= static_cast<std::size_t>(index)) TaskRows.resize(index + 1);
  TTaskRow& task = TaskRows[static_cast<std::size_t>(index)];
  task.Row = row;
  task.Position = position;
  if (!tracks.empty()) {
    AddTrackOutputs(index, row, position, output, source, naming, tracks);
  } else if (converter.AddOutput(index, output.FileName, output)) {
    SetRowTip(row, tr("Output: %1").arg(fileName));
  } else {
    // The task still starts and fails at once; the row tells this reason.
    BatchOutputs[static_cast<std::size_t>(position)].clear();
    task.SetupError = converter.LastError();
    AppendRowLog(row, FromNative(task.SetupError));
  }
  row->setText(TFileListView::ColStatus, QStringLiteral("-"));
  converter.SetWorkerMemoryLimit(static_cast<uint64_t>(LoudnessSettings.MemoryPerFileMiB) << 20);
  try {
    converter.Start(FilesAtOnce);
  } catch (const std::exception&) {
    // The task that could not start has been reported as ended; its row
    // shows why.
  }
}

void TForm1::AddTrackOutputs(int index, QTreeWidgetItem* row, int position, TOutputOptions output,
                             const TNamingInput& albumFile, const TNamingRules& naming,
                             const std::vector<TPlannedTrack>& tracks) {
  TVeltoConverter& converter = *FConverter;
  const TNamingRules trackNaming = TrackNamingRules(naming);
  std::vector<TTrackRow> shown;
  for (const TPlannedTrack& track : tracks) {
    std::string note;
    output.FileName = OutputClaims.Claim(
        OutputPath(TrackNamingInput(albumFile, track), trackNaming, NativePath(OutputFolder)),
        &note);
    if (!note.empty()) AppendRowLog(row, FromNative(note));
    const QString fileName = FromNative(output.FileName);
    if (!converter.AddTrackOutput(index, output.FileName, output, track.Part)) {
      // The task fails at once, writing none of its tracks.
      TaskRows[static_cast<std::size_t>(index)].SetupError = converter.LastError();
      AppendRowLog(row, FromNative(converter.LastError()));
      return;
    }
    const TTrackCut& cut = track.Part.Cut;
    shown.push_back({QFileInfo(fileName).fileName(), fileName,
                     static_cast<int>(cut.Start * 1000 / cut.TimeBaseDen),
                     cut.End < 0 ? -1 : static_cast<int>(cut.End * 1000 / cut.TimeBaseDen)});
  }
  BatchOutputs[static_cast<std::size_t>(position)] = shown.front().Output;
  SetRowTip(row, tr("%n tracks", nullptr, static_cast<int>(shown.size())));
  TrackRows::Show(row, shown);
}

void TForm1::Progress(int index, int durationTime, int totalDuration) {
  if (index < 0 || static_cast<std::size_t>(index) >= TaskRows.size()) return;
  const TTaskRow& task = TaskRows[static_cast<std::size_t>(index)];
  task.Row->setText(TFileListView::ColStatus, ProgressStatus(durationTime, totalDuration));
  TrackRows::Progress(task.Row, durationTime, totalDuration);
  BatchProgress.Report(task.Position, durationTime, totalDuration);
  ShowBatchState();
}

void TForm1::Terminate(int index, const TTaskResult& result) {
  if (index < 0) return FinishIfDone();
  if (static_cast<std::size_t>(index) >= TaskRows.size()) return;
  const TTaskRow& task = TaskRows[static_cast<std::size_t>(index)];
  const std::string& reason = result.State == TTaskState::tsFailed && !task.SetupError.empty()
                                  ? task.SetupError
                                  : result.Reason;
  // An album's rows of tracks are not in the record, which keeps one output
  // per source.
  if (Sync && task.Row->childCount() == 0 &&
      (result.State == TTaskState::tsConverted ||
       result.State == TTaskState::tsConvertedWithProblems)) {
    std::string error;
    if (!Sync->Made(NativePath(task.Row->text(TFileListView::ColPath)), NativePath(RowRoot(task.Row)),
                    NativePath(BatchOutputs[static_cast<std::size_t>(task.Position)]), error))
      AppendRowLog(task.Row, FromNative(error));
  }
  EndRow(task.Row, task.Position, result.State, FromNative(reason));
  FinishIfDone();
}

void TForm1::EndRowUnchanged(QTreeWidgetItem* row, int position, bool upToDate) {
  ++(upToDate ? Counts.UpToDate : Counts.Existing);
  row->setText(TFileListView::ColStatus, UnchangedMark(upToDate));
  const QString output = BatchOutputs[static_cast<std::size_t>(position)];
  SetRowTip(row, (upToDate ? tr("Up to date") : tr("Left as it was")) + QStringLiteral("\n") +
                     QStringLiteral("Output: ") + output);
  BatchProgress.End(position);
  ShowBatchState();
}

void TForm1::Logged(int index, const QString& line) {
  if (index < 0 || static_cast<std::size_t>(index) >= TaskRows.size()) return;
  AppendRowLog(TaskRows[static_cast<std::size_t>(index)].Row, line);
}

void TForm1::EndRow(QTreeWidgetItem* row, int position, TTaskState state, const QString& reason) {
  switch (state) {
    case TTaskState::tsConverted:
      ++Counts.Converted;
      break;
    case TTaskState::tsConvertedWithProblems:
      ++Counts.Converted;
      ++Counts.WithProblems;
      break;
    case TTaskState::tsStopped:
      ++Counts.Stopped;
      break;
    default:
      state = TTaskState::tsFailed;  // an end without a result is no success
      ++Counts.Failed;
      break;
  }
  row->setText(TFileListView::ColStatus, EndMark(state));
  TrackRows::End(row, state);
  const QString output = BatchOutputs[static_cast<std::size_t>(position)];
  QString tip = reason;
  if (!output.isEmpty() && state != TTaskState::tsFailed && state != TTaskState::tsStopped)
    tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + tr("Output: %1").arg(output);
  SetRowTip(row, tip);
  BatchProgress.End(position, state == TTaskState::tsConverted ||
                                  state == TTaskState::tsConvertedWithProblems);
  ShowBatchState();
}

void TForm1::ShowBatchState() {
  ProgressBar1->setValue(static_cast<int>(BatchProgress.Fraction() * GaugeSteps));
  const double elapsed = BatchClock.elapsed() / 1000.0;
  // The first seconds say too little about the rate to promise a time.
  const int64_t left = elapsed >= 2 ? BatchProgress.SecondsLeft(elapsed) : -1;
  BTips->setText(BatchLine(BatchProgress.Ended(), BatchProgress.Files(), left));
}

void TForm1::FinishIfDone() {
  if (!Converting() || Stopping || !AllPrepared || BatchProgress.Ended() < BatchProgress.Files())
    return;
  EndBatch(false);
}

void TForm1::EndBatch(bool stopped) {
  ++Batch;  // the batch's stragglers (a late end-of-batch call) are stale now
  SetConverting(false);
  if (Sync) {
    std::string error;
    if (!Sync->Save(error)) Shell.ShowError(this, FromNative(error));
    Sync.reset();
  }
  // A close question asked about this batch has nothing left to ask.
  if (AskingToClose) Shell.WithdrawQuestion();
  if (!stopped) {
    ProgressBar1->setValue(GaugeSteps);
    BTips->setText(SummaryLine(Counts));
    if (Counts.Converted > 0) {
      if (const QString why = Shell.Open(OutputFolder); !why.isEmpty())
        Shell.ShowError(this, tr("The output folder %1 cannot be opened: %2").arg(OutputFolder, why));
    }
    return;
  }
  // Rows the Stop left before they began are no more converted than the
  // stopped ones; the gauge keeps what was converted.
  for (int position = 0; position < BatchProgress.Files(); ++position) {
    if (BatchProgress.HasEnded(position)) continue;
    QTreeWidgetItem* row = BatchRows[static_cast<std::size_t>(position)];
    row->setText(TFileListView::ColStatus, NotStartedMark());
    SetRowTip(row, tr("Not converted: the batch was stopped before this file began."));
    BatchProgress.End(position, false);
    ++Counts.NotStarted;
  }
  ProgressBar1->setValue(static_cast<int>(BatchProgress.ConvertedFraction() * GaugeSteps));
  BTips->setText(SummaryLine(Counts, true));
}

QStringList TForm1::RowOutputs() const {
  QStringList outputs;
  for (const QString& output : BatchOutputs) outputs.append(output);
  return outputs;
}

void TForm1::Stop() {
  Preparer.StopAndWait();
  PendingPrepared.clear();
  FConverter->Stop();
  FConverter->ClearTasks();
  // The stopped tasks' last reports and their ends were posted while
  // ClearTasks waited; they belong before the summary, not after.
  Stopping = true;
  Posts->DeliverWaiting();
  Stopping = false;
  if (Converting()) EndBatch(true);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (Converting()) {
    AskingToClose = true;
    const bool stop =
        Shell.Confirm(this, tr("Files are being converted. Stop the conversions and quit?"));
    AskingToClose = false;
    // A batch that ended under the question withdrew it: nothing is left to
    // stop, and the window closes as asked.
    if (!stop && Converting()) {
      event->ignore();
      return;
    }
  }
  if (Converting()) Stop();
  FConverter->DetachEvents();
  ++Batch;  // nothing still queued may reach the closed window
  event->accept();
}
