#include "app/MainWindow.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <set>
#include <system_error>
#include <thread>

#include "app/AudioFiles.h"
#include "app/BatchController.h"
#include "app/DetailsDialog.h"
#include "app/ExistingSettings.h"
#include "app/FileListView.h"
#include "app/IniFile.h"
#include "app/InputTags.h"
#include "app/NamingSettings.h"
#include "app/PathRules.h"
#include "app/RowOrder.h"
#include "app/SettingsDialog.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"
#include "app/ThreadMailbox.h"
#include "app/TrackRows.h"
#include "converter/AlbumTracks.h"
#include "converter/FolderWalker.h"
#include "converter/VeltoConverter.h"
#include "engine/TagNames.h"

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
// Rows are added in slices of this many, the window painting between them.
constexpr int AddSliceRows = 2000;
const QSize FirstSize(634, 443);
const QString WindowSection = QStringLiteral("Window");
// The error display names at most this many refused paths.
constexpr int RefusalsShown = 20;
// Listing rows and reading them for a batch yield to the event loop after
// this long.
constexpr int AddSliceMs = 20;

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString FromNative(const std::string& text) { return QString::fromLocal8Bit(text); }

QPushButton* MakeButton(QWidget* parent, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setMinimumWidth(75);
  return button;
}

// The row's tip shows over every column (TFileListView's rows read it from
// the first).
void SetRowTip(QTreeWidgetItem* row, const QString& tip) { row->setToolTip(0, tip); }

}  // namespace

TForm1::TForm1(TShell& shell)
    : QWidget(nullptr, Qt::Window),
      LibraryFolder(QString::fromStdString(
          LibraryFolderOf(QCoreApplication::applicationDirPath().toStdString()))),
      Shell(shell),
      Batch(new TBatchController(this)) {
  Posts = new TThreadMailbox(this);
  CreateControls();
  ConnectBatch();
  FormCreate();
  Fset = new TFset(*this, Shell);
  Details = new TDetailsDialog(this);
  ShowOutputFolder();
}

TForm1::~TForm1() {
  // The producers end while the window's members still exist.
  StopDescribing();
  Batch->Detach();
  delete Batch;
}

void TForm1::ConnectBatch() {
  const auto row = [this](int position) { return BatchRows[static_cast<std::size_t>(position)]; };
  TBatchController::TEvents& events = Batch->Events;
  events.Described = [this, row](int position, const TInputDescription& description) {
    ShowDescription(row(position), description);
  };
  events.Status = [row](int position, const QString& status) {
    row(position)->setText(TFileListView::ColStatus, status);
  };
  events.Tip = [row](int position, const QString& tip) { SetRowTip(row(position), tip); };
  events.Log = [this, row](int position, const QString& line) {
    AppendRowLog(row(position), line);
  };
  events.Tracks = [this, row](int position, const std::vector<TTrackRow>& tracks) {
    SetRowTip(row(position), tr("%n tracks", nullptr, static_cast<int>(tracks.size())));
    TrackRows::Show(row(position), tracks);
  };
  events.TrackProgress = [row](int position, int reachedMs, int totalMs) {
    TrackRows::Progress(row(position), reachedMs, totalMs);
  };
  events.TracksEnded = [row](int position, TTaskState state) {
    TrackRows::End(row(position), state);
  };
  events.Changed = [this] {
    ProgressBar1->setValue(static_cast<int>(Batch->GaugeFraction() * GaugeSteps));
    BTips->setText(Batch->StatusLine());
  };
  events.NotStarted = [this, row](const std::vector<int>& positions, const QString& mark,
                                  const QString& tip) {
    // One repaint for them all: the list's model would announce every cell.
    QAbstractItemModel* model = lvFiles->model();
    const bool blocked = model->blockSignals(true);
    for (const int position : positions) {
      row(position)->setText(TFileListView::ColStatus, mark);
      SetRowTip(row(position), tip);
    }
    model->blockSignals(blocked);
    lvFiles->viewport()->update();
  };
  events.Finished = [this](bool stopped) { BatchFinished(stopped); };
  events.Error = [this](const QString& error) { Shell.ShowError(this, error); };
}

void TForm1::CreateControls() {
  // The first size is the classic one; the layouts let the list grow with the
  // window and keep every caption whole in a longer translation.
  AddButton = MakeButton(this, tr("Add"));
  RemoveButton = MakeButton(this, tr("Remove"));
  ClearButton = MakeButton(this, tr("Clear"));
  SettingsButton = MakeButton(this, tr("Settings"));
  DetailsButton = MakeButton(this, tr("Details"));
  HelpButton = MakeButton(this, tr("Help"));

  ListPanel = new QFrame(this);
  ListPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* panelLayout = new QVBoxLayout(ListPanel);
  panelLayout->setContentsMargins(1, 1, 1, 1);
  lvFiles = new TFileListView(ListPanel);
  lvFiles->setFrameShape(QFrame::NoFrame);
  panelLayout->addWidget(lvFiles);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setFixedHeight(8);
  // Empty until a batch has something to show.
  ProgressBar1->setRange(0, GaugeSteps);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  auto* folderLabel = new QLabel(tr("Output folder"), this);
  OutputFolderField = new QLineEdit(this);
  OutputFolderField->setReadOnly(true);
  folderLabel->setBuddy(OutputFolderField);
  OutputFolderButton = MakeButton(this, tr("Change..."));

  FormatBox = new QComboBox(this);
  FormatBox->setEditable(false);
  FormatBox->setMinimumWidth(193);

  StopButton = MakeButton(this, tr("Stop"));
  ConvertButton = MakeButton(this, tr("Convert"));
  ConvertButton->setMinimumWidth(107);

  BTips = new QLabel(this);
  BTips->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  BTips->setMinimumHeight(18);
  BTips->setMinimumWidth(1);  // a long status text is cut, it does not widen the window

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(21);
  for (QPushButton* button : {AddButton, RemoveButton, ClearButton, SettingsButton, DetailsButton})
    buttons->addWidget(button);
  buttons->addStretch(1);
  buttons->addWidget(HelpButton);

  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folderLabel);
  folderRow->addSpacing(6);
  folderRow->addWidget(OutputFolderField, 1);
  folderRow->addSpacing(8);
  folderRow->addWidget(OutputFolderButton);

  auto* bottomRow = new QHBoxLayout;
  bottomRow->addWidget(FormatBox);
  bottomRow->addStretch(1);
  bottomRow->addWidget(StopButton);
  bottomRow->addSpacing(15);
  bottomRow->addWidget(ConvertButton);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(24, 24, 23, 8);
  body->setSpacing(0);
  body->addLayout(buttons);
  body->addSpacing(15);
  body->addWidget(ListPanel, 1);
  body->addWidget(ProgressBar1);
  body->addSpacing(12);
  body->addLayout(folderRow);
  body->addSpacing(10);
  body->addLayout(bottomRow);

  auto* window = new QVBoxLayout(this);
  window->setContentsMargins(0, 0, 0, 0);
  window->setSpacing(0);
  window->addLayout(body, 1);
  window->addWidget(BTips);
  resize(FirstSize);

  connect(AddButton, &QPushButton::clicked, this, &TForm1::Add);
  connect(RemoveButton, &QPushButton::clicked, this, &TForm1::Remove);
  connect(ClearButton, &QPushButton::clicked, this, &TForm1::Clear);
  connect(SettingsButton, &QPushButton::clicked, this, &TForm1::Settings);
  connect(DetailsButton, &QPushButton::clicked, this, &TForm1::ShowDetails);
  connect(HelpButton, &QPushButton::clicked, this, &TForm1::Help);
  connect(StopButton, &QPushButton::clicked, this, &TForm1::Stop);
  connect(OutputFolderButton, &QPushButton::clicked, this, &TForm1::ChangeOutputFolder);
  connect(ConvertButton, &QPushButton::clicked, this, &TForm1::Convert);
  connect(lvFiles, &TFileListView::PathsDropped, this,
          [this](const std::vector<std::string>& paths) {
            if (!Converting()) AddNativePaths(paths);
          });
  connect(lvFiles, &QTreeWidget::itemSelectionChanged, this, &TForm1::ShowSelectedDetails);
  connect(lvFiles, &QTreeWidget::itemDoubleClicked, this, &TForm1::ShowDetails);
  auto* deleteKey = new QShortcut(QKeySequence::Delete, lvFiles, nullptr, nullptr,
                                  Qt::WidgetWithChildrenShortcut);
  connect(deleteKey, &QShortcut::activated, this, [this] {
    if (RemoveButton->isEnabled()) Remove();
  });
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
  SplitLongFiles = ReadSplitLongFiles(SettingsFolder);
  Naming = ReadNamingRules(SettingsFolder);
  Existing = ReadExistingRule(SettingsFolder);

  // The size the window had when it was last closed, within the screen.
  const QString settings = SettingsFolder + SettingsFileName;
  const QSize kept(
      ReadIniString(settings, WindowSection, QStringLiteral("Width"), QString()).toInt(),
      ReadIniString(settings, WindowSection, QStringLiteral("Height"), QString()).toInt());
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (kept.width() > 0 && kept.height() > 0)
    resize(screen ? kept.boundedTo(screen->availableGeometry().size()) : kept);
  if (screen) move(screen->availableGeometry().center() - rect().center());
}

bool TForm1::Converting() const { return Batch->Running(); }

TVeltoConverter& TForm1::Converter() { return Batch->Converter(); }

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
  std::vector<std::string> given;
  for (const QString& path : paths) given.push_back(NativePath(path));
  AddNativePaths(given);
}

void TForm1::AddNativePaths(const std::vector<std::string>& given) {
  // A library's walk takes long enough to be seen: it runs on a thread of
  // its own while the window paints; user input waits, so no second Add or
  // Convert can start in the middle of this one, and Listed is the walk's
  // alone until it ends.
  TFoundInputs found;
  std::atomic<bool> walked{false};
  std::thread walker([&] {
    found = FindInputs(given, &Listed);
    walked = true;
  });
  {
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
      if (walked) loop.quit();
    });
    poll.start(5);
    if (!walked) loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  walker.join();

  QList<QTreeWidgetItem*> rows;
  QElapsedTimer slice;
  slice.start();
  for (const TFoundInput& file : found.Files) {
    const QString path = FromNative(file.Path);
    struct stat status {};
    const qint64 size = ::stat(file.Path.c_str(), &status) == 0 ? status.st_size : -1;
    TFileRow* row = TFileListView::MakeRow(FileNamePart(path), SizeText(size), QString(), path);
    row->setData(TFileListView::ColSize, SortKeyRole, size);
    row->setData(TFileListView::ColPath, RowRootRole, FromNative(file.Root));
    row->NativePath = file.Path;
    row->NativeRoot = file.Root;
    row->setData(TFileListView::ColPath, RowIdRole,
                 QVariantList{QVariant::fromValue<qulonglong>(file.Id.first),
                              QVariant::fromValue<qulonglong>(file.Id.second)});
    rows.append(row);
    if (rows.size() >= AddSliceRows || slice.elapsed() >= AddSliceMs) {
      lvFiles->AppendRows(rows);
      rows.clear();
      BTips->setText(Blank4 + path);
      // Keeps the window painting during a long list; user input waits.
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      slice.restart();
    }
  }
  lvFiles->AppendRows(rows);
  DescribeListed();
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
  StopDescribing();  // its rows may go; the rest is described again below
  QList<QTreeWidgetItem*> selected = lvFiles->selectedItems();
  if (selected.isEmpty()) return;
  // A selected track goes with its file's row, not on its own.
  selected.removeIf([](const QTreeWidgetItem* row) { return row->parent() != nullptr; });
  for (const QTreeWidgetItem* row : selected) {
    const QVariantList id = row->data(TFileListView::ColPath, RowIdRole).toList();
    if (id.size() == 2) Listed.erase({id[0].toULongLong(), id[1].toULongLong()});
  }
  lvFiles->setUpdatesEnabled(false);
  qDeleteAll(selected);
  lvFiles->setUpdatesEnabled(true);
  DescribeListed();
}

void TForm1::Clear() {
  // The last batch's gauge and summary went with its rows.
  ProgressBar1->setValue(0);
  BTips->setText(QString());
  Listed.clear();
  StopDescribing();
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
  ShowOutputFolder();
  try {
    WriteOutputFolder(SettingsFolder, OutputFolder);
  } catch (const TIniFileError& error) {
    Shell.ShowError(this, QString::fromStdString(error.what()));
  }
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

std::string TForm1::RowPath(const QTreeWidgetItem* row) {
  const auto* file = dynamic_cast<const TFileRow*>(row);
  return file ? file->NativePath : std::string();
}

std::string TForm1::RowNativeRoot(const QTreeWidgetItem* row) {
  const auto* file = dynamic_cast<const TFileRow*>(row);
  return file ? file->NativeRoot : std::string();
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
    Shell.ShowError(
        this,
        tr("The output folder %1 cannot be created: %2").arg(folder, FromNative(error.message())));
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
  TVeltoConverter& converter = Batch->Converter();
  if (converter.LoadLibraries(NativePath(LibraryFolder), true)) return true;
  Shell.ShowError(
      this, tr("The media libraries cannot be loaded:\n%1").arg(FromNative(converter.LastError())));
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

  StopDescribing();  // the batch describes every row anyway
  const int rows = lvFiles->RowCount();
  BatchRows.clear();
  BatchRows.reserve(static_cast<std::size_t>(rows));
  std::vector<TBatchInput> inputs;
  inputs.reserve(static_cast<std::size_t>(rows));
  // The last batch's marks go, with one repaint for them all: the list's
  // model would announce every cell. Its tracks go too, announced, since
  // rows leave the view.
  // A long list is read in slices, the window painting between them; the
  // controls are off already and user input waits.
  SetConverting(true);
  std::vector<QTreeWidgetItem*> albums;
  QAbstractItemModel* model = lvFiles->model();
  bool blocked = model->blockSignals(true);
  QElapsedTimer slice;
  slice.start();
  for (int position = 0; position < rows; ++position) {
    if (slice.elapsed() >= AddSliceMs) {
      model->blockSignals(blocked);
      lvFiles->viewport()->update();
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      blocked = model->blockSignals(true);
      slice.restart();
    }
    auto* row = static_cast<TFileRow*>(lvFiles->Row(position));
    BatchRows.push_back(row);
    inputs.push_back({row->NativePath, row->NativeRoot});
    row->setText(TFileListView::ColStatus, QString());
    SetRowTip(row, QString());
    row->setData(TFileListView::ColName, RowLogRole, QVariant());
    if (row->childCount() > 0) albums.push_back(row);
  }
  model->blockSignals(blocked);
  lvFiles->viewport()->update();
  for (QTreeWidgetItem* album : albums) TrackRows::Clear(album);
  ProgressBar1->setRange(0, GaugeSteps);
  ShowSelectedDetails();

  TBatchSettings settings;
  settings.Format = FormatSettings.Current();
  settings.Loudness = LoudnessSettings;
  settings.Naming = Naming;
  settings.Existing = Existing;
  settings.FilesAtOnce = FilesAtOnce;
  settings.SplitLongFiles = SplitLongFiles;
  settings.OutputFolder = NativePath(OutputFolder);
  Batch->Start(std::move(inputs), settings);
}

void TForm1::DescribeListed() {
  StopDescribing();
  std::vector<std::string> paths;
  for (int position = 0; position < lvFiles->RowCount(); ++position) {
    auto* row = static_cast<TFileRow*>(lvFiles->Row(position));
    if (row->Described) continue;
    DescribeRows.push_back(row);
    paths.push_back(row->NativePath);
  }
  // Without the media libraries the columns wait for Convert, which says why.
  if (paths.empty() || !Batch->Converter().LoadLibraries(NativePath(LibraryFolder), true)) {
    DescribeRows.clear();
    return;
  }
  const unsigned run = DescribeRun.load();
  Describer.Start(std::move(paths), [this, run](TPreparedInput prepared) {
    if (prepared.Position < 0 || !prepared.Readable) return;
    Posts->Post([this, run, prepared = std::move(prepared)] {
      if (run == DescribeRun.load())
        ShowDescription(DescribeRows[static_cast<std::size_t>(prepared.Position)],
                        prepared.Description);
    });
  });
}

void TForm1::StopDescribing() {
  Describer.StopAndWait();
  ++DescribeRun;  // what it posted is stale now
  DescribeRows.clear();
}

void TForm1::ShowDescription(QTreeWidgetItem* row, const TInputDescription& description) {
  if (auto* file = dynamic_cast<TFileRow*>(row)) file->Described = true;
  const std::map<std::string, std::string> tags = CanonicalTags(description.Tags);
  const auto tag = [&](const char* key) {
    const auto entry = tags.find(key);
    return entry == tags.end() ? QString() : QString::fromUtf8(entry->second);
  };
  if (description.DurationMs >= 0) {
    row->setText(TFileListView::ColDuration, DurationText(description.DurationMs / 1000));
    row->setData(TFileListView::ColDuration, SortKeyRole,
                 static_cast<qlonglong>(description.DurationMs));
  }
  row->setText(TFileListView::ColTitle, tag("title"));
  row->setText(TFileListView::ColArtist, tag("artist"));
}

void TForm1::BatchFinished(bool stopped) {
  SetConverting(false);
  // A close question asked about this batch has nothing left to ask.
  if (AskingToClose) Shell.WithdrawQuestion();
  if (!stopped && Batch->Counts().Converted > 0) {
    if (const QString why = Shell.Open(OutputFolder); !why.isEmpty())
      Shell.ShowError(this, tr("The output folder %1 cannot be opened: %2").arg(OutputFolder, why));
  }
}

QStringList TForm1::RowOutputs() const {
  QStringList outputs;
  for (const std::string& output : Batch->Outputs()) outputs.append(FromNative(output));
  return outputs;
}

void TForm1::Stop() { Batch->Stop(); }

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
  StopDescribing();
  Batch->Detach();
  if (size() != FirstSize || QFile::exists(SettingsFolder + SettingsFileName)) {
    try {
      const QString settings = SettingsFolder + SettingsFileName;
      WriteIniString(settings, WindowSection, QStringLiteral("Width"), QString::number(width()));
      WriteIniString(settings, WindowSection, QStringLiteral("Height"), QString::number(height()));
    } catch (const TIniFileError&) {
      // A size not kept is no reason to keep the window open.
    }
  }
  event->accept();
}
