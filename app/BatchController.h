// What a batch of the main window does, without a widget: which rows become
// tasks, when each starts, what is counted, the gauge's share, the status
// line and the summary. The window hands it the rows' files and the settings
// in force, shows what it reports, and asks it to stop; tests drive it alone.
//
// Threads: everything here runs on the thread that made the controller (the
// window's) except two producers that only post to it: the component's
// events (the tasks' threads) and the input preparer (its own thread), which
// describes the rows' files in list order while the first ones already
// convert. The controller never waits for a worker except in Stop and its
// destruction, which stop the preparer and the tasks and wait for their ends.
//
// A batch: the preparer describes each row's file, each described file
// becomes a task that is started at once (up to FilesAtOnce run together),
// and a file that cannot be read ends its row. No row is left out; each ends
// with its mark and its reason. The batch ends when every row has ended;
// after Stop, the rows that never began end as "not started".
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/BatchProgress.h"
#include "app/InputPreparer.h"
#include "app/LoudnessSettings.h"
#include "app/StatusTexts.h"
#include "app/TrackRow.h"
#include "converter/AlbumTracks.h"
#include "converter/ExistingOutputs.h"
#include "converter/OutputNaming.h"
#include "converter/OutputPresets.h"
#include "converter/OutputSync.h"
#include "converter/TaskResult.h"

class QTimer;
class TThreadMailbox;
class TVeltoConverter;

// A row of the batch: its file and the folder it was found under (empty when
// added itself), as the system names them.
struct TBatchInput {
  std::string Path;
  std::string Root;
};

// The settings a batch runs with, taken when it starts.
struct TBatchSettings {
  OutputChoice Format;
  TLoudnessSettings Loudness;
  TNamingRules Naming;
  TExistingRule Existing = TExistingRule::Replace;
  int FilesAtOnce = 1;
  // A long file alone (or the last of the batch) is encoded on the free slots.
  bool SplitLongFiles = true;
  std::string OutputFolder;  // "/"-terminated, usable (the window checked it)
};

class TBatchController : public QObject {
  Q_OBJECT

 public:
  explicit TBatchController(QObject* parent = nullptr);
  ~TBatchController() override;

  TVeltoConverter& Converter() { return *FConverter; }
  bool Running() const { return FRunning; }

  // What the controller reports, by the row's position in the batch; all on
  // the controller's thread.
  struct TEvents {
    // The row's file was described (its duration and tags are known).
    std::function<void(int, const TInputDescription&)> Described;
    // The row's status column: "-" (a task waits), "42%", an end mark.
    std::function<void(int, const QString&)> Status;
    // The row's tip: its reason, its output.
    std::function<void(int, const QString&)> Tip;
    std::function<void(int, const QString&)> Log;
    // An album file's tracks, once its task is set up (its tip is the
    // window's: the number of tracks).
    std::function<void(int, const std::vector<TTrackRow>&)> Tracks;
    // The shared decode of an album's tracks reached ms of total ms.
    std::function<void(int, int, int)> TrackProgress;
    std::function<void(int, TTaskState)> TracksEnded;
    // The gauge or the status line changed.
    std::function<void()> Changed;
    // The rows a Stop left before they began, all at once (a long list
    // has many), with their status mark and tip.
    std::function<void(const std::vector<int>&, const QString&, const QString&)> NotStarted;
    // The batch ended (stopped or not); Running() is false already.
    std::function<void(bool)> Finished;
    // A failure of the whole batch the user must see (the record not saved).
    std::function<void(const QString&)> Error;
  };
  TEvents Events;

  // Starts a batch over `inputs` (not empty). The media libraries must be
  // loaded.
  void Start(std::vector<TBatchInput> inputs, const TBatchSettings& settings);
  // Stops the batch: the preparer and the tasks end, their last reports
  // arrive, then the batch ends as stopped. Nothing when no batch runs.
  void Stop();
  // The controller's owner is going: no report reaches it any more.
  void Detach();

  // The gauge's share, 0..1: the batch's share while it runs and after it
  // finished; after Stop the share actually converted.
  double GaugeFraction() const { return FGauge; }
  // The status line: the progress while it runs, the summary after.
  QString StatusLine() const { return FStatusLine; }
  const TBatchCounts& Counts() const { return FCounts; }
  // The file each row's task writes (empty where the row got no task),
  // as the system names it; valid until the next Start.
  const std::vector<std::string>& Outputs() const { return FOutputs; }

 private:
  struct TTaskRow {
    int Position = -1;       // in the batch
    std::vector<std::string> TrackOutputs;  // an album file's, track 1 first
    std::string SetupError;  // why its output could not be added, if so
  };

  // Posted by the preparer: queues the input for TakePrepared.
  void Prepared(TPreparedInput prepared);
  // Sets up queued inputs for a slice of time, then lets the event loop
  // paint and take clicks before the next slice.
  void TakePrepared();
  void SetUpPrepared(const TPreparedInput& prepared);
  void AddTrackOutputs(int index, int position, TOutputOptions output,
                       const std::vector<std::string>& outputs,
                       const std::vector<TPlannedTrack>& tracks);
  void Progress(int index, int durationTime, int totalDuration);
  void Terminate(int index, const TTaskResult& result);
  void EndRow(int position, TTaskState state, const QString& reason);
  // A row whose output is left as it was: up to date by the record, or
  // there already (skip).
  void EndRowUnchanged(int position, bool upToDate);
  void Log(int position, const std::string& line);
  void ShowState();
  void FinishIfDone();
  void End(bool stopped);

  std::unique_ptr<TVeltoConverter> FConverter;
  TInputPreparer Preparer;
  TOutputClaims OutputClaims;
  TBatchSettings Settings;
  std::vector<TBatchInput> Inputs;    // by position
  std::vector<std::string> FOutputs;  // by position
  std::vector<TTaskRow> TaskRows;     // by task index
  TBatchProgress Progress_;
  TBatchCounts FCounts;
  double FGauge = 0;
  QString FStatusLine;
  // The batch's existing-output rule and record (none for replace).
  std::unique_ptr<TOutputSync> Sync;
  QElapsedTimer Clock;
  std::deque<TPreparedInput> PendingPrepared;
  // The inputs' keys for the output claims, made on the preparer's thread;
  // no input is set up before all of them are in.
  std::vector<std::string> InputKeys;
  std::size_t KeysTaken = 0;
  bool KeysArrived = false;
  QTimer* PrepareSlices = nullptr;
  bool FRunning = false;
  bool AllPrepared = false;
  bool Stopping = false;  // Stop is taking in the last events of the batch
  // Events of a batch that Start, Stop or Detach has left behind are
  // dropped; read on the producers' threads when an event is posted.
  std::atomic<unsigned> Batch{0};
  // Carries the producers' events to this thread; a child of the controller.
  TThreadMailbox* Posts = nullptr;
};
