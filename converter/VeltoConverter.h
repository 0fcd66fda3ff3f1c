// The converter component: a list of conversion tasks (one engine each), run
// one after another or several at once, reported through three events.
//
// Threads and locks:
// - The owner's thread (the one that created the component and runs its Qt
//   event loop) makes every configuration call: LoadLibraries, AddInput,
//   AddOutput, Start, Stop, ClearTasks, the property setters and destruction.
// - Which task runs next is decided on the owner's thread only, as tasks
//   end: an ending task posts a call of the scheduler to the owner's event
//   loop, which must therefore run while a batch does. With Start(n > 0)
//   each task runs on its own worker thread. With Start(n <= 0) the tasks
//   run one at a time on the owner's thread, each 100 ms after the previous
//   one ended.
// - In the default run mode (rmWorkers) a task's engine runs in a worker
//   process instead (SetRunMode); a thread of the component per running task
//   talks to it and raises the task's events, as the engine's thread would.
// - OnLog, OnProgress and OnTerminate run on the thread that runs the task
//   (library lines: on whatever thread the library logs), one at a time: the
//   event lock serialises them (recursive, so that a handler may log through
//   the library). The end-of-batch OnTerminate(-1, true) follows the last
//   task's OnTerminate on its thread. Handlers must not block on the owner's
//   thread (use queued calls to reach widgets).
// - The codec lock is lent to every task of the component.
// - Lock order: event lock -> registry lock (brief; the library log callback
//   holds it only while it assembles a line) -> task list lock. None is held
//   while waiting for a task. Handlers may log through the media library.
//
// End of a batch: when every started task has ended and no added task is
// waiting, OnTerminate(-1, true) follows the last task's OnTerminate. Tasks
// may be added while a batch runs (a Start makes them eligible). After Stop,
// tasks that never started stay unstarted and the end-of-batch call comes
// only if every task had already been started.
//
// Destruction stops every task, waits for each run to end (terminate hooks
// included) and frees the tasks before the locks and the event handlers go;
// the handlers are detached first, so no event reaches a dying owner.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "converter/InputDescription.h"
#include "converter/OptionRecords.h"
#include "converter/TaskResult.h"
#include "converter/TrackCut.h"
#include "converter/WorkerPool.h"
#include "engine/EngineHooks.h"  // TConvertPriority: tpIdle, tpLowest, tpLower, tpNormal

class TConversionTask;
class TCustomFFmpegHlpr;
class TFFmpegHlpr;
class TFFmpegList;
class TLogDispatcher;
struct TPlannedTask;
struct TWorkerDone;

// Verbosity; the engine's numeric level is the value minus one.
enum TLogLevel : int32_t { llQuiet = 0, llError = 1, llInfo = 2, llDebug = 3, llAll = 4 };
// Where tasks run: each in a worker process (melvaro-worker), so that a
// library that crashes or runs away ends only its task, or in this process.
enum TRunMode : int32_t { rmWorkers = 0, rmInProcess = 1 };
// The default address-space limit of a worker: 1 GiB.
constexpr uint64_t DefaultWorkerMemoryLimit = uint64_t{1} << 30;
// Which decoder handles RealVideo 3.0/4.0: the library's own or the bridge.
enum TRV34Codec : int32_t { rvFFmpeg = 0, rvRVDLL = 1 };

// AIndex: task index, or -1 when the line belongs to no task of this component.
// ALogLevel: the message's engine level + 1. AMsg: one line without its line feed.
using TLogEvent = std::function<void(int AIndex, TLogLevel ALogLevel, const std::string& AMsg)>;
// ADurationTime: output time reached (ms); ATotalDuration: expected length (ms,
// -1 unknown); ACurrentSize: bytes so far; ABitRate: kbit/s; AFrameNumber,
// AFPS, AQuality describe the first video output (-1, -1, -1.0 without video).
using TProgressEvent =
    std::function<void(int AIndex, int AFrameNumber, int AFPS, int ADurationTime, float AQuality,
                       float ABitRate, int64_t ACurrentSize, int ATotalDuration)>;
// AIndex -1 is the single end-of-batch call (AFinished then true).
using TTerminateEvent = std::function<void(int AIndex, bool AFinished)>;

class TCustomAVConverter : public QObject {
 public:
  // Creates the locks, registers the component for library log lines, sets
  // the defaults and an empty task list. The owner, when given, frees the
  // component with itself.
  explicit TCustomAVConverter(QObject* owner = nullptr);
  ~TCustomAVConverter() override;
  TCustomAVConverter(const TCustomAVConverter&) = delete;
  TCustomAVConverter& operator=(const TCustomAVConverter&) = delete;

  // Text of the last failure of LoadLibraries, AddInput or AddOutput.
  const std::string& LastError() const { return FLastError; }

  // Loads the media libraries once for the process (folder first, versioned
  // names when asked) and routes the libraries' log output through the
  // components. False with LastError = the loader's message on failure.
  bool LoadLibraries(const std::string& folder, bool versioned);

  // Probes a file: opens it with the record's ForceFormat and ExtraOptions,
  // reads its size, duration and tags, and closes it again; holds nothing.
  // Any thread; needs the libraries loaded. False with `error` set when the
  // input cannot be read.
  static bool DescribeInput(const std::string& fileName, const TInputOptions* options,
                            TInputDescription& description, std::string& error);

  // What stat alone tells of a file (path, size, modification time,
  // identity), opening nothing: for a task added without probing, whose
  // input is opened only when its turn comes, on its worker. A file that
  // cannot be stat'ed gets only its path; its task then fails with the
  // opening's own message. Any thread.
  static TInputDescription DescribeWithoutOpening(const std::string& fileName);

  // Creates a task for one input file, probing it first (DescribeInput).
  // The task holds no file: its input is opened again, and its outputs
  // created, when it starts, on the thread that runs it; a file that changed
  // or went in between fails that task. Returns the task index, or -1 with
  // LastError set.
  int AddInput(const std::string& fileName, const TInputOptions* options = nullptr);
  int AddInput(const std::string& fileName, const TInputOptions& options) {
    return AddInput(fileName, &options);
  }
  // The same for an input already described: no file I/O at all.
  int AddInput(const TInputDescription& described, const TInputOptions* options = nullptr);
  // Adds a task exactly as another component planned it (the worker
  // program's way in): its outputs were checked there.
  int AddPlannedTask(const TPlannedTask& planned);

  // Plans one output file for a task that has not started: checks the
  // record's fields on a scratch engine (ExtraOptions, then the fields, then
  // the target preset) and that the name is none of the batch's inputs and
  // no other output of it; creates nothing. The run writes the file under a
  // hidden name and puts it in place only when complete. False with
  // LastError set on failure (the task stays). An index outside the list
  // throws std::out_of_range.
  bool AddOutput(int index, const std::string& fileName, const TOutputOptions* options = nullptr);
  bool AddOutput(int index, const std::string& fileName, const TOutputOptions& options) {
    return AddOutput(index, fileName, &options);
  }

  // The same for one track of an album file: the output takes only the
  // track's part of the input, cut at samples, and carries its tags over
  // the input's. A task's tracks share one decode of the input; they are
  // put in place together when the task ends. At most 99 per task. A track
  // that cannot be added fails the whole task when it runs (LastError says
  // why now), so that no album is half converted.
  bool AddTrackOutput(int index, const std::string& fileName, const TOutputOptions& options,
                      const TTrackPart& track);

  int TaskCount() const;
  // The description the task was added with; valid for every task in the
  // list, waiting, running or ended. Owner's thread. An index outside the
  // list throws std::out_of_range.
  const TInputDescription& TaskDescription(int index) const;
  // How the task stands or ended. Any thread. An index outside the list
  // throws std::out_of_range.
  TTaskResult TaskResult(int index) const;

  // Starts the batch: concurrency n > 0 runs at most n tasks at once on
  // worker threads; n <= 0 runs one at a time on this thread through the
  // event loop. Only tasks never started run. With no such task nothing
  // starts and no event is raised. While a batch runs, Start makes the tasks
  // added since eligible (they start as slots free up) and sets the
  // concurrency to n for the starts to come.
  // An error raised while starting a task (such as "Must supply at least one
  // output file") has already been reported through OnTerminate(index, false)
  // and OnLog; the first such error of this call is rethrown after the other
  // slots have been filled. Errors of tasks started later (by the scheduler
  // as tasks end) are only reported, never thrown.
  void Start(int concurrency);
  // Keeps waiting tasks from starting and asks running ones to stop; does not
  // wait. Any thread.
  void Stop();
  // Stops every task, waits for each run to end and frees all tasks; cancels
  // starts still pending on the timer. LastError := empty; concurrency := 0.
  // Owner's thread, outside the event handlers (it waits for the runs whose
  // threads raise them).
  void ClearTasks();

  // Clears the three event handlers under the event lock; safe while tasks
  // run (assigning the members directly is only safe while none does).
  void DetachEvents();

  // Where the tasks started from now on run. Workers by default: each task
  // in a process of a pool of "concurrency" processes, reused from task to
  // task; a worker that dies ends its task as failed, "the conversion
  // crashed: SIGSEGV (its last message)", with its hidden outputs removed,
  // and the batch goes on. Stop gives a worker WorkerStopGraceMs before it
  // is killed. Events, results and their order are those of the in-process
  // mode; library lines of a worker's task arrive as OnLog lines of it.
  // Owner's thread, while no task runs.
  TRunMode RunMode() const { return FRunMode; }
  void SetRunMode(TRunMode mode) { FRunMode = mode; }
  // The worker program; empty (the default) for melvaro-worker beside the
  // running program.
  void SetWorkerProgram(const std::string& path) { FWorkerProgram = path; }
  // Each worker's address-space limit in bytes (0: none; left out in
  // sanitizer builds), for the workers started from now on.
  uint64_t WorkerMemoryLimit() const { return FWorkerMemoryLimit; }
  void SetWorkerMemoryLimit(uint64_t bytes) { FWorkerMemoryLimit = bytes; }

 protected:
  // The scheduler's turn, posted from the thread where a task ended.
  void customEvent(QEvent* event) override;

  // ---- Properties (published by TVeltoConverter) ----------------------------
  TLogLevel LogLevel() const { return FLogLevel; }
  void SetLogLevel(TLogLevel level) { FLogLevel = level; }
  int ProgressInterval() const { return FProgressInterval; }
  // Milliseconds between two progress reports of a task; 100 or less stores 100.
  void SetProgressInterval(int milliseconds);
  TRV34Codec RealVideo34Codec() const { return FRealVideo34Codec; }
  void SetRealVideo34Codec(TRV34Codec codec) { FRealVideo34Codec = codec; }
  TConvertPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TConvertPriority priority) { FThreadPriority = priority; }
  // Encoders one file may be cut across: 0 lets the scheduler give a file
  // the slots no other file of the batch will take; 1 encodes every file
  // whole.
  int ThreadsPerFile() const { return FThreadsPerFile; }
  void SetThreadsPerFile(int encoders) { FThreadsPerFile = encoders < 0 ? 0 : encoders; }

  // Ends the component's work before anything of it goes: no more library
  // lines, handlers detached, every task stopped, waited for and freed. A
  // subclass that overrides DoLog, DoProgress or DoTerminate calls it first in
  // its destructor, so that no worker calls into a half-destroyed object.
  // Later calls do nothing. Owner's thread, outside the event handlers.
  void Shutdown();

  // Assign before Start (or use DetachEvents while tasks run).
  TLogEvent OnLog;
  TProgressEvent OnProgress;
  TTerminateEvent OnTerminate;

  // ---- Event raisers, called with the task as sender -------------------------
  // Raises OnLog(sender's index or -1, level + 1, message) under the event lock.
  virtual void DoLog(TFFmpegHlpr* sender, int level, const std::string& message);
  virtual void DoProgress(TFFmpegHlpr* sender, int frameNumber, int fps, int durationTime,
                          float quality, float bitRate, int64_t currentSize, int totalDuration);
  // Under the event lock: OnTerminate(index, finished); counts the task as
  // ended; starts the next waiting task, or ends the batch with
  // OnTerminate(-1, true) once every task has ended.
  virtual void DoTerminate(TFFmpegHlpr* sender);

 private:
  friend class TLogDispatcher;

  // The scheduler, owner's thread only: frees the engines of ended runs,
  // starts never-started eligible tasks while slots are free and no stop was
  // asked for (with concurrency <= 0: arms the pace timer for the next one).
  // Returns the first error raised while starting (already reported).
  std::exception_ptr Schedule();
  // The pace timer's end: runs the next task on this thread.
  void RunPacedTask();
  // Counts a run as started and gives the index of the task it runs.
  int TakeNextIndex();
  // OnTerminate(-1, true) when a batch was running and every task has ended
  // (and no task is left to start); called as each run ends. Once per batch;
  // any thread.
  void EndBatchIfDone();
  // Makes the task's engine and starts it (on a worker thread, or here),
  // or hands it to a worker process.
  void StartTask(int index);
  void StartTaskInWorker(TConversionTask& task);
  // Under the event lock: the task's result, OnTerminate, the run counted
  // as ended, the end of the batch when it was the last, and a scheduler
  // call posted.
  void FinishRun(TConversionTask& task, const TTaskResult& result, bool finished);
  void RaiseLog(int index, TLogLevel level, const std::string& message);
  // Frees the engines of runs whose terminate hooks have returned.
  void ReleaseEndedEngines();
  // Logs why a task could not be started (OnTerminate has already told that
  // it ended).
  void ReportStartFailure(TFFmpegHlpr* task, const std::string& message);
  // Applies an output record to a scratch engine; false with FLastError.
  bool TryOutputOptions(const std::string& fileName, const TOutputOptions& record);
  TConversionTask* TaskAt(int index) const;
  TFFmpegHlpr* FindTaskByThread(uint32_t threadId) const;
  void ClearTaskList();

  static void LogHookProc(void* data, TCustomFFmpegHlpr* engine, int level,
                          const std::string& text);
  static void ProgressHookProc(void* data, TCustomFFmpegHlpr* engine, int frameNumber, int fps,
                               int durationTime, float quality, float bitRate, int64_t currentSize,
                               int totalDuration);
  static void TerminateHookProc(void* data, TCustomFFmpegHlpr* engine);

  // ---- Written by the owner's thread; the atomics are also read by the
  // thread that starts the next task -------------------------------------------
  std::string FLastError;
  std::atomic<TLogLevel> FLogLevel{llInfo};
  std::atomic<int> FProgressInterval{500};
  TRV34Codec FRealVideo34Codec = rvFFmpeg;
  std::atomic<TConvertPriority> FThreadPriority{tpNormal};
  std::atomic<int> FThreadsPerFile{0};

  // ---- Batch bookkeeping: starts are taken by the scheduler on the owner's
  // thread, under the event lock as DoTerminate's end of a run (the task's
  // thread); Stop sets the stop flag from any thread. ----------------------
  std::atomic<int> FNextIndex{0};      // first task never started
  std::atomic<int> FEligibleCount{0};  // tasks the last Start made eligible
  std::atomic<int> FRunningCount{0};   // started and not ended
  std::atomic<int> FConcurrency{0};
  std::atomic<bool> FStopping{false};
  bool FBatchOpen = false;  // a task started since the last end of a batch; event lock
  QTimer FPaceTimer;        // the 100 ms before each start with concurrency <= 0

  // ---- Locks -------------------------------------------------------------
  std::mutex FCodecLock;                // lent to every task
  std::recursive_mutex FEventLock;      // events and end-of-task bookkeeping
  mutable std::mutex FTaskListLock;     // the list's shape (add, clear, look-ups)
  std::unique_ptr<TFFmpegList> FTasks;  // owned tasks
  // What AddOutput checks against (owner's thread): the inputs' files
  // (device, inode) and the outputs' names (SameFileKey); and the record the
  // last output was given, shared with the next one when equal.
  std::set<std::pair<uint64_t, uint64_t>> FInputIds;
  std::set<std::string> FOutputKeys;
  std::shared_ptr<const TOutputOptions> FLastOutputOptions;
  std::string FLastOutputExtension;  // of the output that last tried its options
  bool FShutDown = false;  // owner's thread only
  TRunMode FRunMode = rmWorkers;
  std::string FWorkerProgram;
  uint64_t FWorkerMemoryLimit = DefaultWorkerMemoryLimit;
  std::string FLibraryFolder;  // as LoadLibraries was given it, for the workers
  bool FVersionedLibraries = true;
  TWorkerPool FWorkers;  // owner's thread only
};

// The component as applications use it: every property and event public.
class TVeltoConverter : public TCustomAVConverter {
 public:
  using TCustomAVConverter::TCustomAVConverter;
  ~TVeltoConverter() override;

  // LogLevel: llInfo by default. ProgressInterval: 500 ms by default, values
  // of 100 or less store 100. RealVideo34Codec: rvFFmpeg by default.
  // ThreadPriority: tpNormal by default.
  using TCustomAVConverter::LogLevel;
  using TCustomAVConverter::OnLog;
  using TCustomAVConverter::OnProgress;
  using TCustomAVConverter::OnTerminate;
  using TCustomAVConverter::ProgressInterval;
  using TCustomAVConverter::RealVideo34Codec;
  using TCustomAVConverter::SetLogLevel;
  using TCustomAVConverter::SetProgressInterval;
  using TCustomAVConverter::SetRealVideo34Codec;
  using TCustomAVConverter::SetThreadPriority;
  using TCustomAVConverter::SetThreadsPerFile;
  using TCustomAVConverter::ThreadPriority;
  using TCustomAVConverter::ThreadsPerFile;
};
