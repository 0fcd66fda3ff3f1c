// The last step of a finished output before it takes its name: every tag of
// the source, with the record's fields and the caller's changes, written by
// the tag writer where it knows the format (OutputTagWriter.h). Other
// outputs keep what their muxer wrote.
#include <algorithm>

#include "engine/FFmpegHlpr.h"
#include "engine/OutputTagWriter.h"
#include "engine/SourceTags.h"

namespace {

// The first decimal number of a text ("2003-05-01" -> 2003, "3/12" -> 3).
int LeadingNumber(const std::string& text) {
  int value = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i)
    value = value * 10 + (text[i] - '0');
  return i > 0 ? value : -1;
}

// The window fills the record from the source's own tags: a field that only
// repeats the source (its value, its values joined with ';', a cut copy of
// them, the year or number that begins it) leaves the source's richer field.
bool RepeatsSource(const TagSet& tags, const char* key, const std::string& text, bool number) {
  const auto found = tags.find(key);
  if (found == tags.end()) return false;
  std::string joined;
  for (const std::string& value : found->second) {
    if (value == text) return true;
    if (number && LeadingNumber(value) == LeadingNumber(text)) return true;
    joined += (joined.empty() ? "" : ";") + value;
  }
  return joined == text || (text.size() >= 511 && joined.compare(0, text.size(), text) == 0);
}

void SetRecordField(TagSet& tags, const char* key, const std::string& text, bool number = false) {
  if (!text.empty() && !RepeatsSource(tags, key, text, number)) tags[key] = {text};
}

}  // namespace

void TCustomFFmpegHlpr::RewriteOutputTags(int file) {
  const AVFormatContext* output = OutputFiles[file].get();
  if (!TagWriterTakes(output)) return;
  TagSet tags = InputFileCount > 0 ? ReadSourceTags(InputFiles[0].get()) : TagSet{};
  SetRecordField(tags, "TITLE", Title);
  SetRecordField(tags, "ARTIST", Author);
  SetRecordField(tags, "COPYRIGHT", Copyright);
  SetRecordField(tags, "COMMENT", Comment);
  SetRecordField(tags, "ALBUM", Album);
  SetRecordField(tags, "GENRE", Genre);
  if (Year > 0) SetRecordField(tags, "DATE", std::to_string(Year), true);
  if (Track > 0) SetRecordField(tags, "TRACKNUMBER", std::to_string(Track), true);
  // A track of an album file: its own title, number, ... replace the album
  // file's (a track total travels as "N/TOTAL", split into its field).
  if (!OutputTrackTags[file].empty()) tags.erase("CUESHEET");
  for (const auto& [key, value] : OutputTrackTags[file]) {
    const std::string name = UnifiedTagName(key);
    if (name.empty()) continue;
    const size_t slash = value.find('/');
    if (name == "TRACKNUMBER" && slash != std::string::npos) {
      tags[name] = {value.substr(0, slash)};
      tags["TRACKTOTAL"] = {value.substr(slash + 1)};
    } else {
      tags[name] = {value};
    }
  }
  TagChanges changes = OutputTagChanges;
  // The source's gain values no longer hold for a louder or quieter output.
  if (AudioVolume != 256 || LoudnessGainDb != 0)
    changes.Drop.insert(changes.Drop.begin(), {"REPLAYGAIN_*", "R128_*"});
  // Fresh loudness tags win over the source's; an Opus output carries R128
  // gain and no ReplayGain. The source's album values still hold when no
  // gain was applied.
  if (OutputLoudnessTags[file].count("R128_TRACK_GAIN"))
    changes.Drop.insert(changes.Drop.begin(), "REPLAYGAIN_*");
  for (const auto& [key, values] : OutputLoudnessTags[file]) changes.Replace[key] = values;
  ApplyTagChanges(tags, changes);
  std::string error;
  if (!WriteOutputTags(OutputPartialPaths[file], output, tags, error))
    throw FFMpegException("Could not write the tags of '" +
                          std::string(output->url ? output->url : "") + "': " + error);
}
