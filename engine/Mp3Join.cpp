#include "engine/Mp3Join.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {
// The earlier encoder's last frames were coded against the silence its
// flush pads with: they are never used.
constexpr int64_t FlushedFrames = 2;
// How far from the cut a join may move, and how many frames a trial join
// follows before the later encoder's own reservoir use is known to fit.
constexpr int64_t JoinReach = 2;
constexpr int TrialFrames = 64;
}  // namespace

void Mp3Join::LayHeldUntil(Mp3Reservoir& layout, int64_t end) const {
  for (int64_t i = Next; i < end; ++i)
    layout.Add(Held->Frames[static_cast<size_t>(i - Held->First)].Frame,
               Held->Frames[static_cast<size_t>(i - Held->First)].Id);
}

int64_t Mp3Join::ChooseJoin(const Mp3Segment& next) const {
  const int64_t heldEnd = Held->First + static_cast<int64_t>(Held->Frames.size());
  const int64_t latest = heldEnd - FlushedFrames;
  const int64_t earliest = std::max(next.First, Next);
  if (latest < earliest) throw std::runtime_error("MP3 segments do not overlap");
  const int64_t cut = std::clamp(next.Cut, earliest, latest);
  for (int64_t step = 0; step <= 2 * JoinReach; ++step) {
    const int64_t join = cut + (step % 2 ? (step + 1) / 2 : -step / 2);
    if (join < earliest || join > latest) continue;
    Mp3Reservoir trial = Layout;
    LayHeldUntil(trial, join);
    bool fits = true;
    for (int n = 0; n < TrialFrames; ++n) {
      const size_t index = static_cast<size_t>(join - next.First + n);
      if (index >= next.Frames.size()) break;
      const Mp3Frame& frame = next.Frames[index].Frame;
      int begin = 0;
      if (!trial.Fits(frame, &begin)) {
        fits = false;
        break;
      }
      // From here on the later encoder's own layout fits as well.
      if (begin >= frame.OwnBegin) break;
      trial.Add(frame, 0);
    }
    if (fits) return join;
  }
  return cut;
}

void Mp3Join::Add(Mp3Segment segment) {
  if (!Held) {
    Next = segment.First;
    Held = std::move(segment);
    return;
  }
  const int64_t join = ChooseJoin(segment);
  LayHeldUntil(Layout, join);
  JoinFrames.push_back(join);
  Held = std::move(segment);
  Next = join;
}

void Mp3Join::Finish() {
  if (Held) LayHeldUntil(Layout, Held->First + static_cast<int64_t>(Held->Frames.size()));
  Held.reset();
  Layout.Finish();
}
