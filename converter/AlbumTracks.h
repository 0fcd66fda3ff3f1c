// The tracks one input becomes: those of its cue sheet, those of its
// chapters, or none (the file converted whole). Used by both programs, so
// that the window and the command line split alike.
//
// Threads: any thread; reads the sheet's files, never the media.
#pragma once

#include <string>
#include <vector>

#include "converter/InputDescription.h"
#include "converter/TrackCut.h"

enum class TSplitMode {
  Sheet,     // by the cue sheet when one is found (the default)
  Chapters,  // by the container's chapters
  Whole      // never split
};

struct TPlannedTrack {
  // The output's name without folder and extension: "{track:02} {title}".
  std::string Name;
  TTrackPart Part;
};

// Fills `tracks` (empty: convert the input whole). False with `error` when
// the input has a sheet that cannot be used (cannot be parsed, names
// another file, times past the end): the sheet and the line are in the
// message. Chapters: an input with fewer than two is converted whole.
bool PlanAlbumTracks(const TInputDescription& input, TSplitMode mode,
                     std::vector<TPlannedTrack>& tracks, std::string& error);
