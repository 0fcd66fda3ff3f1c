#include "app/BatchProgress.h"

#include <algorithm>
#include <cmath>

void TBatchProgress::Begin(int files) {
  FFiles.assign(static_cast<std::size_t>(std::max(files, 0)), File{});
  FEnded = 0;
}

TBatchProgress::File* TBatchProgress::At(int index) {
  if (index < 0 || index >= Files()) return nullptr;
  return &FFiles[static_cast<std::size_t>(index)];
}

void TBatchProgress::SetDuration(int index, int64_t durationMs) {
  if (File* file = At(index)) file->DurationMs = std::max<int64_t>(durationMs, 0);
}

void TBatchProgress::Report(int index, int64_t reachedMs, int64_t totalMs) {
  File* file = At(index);
  if (!file || file->Ended) return;
  if (file->DurationMs <= 0 && totalMs > 0) file->DurationMs = totalMs;
  file->ReachedMs = std::max<int64_t>(reachedMs, 0);
}

void TBatchProgress::End(int index) {
  File* file = At(index);
  if (!file || file->Ended) return;
  file->Ended = true;
  ++FEnded;
}

double TBatchProgress::Fraction() const {
  if (FFiles.empty()) return 1.0;
  // A file that ended without a known length (unreadable, say) took no
  // time worth weighing; one still to come with none leaves only the count.
  const bool allKnown = std::all_of(FFiles.begin(), FFiles.end(),
                                    [](const File& f) { return f.Ended || f.DurationMs > 0; });
  double done = 0, total = 0;
  for (const File& file : FFiles) {
    // A file's own share of itself, 0..1.
    const double share = file.Ended ? 1.0
                         : file.DurationMs > 0
                             ? std::min(1.0, static_cast<double>(file.ReachedMs) / file.DurationMs)
                             : 0.0;
    const double weight = allKnown ? static_cast<double>(file.DurationMs) : 1.0;
    done += share * weight;
    total += weight;
  }
  return total > 0 ? done / total : 1.0;
}

int64_t TBatchProgress::SecondsLeft(double elapsedSeconds) const {
  const double fraction = Fraction();
  if (fraction <= 0 || elapsedSeconds <= 0) return -1;
  if (fraction >= 1) return 0;
  return std::llround(elapsedSeconds * (1 - fraction) / fraction);
}
