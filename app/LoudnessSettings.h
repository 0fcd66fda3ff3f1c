// The window's verification and loudness choices, and the memory each
// file's conversion may take, kept in the settings file (section [Loudness]) and turned into the output records' fields. Owner's
// thread only.
#pragma once

#include <QString>

#include "converter/OptionRecords.h"

struct TLoudnessSettings {
  bool Verify = true;          // decode every output before it replaces anything
  bool ReplayGain = false;     // write track ReplayGain tags
  bool Normalize = false;
  int NormalizeLufs = -16;     // -70 to -1
  // The address space of each file's worker process, in MiB; 0: no limit.
  int MemoryPerFileMiB = 1024;  // 0 to MaxMemoryPerFileMiB
  static constexpr int MaxMemoryPerFileMiB = 1 << 20;

  // What the file holds; defaults for what it lacks. Never raises.
  void Load(const QString& fileName);
  // Raises TIniFileError when the file cannot be written.
  void Save(const QString& fileName) const;
  void Fill(TOutputOptions& options) const;
};
