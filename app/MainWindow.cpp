#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <exception>

#include "app/AudioFiles.h"
#include "app/FileListView.h"
#include "app/InputTags.h"
#include "app/PathRules.h"
#include "app/SettingsDialog.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"
#include "app/StatusTexts.h"
#include "converter/VeltoConverter.h"
#include "medialib/AVFormatHlpr.h"

namespace {

const QString Blank4 = QStringLiteral("    ");
const QString DoneText = QStringLiteral("    Done");
const QString PleaseWaitText = QStringLiteral("    Please wait ...");

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width,
                        int height) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, top, width, height);
  return button;
}

}  // namespace

TForm1::TForm1(TShell& shell)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      Shell(shell),
      FConverter(std::make_unique<TVeltoConverter>()) {
  CreateControls();

  // Posted, never called: these run on the task's worker thread.
  FConverter->OnProgress = [this](int AIndex, int, int, int ADurationTime, float, float, int64_t,
                                  int ATotalDuration) {
    const unsigned batch = Batch.load();
    QMetaObject::invokeMethod(
        this,
        [this, batch, AIndex, ADurationTime, ATotalDuration] {
          if (batch == Batch.load()) Progress(AIndex, ADurationTime, ATotalDuration);
        },
        Qt::QueuedConnection);
  };
  FConverter->OnTerminate = [this](int AIndex, bool AFinished) {
    const unsigned batch = Batch.load();
    QMetaObject::invokeMethod(
        this,
        [this, batch, AIndex, AFinished] {
          if (batch == Batch.load()) Terminate(AIndex, AFinished);
        },
        Qt::QueuedConnection);
  };

  FormCreate();
  Fset = new TFset(*this, Shell);
}

TForm1::~TForm1() {
  // Stops and waits for every run while the window's members still exist.
  FConverter->DetachEvents();
  FConverter.reset();
}

void TForm1::CreateControls() {
  setFixedSize(634, 443);

  AddButton = MakeButton(this, QStringLiteral("Add"), 24, 24, 75, 25);
  RemoveButton = MakeButton(this, QStringLiteral("Remove"), 120, 24, 75, 25);
  ClearButton = MakeButton(this, QStringLiteral("Clear"), 216, 24, 75, 25);
  SettingsButton = MakeButton(this, QStringLiteral("Settings"), 312, 24, 75, 25);
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
  connect(HelpButton, &QPushButton::clicked, this, &TForm1::Help);
  connect(StopButton, &QPushButton::clicked, this, &TForm1::Stop);
  connect(ConvertButton, &QPushButton::clicked, this, &TForm1::Convert);
  connect(lvFiles, &TFileListView::PathsDropped, this, &TForm1::AddDropped);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TForm1::FormCreate() {
  OpenDialogFilter = OpenDialogFilterText;
  setWindowTitle(QStringLiteral("  Melvaro V3.3"));
  QCoreApplication::setApplicationName(AppTitle);
  FormatBox->addItem(QStringLiteral("  MP3  (*.mp3)"));
  FormatBox->setCurrentIndex(0);
  StopButton->setEnabled(false);

  const TStartupFolders folders = LoadStartupFolders(Shell);
  SettingsFolder = folders.SettingsFolder;
  OutputFolder = folders.OutputFolder;
}

bool TForm1::Converting() const { return StopButton->isEnabled(); }

QString TForm1::LibraryFolder() const {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/Lib");
}

void TForm1::SetConverting(bool converting) {
  for (QPushButton* button : {AddButton, RemoveButton, ClearButton, SettingsButton, ConvertButton})
    button->setEnabled(!converting);
  StopButton->setEnabled(converting);
  // Rows must stay in step with the tasks while a batch runs.
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

void TForm1::AddDropped(const QStringList& paths) {
  if (Converting()) return;
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

// ---- Conversion ------------------------------------------------------------

void TForm1::AddFileTask(const QString& path) {
  TVeltoConverter& converter = *FConverter;
  if (!converter.LoadLibraries(NativePath(LibraryFolder()), true)) return;
  OutputFolder = WithSeparator(OutputFolder);

  TInputOptions input;
  input.FileName = NativePath(path);
  if (FileNamePart(path).toLower().endsWith(QStringLiteral(".dat"))) input.ForceFormat = "mpeg";
  const int index = converter.AddInput(input.FileName, input);
  if (index < 0) return;

  TOutputOptions output;
  ResetOutputOptions(output);
  output.DisableVideo = -1;
  output.FileExt = ".mp3";
  output.AudioCodec = "libmp3lame";
  output.AudioChannels = 2;
  output.AudioSampleRate = 44100;
  output.AudioBitrate = 128000;
  CopyInputTags(converter.TaskDescription(index), output);

  const QString fileName =
      OutputNames.Claim(OutputFileName(OutputFolder, path, QString::fromStdString(output.FileExt)));
  output.FileName = NativePath(fileName);
  if (converter.AddOutput(index, output.FileName, output)) {
    if (FTaskOutputs.size() <= static_cast<size_t>(index)) FTaskOutputs.resize(index + 1);
    FTaskOutputs[index] = fileName;
    if (QTreeWidgetItem* row = lvFiles->Row(index)) {
      row->setText(TFileListView::ColStatus, QStringLiteral("-"));
      ShowOutputName(row, fileName);
    }
  }
}

void TForm1::ShowOutputName(QTreeWidgetItem* row, const QString& outputName) {
  const QString tip = QStringLiteral("Output: ") + outputName;
  for (int column = 0; column < lvFiles->columnCount(); ++column) row->setToolTip(column, tip);
}

void TForm1::Convert() {
  if (lvFiles->RowCount() == 0 || OutputFolder.isEmpty()) return;
  QDir().mkpath(WithSeparator(OutputFolder));

  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  TVeltoConverter& converter = *FConverter;
  converter.ClearTasks();
  ++Batch;  // after ClearTasks: whatever the old batch posted is stale now
  SetConverting(true);

  QStringList inputs;
  for (int row = 0; row < lvFiles->RowCount(); ++row)
    inputs.append(lvFiles->Row(row)->text(TFileListView::ColPath));
  OutputNames.Begin(inputs);
  FTaskOutputs.clear();

  for (const QString& path : inputs) {
    try {
      AddFileTask(path);
    } catch (const std::exception&) {
      // A row that cannot be set up drops out in the rebuild below.
    }
    BTips->setText(PleaseWaitText);
  }

  if (converter.TaskCount() < lvFiles->RowCount()) RebuildFromTasks();

  if (lvFiles->RowCount() == 0) return Stop();
  try {
    converter.Start(1);
  } catch (const std::exception& error) {
    // The failing task has been reported as ended and the batch goes on.
    Shell.ShowError(this, QString::fromUtf8(error.what()));
  }
}

void TForm1::RebuildFromTasks() {
  TVeltoConverter& converter = *FConverter;
  lvFiles->clear();
  lvFiles->setUpdatesEnabled(false);
  for (int index = 0; index < converter.TaskCount(); ++index) {
    const TInputDescription& input = converter.TaskDescription(index);
    const QString path = QFile::decodeName(input.Path.c_str());
    const qint64 size = input.Size;
    QTreeWidgetItem* row = lvFiles->AppendRow(FileNamePart(path), SizeText(size < 0 ? 0 : size),
                                              QStringLiteral("-"), path);
    if (static_cast<size_t>(index) < FTaskOutputs.size() && !FTaskOutputs[index].isEmpty())
      ShowOutputName(row, FTaskOutputs[index]);
    BTips->setText(PleaseWaitText);
  }
  lvFiles->setUpdatesEnabled(true);
}

void TForm1::Stop() {
  FConverter->Stop();
  FConverter->ClearTasks();
  // The stopped task's last report and its end were posted while ClearTasks
  // waited; they belong before the window goes idle, not after "Done".
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  SetConverting(false);
  BTips->setText(DoneText);
}

void TForm1::Progress(int index, int durationTime, int totalDuration) {
  QTreeWidgetItem* row = lvFiles->Row(index);
  if (!row) return;
  row->setText(TFileListView::ColStatus, ProgressStatus(durationTime, totalDuration));
  BTips->setText(ProgressLine(index, lvFiles->RowCount(), row->text(TFileListView::ColStatus),
                              row->text(TFileListView::ColName)));
  if (totalDuration > 0) {
    ProgressBar1->setRange(0, totalDuration);
    ProgressBar1->setValue(qBound(0, durationTime, totalDuration));
  } else {
    ProgressBar1->setRange(0, 0);  // no length known: the gauge shows activity
  }
}

void TForm1::Terminate(int index, bool finished) {
  if (index < 0) {
    SetConverting(false);
    BTips->setText(DoneText);
    Shell.Open(OutputFolder);
    return;
  }
  QTreeWidgetItem* row = lvFiles->Row(index);
  if (finished) {
    if (row) row->setText(TFileListView::ColStatus, QStringLiteral("100%"));
    if (ProgressBar1->maximum() == 0) ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(ProgressBar1->maximum());
  } else if (row) {
    row->setText(TFileListView::ColStatus, QStringLiteral("X"));
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  FConverter->DetachEvents();
  ++Batch;  // nothing still queued may reach the closed window
  FConverter->Stop();
  event->accept();
}
