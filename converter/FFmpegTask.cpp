#include "converter/FFmpegTask.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "converter/OptionApplication.h"
#include "converter/WorkerRun.h"

namespace {

// "m:ss", or "h:mm:ss" from an hour on.
std::string ClockText(int64_t ms) {
  const int64_t seconds = ms / 1000;
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  return text;
}

// The input must still be the file that was added: a file replaced or
// rewritten since would be converted without anyone having looked at it.
void CheckUnchanged(const TInputDescription& described) {
  struct stat info;
  if (stat(described.Path.c_str(), &info) != 0) return;  // the open says why
  const int64_t modified =
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  const bool changed =
      (described.Size >= 0 && described.Size != static_cast<int64_t>(info.st_size)) ||
      (described.ModifiedNs != 0 && described.ModifiedNs != modified) ||
      (described.Inode != 0 && (described.Inode != info.st_ino || described.Device != info.st_dev));
  if (changed) throw FFMpegException(described.Path + ": the file changed after it was added");
}

// An output's folders are made when its run begins, so that a batch that
// never reaches a file leaves no empty folder for it.
void MakeOutputFolder(const std::string& outputPath) {
  const std::filesystem::path folder = std::filesystem::path(outputPath).parent_path();
  if (folder.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error)
    throw FFMpegException("Could not create the folder " + folder.string() + ": " +
                          error.message());
}

}  // namespace

TFFmpegHlpr::TFFmpegHlpr(std::mutex& codecLock, TConversionTask& task)
    : TCustomFFmpegHlpr(codecLock), Task(task), TaskIndex(task.TaskIndex) {}

TFFmpegHlpr::~TFFmpegHlpr() { StopAndWait(); }

int TFFmpegHlpr::OutputCountForRun() const { return static_cast<int>(Task.Outputs.size()); }

void TFFmpegHlpr::OpenFilesOfRun() {
  if (!Task.PlanError.empty()) throw FFMpegException(Task.PlanError);
  MakeOptionContexts();
  ThreadsPerFile = Task.EncoderBudget;
  ApplyInputOptions(*this, Task.InputOptions);
  CheckUnchanged(Task.Description);
  if (!OpenInputFile(Task.Description.Path)) throw FFMpegException(LastError);
  for (const TPlannedOutput& output : Task.Outputs) {
    ApplyOutputOptions(*this, *output.Options);
    if (output.IsTrack) {
      const TTrackCut& cut = output.Track.Cut;
      SetTrackWindow(cut.Start, cut.End, cut.TimeBaseDen);
      SetTrackTags(output.Track.Tags);
    }
    MakeOutputFolder(output.Path);
    if (output.Options->VerifyOutput) VerifyOutputs = 1;
    if (output.Options->ReplayGain) ReplayGainTags = 1;
    if (output.Options->NormalizeLufs < 0) NormalizeLufs = output.Options->NormalizeLufs;
    if (!OpenOutputFile(output.Path)) throw FFMpegException(LastError);
  }
}

TConversionTask::TConversionTask() = default;
TConversionTask::~TConversionTask() = default;

namespace {
std::mutex ResultLock;
}  // namespace

TTaskResult TConversionTask::Result() const {
  std::lock_guard<std::mutex> lock(ResultLock);
  return CurrentResult;
}

void TConversionTask::SetResult(TTaskResult result) {
  std::lock_guard<std::mutex> lock(ResultLock);
  CurrentResult = std::move(result);
}

TTaskResult FinishedRunResult(int64_t expectedMs, int64_t reachedMs, int damagedPackets,
                              int64_t invalidSamples, const AudioLengthRecord& audio) {
  std::string reason;
  if (audio.Exact && audio.SampleRate > 0) {
    if (CutShort(audio))
      reason = "input ended at " + ClockText(audio.Decoded * 1000 / audio.SampleRate) + " of " +
               ClockText(audio.Stated * 1000 / audio.SampleRate);
  } else if (expectedMs > 0 && reachedMs >= 0) {
    const int64_t missing = expectedMs - reachedMs;
    // Encoder delay and padding make short files differ by a few frames.
    if (missing > 1000 && missing * 50 > expectedMs)
      reason = "input ended at " + ClockText(reachedMs) + " of " + ClockText(expectedMs);
  }
  if (damagedPackets > 0) {
    if (!reason.empty()) reason += "; ";
    reason += std::to_string(damagedPackets) +
              (damagedPackets == 1 ? " damaged packet skipped" : " damaged packets skipped");
  }
  if (invalidSamples > 0) {
    if (!reason.empty()) reason += "; ";
    reason += std::to_string(invalidSamples) +
              (invalidSamples == 1 ? " invalid sample replaced" : " invalid samples replaced");
  }
  if (reason.empty()) return {TTaskState::tsConverted, {}};
  return {TTaskState::tsConvertedWithProblems, reason};
}

int TFFmpegList::Add(std::unique_ptr<TConversionTask> task) {
  task->TaskIndex = Count();
  Tasks.push_back(std::move(task));
  return Tasks.back()->TaskIndex;
}

TConversionTask* TFFmpegList::Get(int index) const {
  if (index < 0 || index >= Count())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return Tasks[static_cast<std::size_t>(index)].get();
}

TFFmpegHlpr* TFFmpegList::FindByThread(uint32_t threadId) const {
  for (const auto& task : Tasks)
    if (task->Engine && task->Engine->Running && task->Engine->ThreadID == threadId)
      return task->Engine.get();
  return nullptr;
}

void TFFmpegList::Clear() {
  for (auto& task : Tasks) task.reset();
  Tasks.clear();
}
