// The worker thread of one engine. It is created suspended: it applies its
// priority and then waits for Resume before it runs the engine's Run, so the
// engine can finish its bookkeeping first. No error leaves the thread.
#pragma once

#include <cstdint>
#include <future>
#include <thread>

#include "engine/EngineHooks.h"

class TCustomFFmpegHlpr;

class TFFmpegThread {
 public:
  // Creates the thread suspended; returns once it knows its own identifier.
  TFFmpegThread(TCustomFFmpegHlpr& engine, TConvertPriority priority);
  ~TFFmpegThread();  // joins unless detached
  TFFmpegThread(const TFFmpegThread&) = delete;
  TFFmpegThread& operator=(const TFFmpegThread&) = delete;

  uint32_t ThreadID() const { return Id; }
  // Lets a suspended thread run; later calls do nothing.
  void Resume();
  bool IsCurrentThread() const { return std::this_thread::get_id() == Thread.get_id(); }
  // Waits for the thread's end.
  void Join();
  // Lets the thread end on its own; used when the engine is freed by a hook
  // that runs on this very thread.
  void Detach();

 private:
  static void Body(TCustomFFmpegHlpr& engine);
  std::promise<void> ResumeSignal;
  bool Resumed = false;  // owner's thread only
  std::thread Thread;
  uint32_t Id = 0;
};

// Identifier of the calling thread as the kernel knows it.
uint32_t CurrentThreadID();
// Identifier of the program's main thread.
uint32_t MainThreadID();

// The engine whose run the calling thread is executing, or nullptr: set by
// Run for the length of the job (its terminate hook excluded, which may free
// the engine), on whichever thread runs it. Lets a library log line be
// credited to the job it belongs to.
TCustomFFmpegHlpr* CurrentRunEngine();

// Makes `engine` the calling thread's current run until Release or the end of
// the scope, then restores the one before (a run started from inside another
// run's hook). Not copyable; one thread only.
class TCurrentRunScope {
 public:
  explicit TCurrentRunScope(TCustomFFmpegHlpr* engine);
  ~TCurrentRunScope() { Release(); }
  TCurrentRunScope(const TCurrentRunScope&) = delete;
  TCurrentRunScope& operator=(const TCurrentRunScope&) = delete;
  void Release();

 private:
  TCustomFFmpegHlpr* Previous;
  bool Released = false;
};
