// One track of an album file: the part of the input one output takes.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// [Start, End) in units of 1/TimeBaseDen s: CD frames (1/75 s) for cue
// sheets, sample offsets for a FLAC CUESHEET block, a chapter's own time
// base for chapters.
struct TTrackCut {
  int64_t Start = 0;
  int64_t End = -1;  // -1: to the end of the file
  int TimeBaseDen = 75;
};

// A track as a task's output carries it: its part and its own tags (keys as
// the engine writes them: "title", "artist", "album_artist", "track", ...).
struct TTrackPart {
  TTrackCut Cut;
  std::map<std::string, std::string> Tags;
};
