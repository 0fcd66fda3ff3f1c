#include "engine/FFmpegThread.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <exception>

#include "engine/FFmpegHlpr.h"

namespace {

thread_local TCustomFFmpegHlpr* CurrentRun = nullptr;

void ApplyPriority(TConvertPriority priority) {
  // Linux has no per-thread priority classes for ordinary users; SCHED_IDLE
  // and per-thread nice values give the same ordering.
  switch (priority) {
    case tpIdle: {
      sched_param param{};
      pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
      break;
    }
    case tpLowest:
      setpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadID()), 19);
      break;
    case tpLower:
      setpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadID()), 5);
      break;
    case tpNormal:
      break;
  }
}

}  // namespace

uint32_t CurrentThreadID() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

uint32_t MainThreadID() { return static_cast<uint32_t>(getpid()); }

TCustomFFmpegHlpr* CurrentRunEngine() { return CurrentRun; }

TCurrentRunScope::TCurrentRunScope(TCustomFFmpegHlpr* engine) : Previous(CurrentRun) {
  CurrentRun = engine;
}

void TCurrentRunScope::Release() {
  if (Released) return;
  Released = true;
  CurrentRun = Previous;
}

TFFmpegThread::TFFmpegThread(TCustomFFmpegHlpr& engine, TConvertPriority priority) {
  std::promise<uint32_t> idSignal;
  std::future<uint32_t> id = idSignal.get_future();
  std::future<void> resume = ResumeSignal.get_future();
  Thread = std::thread([&engine, priority, &idSignal, resume = std::move(resume)]() mutable {
    ApplyPriority(priority);
    idSignal.set_value(CurrentThreadID());
    resume.wait();
    Body(engine);
  });
  Id = id.get();
}

TFFmpegThread::~TFFmpegThread() {
  Resume();
  if (Thread.joinable()) Join();
}

void TFFmpegThread::Resume() {
  if (Resumed) return;
  Resumed = true;
  ResumeSignal.set_value();
}

void TFFmpegThread::Join() {
  if (Thread.joinable()) Thread.join();
}

void TFFmpegThread::Detach() {
  if (Thread.joinable()) Thread.detach();
}

void TFFmpegThread::Body(TCustomFFmpegHlpr& engine) {
  // Run has already logged the error and ended the job; an exception leaving
  // a std::thread would end the process. Nothing here may touch the engine or
  // this object after Run returns: a terminate hook may have freed both.
  try {
    engine.Run();
  } catch (...) {
  }
}
