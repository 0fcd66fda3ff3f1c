// The tracks of an album file in the list: one child row per track under the
// file's row, each with its own status. The tracks share one decode of the
// file, so a track's percentage is how far that decode has come through it;
// each ends with the mark of the run they share. Main thread only.
#pragma once

#include <QString>
#include <QTreeWidgetItem>
#include <vector>

#include "app/TrackRow.h"
#include "converter/TaskResult.h"


namespace TrackRows {

// Makes the row's children the tracks (replacing any from an earlier batch)
// and expands it; a list with tracks shows its rows as a tree.
void Show(QTreeWidgetItem* row, const std::vector<TTrackRow>& tracks);
// Removes the row's track rows.
void Clear(QTreeWidgetItem* row);
// The shared decode has reached reachedMs of the file of totalMs.
void Progress(QTreeWidgetItem* row, int reachedMs, int totalMs);
// Every track row gets the run's end mark.
void End(QTreeWidgetItem* row, TTaskState state);

}  // namespace TrackRows
