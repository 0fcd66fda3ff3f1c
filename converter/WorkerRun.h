// One task's run in a worker process, on a thread of its own: sends the
// task, hands the worker's events on, and ends the run exactly once, also
// when the worker dies (its hidden outputs are then removed here) or does
// not stop when asked (it is killed after a short grace).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "converter/WorkerMessages.h"
#include "converter/WorkerProcess.h"

struct TWorkerRunEvents {
  std::function<void(const TWorkerLog&)> Log;
  std::function<void(const TWorkerProgress&)> Progress;
  // The last event of the run, always raised.
  std::function<void(const TWorkerDone&)> End;
};

// Between SIGTERM and SIGKILL on a stop.
constexpr int WorkerStopGraceMs = 500;

class TWorkerRun {
 public:
  // Starts the run's thread; the process is the run's until TakeProcess.
  TWorkerRun(std::unique_ptr<TWorkerProcess> process, TWorkerTask task, TWorkerRunEvents events);
  // Stops the run and waits for its thread (End included).
  ~TWorkerRun();
  TWorkerRun(const TWorkerRun&) = delete;
  TWorkerRun& operator=(const TWorkerRun&) = delete;

  // Asks the worker to stop (SIGTERM) and kills it when it has not ended
  // its task WorkerStopGraceMs later. Any thread; does not wait.
  void Stop();
  // Waits for the run's thread; then the worker, when it can take another
  // task (else null).
  std::unique_ptr<TWorkerProcess> TakeProcess();

 private:
  void Run();
  // Sends the task and relays events until Done; false when the worker
  // ended or broke first (reason says why when that was not a death).
  bool Converse(std::string& reason);
  // Relays what the worker wrote to its standard output and error to ours
  // and keeps its last line.
  void RelayOutput();
  // The hidden outputs this worker made in the task's folders.
  void RemovePartialOutputs();

  std::unique_ptr<TWorkerProcess> FProcess;
  const TWorkerTask FTask;
  const TWorkerRunEvents FEvents;
  int FStopEvent = -1;  // eventfd, written by Stop
  std::atomic<bool> FStopAsked{false};
  std::string FLastOutputLine, FPendingOutput, FLastLogLine;
  std::thread FThread;
};
