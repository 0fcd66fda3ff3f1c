#include "app/FormatSettings.h"

#include <QCoreApplication>

#include "app/IniFile.h"

namespace {

const QString FormatSection = QStringLiteral("Format");
const QString FormatKey = QStringLiteral("Format");

std::size_t Slot(OutputFormat format) {
  const auto& formats = OutputFormats();
  for (std::size_t i = 0; i < formats.size(); ++i)
    if (formats[i].Format == format) return i;
  return 0;
}

// A whole number from the file, or fallback.
int Number(const QString& file, const QString& section, const char* key, int fallback) {
  bool ok = false;
  const int value = ReadIniString(file, section, QString::fromLatin1(key), QString()).toInt(&ok);
  return ok ? value : fallback;
}

}  // namespace

TFormatSettings::TFormatSettings() {
  for (const FormatDescription& d : OutputFormats()) Choices.push_back(DefaultChoice(d.Format));
}

void TFormatSettings::Load(const QString& file) {
  OutputFormat format = OutputFormat::Mp3;
  if (FormatByName(ReadIniString(file, FormatSection, FormatKey, QString()).toStdString(), format))
    Chosen = format;
  for (const FormatDescription& d : OutputFormats()) {
    const QString section = QString::fromLatin1(d.Name);
    OutputChoice choice = DefaultChoice(d.Format);
    choice.Bitrate = Number(file, section, "Bitrate", choice.Bitrate);
    choice.Level = Number(file, section, "Quality", choice.Level);
    choice.SampleRate = Number(file, section, "Rate", choice.SampleRate);
    choice.Channels = Number(file, section, "Channels", choice.Channels);
    if (CheckChoice(choice).empty()) Choices[Slot(d.Format)] = choice;
  }
}

void TFormatSettings::Save(const QString& file) const {
  WriteIniString(file, FormatSection, FormatKey, QString::fromLatin1(Describe(Chosen).Name));
  for (const FormatDescription& d : OutputFormats()) {
    const QString section = QString::fromLatin1(d.Name);
    const OutputChoice& choice = ChoiceFor(d.Format);
    WriteIniString(file, section, QStringLiteral("Bitrate"), QString::number(choice.Bitrate));
    WriteIniString(file, section, QStringLiteral("Quality"), QString::number(choice.Level));
    WriteIniString(file, section, QStringLiteral("Rate"), QString::number(choice.SampleRate));
    WriteIniString(file, section, QStringLiteral("Channels"), QString::number(choice.Channels));
  }
}

const OutputChoice& TFormatSettings::ChoiceFor(OutputFormat format) const {
  return Choices[Slot(format)];
}

bool TFormatSettings::SetChoice(const OutputChoice& choice) {
  if (!CheckChoice(choice).empty()) return false;
  Choices[Slot(choice.Format)] = choice;
  return true;
}

std::vector<FormatEntry> QualityEntries(const OutputChoice& base) {
  const FormatDescription& d = Describe(base.Format);
  std::vector<FormatEntry> entries;
  const auto add = [&](const QString& text, int bitrate, int level) {
    OutputChoice choice = base;
    choice.Bitrate = bitrate;
    choice.Level = level;
    if (CheckChoice(choice).empty()) entries.push_back({text, choice});
  };
  if (d.Quality != QualityKind::Level)
    for (int kbits : {32, 48, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320})
      add(QCoreApplication::translate("FormatSettings", "%1 kbit/s%2")
              .arg(kbits)
              .arg(base.Format == OutputFormat::Mp3 ? " CBR" : ""),
          kbits, -1);
  if (d.Quality != QualityKind::Bitrate) {
    for (int level = d.MinLevel; level <= d.MaxLevel; ++level) {
      switch (base.Format) {
        case OutputFormat::Mp3:
          add(QStringLiteral("VBR V%1").arg(level), 0, level);
          break;
        case OutputFormat::Ogg:
          add(QCoreApplication::translate("FormatSettings", "Quality %1").arg(level), 0, level);
          break;
        case OutputFormat::Flac:
          add(QCoreApplication::translate("FormatSettings", "Compression %1").arg(level), 0, level);
          break;
        default:
          add(QCoreApplication::translate("FormatSettings", "%1 bit").arg(level), 0, level);
          break;
      }
    }
  }
  return entries;
}

std::vector<FormatEntry> RateEntries(const OutputChoice& base) {
  std::vector<FormatEntry> entries;
  const int fixedRate = Describe(base.Format).FixedRate;
  for (int rate : {KeepSource, 8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000}) {
    // A format that always uses one rate (Opus) cannot keep the source's.
    if (fixedRate && rate != fixedRate) continue;
    OutputChoice choice = base;
    choice.SampleRate = rate;
    if (CheckChoice(choice).empty())
      entries.push_back(
          {rate == KeepSource ? QCoreApplication::translate("FormatSettings", "Keep the source's")
                              : QCoreApplication::translate("FormatSettings", "%1 Hz").arg(rate),
           choice});
  }
  return entries;
}

std::vector<FormatEntry> ChannelEntries(const OutputChoice& base) {
  std::vector<FormatEntry> entries;
  const std::pair<int, const char*> channels[] = {
      {KeepSource, QT_TRANSLATE_NOOP("FormatSettings", "Keep the source's")},
      {2, QT_TRANSLATE_NOOP("FormatSettings", "Stereo")},
      {1, QT_TRANSLATE_NOOP("FormatSettings", "Mono")}};
  for (const auto& [count, text] : channels) {
    OutputChoice choice = base;
    choice.Channels = count;
    entries.push_back({QCoreApplication::translate("FormatSettings", text), choice});
  }
  return entries;
}
