// The component's scheduling: one scheduler (Schedule) on the owner's thread
// decides which task runs next, frees the engines of ended runs and ends the
// batch. Start calls it; an ending task's terminate hook (on whatever thread
// ran the task) only records the end and posts a call of it to the owner's
// event loop, so nothing is started from inside an ending task and the
// start bookkeeping is never touched by two threads. Stop (any thread) only
// raises the stop flag, which the scheduler reads before every start.
#include "converter/VeltoConverter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <QCoreApplication>
#include <QEvent>

#include "converter/FFmpegTask.h"
#include "converter/LogRouting.h"
#include "converter/OptionApplication.h"
#include "converter/OutputNaming.h"
#include "converter/WorkerRun.h"
#include "engine/FFmpegThread.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"

namespace fs = std::filesystem;

namespace {

// What the window needs of an opened input, kept without the input.
TInputDescription DescribeOpenedInput(const std::string& fileName, const AVFormatContext* input) {
  TInputDescription description = TCustomAVConverter::DescribeWithoutOpening(fileName);
  if (input->duration != AV_NOPTS_VALUE && input->duration >= 0)
    description.DurationMs = input->duration / 1000;
  for (unsigned i = 0; i < input->nb_chapters; ++i) {
    const AVChapter* chapter = input->chapters[i];
    if (chapter->time_base.num <= 0 || chapter->time_base.den <= 0 || chapter->end <= chapter->start)
      continue;
    const AVDictionaryEntry* title = AVU.av_dict_get(chapter->metadata, "title", nullptr, 0);
    description.Chapters.push_back(
        {{chapter->start * chapter->time_base.num, chapter->end * chapter->time_base.num,
          chapter->time_base.den},
         title && title->value ? title->value : ""});
  }
  const auto addTags = [&](const AVDictionary* tags) {
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = AVU.av_dict_get(tags, "", entry, AV_DICT_IGNORE_SUFFIX))) {
      if (!entry->key || !entry->value || !entry->value[0]) continue;
      std::string key = entry->key;
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      description.Tags.emplace(key, entry->value);  // the first source wins
    }
  };
  addTags(input->metadata);
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVCodecParameters* audio = input->streams[i]->codecpar;
    if (audio->codec_type == AVMEDIA_TYPE_AUDIO) {
      addTags(input->streams[i]->metadata);
      if (const char* name = AVC.avcodec_get_name(audio->codec_id)) description.AudioCodec = name;
      description.AudioBitRate = audio->bit_rate > 0 ? audio->bit_rate : input->bit_rate;
      description.SampleRate = audio->sample_rate;
      description.Channels = audio->ch_layout.nb_channels;
      break;
    }
  }
  return description;
}

// How an ended run ended, from its engine's record of it.
TTaskResult EndResult(const TFFmpegHlpr& engine) {
  if (engine.Finished && engine.LastError.empty()) {
    const TConversionTask& task = engine.Task;
    int64_t expected = engine.TotalDuration;
    AudioLengthRecord audio = engine.SourceAudioLength;
    if (!task.Outputs.empty()) {
      // A part asked for is not a part missing.
      const TOutputOptions& asked = *task.Outputs.front().Options;
      if (asked.StartTime > 0 || asked.Duration > 0) audio.Exact = false;
      if (expected > 0 && asked.StartTime > 0) expected -= asked.StartTime;
      if (expected > 0 && asked.Duration > 0)
        expected = std::min<int64_t>(expected, asked.Duration);
      // Tracks that end before the file asked for no more of it.
      const TTrackCut& last = task.Outputs.back().Track.Cut;
      if (task.Outputs.back().IsTrack && last.End >= 0) {
        audio.Exact = false;
        if (expected > 0)
          expected = std::min<int64_t>(expected, last.End * 1000 / last.TimeBaseDen);
      }
    }
    return FinishedRunResult(expected, engine.ReachedMs, engine.DamagedPackets,
                             engine.InvalidSamples, audio);
  }
  if (engine.Task.StopAsked) return {TTaskState::tsStopped, {}};
  return {TTaskState::tsFailed, engine.LastError.empty() ? "Conversion failed" : engine.LastError};
}

}  // namespace

TCustomAVConverter::TCustomAVConverter(QObject* owner)
    : QObject(owner), FTasks(std::make_unique<TFFmpegList>()) {
  LogRouting::Register(this);
  FPaceTimer.setSingleShot(true);
  FPaceTimer.setInterval(100);
  QObject::connect(&FPaceTimer, &QTimer::timeout, this, [this] { RunPacedTask(); });
}

TCustomAVConverter::~TCustomAVConverter() { Shutdown(); }

TVeltoConverter::~TVeltoConverter() { Shutdown(); }

void TCustomAVConverter::Shutdown() {
  if (FShutDown) return;
  FShutDown = true;
  LogRouting::Unregister(this);
  DetachEvents();
  ClearTaskList();
}

void TCustomAVConverter::SetProgressInterval(int milliseconds) {
  FProgressInterval = std::max(milliseconds, 100);
}

void TCustomAVConverter::DetachEvents() {
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  OnLog = nullptr;
  OnProgress = nullptr;
  OnTerminate = nullptr;
}

bool TCustomAVConverter::LoadLibraries(const std::string& folder, bool versioned) {
  if (!LoadMediaLibraries(folder, versioned)) {
    FLastError = MediaLibraryError;
    return false;
  }
  FLibraryFolder = folder;
  FVersionedLibraries = versioned;
  LogRouting::InstallCallback();
  return true;
}

TInputDescription TCustomAVConverter::DescribeWithoutOpening(const std::string& fileName) {
  TInputDescription description;
  description.Path = fileName;
  struct stat info;
  if (stat(fileName.c_str(), &info) == 0) {
    description.Size = static_cast<int64_t>(info.st_size);
    description.ModifiedNs =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    description.Device = info.st_dev;
    description.Inode = info.st_ino;
  }
  return description;
}

bool TCustomAVConverter::DescribeInput(const std::string& fileName, const TInputOptions* options,
                                       TInputDescription& description, std::string& error) {
  if (!MediaLibrariesLoaded) {
    error = MediaLibraryError.empty() ? "The media libraries are not loaded" : MediaLibraryError;
    return false;
  }
  std::mutex codecLock;
  TCustomFFmpegHlpr probe(codecLock);
  try {
    probe.Reset();
    probe.Verbose = 0;  // not SetVerbose: the probe claims no library level
    if (options) ApplyInputOptions(probe, *options);
    if (!probe.OpenInputFile(fileName)) {
      error = probe.LastError;
      return false;
    }
  } catch (const std::exception& failure) {
    error = failure.what();
    return false;
  }
  description = DescribeOpenedInput(fileName, probe.InputFiles[0].get());
  return true;
}

int TCustomAVConverter::AddInput(const std::string& fileName, const TInputOptions* options) {
  TInputDescription described;
  if (!DescribeInput(fileName, options, described, FLastError)) return -1;
  return AddInput(described, options);
}

int TCustomAVConverter::AddInput(const TInputDescription& described, const TInputOptions* options) {
  // Without the libraries no task could ever run.
  if (!MediaLibrariesLoaded) {
    FLastError =
        MediaLibraryError.empty() ? "The media libraries are not loaded" : MediaLibraryError;
    return -1;
  }
  auto task = std::make_unique<TConversionTask>();
  task->LibraryRealVideoDecoders = FRealVideo34Codec == rvFFmpeg;
  task->Description = described;
  if (options) {
    task->InputOptions = *options;
    task->InputOptions.FileName.clear();  // the caller's; Description.Path is the input
  }
  if (described.Inode != 0) FInputIds.insert({described.Device, described.Inode});
  std::lock_guard<std::mutex> lock(FTaskListLock);
  return FTasks->Add(std::move(task));
}

int TCustomAVConverter::AddPlannedTask(const TPlannedTask& planned) {
  const int index = AddInput(planned.Description, &planned.InputOptions);
  if (index < 0) return -1;
  TConversionTask* task = TaskAt(index);
  task->LibraryRealVideoDecoders = planned.LibraryRealVideoDecoders;
  task->PlanError = planned.PlanError;
  std::lock_guard<std::mutex> lock(FTaskListLock);
  task->Outputs = planned.Outputs;
  return index;
}

bool TCustomAVConverter::AddOutput(int index, const std::string& fileName,
                                   const TOutputOptions* options) {
  TConversionTask* task = TaskAt(index);
  if (task->Result().State != TTaskState::tsWaiting) {
    FLastError = "The task has already been started: " + fileName;
    return false;
  }
  // The finished output replaces the file of that name: it must be none of
  // the batch's inputs and no other output of it.
  struct stat info;
  const bool exists = stat(fileName.c_str(), &info) == 0;
  if (exists &&
      FInputIds.count({static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)})) {
    FLastError = "Output file is one of the input files: " + fileName;
    return false;
  }
  if (exists && S_ISDIR(info.st_mode)) {  // nothing could ever replace it
    FLastError = "Could not open '" + fileName + "': " + std::strerror(EISDIR);
    return false;
  }
  const std::string key = SameFileKey(fileName);
  if (FOutputKeys.count(key)) {
    FLastError = "Output file is already an output of this batch: " + fileName;
    return false;
  }
  TOutputOptions record;
  if (options)
    record = *options;
  else
    ResetOutputOptions(record);
  // The component reads neither name field; without them equal settings
  // share one record.
  const std::string extension = fs::path(fileName).extension().string();
  record.FileName.clear();
  record.FileExt.clear();
  // The options are tried on a scratch engine now, so that a wrong one is
  // told at once; the task's own engine applies them again when it runs.
  // Settings and extension already tried need no second engine: one per
  // output fragmented the heap by some 20 KB a file on long lists.
  const bool tried = FLastOutputOptions && *FLastOutputOptions == record &&
                     extension == FLastOutputExtension;
  if (!tried) {
    if (!TryOutputOptions(fileName, options ? *options : record)) return false;
    FLastOutputOptions = std::make_shared<const TOutputOptions>(std::move(record));
    FLastOutputExtension = extension;
  }
  FOutputKeys.insert(key);
  std::lock_guard<std::mutex> lock(FTaskListLock);
  task->Outputs.push_back({fileName, FLastOutputOptions});
  return true;
}

bool TCustomAVConverter::TryOutputOptions(const std::string& fileName,
                                          const TOutputOptions& record) {
  try {
    std::mutex codecLock;
    TCustomFFmpegHlpr check(codecLock);
    check.Reset();
    ApplyOutputOptions(check, record);
    if (!check.ForcedOutputFormat && !AVF.av_guess_format(nullptr, fileName.c_str(), nullptr)) {
      FLastError = "Unable to find a suitable output format for '" + fileName + "'";
      return false;
    }
  } catch (const std::exception& error) {
    FLastError = error.what();
    return false;
  }
  return true;
}

bool TCustomAVConverter::AddTrackOutput(int index, const std::string& fileName,
                                        const TOutputOptions& options, const TTrackPart& track) {
  TConversionTask* task = TaskAt(index);
  const bool planned = [&] {
    if (task->Outputs.size() >= 99) {
      FLastError = "Too many tracks for one task: " + fileName;
      return false;
    }
    if (track.Cut.Start < 0 || track.Cut.TimeBaseDen <= 0 ||
        (track.Cut.End >= 0 && track.Cut.End <= track.Cut.Start)) {
      FLastError = "The track has no length: " + fileName;
      return false;
    }
    return AddOutput(index, fileName, &options);
  }();
  if (!planned) {
    if (task->PlanError.empty()) task->PlanError = FLastError;
    return false;
  }
  task->Outputs.back().IsTrack = true;
  task->Outputs.back().Track = track;
  return true;
}

int TCustomAVConverter::TaskCount() const {
  std::lock_guard<std::mutex> lock(FTaskListLock);
  return FTasks->Count();
}

const TInputDescription& TCustomAVConverter::TaskDescription(int index) const {
  return TaskAt(index)->Description;
}

TTaskResult TCustomAVConverter::TaskResult(int index) const {
  std::lock_guard<std::mutex> lock(FTaskListLock);
  return FTasks->Get(index)->Result();
}

TConversionTask* TCustomAVConverter::TaskAt(int index) const {
  std::lock_guard<std::mutex> lock(FTaskListLock);
  return FTasks->Get(index);
}

TFFmpegHlpr* TCustomAVConverter::FindTaskByThread(uint32_t threadId) const {
  std::lock_guard<std::mutex> lock(FTaskListLock);
  return FTasks->FindByThread(threadId);
}

void TCustomAVConverter::Start(int concurrency) {
  {
    std::lock_guard<std::recursive_mutex> lock(FEventLock);
    if (FRunningCount == 0) LogRouting::ClearPendingLines();
    FConcurrency = concurrency;
    FStopping = false;
    FEligibleCount = TaskCount();
  }
  std::exception_ptr firstFailure = Schedule();
  if (firstFailure) std::rethrow_exception(firstFailure);
}

std::exception_ptr TCustomAVConverter::Schedule() {
  ReleaseEndedEngines();
  std::exception_ptr firstFailure;
  if (FConcurrency > 0) {
    while (!FStopping && FRunningCount < FConcurrency && FNextIndex < FEligibleCount) {
      const int index = TakeNextIndex();
      try {
        StartTask(index);
      } catch (...) {
        // Already reported; the other slots are still filled.
        if (!firstFailure) firstFailure = std::current_exception();
      }
    }
  } else if (!FStopping && FRunningCount == 0 && FNextIndex < FEligibleCount &&
             !FPaceTimer.isActive()) {
    // One at a time on this thread, each start a pace after the last end;
    // the timer comes back here.
    FPaceTimer.start();
  }
  return firstFailure;
}

void TCustomAVConverter::RunPacedTask() {
  if (FStopping || FConcurrency > 0 || FRunningCount > 0 || FNextIndex >= FEligibleCount) {
    Schedule();
    return;
  }
  const int index = TakeNextIndex();
  // The run happens here, on this thread; its end posts the next Schedule.
  try {
    StartTask(index);
  } catch (...) {
    // Reported by StartTask; nothing may leave a timer event.
  }
}

int TCustomAVConverter::TakeNextIndex() {
  // Under the event lock, so that an ending task never sees the index taken
  // without the run counted.
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  ++FRunningCount;
  FBatchOpen = true;
  return FNextIndex++;
}

void TCustomAVConverter::EndBatchIfDone() {
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  if (!FBatchOpen || FRunningCount > 0 || FNextIndex < TaskCount()) return;
  FBatchOpen = false;
  if (OnTerminate) OnTerminate(-1, true);
  LogRouting::ClearPendingLines();
}

void TCustomAVConverter::StartTask(int index) {
  TConversionTask* task = TaskAt(index);
  // The last file to start takes the slots no other file will fill.
  const int fixed = FThreadsPerFile;
  const int waiting = FEligibleCount - FNextIndex;
  task->EncoderBudget =
      fixed > 0 ? fixed : waiting > 0 ? 1 : std::max(1, FConcurrency - FRunningCount + 1);
  task->SetResult({TTaskState::tsRunning, {}});
  if (FRunMode == rmWorkers) {
    StartTaskInWorker(*task);
    return;
  }
  auto made = std::make_unique<TFFmpegHlpr>(FCodecLock, *task);
  TFFmpegHlpr* engine = made.get();
  engine->ReportInterval = static_cast<int64_t>(FProgressInterval.load()) * 1000;
  engine->SetVerbose(static_cast<int>(FLogLevel.load()) - 1);
  engine->SetRealVideoDecoders(task->LibraryRealVideoDecoders);
  engine->LogHook = {LogHookProc, this};
  engine->ProgressHook = {ProgressHookProc, this};
  engine->TerminateHook = {TerminateHookProc, this};
  {
    std::lock_guard<std::mutex> lock(FTaskListLock);
    task->Engine = std::move(made);
  }
  // The engine is freed only on this thread, by ReleaseEndedEngines after
  // its terminate hook has returned.
  try {
    if (FConcurrency > 0) {
      engine->ThreadID = engine->Start(true, FThreadPriority);
    } else {
      engine->ThreadID = MainThreadID();
      engine->Start(false, FThreadPriority);
    }
  } catch (const std::exception& error) {
    task->SetResult({TTaskState::tsFailed, error.what()});
    ReportStartFailure(engine, error.what());
    throw;
  }
}

void TCustomAVConverter::StartTaskInWorker(TConversionTask& task) {
  // Told at once, as the engine's Start tells it in this process.
  if (task.Outputs.empty()) {
    const std::string error = "Must supply at least one output file";
    FinishRun(task, {TTaskState::tsFailed, error}, false);
    if (FLogLevel.load() > llQuiet) RaiseLog(task.TaskIndex, llError, error);
    throw FFMpegException(error);
  }
  if (FWorkerProgram.empty())
    FWorkers.Configure(WorkerProgramIn(QCoreApplication::applicationDirPath().toStdString()),
                       FWorkerMemoryLimit);
  else
    FWorkers.Configure(FWorkerProgram, FWorkerMemoryLimit);
  std::string error;
  std::unique_ptr<TWorkerProcess> process = FWorkers.Acquire(error);
  if (!process) {
    FinishRun(task, {TTaskState::tsFailed, error}, false);
    if (FLogLevel.load() > llQuiet) RaiseLog(task.TaskIndex, llError, error);
    throw FFMpegException(error);
  }
  TWorkerTask message;
  message.Settings = {FLibraryFolder, FVersionedLibraries, static_cast<int>(FLogLevel.load()),
                      FProgressInterval.load(), task.EncoderBudget};
  message.Task = {task.Description, task.InputOptions, task.Outputs,
                  task.LibraryRealVideoDecoders, task.PlanError};
  TWorkerRunEvents events;
  const int index = task.TaskIndex;
  events.Log = [this, index](const TWorkerLog& log) {
    RaiseLog(log.OfTask ? index : -1, static_cast<TLogLevel>(log.Level), log.Text);
  };
  events.Progress = [this, index](const TWorkerProgress& p) {
    std::lock_guard<std::recursive_mutex> lock(FEventLock);
    if (OnProgress)
      OnProgress(index, p.FrameNumber, p.Fps, p.DurationTime, p.Quality, p.BitRate,
                 p.CurrentSize, p.TotalDuration);
  };
  TConversionTask* ended = &task;
  events.End = [this, ended](const TWorkerDone& done) {
    FinishRun(*ended, done.Result, done.Finished);
  };
  auto run = std::make_unique<TWorkerRun>(std::move(process), std::move(message), std::move(events));
  std::lock_guard<std::mutex> lock(FTaskListLock);
  task.WorkerRun = std::move(run);
  // A stop asked between the start and now still reaches it.
  if (FStopping) {
    task.StopAsked = true;
    task.WorkerRun->Stop();
  }
}

void TCustomAVConverter::ReleaseEndedEngines() {
  std::vector<std::unique_ptr<TFFmpegHlpr>> ended;
  std::vector<std::unique_ptr<TWorkerRun>> endedRuns;
  {
    std::lock_guard<std::recursive_mutex> events(FEventLock);
    std::lock_guard<std::mutex> lock(FTaskListLock);
    for (int i = 0; i < FTasks->Count(); ++i) {
      TConversionTask* task = FTasks->Get(i);
      if (task->Engine && task->RunOver) ended.push_back(std::move(task->Engine));
      if (task->WorkerRun && task->RunOver) endedRuns.push_back(std::move(task->WorkerRun));
    }
  }
  ended.clear();  // joins threads that are past their terminate hook
  // Their workers take the next tasks.
  for (std::unique_ptr<TWorkerRun>& run : endedRuns) FWorkers.Release(run->TakeProcess());
  FWorkers.Trim(static_cast<std::size_t>(std::max(FConcurrency.load(), 1)));
}

void TCustomAVConverter::ReportStartFailure(TFFmpegHlpr* task, const std::string& message) {
  // A run that failed inside the transcode has logged its error already (and
  // kept it in LastError); the refusals before a run have not.
  if (task->LastError == message) return;
  if (FLogLevel.load() > llQuiet) DoLog(task, 0, message);
}

void TCustomAVConverter::Stop() {
  FStopping = true;
  std::lock_guard<std::mutex> lock(FTaskListLock);
  for (int i = 0; i < FTasks->Count(); ++i) {
    TConversionTask* task = FTasks->Get(i);
    if (task->WorkerRun) {
      task->StopAsked = true;
      task->WorkerRun->Stop();
    }
    if (!task->Engine) continue;
    task->StopAsked = true;
    task->Engine->Stop();
  }
}

void TCustomAVConverter::ClearTasks() {
  ClearTaskList();
  FLastError.clear();
  FConcurrency = 0;
}

void TCustomAVConverter::ClearTaskList() {
  FStopping = true;
  FPaceTimer.stop();
  // Every run ends first, while the list still counts its tasks, so that an
  // ending task's bookkeeping sees the batch as it was.
  std::vector<TFFmpegHlpr*> engines;
  std::vector<TWorkerRun*> runs;
  {
    std::lock_guard<std::mutex> lock(FTaskListLock);
    for (int i = 0; i < FTasks->Count(); ++i) {
      TConversionTask* task = FTasks->Get(i);
      if (task->WorkerRun) {
        task->StopAsked = true;
        task->WorkerRun->Stop();  // all at once: each has its own grace
        runs.push_back(task->WorkerRun.get());
      }
      if (!task->Engine) continue;
      task->StopAsked = true;
      engines.push_back(task->Engine.get());
    }
  }
  for (TWorkerRun* run : runs) FWorkers.Release(run->TakeProcess());
  for (TFFmpegHlpr* engine : engines) engine->StopAndWait();
  std::unique_ptr<TFFmpegList> ended;
  {
    // Under the registry lock no library line is being attributed to a task.
    auto registry = LogRouting::LockRegistryIdle(this);
    std::lock_guard<std::mutex> lock(FTaskListLock);
    ended = std::exchange(FTasks, std::make_unique<TFFmpegList>());
  }
  ended.reset();
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  FInputIds.clear();
  FOutputKeys.clear();
  FLastOutputOptions.reset();
  FNextIndex = 0;
  FEligibleCount = 0;
  FRunningCount = 0;
  FBatchOpen = false;
}

void TCustomAVConverter::DoLog(TFFmpegHlpr* sender, int level, const std::string& message) {
  RaiseLog(sender ? sender->TaskIndex : -1, static_cast<TLogLevel>(level + 1), message);
}

void TCustomAVConverter::RaiseLog(int index, TLogLevel level, const std::string& message) {
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  if (OnLog) OnLog(index, level, message);
}

void TCustomAVConverter::DoProgress(TFFmpegHlpr* sender, int frameNumber, int fps, int durationTime,
                                    float quality, float bitRate, int64_t currentSize,
                                    int totalDuration) {
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  if (OnProgress)
    OnProgress(sender->TaskIndex, frameNumber, fps, durationTime, quality, bitRate, currentSize,
               totalDuration);
}

void TCustomAVConverter::DoTerminate(TFFmpegHlpr* sender) {
  FinishRun(sender->Task, EndResult(*sender), sender->Finished);
}

namespace {

QEvent::Type ScheduleEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

}  // namespace

void TCustomAVConverter::FinishRun(TConversionTask& task, const TTaskResult& result,
                                   bool finished) {
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  task.SetResult(result);
  if (OnTerminate) OnTerminate(task.TaskIndex, finished && result.State != TTaskState::tsFailed);
  // Its engine may go once this hook has returned; what runs next is the
  // scheduler's decision, on the owner's thread. The last end of a batch is
  // told at once, on this thread, right after the task's own.
  task.RunOver = true;
  --FRunningCount;
  EndBatchIfDone();
  // Qt itself makes the event (clone): its queue's lock is invisible to
  // ThreadSanitizer, which would take an object made here and read on the
  // owner's thread for a race.
  QCoreApplication::postEvent(this, QEvent(ScheduleEventType()).clone());
}

void TCustomAVConverter::customEvent(QEvent* event) {
  if (event->type() == ScheduleEventType())
    Schedule();
  else
    QObject::customEvent(event);
}

void TCustomAVConverter::LogHookProc(void* data, TCustomFFmpegHlpr* engine, int level,
                                     const std::string& text) {
  static_cast<TCustomAVConverter*>(data)->DoLog(static_cast<TFFmpegHlpr*>(engine), level, text);
}

void TCustomAVConverter::ProgressHookProc(void* data, TCustomFFmpegHlpr* engine, int frameNumber,
                                          int fps, int durationTime, float quality, float bitRate,
                                          int64_t currentSize, int totalDuration) {
  if (durationTime >= 0) static_cast<TFFmpegHlpr*>(engine)->ReachedMs = durationTime;
  static_cast<TCustomAVConverter*>(data)->DoProgress(static_cast<TFFmpegHlpr*>(engine), frameNumber,
                                                     fps, durationTime, quality, bitRate,
                                                     currentSize, totalDuration);
}

void TCustomAVConverter::TerminateHookProc(void* data, TCustomFFmpegHlpr* engine) {
  static_cast<TCustomAVConverter*>(data)->DoTerminate(static_cast<TFFmpegHlpr*>(engine));
}
