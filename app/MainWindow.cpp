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
#include <system_error>

#include "app/AudioFiles.h"
#include "app/DetailsDialog.h"
#include "app/FileListView.h"
#include "app/IniFile.h"
#include "app/InputTags.h"
#include "app/PathRules.h"
#include "app/SettingsDialog.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"
#include "app/ThreadMailbox.h"
#include "converter/VeltoConverter.h"

namespace {

const QString Blank4 = QStringLiteral("    ");
const QString DoneText = QStringLiteral("    Done");
const QString PleaseWaitText = QStringLiteral("    Please wait ...");
// The gauge's scale: the batch's fraction in thousandths.
constexpr int GaugeSteps = 1000;
// A row keeps at most this many log lines (the first ones and the last
// ones say why a file failed; a chatty file must not fill the memory).
constexpr int RowLogLimit = 400;
constexpr int RowLogRole = Qt::UserRole;
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
}

TForm1::~TForm1() {
  // The producers end while the window's members still exist.
  Preparer.StopAndWait();
  FConverter->DetachEvents();
  FConverter.reset();
}

void TForm1::CreateControls() {
  setFixedSize(634, 443);

  AddButton = MakeButton(this, QStringLiteral("Add"), 24, 24, 75, 25);
  RemoveButton = MakeButton(this, QStringLiteral("Remove"), 120, 24, 75, 25);
  ClearButton = MakeButton(this, QStringLiteral("Clear"), 216, 24, 75, 25);
  SettingsButton = MakeButton(this, QStringLiteral("Settings"), 312, 24, 75, 25);
  DetailsButton = MakeButton(this, QStringLiteral("Details"), 408, 24, 75, 25);
  HelpButton = MakeButton(this, QStringLiteral("Help"), 536, 24, 75, 25);

  ListPanel = new QFrame(this);
  ListPanel->setGeometry(24, 64, 585, 305);
  ListPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* panelLayout = new QVBoxLayout(ListPanel);
  panelLayout->setContentsMargins(1, 1, 1, 1);
  lvFiles = new TFileListView(ListPanel);
  lvFiles->setFrameShape(QFrame::NoFrame);
  panelLayout->addWidget(lvFiles);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setGeometry(24, 368, 585, 8);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(100);
  ProgressBar1->setTextVisible(false);

  FormatBox = new QComboBox(this);
  FormatBox->setGeometry(24, 393, 193, 20);
  FormatBox->setEditable(false);

  StopButton = MakeButton(this, QStringLiteral("Stop"), 408, 392, 75, 25);
  ConvertButton = MakeButton(this, QStringLiteral("Convert"), 504, 392, 107, 25);

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
  OpenDialogFilter = OpenDialogFilterText;
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
}

bool TForm1::Converting() const { return StopButton->isEnabled(); }

void TForm1::SetConverting(bool converting) {
  for (QPushButton* button : {AddButton, RemoveButton, ClearButton, SettingsButton, ConvertButton})
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

void TForm1::AddFiles(const QStringList& files) {
  for (const QString& path : files) {
    try {
      lvFiles->setUpdatesEnabled(false);
      const QFileInfo info(path);
      const qint64 size = info.exists() ? info.size() : -1;
      QTreeWidgetItem* row =
          lvFiles->AppendRow(FileNamePart(path), QString(), QString(), QString());
      // Keeps the window painting during a long list; user input waits, so
      // no second Add or Convert can start in the middle of this one.
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      BTips->setText(Blank4 + path);
      row->setText(TFileListView::ColSize, SizeText(size));
      row->setText(TFileListView::ColStatus, QString());
      row->setText(TFileListView::ColPath, path);
    } catch (const std::exception&) {
      // One file that cannot be listed does not keep the others out.
    }
    lvFiles->setUpdatesEnabled(true);
  }
  BTips->setText(DoneText);
}

void TForm1::AddPaths(const QStringList& paths) {
  const QStringList files = ExpandDroppedPaths(paths);
  if (!files.isEmpty()) AddFiles(files);
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
  if (lvFiles->RowCount() == 0) return;
  lvFiles->setUpdatesEnabled(false);
  lvFiles->clear();
  lvFiles->setUpdatesEnabled(true);
}

void TForm1::Settings() { Fset->exec(); }

void TForm1::Help() {
  Shell.Open(QCoreApplication::applicationDirPath() + QStringLiteral("/Help.htm"));
}

// ---- Details -----------------------------------------------------------------

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
    Shell.ShowError(this, QStringLiteral("The output folder %1 cannot be created: %2")
                              .arg(folder, FromNative(error.message())));
    return false;
  }
  // Writing is what the tasks will do; a probe file says so truthfully where
  // permission bits do not (read-only mounts, the superuser).
  std::string probe = NativePath(WithSeparator(folder)) + ".melvaro-write-check-XXXXXX";
  const int descriptor = mkstemp(probe.data());
  if (descriptor < 0) {
    const int reason = errno;
    Shell.ShowError(this, QStringLiteral("The output folder %1 is not writable: %2")
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
  Shell.ShowError(this, QStringLiteral("The media libraries cannot be loaded:\n") +
                            FromNative(converter.LastError()));
  return false;
}

void TForm1::Convert() {
  if (lvFiles->RowCount() == 0 || OutputFolder.isEmpty()) return;
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
  BatchProgress.Begin(rows);
  AllPrepared = false;

  QStringList paths;
  std::vector<TInputToPrepare> inputs;
  for (int position = 0; position < rows; ++position) {
    QTreeWidgetItem* row = lvFiles->Row(position);
    const QString path = row->text(TFileListView::ColPath);
    BatchRows.push_back(row);
    paths.append(path);
    inputs.push_back({NativePath(path), InputOptionsFor(NativePath(path))});
    row->setText(TFileListView::ColStatus, QString());
    row->setData(TFileListView::ColName, RowLogRole, QVariant());
    SetRowTip(row, QString());
  }
  OutputNames.Begin(paths);
  ProgressBar1->setRange(0, GaugeSteps);
  ProgressBar1->setValue(0);
  BTips->setText(PleaseWaitText);
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

  TVeltoConverter& converter = *FConverter;
  BatchProgress.SetDuration(position, prepared.Description.DurationMs);
  TInputOptions input = InputOptionsFor(NativePath(path));
  const int index = converter.AddInput(prepared.Description, &input);
  if (index < 0) {
    const QString reason = FromNative(converter.LastError());
    AppendRowLog(row, reason);
    EndRow(row, position, TTaskState::tsFailed, reason);
    return FinishIfDone();
  }
  if (TaskRows.size() <= static_cast<std::size_t>(index)) TaskRows.resize(index + 1);
  TTaskRow& task = TaskRows[static_cast<std::size_t>(index)];
  task.Row = row;
  task.Position = position;

  TOutputOptions output;
  ResetOutputOptions(output);
  FillOutputOptions(FormatSettings.Current(), output);
  LoudnessSettings.Fill(output);
  CopyInputTags(prepared.Description, output);
  const QString fileName =
      OutputNames.Claim(OutputFileName(OutputFolder, path, QString::fromStdString(output.FileExt)));
  output.FileName = NativePath(fileName);
  if (converter.AddOutput(index, output.FileName, output)) {
    BatchOutputs[static_cast<std::size_t>(position)] = fileName;
    SetRowTip(row, QStringLiteral("Output: ") + fileName);
  } else {
    // The task still starts and fails at once; the row tells this reason.
    task.SetupError = converter.LastError();
    AppendRowLog(row, FromNative(task.SetupError));
  }
  row->setText(TFileListView::ColStatus, QStringLiteral("-"));
  try {
    converter.Start(FilesAtOnce);
  } catch (const std::exception&) {
    // The task that could not start has been reported as ended; its row
    // shows why.
  }
}

void TForm1::Progress(int index, int durationTime, int totalDuration) {
  if (index < 0 || static_cast<std::size_t>(index) >= TaskRows.size()) return;
  const TTaskRow& task = TaskRows[static_cast<std::size_t>(index)];
  task.Row->setText(TFileListView::ColStatus, ProgressStatus(durationTime, totalDuration));
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
  EndRow(task.Row, task.Position, result.State, FromNative(reason));
  FinishIfDone();
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
  const QString output = BatchOutputs[static_cast<std::size_t>(position)];
  QString tip = reason;
  if (!output.isEmpty() && state != TTaskState::tsFailed && state != TTaskState::tsStopped)
    tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("Output: ") + output;
  SetRowTip(row, tip);
  BatchProgress.End(position);
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
  EndBatch(true);
}

void TForm1::EndBatch(bool openFolder) {
  ++Batch;  // the batch's stragglers (a late end-of-batch call) are stale now
  SetConverting(false);
  ProgressBar1->setValue(GaugeSteps);
  BTips->setText(SummaryLine(Counts));
  if (openFolder && Counts.Converted > 0) Shell.Open(OutputFolder);
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
  if (Converting()) EndBatch(false);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (Converting() &&
      !Shell.Confirm(this, QStringLiteral("Files are being converted. Stop the conversions and "
                                          "quit?"))) {
    event->ignore();
    return;
  }
  if (Converting()) Stop();
  FConverter->DetachEvents();
  ++Batch;  // nothing still queued may reach the closed window
  event->accept();
}
