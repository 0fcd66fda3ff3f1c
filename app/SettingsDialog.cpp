#include "app/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>

#include "app/IniFile.h"
#include "app/MainWindow.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"

TFset::TFset(TForm1& form1, TShell& shell)
    : QDialog(&form1, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      Form1(form1),
      Shell(shell) {
  setWindowTitle(QStringLiteral(" Settings"));
  setFixedSize(321, 247);
  setModal(true);

  PageControl = new QTabWidget(this);
  PageControl->setGeometry(16, 16, 289, 177);
  auto* page = new QWidget;
  PageControl->addTab(page, QStringLiteral("Output Path"));

  auto* label = new QLabel(QStringLiteral("Please click button to change path"), page);
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
  BrowseButton = new QPushButton(QStringLiteral("Browse"), page);
  BrowseButton->setGeometry(208, 24, 59, 21);
  FolderEdit = new QLineEdit(page);
  FolderEdit->setGeometry(16, 56, 257, 20);
  SaveButton = new QPushButton(QStringLiteral("Save as default"), page);
  SaveButton->setGeometry(16, 112, 113, 25);
  CreateFilesAtOnceControl(page);

  CreateFormatPage();
  CreateLoudnessPage();

  OkButton = new QPushButton(QStringLiteral("OK"), this);
  OkButton->setGeometry(144, 208, 75, 25);
  OkButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setGeometry(232, 208, 75, 25);

  connect(BrowseButton, &QPushButton::clicked, this, &TFset::Browse);
  connect(SaveButton, &QPushButton::clicked, this, &TFset::Save);
  connect(OkButton, &QPushButton::clicked, this, &TFset::Ok);
  connect(CancelButton, &QPushButton::clicked, this, &TFset::Cancel);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  FormCreate();
}

void TFset::CreateFilesAtOnceControl(QWidget* page) {
  // Beside "Save as default", which saves it with the folder.
  auto* label = new QLabel(QStringLiteral("Files at once"), page);
  const int labelLeft = 136, labelWidth = 82;
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
  const QString saved = ReadSavedOutputFolder(SettingsFolder);
  FolderEdit->setText(saved != NoFolderSaved ? saved : Form1.OutputFolder);
  FilesAtOnceBox->setValue(Form1.FilesAtOnce);
}

void TFset::Browse() {
  const QString folder = Shell.PickFolder(this);
  if (!folder.isEmpty()) FolderEdit->setText(folder);
}

void TFset::Save() {
  if (FolderEdit->text().isEmpty()) return;
  try {
    WriteIniString(SettingsFolder + SettingsFileName, SettingsSection, SettingsKey,
                   FolderEdit->text());
    WriteIniString(SettingsFolder + SettingsFileName, SettingsSection, FilesAtOnceKey,
                   QString::number(FilesAtOnceBox->value()));
  } catch (const TIniFileError& error) {
    Shell.ShowError(this, QString::fromStdString(error.what()));
  }
}

void TFset::CreateFormatPage() {
  auto* page = new QWidget;
  PageControl->addTab(page, QStringLiteral("Format"));
  FormatLabel = new QLabel(page);
  FormatLabel->setGeometry(16, 16, 257, 20);
  const auto row = [&](const char* text, int top) {
    auto* label = new QLabel(QString::fromLatin1(text), page);
    label->setGeometry(16, top, 88, 20);
    auto* box = new QComboBox(page);
    box->setGeometry(104, top, 169, 20);
    return box;
  };
  QualityBox = row("Quality", 44);
  RateBox = row("Sample rate", 72);
  ChannelsBox = row("Channels", 100);
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
}

void TFset::showEvent(QShowEvent* event) {
  const TLoudnessSettings& loudness = Form1.LoudnessSettings;
  VerifyBox->setChecked(loudness.Verify);
  ReplayGainBox->setChecked(loudness.ReplayGain);
  NormalizeBox->setChecked(loudness.Normalize);
  NormalizeLufsBox->setValue(loudness.NormalizeLufs);
  ShowFormat();
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
  Form1.OutputFolder = FolderEdit->text();
  Form1.FilesAtOnce = FilesAtOnceBox->value();
  TLoudnessSettings loudness;
  loudness.Verify = VerifyBox->isChecked();
  loudness.ReplayGain = ReplayGainBox->isChecked();
  loudness.Normalize = NormalizeBox->isChecked();
  loudness.NormalizeLufs = NormalizeLufsBox->value();
  if (loudness.Verify != Form1.LoudnessSettings.Verify ||
      loudness.ReplayGain != Form1.LoudnessSettings.ReplayGain ||
      loudness.Normalize != Form1.LoudnessSettings.Normalize ||
      loudness.NormalizeLufs != Form1.LoudnessSettings.NormalizeLufs) {
    Form1.LoudnessSettings = loudness;
    try {
      loudness.Save(SettingsFolder + SettingsFileName);
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
