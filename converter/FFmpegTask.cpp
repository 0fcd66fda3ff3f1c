#include "converter/FFmpegTask.h"

#include <stdexcept>
#include <string>

TFFmpegHlpr::TFFmpegHlpr(std::mutex& codecLock) : TCustomFFmpegHlpr(codecLock) {
  ResetOutputOptions(OutputOptions);
}

TFFmpegHlpr::~TFFmpegHlpr() { StopAndWait(); }

TTaskResult TFFmpegHlpr::Result() const {
  std::lock_guard<std::mutex> lock(ResultLock);
  return CurrentResult;
}

void TFFmpegHlpr::SetResult(TTaskResult result) {
  std::lock_guard<std::mutex> lock(ResultLock);
  CurrentResult = std::move(result);
}

int TFFmpegList::Add(std::unique_ptr<TFFmpegHlpr> task) {
  task->TaskIndex = Count();
  Tasks.push_back(std::move(task));
  return Tasks.back()->TaskIndex;
}

TFFmpegHlpr* TFFmpegList::Get(int index) const {
  if (index < 0 || index >= Count())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return Tasks[static_cast<std::size_t>(index)].get();
}

TFFmpegHlpr* TFFmpegList::FindByThread(uint32_t threadId) const {
  for (const auto& task : Tasks)
    if (task->ThreadID == threadId) return task.get();
  return nullptr;
}

void TFFmpegList::Clear() {
  for (auto& task : Tasks) task.reset();
  Tasks.clear();
}
