#include "app/BatchController.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <exception>

#include "app/InputTags.h"
#include "app/ThreadMailbox.h"
#include "converter/VeltoConverter.h"

namespace {

// Setting up described inputs yields to the event loop after this long.
constexpr int PrepareSliceMs = 20;

QString FromNative(const std::string& text) { return QString::fromLocal8Bit(text); }
// The texts are the window's: they keep the window's translations.

}  // namespace

TBatchController::TBatchController(QObject* parent)
    : QObject(parent), FConverter(std::make_unique<TVeltoConverter>()) {
  Posts = new TThreadMailbox(this);

  // Posted, never called: these run on the tasks' threads. The result is
  // read here, where the task is known to have ended and still exists.
  TVeltoConverter* converter = FConverter.get();
  FConverter->OnProgress = [this](int AIndex, int, int, int ADurationTime, float, float, int64_t,
                                  int ATotalDuration) {
    const unsigned batch = Batch.load();
    Posts->Post([this, batch, AIndex, ADurationTime, ATotalDuration] {
      if (batch == Batch.load()) Progress(AIndex, ADurationTime, ATotalDuration);
    });
  };
  FConverter->OnTerminate = [this, converter](int AIndex, bool) {
    const unsigned batch = Batch.load();
    const TTaskResult result = AIndex >= 0 ? converter->TaskResult(AIndex) : TTaskResult{};
    Posts->Post([this, batch, AIndex, result] {
      if (batch == Batch.load()) Terminate(AIndex, result);
    });
  };
  FConverter->OnLog = [this](int AIndex, TLogLevel, const std::string& AMsg) {
    if (AIndex < 0) return;  // not a line of one of our files
    const unsigned batch = Batch.load();
    Posts->Post([this, batch, AIndex, AMsg] {
      if (batch != Batch.load() || static_cast<std::size_t>(AIndex) >= TaskRows.size()) return;
      if (Events.Log)
        Events.Log(TaskRows[static_cast<std::size_t>(AIndex)].Position, QString::fromUtf8(AMsg));
    });
  };

  PrepareSlices = new QTimer(this);
  PrepareSlices->setSingleShot(true);
  PrepareSlices->setInterval(0);
  connect(PrepareSlices, &QTimer::timeout, this, &TBatchController::TakePrepared);
}

TBatchController::~TBatchController() {
  // The producers end while the controller's members still exist.
  Preparer.StopAndWait();
  FConverter->DetachEvents();
  FConverter.reset();
}

void TBatchController::Detach() {
  Events = TEvents{};
  FConverter->DetachEvents();
  ++Batch;  // nothing still queued may reach the owner
}

void TBatchController::Start(std::vector<TBatchInput> inputs, const TBatchSettings& settings) {
  Preparer.StopAndWait();
  PendingPrepared.clear();
  FConverter->ClearTasks();
  ++Batch;  // after ClearTasks: whatever the old batch posted is stale now
  FRunning = true;
  Settings = settings;
  Inputs = std::move(inputs);
  const int rows = static_cast<int>(Inputs.size());
  FOutputs.assign(Inputs.size(), std::string());
  TaskRows.clear();
  FCounts = TBatchCounts{};
  Sync.reset();
  if (Settings.Existing != TExistingRule::Replace)
    Sync = std::make_unique<TOutputSync>(Settings.OutputFolder, Settings.Existing,
                                         SettingsWording(Settings.Format), false);
  Progress_.Begin(rows);
  AllPrepared = false;
  FGauge = 0;
  FStatusLine = QStringLiteral("    ") + QCoreApplication::translate("TForm1", "Please wait ...");

  OutputClaims.Clear();
  InputKeys.clear();
  KeysTaken = 0;
  KeysArrived = false;
  std::vector<std::string> paths;
  paths.reserve(Inputs.size());
  for (const TBatchInput& input : Inputs) paths.push_back(input.Path);
  Clock.start();
  if (Events.Changed) Events.Changed();

  const unsigned batch = Batch.load();
  // No output may replace an input: every input's key is known before the
  // first output is claimed. The keys cost a system call per folder, so they
  // are made on the preparer's thread and arrive before its first input.
  auto makeKeys = [this, batch](const std::vector<std::string>& paths,
                                const std::atomic<bool>& stop) {
    std::vector<std::string> keys;
    keys.reserve(paths.size());
    for (const std::string& path : paths) {
      if (stop) return;  // nothing will be claimed
      keys.push_back(TOutputClaims::InputKey(path));
    }
    Posts->Post([this, batch, keys = std::move(keys)]() mutable {
      if (batch != Batch.load()) return;
      InputKeys = std::move(keys);
      KeysArrived = true;
      if (!PrepareSlices->isActive()) PrepareSlices->start();
    });
  };
  Preparer.Start(
      std::move(paths),
      [this, batch](TPreparedInput prepared) {
        Posts->Post([this, batch, prepared = std::move(prepared)]() mutable {
          if (batch == Batch.load()) Prepared(std::move(prepared));
        });
      },
      std::move(makeKeys));
}

void TBatchController::Prepared(TPreparedInput prepared) {
  if (Stopping) return;  // described before Stop; it gets no task now
  PendingPrepared.push_back(std::move(prepared));
  if (!PrepareSlices->isActive()) PrepareSlices->start();
}

void TBatchController::TakePrepared() {
  QElapsedTimer slice;
  slice.start();
  // The inputs' keys go in first, a slice at a time as well: a long list
  // has many.
  while (KeysTaken < InputKeys.size() && slice.elapsed() < PrepareSliceMs)
    for (const std::size_t end = std::min(KeysTaken + 500, InputKeys.size()); KeysTaken < end;)
      OutputClaims.AddInputKey(std::move(InputKeys[KeysTaken++]));
  if (!KeysArrived || KeysTaken < InputKeys.size()) {
    if (KeysArrived && FRunning) PrepareSlices->start();
    return;
  }
  while (!PendingPrepared.empty() && FRunning && slice.elapsed() < PrepareSliceMs) {
    const TPreparedInput prepared = std::move(PendingPrepared.front());
    PendingPrepared.pop_front();
    SetUpPrepared(prepared);
  }
  if (!PendingPrepared.empty() && FRunning) PrepareSlices->start();
}

void TBatchController::Log(int position, const std::string& line) {
  if (Events.Log) Events.Log(position, FromNative(line));
}

void TBatchController::SetUpPrepared(const TPreparedInput& prepared) {
  if (prepared.Position < 0) {
    AllPrepared = true;
    return FinishIfDone();
  }
  const int position = prepared.Position;
  const TBatchInput& input = Inputs[static_cast<std::size_t>(position)];
  if (!prepared.Readable) {
    Log(position, prepared.Error);
    EndRow(position, TTaskState::tsFailed, FromNative(prepared.Error));
    return FinishIfDone();
  }
  if (Events.Described) Events.Described(position, prepared.Description);

  // A file with a cue sheet becomes its tracks; one whose sheet cannot be
  // used fails with the sheet's line rather than becoming one long file.
  std::vector<TPlannedTrack> tracks;
  std::string sheetProblem;
  if (!PlanAlbumTracks(prepared.Description, TSplitMode::Sheet, tracks, sheetProblem)) {
    Log(position, sheetProblem);
    EndRow(position, TTaskState::tsFailed, FromNative(sheetProblem));
    return FinishIfDone();
  }

  TVeltoConverter& converter = *FConverter;
  Progress_.SetDuration(position, prepared.Description.DurationMs);
  TOutputOptions output;
  ResetOutputOptions(output);
  FillOutputOptions(Settings.Format, output);
  Settings.Loudness.Fill(output);
  CopyInputTags(prepared.Description, output);
  TNamingRules naming = Settings.Naming;
  naming.Extension = output.FileExt;
  const TNamingInput source{input.Path, input.Root, prepared.Description.Tags};
  // An album's tracks are named before they are added and judged by the
  // record together, as a file of its own is.
  std::vector<std::string> trackOutputs;
  if (!tracks.empty()) {
    const TNamingRules trackNaming = TrackNamingRules(naming);
    for (const TPlannedTrack& track : tracks) {
      std::string note;
      trackOutputs.push_back(OutputClaims.Claim(
          OutputPath(TrackNamingInput(source, track), trackNaming, Settings.OutputFolder), &note));
      if (!note.empty()) Log(position, note);
    }
    FOutputs[static_cast<std::size_t>(position)] = trackOutputs.front();
    if (Sync) {
      const TOutputDecision decision = Sync->DecideTracks(source.Source, source.Root, trackOutputs);
      for (const std::string& message : Sync->TakeMessages()) Log(position, message);
      if (decision != TOutputDecision::Convert) {
        EndRowUnchanged(position, decision == TOutputDecision::UpToDate);
        return FinishIfDone();
      }
    }
  } else {
    std::string note;
    output.FileName = OutputClaims.Claim(OutputPath(source, naming, Settings.OutputFolder), &note);
    if (!note.empty()) Log(position, note);
    FOutputs[static_cast<std::size_t>(position)] = output.FileName;
    if (Sync) {
      const TOutputDecision decision = Sync->Decide(source.Source, source.Root, output.FileName);
      for (const std::string& message : Sync->TakeMessages()) Log(position, message);
      if (decision != TOutputDecision::Convert) {
        EndRowUnchanged(position, decision == TOutputDecision::UpToDate);
        return FinishIfDone();
      }
    }
  }

  TInputOptions options = InputOptionsFor(input.Path);
  const int index = converter.AddInput(prepared.Description, &options);
  if (index < 0) {
    const QString reason = FromNative(converter.LastError());
    FOutputs[static_cast<std::size_t>(position)].clear();
    Log(position, converter.LastError());
    EndRow(position, TTaskState::tsFailed, reason);
    return FinishIfDone();
  }
  if (TaskRows.size() <= static_cast<std::size_t>(index)) TaskRows.resize(index + 1);
  TTaskRow& task = TaskRows[static_cast<std::size_t>(index)];
  task.Position = position;
  task.TrackOutputs = trackOutputs;
  if (!tracks.empty()) {
    AddTrackOutputs(index, position, output, trackOutputs, tracks);
  } else if (converter.AddOutput(index, output.FileName, output)) {
    if (Events.Tip)
      Events.Tip(
          position,
          QCoreApplication::translate("TForm1", "Output: %1").arg(FromNative(output.FileName)));
  } else {
    // The task still starts and fails at once; the row tells this reason.
    FOutputs[static_cast<std::size_t>(position)].clear();
    task.SetupError = converter.LastError();
    Log(position, task.SetupError);
  }
  if (Events.Status) Events.Status(position, QStringLiteral("-"));
  try {
    converter.SetThreadsPerFile(Settings.SplitLongFiles ? 0 : 1);
    converter.SetWorkerMemoryLimit(static_cast<uint64_t>(Settings.Loudness.MemoryPerFileMiB) << 20);
    converter.Start(Settings.FilesAtOnce);
  } catch (const std::exception&) {
    // The task that could not start has been reported as ended; its row
    // shows why.
  }
}

void TBatchController::AddTrackOutputs(int index, int position, TOutputOptions output,
                                       const std::vector<std::string>& outputs,
                                       const std::vector<TPlannedTrack>& tracks) {
  TVeltoConverter& converter = *FConverter;
  std::vector<TTrackRow> shown;
  for (std::size_t n = 0; n < tracks.size(); ++n) {
    const TPlannedTrack& track = tracks[n];
    output.FileName = outputs[n];
    if (!converter.AddTrackOutput(index, output.FileName, output, track.Part)) {
      // The task fails at once, writing none of its tracks.
      TaskRows[static_cast<std::size_t>(index)].SetupError = converter.LastError();
      Log(position, converter.LastError());
      return;
    }
    const QString fileName = FromNative(output.FileName);
    const TTrackCut& cut = track.Part.Cut;
    shown.push_back({QFileInfo(fileName).fileName(), fileName,
                     static_cast<int>(cut.Start * 1000 / cut.TimeBaseDen),
                     cut.End < 0 ? -1 : static_cast<int>(cut.End * 1000 / cut.TimeBaseDen)});
  }
  if (Events.Tracks) Events.Tracks(position, shown);
}

void TBatchController::Progress(int index, int durationTime, int totalDuration) {
  if (index < 0 || static_cast<std::size_t>(index) >= TaskRows.size()) return;
  const TTaskRow& task = TaskRows[static_cast<std::size_t>(index)];
  if (Events.Status) Events.Status(task.Position, ProgressStatus(durationTime, totalDuration));
  if (!task.TrackOutputs.empty() && Events.TrackProgress)
    Events.TrackProgress(task.Position, durationTime, totalDuration);
  Progress_.Report(task.Position, durationTime, totalDuration);
  ShowState();
}

void TBatchController::Terminate(int index, const TTaskResult& result) {
  if (index < 0) return FinishIfDone();
  if (static_cast<std::size_t>(index) >= TaskRows.size()) return;
  const TTaskRow& task = TaskRows[static_cast<std::size_t>(index)];
  const std::string& reason = result.State == TTaskState::tsFailed && !task.SetupError.empty()
                                  ? task.SetupError
                                  : result.Reason;
  if (Sync && (result.State == TTaskState::tsConverted ||
               result.State == TTaskState::tsConvertedWithProblems)) {
    const TBatchInput& input = Inputs[static_cast<std::size_t>(task.Position)];
    std::string error;
    if (task.TrackOutputs.empty() &&
        !Sync->Made(input.Path, input.Root, FOutputs[static_cast<std::size_t>(task.Position)],
                    error))
      Log(task.Position, error);
    for (std::size_t n = 0; n < task.TrackOutputs.size(); ++n)
      if (!Sync->Made(input.Path, input.Root, task.TrackOutputs[n], error, {},
                      static_cast<int>(n) + 1))
        Log(task.Position, error);
  }
  EndRow(task.Position, result.State, FromNative(reason));
  FinishIfDone();
}

void TBatchController::EndRowUnchanged(int position, bool upToDate) {
  ++(upToDate ? FCounts.UpToDate : FCounts.Existing);
  if (Events.Status) Events.Status(position, UnchangedMark(upToDate));
  const QString output = FromNative(FOutputs[static_cast<std::size_t>(position)]);
  if (Events.Tip)
    Events.Tip(position, (upToDate ? QCoreApplication::translate("TForm1", "Up to date")
                                   : QCoreApplication::translate("TForm1", "Left as it was")) +
                             QStringLiteral("\n") + QStringLiteral("Output: ") + output);
  Progress_.End(position);
  ShowState();
}

void TBatchController::EndRow(int position, TTaskState state, const QString& reason) {
  switch (state) {
    case TTaskState::tsConverted:
      ++FCounts.Converted;
      break;
    case TTaskState::tsConvertedWithProblems:
      ++FCounts.Converted;
      ++FCounts.WithProblems;
      break;
    case TTaskState::tsStopped:
      ++FCounts.Stopped;
      break;
    default:
      state = TTaskState::tsFailed;  // an end without a result is no success
      ++FCounts.Failed;
      break;
  }
  if (Events.Status) Events.Status(position, EndMark(state));
  if (Events.TracksEnded) Events.TracksEnded(position, state);
  const QString output = FromNative(FOutputs[static_cast<std::size_t>(position)]);
  QString tip = reason;
  if (!output.isEmpty() && state != TTaskState::tsFailed && state != TTaskState::tsStopped)
    tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) +
           QCoreApplication::translate("TForm1", "Output: %1").arg(output);
  if (Events.Tip) Events.Tip(position, tip);
  Progress_.End(position,
                state == TTaskState::tsConverted || state == TTaskState::tsConvertedWithProblems);
  ShowState();
}

void TBatchController::ShowState() {
  FGauge = Progress_.Fraction();
  const double elapsed = Clock.elapsed() / 1000.0;
  // The first seconds say too little about the rate to promise a time.
  const int64_t left = elapsed >= 2 ? Progress_.SecondsLeft(elapsed) : -1;
  FStatusLine = BatchLine(Progress_.Ended(), Progress_.Files(), left);
  if (Events.Changed) Events.Changed();
}

void TBatchController::FinishIfDone() {
  if (!FRunning || Stopping || !AllPrepared || Progress_.Ended() < Progress_.Files()) return;
  End(false);
}

void TBatchController::Stop() {
  Preparer.StopAndWait();
  PendingPrepared.clear();
  FConverter->Stop();
  FConverter->ClearTasks();
  // The stopped tasks' last reports and their ends were posted while
  // ClearTasks waited; they belong before the summary, not after.
  Stopping = true;
  Posts->DeliverWaiting();
  Stopping = false;
  if (FRunning) End(true);
}

void TBatchController::End(bool stopped) {
  ++Batch;  // the batch's stragglers (a late end-of-batch call) are stale now
  FRunning = false;
  if (Sync) {
    std::string error;
    if (!Sync->Save(error) && Events.Error) Events.Error(FromNative(error));
    Sync.reset();
  }
  if (!stopped) {
    FGauge = 1;
    FStatusLine = SummaryLine(FCounts);
  } else {
    // Rows the Stop left before they began are no more converted than the
    // stopped ones; the gauge keeps what was converted.
    std::vector<int> notStarted;
    for (int position = 0; position < Progress_.Files(); ++position) {
      if (Progress_.HasEnded(position)) continue;
      notStarted.push_back(position);
      Progress_.End(position, false);
      ++FCounts.NotStarted;
    }
    if (Events.NotStarted && !notStarted.empty())
      Events.NotStarted(
          notStarted, NotStartedMark(),
          QCoreApplication::translate(
              "TForm1", "Not converted: the batch was stopped before this file began."));
    FGauge = Progress_.ConvertedFraction();
    FStatusLine = SummaryLine(FCounts, true);
  }
  if (Events.Changed) Events.Changed();
  if (Events.Finished) Events.Finished(stopped);
}
