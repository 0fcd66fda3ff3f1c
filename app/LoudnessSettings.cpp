#include "app/LoudnessSettings.h"

#include <algorithm>

#include "app/IniFile.h"

namespace {
const QString Section = QStringLiteral("Loudness");
}  // namespace

void TLoudnessSettings::Load(const QString& fileName) {
  const auto flag = [&](const char* key, bool fallback) {
    return ReadIniString(fileName, Section, QString::fromLatin1(key),
                         fallback ? QStringLiteral("1") : QStringLiteral("0")) != "0";
  };
  Verify = flag("Verify", true);
  ReplayGain = flag("ReplayGain", false);
  Normalize = flag("Normalize", false);
  bool ok = false;
  const int lufs = ReadIniString(fileName, Section, QStringLiteral("NormalizeLufs"),
                                 QStringLiteral("-16"))
                       .toInt(&ok);
  NormalizeLufs = ok ? std::clamp(lufs, -70, -1) : -16;
  const int memory = ReadIniString(fileName, Section, QStringLiteral("MemoryPerFileMiB"),
                                   QStringLiteral("1024"))
                         .toInt(&ok);
  MemoryPerFileMiB = ok ? std::clamp(memory, 0, MaxMemoryPerFileMiB) : 1024;
}

void TLoudnessSettings::Save(const QString& fileName) const {
  const auto flag = [](bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); };
  WriteIniString(fileName, Section, QStringLiteral("Verify"), flag(Verify));
  WriteIniString(fileName, Section, QStringLiteral("ReplayGain"), flag(ReplayGain));
  WriteIniString(fileName, Section, QStringLiteral("Normalize"), flag(Normalize));
  WriteIniString(fileName, Section, QStringLiteral("NormalizeLufs"),
                 QString::number(NormalizeLufs));
  WriteIniString(fileName, Section, QStringLiteral("MemoryPerFileMiB"),
                 QString::number(MemoryPerFileMiB));
}

void TLoudnessSettings::Fill(TOutputOptions& options) const {
  options.VerifyOutput = Verify ? -1 : 0;
  options.ReplayGain = ReplayGain ? 1 : 0;
  options.NormalizeLufs = Normalize ? static_cast<float>(NormalizeLufs) : 0.0f;
}
