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

void TBatchProgress::End(int index, bool converted) {
  File* file = At(index);
  if (!file || file->Ended) return;
  file->Ended = true;
  file->Converted = converted;
  ++FEnded;
}

bool TBatchProgress::HasEnded(int index) const {
  return index >= 0 && index < Files() && FFiles[static_cast<std::size_t>(index)].Ended;
}

template <class Done>
double TBatchProgress::Weighed(Done done) const {
  // A file that ended without a known length (unreadable, say) took no
  // time worth weighing; one still to come with none leaves only the count.
  const bool allKnown = std::all_of(FFiles.begin(), FFiles.end(),
                                    [](const File& f) { return f.Ended || f.DurationMs > 0; });
  for (const bool byLength : {allKnown, false}) {
    double sum = 0, total = 0;
    for (const File& file : FFiles) {
      const double weight = byLength ? static_cast<double>(file.DurationMs) : 1.0;
      sum += done(file) * weight;
      total += weight;
    }
    if (total > 0) return sum / total;  // else lengths weigh nothing: count files
  }
  return -1;
}

double TBatchProgress::Fraction() const {
  const double fraction = Weighed([](const File& file) {
    if (file.Ended) return 1.0;
    return file.DurationMs > 0
               ? std::min(1.0, static_cast<double>(file.ReachedMs) / file.DurationMs)
               : 0.0;
  });
  return fraction < 0 ? 1.0 : fraction;
}

double TBatchProgress::ConvertedFraction() const {
  const double fraction = Weighed([](const File& file) { return file.Converted ? 1.0 : 0.0; });
  return fraction < 0 ? 0.0 : fraction;
}

int64_t TBatchProgress::SecondsLeft(double elapsedSeconds) const {
  const double fraction = Fraction();
  if (fraction <= 0 || elapsedSeconds <= 0) return -1;
  if (fraction >= 1) return 0;
  return std::llround(elapsedSeconds * (1 - fraction) / fraction);
}
