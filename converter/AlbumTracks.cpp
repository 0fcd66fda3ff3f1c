#include "converter/AlbumTracks.h"

#include "converter/CueSheet.h"

namespace {

std::string TagOf(const TInputDescription& input, const char* key) {
  const auto found = input.Tags.find(key);
  return found == input.Tags.end() ? std::string() : found->second;
}

}  // namespace

bool PlanAlbumTracks(const TInputDescription& input, TSplitMode mode,
                     std::vector<TPlannedTrack>& tracks, std::string& error) {
  tracks.clear();
  if (mode == TSplitMode::Whole) return true;
  if (mode == TSplitMode::Chapters) {
    if (input.Chapters.size() < 2) return true;
    const std::string total = std::to_string(input.Chapters.size());
    std::string album = TagOf(input, "album");
    if (album.empty()) album = TagOf(input, "title");
    for (size_t i = 0; i < input.Chapters.size(); ++i) {
      const auto& chapter = input.Chapters[i];
      const int number = static_cast<int>(i + 1);
      TPlannedTrack track;
      track.Part.Cut = chapter.Cut;
      // The chapters together are the file: from each start to the next.
      if (i + 1 < input.Chapters.size() &&
          input.Chapters[i + 1].Cut.TimeBaseDen == chapter.Cut.TimeBaseDen)
        track.Part.Cut.End = input.Chapters[i + 1].Cut.Start;
      else if (i + 1 == input.Chapters.size())
        track.Part.Cut.End = -1;
      const std::string title =
          chapter.Title.empty() ? "Chapter " + std::to_string(number) : chapter.Title;
      auto& tags = track.Part.Tags;
      tags["title"] = title;
      if (!album.empty()) tags["album"] = album;
      tags["track"] = std::to_string(number) + "/" + total;
      tracks.push_back(std::move(track));
    }
    return true;
  }

  TCueSheet sheet;
  switch (FindCueSheet(input.Path, input.Tags, input.DurationMs, sheet, error)) {
    case TCueLookup::None:
      return true;
    case TCueLookup::Broken:
      return false;
    case TCueLookup::Found:
      break;
  }
  for (size_t i = 0; i < sheet.Tracks.size(); ++i) {
    TPlannedTrack track;
    track.Part.Cut = sheet.Tracks[i].Cut;
    track.Part.Tags = TrackTags(sheet, i);
    tracks.push_back(std::move(track));
  }
  return true;
}

TNamingInput TrackNamingInput(const TNamingInput& albumFile, const TPlannedTrack& track) {
  TNamingInput input = albumFile;
  for (const auto& [key, value] : track.Part.Tags) input.Tags[key] = value;
  return input;
}

TNamingRules TrackNamingRules(TNamingRules rules) {
  if (rules.Pattern.empty()) rules.Pattern = TrackPattern;
  return rules;
}
