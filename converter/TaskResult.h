// How a task of the component ended (or that it has not yet).
#pragma once

#include <string>

enum class TTaskState {
  tsWaiting,                // added, not started
  tsRunning,                // started, not ended
  tsConverted,              // every output complete and in place
  tsConvertedWithProblems,  // outputs in place, but the input was short or damaged
  tsFailed,                 // no output written; Reason says why
  tsStopped                 // stopped before its end; no output written
};

struct TTaskResult {
  TTaskState State = TTaskState::tsWaiting;
  // Empty for tsWaiting, tsRunning and tsConverted; otherwise the message
  // ("input ended at 0:41 of 3:20", "7 damaged packets skipped", the engine's
  // error for a failure, ...).
  std::string Reason;
  // tsFailed because the worker process running it died (Reason: "the
  // conversion crashed: SIGNAL (its last message)").
  bool Crashed = false;
};
