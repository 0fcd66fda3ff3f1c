// melvaro-worker: runs the tasks a component sends it, one at a time, with
// the engine in this process, and reports their events back (WorkerMessages.h).
// fd 3 is the task socket; standard output and error go to the component.
// SIGTERM stops the running task; the end of the socket ends the worker.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "converter/TaskResult.h"
#include "converter/UserLanguage.h"
#include "converter/VeltoConverter.h"
#include "converter/WorkerMessages.h"
#ifdef MELVARO_WORKER_TEST_FAULTS
#include <chrono>
#include <thread>

#include "medialib/AVUtilHlpr.h"
#endif

namespace {

constexpr int TaskSocket = 3;
int StopPipe[2] = {-1, -1};

void OnTerminateSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = write(StopPipe[1], &byte, 1);
}

#ifdef MELVARO_WORKER_TEST_FAULTS
// The test builds' seam: MELVARO_TEST_WORKER_FAULT=NAME=ACTION makes the
// task whose input is named NAME fail at its first progress report, with
// the output half written: "segv", "abort" and "kill" end the worker by
// that signal after a library line, "hang" never returns (as a library
// call that does not), deaf to a stop.
void TestFault(const std::string& input) {
  const char* fault = std::getenv("MELVARO_TEST_WORKER_FAULT");
  if (!fault) return;
  const std::string text = fault;
  const std::size_t equals = text.rfind('=');
  if (equals == std::string::npos ||
      text.substr(0, equals) != std::filesystem::path(input).filename().string())
    return;
  const std::string action = text.substr(equals + 1);
  AVU.av_log(nullptr, AV_LOG_ERROR, "test fault: %s\n", action.c_str());
  // As the kernel ends a process whose handler does not take the signal
  // (a sanitizer's would report and exit instead).
  signal(SIGSEGV, SIG_DFL);
  signal(SIGABRT, SIG_DFL);
  if (action == "segv") raise(SIGSEGV);
  if (action == "abort") abort();
  if (action == "kill") raise(SIGKILL);
  if (action == "hang")
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
#endif

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  PreferUtf8WithoutLocale();
  QCoreApplication app(argc, argv);
  if (pipe(StopPipe) != 0) return 1;
  signal(SIGTERM, OnTerminateSignal);

  TVeltoConverter converter;
  converter.SetRunMode(rmInProcess);
  std::mutex writeLock;
  const auto send = [&](TWorkerMessageType type, const std::string& payload) {
    std::lock_guard<std::mutex> lock(writeLock);
    WriteFrame(TaskSocket, type, payload);
  };
  std::string input;
  converter.OnLog = [&](int index, TLogLevel level, const std::string& text) {
    send(TWorkerMessageType::Log, EncodeLog({index >= 0, level, text}));
  };
  bool faultDue = false;
  converter.OnProgress = [&](int, int frameNumber, int fps, int durationTime, float quality,
                             float bitRate, int64_t currentSize, int totalDuration) {
    send(TWorkerMessageType::Progress,
         EncodeProgress({frameNumber, fps, durationTime, quality, bitRate, currentSize,
                         totalDuration}));
#ifdef MELVARO_WORKER_TEST_FAULTS
    if (faultDue) {
      faultDue = false;
      TestFault(input);
    }
#endif
  };
  converter.OnTerminate = [&](int index, bool finished) {
    if (index < 0) return;
    send(TWorkerMessageType::Done, EncodeDone({converter.TaskResult(index), finished}));
  };

  QSocketNotifier stopNotifier(StopPipe[0], QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
    char byte;
    [[maybe_unused]] ssize_t got = read(StopPipe[0], &byte, 1);
    converter.Stop();
  });

  bool librariesLoaded = false;
  QSocketNotifier taskNotifier(TaskSocket, QSocketNotifier::Read);
  QObject::connect(&taskNotifier, &QSocketNotifier::activated, [&] {
    TWorkerFrame frame;
    std::string error;
    TWorkerTask task;
    if (!ReadFrame(TaskSocket, frame, error) || frame.Type != TWorkerMessageType::Task ||
        !DecodeTask(frame.Payload, task)) {
      if (!error.empty()) std::fprintf(stderr, "melvaro-worker: %s\n", error.c_str());
      taskNotifier.setEnabled(false);
      converter.Stop();
      app.quit();
      return;
    }
    converter.ClearTasks();
    const auto fail = [&](const std::string& reason) {
      send(TWorkerMessageType::Log, EncodeLog({true, llError, reason}));
      send(TWorkerMessageType::Done, EncodeDone({{TTaskState::tsFailed, reason}, false}));
    };
    if (!librariesLoaded) {
      if (!converter.LoadLibraries(task.Settings.LibraryFolder, task.Settings.VersionedLibraries))
        return fail(converter.LastError());
      librariesLoaded = true;
    }
    converter.SetLogLevel(static_cast<TLogLevel>(task.Settings.LogLevel));
    converter.SetProgressInterval(task.Settings.ProgressIntervalMs);
    converter.SetThreadsPerFile(std::max(1, task.Settings.EncoderBudget));
    input = task.Task.Description.Path;
    faultDue = true;
    if (converter.AddPlannedTask(task.Task) < 0) return fail(converter.LastError());
    try {
      converter.Start(1);
    } catch (const std::exception&) {
      // Reported through OnTerminate.
    }
  });

  send(TWorkerMessageType::Hello, EncodeHello(static_cast<int32_t>(getpid())));
  const int status = app.exec();
  converter.DetachEvents();
  converter.ClearTasks();
  return status;
}
