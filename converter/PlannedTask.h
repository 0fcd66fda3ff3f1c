// What a task is to do, as plain records: enough for another process to run
// it exactly as the component would.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "converter/InputDescription.h"
#include "converter/OptionRecords.h"
#include "converter/TrackCut.h"

// One output a task is to write.
struct TPlannedOutput {
  std::string Path;
  // Tasks given equal records share one copy (a record is a few KB).
  std::shared_ptr<const TOutputOptions> Options;
  // For one track of an album file: its part of the input and its tags.
  bool IsTrack = false;
  TTrackPart Track{};
};

struct TPlannedTask {
  TInputDescription Description;  // Path names the input
  TInputOptions InputOptions;
  std::vector<TPlannedOutput> Outputs;
  // True for the library's own RealVideo 3.0/4.0 decoders.
  bool LibraryRealVideoDecoders = true;
  // A track that could not be planned: the run fails with it.
  std::string PlanError;
};
