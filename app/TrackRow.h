// One track of an album file as the list shows it (see TrackRows.h).
#pragma once

#include <QString>

struct TTrackRow {
  QString Caption;  // the track's file name
  QString Output;   // its full path
  int StartMs = 0;
  int EndMs = -1;  // -1: to the end of the file
};
