// The component's scheduling. Who runs what:
// - Start, AddInput, AddOutput, Stop and ClearTasks on the owner's thread.
// - With concurrency > 0, DoTerminate runs on the ending task's worker and
//   starts the next task from there, holding the event lock, so that two
//   tasks ending together never start the same successor.
// - With concurrency <= 0, every start goes through a one-shot timer on the
//   owner's thread, and the task runs inside that timer event.
// The waiting count is taken with a compare-and-swap so that Stop (any
// thread, no lock) can empty it at any moment without a start slipping
// below zero. ClearTasks and destruction empty it under the event lock, which
// waits for a start in progress, before they stop and free the tasks.
#include "converter/VeltoConverter.h"

#include <QTimer>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "converter/FFmpegTask.h"
#include "converter/LogRouting.h"
#include "converter/OptionApplication.h"
#include "engine/FFmpegThread.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"

namespace {

// True when path names an existing file that is one of `files`.
bool IsSameFileAsAny(const std::string& path, const std::vector<std::string>& files) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return false;
  for (const std::string& file : files)
    if (std::filesystem::equivalent(path, file, error)) return true;
  return false;
}


// What the window needs of an opened input, kept without the input.
TInputDescription DescribeOpenedInput(const std::string& fileName, const AVFormatContext* input) {
  TInputDescription description;
  description.Path = fileName;
  std::error_code error;
  const auto size = std::filesystem::file_size(fileName, error);
  if (!error) description.Size = static_cast<int64_t>(size);
  if (input->duration != AV_NOPTS_VALUE && input->duration >= 0)
    description.DurationMs = input->duration / 1000;
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
    if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
      addTags(input->streams[i]->metadata);
      break;
    }
  }
  return description;
}

// How an ended task ended, from its engine's record of the run.
TTaskResult EndResult(const TFFmpegHlpr& task) {
  if (task.Finished) return {TTaskState::tsConverted, {}};
  if (task.StopAsked) return {TTaskState::tsStopped, {}};
  return {TTaskState::tsFailed, task.LastError.empty() ? "Conversion failed" : task.LastError};
}

}  // namespace

TCustomAVConverter::TCustomAVConverter(QObject* owner)
    : QObject(owner), FTasks(std::make_unique<TFFmpegList>()) {
  LogRouting::Register(this);
}

TCustomAVConverter::~TCustomAVConverter() { Shutdown(); }

TVeltoConverter::~TVeltoConverter() { Shutdown(); }

void TCustomAVConverter::Shutdown() {
  if (FShutDown) return;
  FShutDown = true;
  LogRouting::Unregister(this);
  DetachEvents();
  {
    std::lock_guard<std::recursive_mutex> lock(FEventLock);
    FStopping = true;
    ++FBatch;
  }
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
  LogRouting::InstallCallback();
  return true;
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
    probe.SetVerbose(0);
    if (options) ApplyInputOptions(probe, *options);
    if (!probe.OpenInputFile(fileName)) {
      error = probe.LastError;
      return false;
    }
  } catch (const std::exception& failure) {
    error = failure.what();
    return false;
  }
  description = DescribeOpenedInput(fileName, probe.InputFiles[0]);
  return true;
}

int TCustomAVConverter::AddInput(const std::string& fileName, const TInputOptions* options) {
  TInputDescription described;
  if (!DescribeInput(fileName, options, described, FLastError)) return -1;
  return AddInput(described, options);
}

int TCustomAVConverter::AddInput(const TInputDescription& described, const TInputOptions* options) {
  // Without the libraries the engine could not even make its option contexts.
  if (!MediaLibrariesLoaded) {
    FLastError =
        MediaLibraryError.empty() ? "The media libraries are not loaded" : MediaLibraryError;
    return -1;
  }
  const std::string& fileName = described.Path;
  auto task = std::make_unique<TFFmpegHlpr>(FCodecLock);
  try {
    task->Reset();
    task->SetVerbose(static_cast<int>(FLogLevel.load()) - 1);
    TCustomFFmpegHlpr::SetRealVideoDecoders(FRealVideo34Codec == rvFFmpeg);
    if (options) {
      task->InputOptions = *options;
      ApplyInputOptions(*task, *options);
    } else {
      task->InputOptions = TInputOptions{};
    }
    if (!task->OpenInputFile(fileName)) {
      FLastError = task->LastError;
      return -1;
    }
  } catch (const std::exception& error) {
    FLastError = error.what();
    return -1;
  }
  task->InputPath = fileName;
  task->Description = described;
  task->LogHook = {LogHookProc, this};
  task->ProgressHook = {ProgressHookProc, this};
  task->TerminateHook = {TerminateHookProc, this};
  std::lock_guard<std::mutex> lock(FTaskListLock);
  return FTasks->Add(std::move(task));
}

bool TCustomAVConverter::AddOutput(int index, const std::string& fileName,
                                   const TOutputOptions* options) {
  TFFmpegHlpr* task = TaskAt(index);
  // Creating the output truncates the file: it must be none of the batch's
  // inputs and no other output of it.
  {
    std::vector<std::string> inputs, outputs;
    std::lock_guard<std::mutex> lock(FTaskListLock);
    for (int i = 0; i < FTasks->Count(); ++i) {
      inputs.push_back(FTasks->Get(i)->InputPath);
      const auto& written = FTasks->Get(i)->OutputPaths;
      outputs.insert(outputs.end(), written.begin(), written.end());
    }
    if (IsSameFileAsAny(fileName, inputs)) {
      FLastError = "Output file is one of the input files: " + fileName;
      return false;
    }
    if (IsSameFileAsAny(fileName, outputs)) {
      FLastError = "Output file is already an output of this batch: " + fileName;
      return false;
    }
  }
  try {
    if (options) {
      task->OutputOptions = *options;
      ApplyOutputOptions(*task, *options);
    } else {
      ResetOutputOptions(task->OutputOptions);
    }
    if (!task->OpenOutputFile(fileName)) {
      FLastError = task->LastError;
      return false;
    }
  } catch (const std::exception& error) {
    FLastError = error.what();
    return false;
  }
  std::lock_guard<std::mutex> lock(FTaskListLock);
  task->OutputPaths.push_back(fileName);
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

TFFmpegHlpr* TCustomAVConverter::TaskAt(int index) const {
  std::lock_guard<std::mutex> lock(FTaskListLock);
  return FTasks->Get(index);
}

TFFmpegHlpr* TCustomAVConverter::FindTaskByThread(uint32_t threadId) const {
  std::lock_guard<std::mutex> lock(FTaskListLock);
  return FTasks->FindByThread(threadId);
}

void TCustomAVConverter::Start(int concurrency) {
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  if (FRunningCount == 0) LogRouting::ClearPendingLines();
  FConcurrency = concurrency;
  FStopping = false;
  std::exception_ptr firstFailure;
  for (;;) {
    try {
      if (!StartNext()) break;
    } catch (...) {
      // Already reported; the other slots are still filled.
      if (!firstFailure) firstFailure = std::current_exception();
    }
  }
  if (firstFailure) std::rethrow_exception(firstFailure);
}

bool TCustomAVConverter::StartNext() {
  if (FStopping || FRunningCount >= std::max(FConcurrency.load(), 1) ||
      FNextIndex >= TaskCount())
    return false;
  // The index is taken before the start: a task that fails to start ends
  // through DoTerminate, which starts its successor from inside this call.
  const int index = FNextIndex++;
  ++FRunningCount;
  if (FConcurrency > 0) {
    StartTask(index);
    return true;
  }
  const unsigned batch = FBatch;
  QTimer::singleShot(100, this, [this, index, batch] {
    std::lock_guard<std::recursive_mutex> lock(FEventLock);
    if (batch != FBatch) return;
    if (FStopping) {
      // Stopped before its turn: it stays unstarted.
      FNextIndex = index;
      --FRunningCount;
      return;
    }
    try {
      StartTask(index);
    } catch (...) {
      // Reported by StartTask; nothing may leave a timer event.
    }
  });
  return true;
}

void TCustomAVConverter::StartTask(int index) {
  TFFmpegHlpr* task = TaskAt(index);
  task->ReportInterval = static_cast<int64_t>(FProgressInterval.load()) * 1000;
  task->SetVerbose(static_cast<int>(FLogLevel.load()) - 1);
  task->LastError.clear();
  task->SetResult({TTaskState::tsRunning, {}});
  try {
    if (FConcurrency > 0) {
      task->ThreadID = task->Start(true, FThreadPriority);
    } else {
      task->ThreadID = MainThreadID();
      task->Start(false, FThreadPriority);
    }
  } catch (const std::exception& error) {
    ReportStartFailure(task, error.what());
    throw;
  }
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
    TFFmpegHlpr* task = FTasks->Get(i);
    task->StopAsked = true;
    task->Stop();
  }
}

void TCustomAVConverter::ClearTasks() {
  {
    std::lock_guard<std::recursive_mutex> lock(FEventLock);
    FStopping = true;
    ++FBatch;
  }
  ClearTaskList();
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  FLastError.clear();
  FConcurrency = 0;
  FNextIndex = 0;
  FRunningCount = 0;
}

void TCustomAVConverter::ClearTaskList() {
  // Every run ends first, while the list still counts its tasks, so that an
  // ending task's bookkeeping sees the batch as it was.
  for (int i = 0, count = TaskCount(); i < count; ++i) TaskAt(i)->StopAndWait();
  std::unique_ptr<TFFmpegList> ended;
  {
    // Under the registry lock no library line is being attributed to a task.
    auto registry = LogRouting::LockRegistryIdle(this);
    std::lock_guard<std::mutex> lock(FTaskListLock);
    ended = std::exchange(FTasks, std::make_unique<TFFmpegList>());
  }
  ended.reset();
}

void TCustomAVConverter::DoLog(TFFmpegHlpr* sender, int level, const std::string& message) {
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  if (OnLog) OnLog(sender ? sender->TaskIndex : -1, static_cast<TLogLevel>(level + 1), message);
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
  std::lock_guard<std::recursive_mutex> lock(FEventLock);
  sender->SetResult(EndResult(*sender));
  if (OnTerminate) OnTerminate(sender->TaskIndex, sender->Finished);
  --FRunningCount;
  bool started = false;
  try {
    started = StartNext();
  } catch (...) {
    // Reported by StartTask; this may be a worker thread's top.
    started = true;
  }
  if (!started && FRunningCount == 0 && FNextIndex >= TaskCount()) {
    if (OnTerminate) OnTerminate(-1, true);
    LogRouting::ClearPendingLines();
  }
}

void TCustomAVConverter::LogHookProc(void* data, TCustomFFmpegHlpr* engine, int level,
                                     const std::string& text) {
  static_cast<TCustomAVConverter*>(data)->DoLog(static_cast<TFFmpegHlpr*>(engine), level, text);
}

void TCustomAVConverter::ProgressHookProc(void* data, TCustomFFmpegHlpr* engine, int frameNumber,
                                          int fps, int durationTime, float quality, float bitRate,
                                          int64_t currentSize, int totalDuration) {
  static_cast<TCustomAVConverter*>(data)->DoProgress(static_cast<TFFmpegHlpr*>(engine), frameNumber,
                                                     fps, durationTime, quality, bitRate,
                                                     currentSize, totalDuration);
}

void TCustomAVConverter::TerminateHookProc(void* data, TCustomFFmpegHlpr* engine) {
  static_cast<TCustomAVConverter*>(data)->DoTerminate(static_cast<TFFmpegHlpr*>(engine));
}
