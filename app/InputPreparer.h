// Describes the inputs of a batch on a thread of its own, in list order, so
// that the window never waits for a file while a long list is probed.
//
// Threads: Start, Stop and destruction on the owner's thread. The callback
// runs on the preparer's thread, once per input and then once with Position
// -1 (all described, or stopped); it must not block on the owner's thread
// (post to it instead). Stop is checked between two inputs, so a probe in
// progress finishes first; destruction stops and joins, so the thread never
// outlives the object or the callback's captures.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "converter/InputDescription.h"
#include "converter/OptionRecords.h"

struct TPreparedInput {
  int Position = -1;  // in the batch; -1 = the last call
  bool Readable = false;
  TInputDescription Description;  // when readable
  std::string Error;              // why not, when not
};

class TInputPreparer {
 public:
  using TCallback = std::function<void(TPreparedInput)>;

  TInputPreparer() = default;
  ~TInputPreparer() { StopAndWait(); }
  TInputPreparer(const TInputPreparer&) = delete;
  TInputPreparer& operator=(const TInputPreparer&) = delete;

  // Describes the files `paths` in order, each with InputOptionsFor (the
  // media libraries must be loaded), after running `first` (when given) on
  // the thread with the paths and the stop request to look at. Ends a
  // preparation still under way first.
  using TFirst = std::function<void(const std::vector<std::string>&, const std::atomic<bool>&)>;
  void Start(std::vector<std::string> paths, TCallback callback, TFirst first = {});
  // Asks the thread to end after the input it is describing; does not wait.
  void Stop() { FStopRequested = true; }
  // Stops and waits for the thread's end.
  void StopAndWait();

 private:
  std::atomic<bool> FStopRequested{false};
  std::thread FThread;
};
