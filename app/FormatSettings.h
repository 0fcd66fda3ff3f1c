// The output format the window converts to, and the quality, sample rate
// and channels chosen for each format, as the settings file keeps them:
// section [Format] key Format (mp3, ogg, ...), and one section per format
// name with the keys Bitrate, Quality, Rate and Channels. Whatever the file
// lacks, or holds that the format cannot take, is the format's default, so
// a file written before formats could be chosen keeps working. UI thread.
#pragma once

#include <QString>
#include <vector>

#include "converter/OutputPresets.h"

class TFormatSettings {
 public:
  TFormatSettings();

  // Reads every format's choice from the file; never raises.
  void Load(const QString& settingsFile);
  // Writes the chosen format and every format's choice. Raises TIniFileError.
  void Save(const QString& settingsFile) const;

  OutputFormat Format() const { return Chosen; }
  void SetFormat(OutputFormat format) { Chosen = format; }
  const OutputChoice& ChoiceFor(OutputFormat format) const;
  // Takes a choice CheckChoice accepts; false (and nothing changed) otherwise.
  bool SetChoice(const OutputChoice& choice);
  // The chosen format's choice.
  const OutputChoice& Current() const { return ChoiceFor(Chosen); }

 private:
  OutputFormat Chosen = OutputFormat::Mp3;
  std::vector<OutputChoice> Choices;  // in OutputFormats() order
};

// The entries of the settings dialog's lists for a format: each entry's text
// and the choice it makes from `base` (quality entries set Bitrate/Level,
// rate entries SampleRate, channel entries Channels).
struct FormatEntry {
  QString Text;
  OutputChoice Choice;
};
std::vector<FormatEntry> QualityEntries(const OutputChoice& base);
std::vector<FormatEntry> RateEntries(const OutputChoice& base);
std::vector<FormatEntry> ChannelEntries(const OutputChoice& base);
