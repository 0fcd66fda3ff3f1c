#include "app/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidgetItem>
#include <algorithm>

#include "app/FileListView.h"
#include "app/IniFile.h"
#include "app/MainWindow.h"
#include "app/ExistingSettings.h"
#include "app/NamingSettings.h"
#include "app/PathRules.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"
#include "converter/VeltoConverter.h"

TFset::TFset(TForm1& form1, TShell& shell)
    : QDialog(&form1, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      Form1(form1),
      Shell(shell) {
  setWindowTitle(QStringLiteral(" ") + tr("Settings"));
  setFixedSize(321, 247);
  setModal(true);

  PageControl = new QTabWidget(this);
  PageControl->setGeometry(16, 16, 289, 177);
  auto* page = new QWidget;
  PageControl->addTab(page, tr("Output Path"));

  auto* label = new QLabel(tr("Please click button to change path"), page);
  // Desktop fonts are wider than the ones this layout was drawn for: the
  // text gets a little smaller (down to 7 points) rather than run under the
  // Browse button, and wraps when that is not enough.
  const int labelWidth = 208 - 16 - 4;
  QFont font = label->font();
  while (QFontMetrics(font).horizontalAdvance(label->text()) > labelWidth &&
         font.pointSizeF() > 7.0)
    font.setPointSizeF(font.pointSizeF() - 0.5);
  label->setFont(font);
  label->setWordWrap(true);
  label->setGeometry(16, 24, labelWidth, label->heightForWidth(labelWidth));
  BrowseButton = new QPushButton(tr("Browse"), page);
  BrowseButton->setGeometry(208, 24, 59, 21);
  FolderEdit = new QLineEdit(page);
  FolderEdit->setGeometry(16, 56, 257, 20);
  auto* existingLabel = new QLabel(tr("Existing"), page);
  existingLabel->setGeometry(16, 84, 60, 20);
  ExistingBox = new QComboBox(page);
  ExistingBox->setGeometry(76, 84, 197, 20);
  ExistingBox->addItems({tr("Replace existing outputs"), tr("Skip existing outputs"),
                         tr("Update what changed")});
  existingLabel->setBuddy(ExistingBox);
  CreateFilesAtOnceControl(page);

  CreateFormatPage();
  CreateNamesPage();
  CreateLoudnessPage();

  OkButton = new QPushButton(tr("OK"), this);
  OkButton->setGeometry(144, 208, 75, 25);
  OkButton->setDefault(true);
  CancelButton = new QPushButton(tr("Cancel"), this);
  CancelButton->setGeometry(232, 208, 75, 25);

  connect(BrowseButton, &QPushButton::clicked, this, &TFset::Browse);
  connect(OkButton, &QPushButton::clicked, this, &TFset::Ok);
  connect(CancelButton, &QPushButton::clicked, this, &TFset::Cancel);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  FormCreate();
}

void TFset::CreateFilesAtOnceControl(QWidget* page) {
  auto* label = new QLabel(tr("Files at once"), page);
  const int labelLeft = 16, labelWidth = 82;
  QFont font = label->font();  // smaller rather than cut, as the label above
  while (QFontMetrics(font).horizontalAdvance(label->text()) > labelWidth &&
         font.pointSizeF() > 7.0)
    font.setPointSizeF(font.pointSizeF() - 0.5);
  label->setFont(font);
  label->setGeometry(labelLeft, 112, labelWidth, 25);
  FilesAtOnceBox = new QSpinBox(page);
  FilesAtOnceBox->setGeometry(labelLeft + labelWidth + 4, 112, 51, 25);
  FilesAtOnceBox->setRange(1, MaxFilesAtOnce);
  label->setBuddy(FilesAtOnceBox);
}

void TFset::FormCreate() {
  SettingsFolder = Form1.SettingsFolder;
  ShowOutput();
  ShowNaming();
}

void TFset::ShowOutput() {
  FolderEdit->setText(Form1.OutputFolder);
  FilesAtOnceBox->setValue(Form1.FilesAtOnce);
}

void TFset::Browse() {
  const QString folder = Shell.PickFolder(this);
  if (!folder.isEmpty()) FolderEdit->setText(folder);
}


void TFset::CreateFormatPage() {
  auto* page = new QWidget;
  PageControl->addTab(page, tr("Format"));
  FormatLabel = new QLabel(page);
  FormatLabel->setGeometry(16, 16, 257, 20);
  const auto row = [&](const QString& text, int top) {
    auto* label = new QLabel(text, page);
    label->setGeometry(16, top, 88, 20);
    auto* box = new QComboBox(page);
    box->setGeometry(104, top, 169, 20);
    return box;
  };
  QualityBox = row(tr("Quality"), 44);
  RateBox = row(tr("Sample rate"), 72);
  ChannelsBox = row(tr("Channels"), 100);
}

void TFset::CreateNamesPage() {
  auto* page = new QWidget;
  PageControl->addTab(page, tr("Names"));
  auto* layoutLabel = new QLabel(tr("Layout"), page);
  layoutLabel->setGeometry(16, 12, 60, 20);
  LayoutBox = new QComboBox(page);
  LayoutBox->setGeometry(76, 12, 197, 20);
  // In TOutputLayout's order.
  LayoutBox->addItems({tr("Tree for folders, else flat"), tr("Flat: all in the output folder"),
                       tr("Tree: the added folder's folders"), tr("Beside the source")});
  layoutLabel->setBuddy(LayoutBox);
  auto* patternLabel = new QLabel(tr("Name"), page);
  patternLabel->setGeometry(16, 40, 60, 20);
  PatternEdit = new QLineEdit(page);
  PatternEdit->setGeometry(76, 40, 197, 20);
  PatternEdit->setPlaceholderText(QStringLiteral("{name}"));
  patternLabel->setBuddy(PatternEdit);
  auto* fields = new QLabel(tr("{artist} {albumartist} {album} {title} {track}\n"
                               "{disc} {year} {genre} {name} {folder}\n"
                               "{track:02} gives 07; / makes a folder"),
                            page);
  QFont small = fields->font();
  small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1.5));
  fields->setFont(small);
  fields->setGeometry(16, 64, 257, 38);
  fields->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ExampleLabel = new QLabel(page);
  ExampleLabel->setGeometry(16, 104, 257, 44);
  ExampleLabel->setWordWrap(true);
  ExampleLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  connect(LayoutBox, &QComboBox::currentIndexChanged, this, &TFset::ShowExample);
  connect(PatternEdit, &QLineEdit::textChanged, this, &TFset::ShowExample);
}

void TFset::ShowNaming() {
  ExistingBox->setCurrentIndex(static_cast<int>(Form1.Existing));
  LayoutBox->setCurrentIndex(static_cast<int>(Form1.Naming.Layout));
  PatternEdit->setText(QString::fromStdString(Form1.Naming.Pattern));
}

TNamingRules TFset::ChosenNaming() const {
  TNamingRules rules;
  rules.Layout = static_cast<TOutputLayout>(std::max(LayoutBox->currentIndex(), 0));
  rules.Pattern = PatternEdit->text().toStdString();
  return rules;
}

void TFset::TakeExampleSource() {
  const QList<QTreeWidgetItem*> selected = Form1.lvFiles->selectedItems();
  ExampleFromRow = !selected.isEmpty();
  if (!ExampleFromRow) {
    ExampleSource = {"/Music/Artist/Album/01 Song.flac",
                     "/Music",
                     {{"artist", "Artist"},
                      {"album", "Album"},
                      {"title", "Song"},
                      {"track", "1"},
                      {"date", "2024"},
                      {"genre", "Pop"}}};
    return;
  }
  const QTreeWidgetItem* row = selected.first();
  const std::string path = TForm1::RowPath(row);
  ExampleSource = {path, TForm1::RowNativeRoot(row), {}};
  // Without the libraries, or for a file that cannot be read, the example
  // shows the placeholders of its missing tags.
  TVeltoConverter& converter = Form1.Converter();
  if (converter.LoadLibraries(QFile::encodeName(Form1.LibraryFolder).toStdString(), true)) {
    TInputDescription description;
    std::string error;
    const TInputOptions options = InputOptionsFor(path);
    if (TCustomAVConverter::DescribeInput(path, &options, description, error))
      ExampleSource.Tags = description.Tags;
  }
}

void TFset::ShowExample() {
  TNamingRules rules = ChosenNaming();
  rules.Extension = Describe(Form1.FormatSettings.Format()).Extension;
  const QString relative = QString::fromStdString(RelativeOutputPath(ExampleSource, rules));
  const QString where = EffectiveLayout(ExampleSource, rules) == TOutputLayout::Beside
                            ? tr("beside the source")
                            : tr("in the output folder");
  ExampleLabel->setText(
      (ExampleFromRow ? tr("Selected file, %1:") : tr("Example, %1:")).arg(where) + u'\n' +
      relative);
  ExampleLabel->setToolTip(QString::fromStdString(
      OutputPath(ExampleSource, rules, QFile::encodeName(FolderEdit->text()).toStdString())));
}

void TFset::CreateLoudnessPage() {
  auto* page = new QWidget;
  PageControl->addTab(page, tr("Loudness"));
  VerifyBox = new QCheckBox(tr("Verify each file before it replaces anything"), page);
  VerifyBox->setGeometry(16, 16, 257, 20);
  ReplayGainBox = new QCheckBox(tr("Write ReplayGain tags"), page);
  ReplayGainBox->setGeometry(16, 44, 257, 20);
  NormalizeBox = new QCheckBox(tr("Normalise to (LUFS)"), page);
  NormalizeBox->setGeometry(16, 72, 169, 20);
  NormalizeLufsBox = new QSpinBox(page);
  NormalizeLufsBox->setGeometry(192, 72, 61, 22);
  NormalizeLufsBox->setRange(-70, -1);
  SplitLongFilesBox = new QCheckBox(tr("Encode a long file on several cores"), page);
  SplitLongFilesBox->setGeometry(16, 100, 257, 20);
  auto* memoryLabel = new QLabel(tr("Memory per file (MiB)"), page);
  memoryLabel->setGeometry(16, 128, 169, 22);
  MemoryPerFileBox = new QSpinBox(page);
  MemoryPerFileBox->setGeometry(192, 128, 81, 22);
  MemoryPerFileBox->setRange(0, TLoudnessSettings::MaxMemoryPerFileMiB);
  MemoryPerFileBox->setSingleStep(256);
  MemoryPerFileBox->setSpecialValueText(tr("No limit"));
  memoryLabel->setBuddy(MemoryPerFileBox);
}

void TFset::showEvent(QShowEvent* event) {
  const TLoudnessSettings& loudness = Form1.LoudnessSettings;
  ShowOutput();
  VerifyBox->setChecked(loudness.Verify);
  ReplayGainBox->setChecked(loudness.ReplayGain);
  NormalizeBox->setChecked(loudness.Normalize);
  NormalizeLufsBox->setValue(loudness.NormalizeLufs);
  SplitLongFilesBox->setChecked(Form1.SplitLongFiles);
  MemoryPerFileBox->setValue(loudness.MemoryPerFileMiB);
  ShowFormat();
  ShowNaming();
  TakeExampleSource();
  ShowExample();
  QDialog::showEvent(event);
}

void TFset::ShowFormat() {
  const OutputChoice& current = Form1.FormatSettings.Current();
  FormatLabel->setText(QString::fromLatin1(Describe(current.Format).Label));
  const auto fill = [&](QComboBox* box, const std::vector<FormatEntry>& entries, auto same) {
    box->clear();
    for (const FormatEntry& entry : entries) {
      box->addItem(entry.Text);
      if (same(entry.Choice)) box->setCurrentIndex(box->count() - 1);
    }
  };
  fill(QualityBox, QualityEntries(current), [&](const OutputChoice& c) {
    return c.Bitrate == current.Bitrate && c.Level == current.Level;
  });
  fill(RateBox, RateEntries(current),
       [&](const OutputChoice& c) { return c.SampleRate == current.SampleRate; });
  fill(ChannelsBox, ChannelEntries(current),
       [&](const OutputChoice& c) { return c.Channels == current.Channels; });
}

void TFset::Ok() {
  // Every page's choice is used from now on and kept for later starts.
  const QString folder = WithSeparator(FolderEdit->text());
  if (folder != Form1.OutputFolder) {
    Form1.OutputFolder = folder;
    if (!folder.isEmpty()) {
      try {
        WriteOutputFolder(SettingsFolder, folder);
      } catch (const TIniFileError& error) {
        Shell.ShowError(this, QString::fromStdString(error.what()));
      }
    }
  }
  Form1.ShowOutputFolder();
  if (FilesAtOnceBox->value() != Form1.FilesAtOnce) {
    Form1.FilesAtOnce = FilesAtOnceBox->value();
    try {
      WriteIniString(SettingsFolder + SettingsFileName, SettingsSection, FilesAtOnceKey,
                     QString::number(Form1.FilesAtOnce));
    } catch (const TIniFileError& error) {
      Shell.ShowError(this, QString::fromStdString(error.what()));
    }
  }
  const TNamingRules naming = ChosenNaming();
  if (naming.Layout != Form1.Naming.Layout || naming.Pattern != Form1.Naming.Pattern) {
    Form1.Naming = naming;
    try {
      WriteNamingRules(SettingsFolder, naming);
    } catch (const TIniFileError& error) {
      Shell.ShowError(this, QString::fromStdString(error.what()));
    }
  }
  const auto rule = static_cast<TExistingRule>(std::max(ExistingBox->currentIndex(), 0));
  if (rule != Form1.Existing) {
    Form1.Existing = rule;
    try {
      WriteExistingRule(SettingsFolder, rule);
    } catch (const TIniFileError& error) {
      Shell.ShowError(this, QString::fromStdString(error.what()));
    }
  }
  TLoudnessSettings loudness;
  loudness.Verify = VerifyBox->isChecked();
  loudness.ReplayGain = ReplayGainBox->isChecked();
  loudness.Normalize = NormalizeBox->isChecked();
  loudness.NormalizeLufs = NormalizeLufsBox->value();
  loudness.MemoryPerFileMiB = MemoryPerFileBox->value();
  if (loudness.Verify != Form1.LoudnessSettings.Verify ||
      loudness.ReplayGain != Form1.LoudnessSettings.ReplayGain ||
      loudness.Normalize != Form1.LoudnessSettings.Normalize ||
      loudness.NormalizeLufs != Form1.LoudnessSettings.NormalizeLufs ||
      loudness.MemoryPerFileMiB != Form1.LoudnessSettings.MemoryPerFileMiB) {
    Form1.LoudnessSettings = loudness;
    try {
      loudness.Save(SettingsFolder + SettingsFileName);
    } catch (const TIniFileError& error) {
      Shell.ShowError(this, QString::fromStdString(error.what()));
    }
  }
  if (SplitLongFilesBox->isChecked() != Form1.SplitLongFiles) {
    Form1.SplitLongFiles = SplitLongFilesBox->isChecked();
    try {
      WriteIniString(SettingsFolder + SettingsFileName, SettingsSection, SplitLongFilesKey,
                     Form1.SplitLongFiles ? QStringLiteral("1") : QStringLiteral("0"));
    } catch (const TIniFileError& error) {
      Shell.ShowError(this, QString::fromStdString(error.what()));
    }
  }
  TFormatSettings& settings = Form1.FormatSettings;
  OutputChoice choice = settings.Current();
  const auto quality = QualityEntries(choice);
  const auto rates = RateEntries(choice);
  const auto channels = ChannelEntries(choice);
  if (QualityBox->currentIndex() >= 0 && QualityBox->currentIndex() < int(quality.size())) {
    choice.Bitrate = quality[QualityBox->currentIndex()].Choice.Bitrate;
    choice.Level = quality[QualityBox->currentIndex()].Choice.Level;
  }
  if (RateBox->currentIndex() >= 0 && RateBox->currentIndex() < int(rates.size()))
    choice.SampleRate = rates[RateBox->currentIndex()].Choice.SampleRate;
  if (ChannelsBox->currentIndex() >= 0 && ChannelsBox->currentIndex() < int(channels.size()))
    choice.Channels = channels[ChannelsBox->currentIndex()].Choice.Channels;
  const OutputChoice& before = settings.Current();
  const bool changed = choice.Bitrate != before.Bitrate || choice.Level != before.Level ||
                       choice.SampleRate != before.SampleRate || choice.Channels != before.Channels;
  if (changed && settings.SetChoice(choice)) {
    try {
      settings.Save(SettingsFolder + SettingsFileName);
    } catch (const TIniFileError& error) {
      Shell.ShowError(this, QString::fromStdString(error.what()));
    }
  }
  accept();
}

void TFset::Cancel() { reject(); }
