// The tracks one input becomes: those of its cue sheet, those of its
// chapters, or none (the file converted whole). Used by both programs, so
// that the window and the command line split alike.
//
// Threads: any thread; reads the sheet's files, never the media.
#pragma once

#include <string>
#include <vector>

#include "converter/InputDescription.h"
#include "converter/OutputNaming.h"
#include "converter/TrackCut.h"

enum class TSplitMode {
  Sheet,     // by the cue sheet when one is found (the default)
  Chapters,  // by the container's chapters
  Whole      // never split
};

struct TPlannedTrack {
  TTrackPart Part;
};

// The tracks' default name pattern.
constexpr const char* TrackPattern = "{track:02} {title}";

// What names one track: its album file as the source, the file's tags with
// the track's own over them; and the rules, the pattern TrackPattern unless
// the user chose one.
TNamingInput TrackNamingInput(const TNamingInput& albumFile, const TPlannedTrack& track);
TNamingRules TrackNamingRules(TNamingRules rules);

// Fills `tracks` (empty: convert the input whole). False with `error` when
// the input has a sheet that cannot be used (cannot be parsed, names
// another file, times past the end): the sheet and the line are in the
// message. Chapters: an input with fewer than two is converted whole.
bool PlanAlbumTracks(const TInputDescription& input, TSplitMode mode,
                     std::vector<TPlannedTrack>& tracks, std::string& error);
