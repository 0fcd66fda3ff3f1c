#include "converter/WorkerRun.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <set>

#include "engine/PartialOutputs.h"

namespace {

std::string LastLine(const std::string& text) {
  std::size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return {};
  const std::size_t start = text.find_last_of('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

}  // namespace

TWorkerRun::TWorkerRun(std::unique_ptr<TWorkerProcess> process, TWorkerTask task,
                       TWorkerRunEvents events)
    : FProcess(std::move(process)),
      FTask(std::move(task)),
      FEvents(std::move(events)),
      FStopEvent(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  FThread = std::thread([this] { Run(); });
}

TWorkerRun::~TWorkerRun() {
  Stop();
  if (FThread.joinable()) FThread.join();
  if (FStopEvent >= 0) close(FStopEvent);
}

void TWorkerRun::Stop() {
  FStopAsked = true;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t written = write(FStopEvent, &one, sizeof one);
}

std::unique_ptr<TWorkerProcess> TWorkerRun::TakeProcess() {
  if (FThread.joinable()) FThread.join();
  if (FProcess && FProcess->Reaped()) FProcess.reset();
  return std::move(FProcess);
}

void TWorkerRun::Run() {
  std::string reason;
  if (Converse(reason)) return;
  // The worker is gone or of no use: it ends for good, and what it left
  // half-written goes with it.
  FProcess->Signal(SIGKILL);
  const int status = FProcess->Reap();
  RelayOutput();
  RemovePartialOutputs();
  TWorkerDone done;
  if (FStopAsked) {
    done.Result = {TTaskState::tsStopped, {}};
  } else if (!reason.empty()) {
    done.Result = {TTaskState::tsFailed, reason};
  } else {
    const std::string last = !FLastOutputLine.empty() ? FLastOutputLine : FLastLogLine;
    done.Result = {TTaskState::tsFailed,
                   "the conversion crashed: " + DescribeWaitStatus(status) +
                       (last.empty() ? "" : " (" + last + ")"),
                   true};
  }
  if (FEvents.Log && !FStopAsked) FEvents.Log({true, 1, done.Result.Reason});
  FEvents.End(done);
}

bool TWorkerRun::Converse(std::string& reason) {
  const int socket = FProcess->Socket();
  TWorkerFrame frame;
  std::string error;
  if (!FProcess->Greeted) {
    if (!ReadFrame(socket, frame, error) || frame.Type != TWorkerMessageType::Hello) {
      reason = "the worker program " + FProcess->Program() + " did not start" +
               (error.empty() ? "" : ": " + error);
      if (error.empty() && FProcess->Reap() != 0)
        reason += " (" + DescribeWaitStatus(FProcess->Reap()) + ")";
      return false;
    }
    FProcess->Greeted = true;
  }
  if (!WriteFrame(socket, TWorkerMessageType::Task, EncodeTask(FTask))) return false;

  using Clock = std::chrono::steady_clock;
  Clock::time_point killAt{};
  bool terminated = false;
  for (;;) {
    pollfd watched[3] = {{socket, POLLIN, 0}, {FProcess->Output(), POLLIN, 0},
                         {FStopEvent, POLLIN, 0}};
    int timeout = -1;
    if (terminated)
      timeout = static_cast<int>(std::max<int64_t>(
          0, std::chrono::duration_cast<std::chrono::milliseconds>(killAt - Clock::now()).count()));
    const int ready = poll(watched, terminated ? 2 : 3, timeout);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      FProcess->Signal(SIGKILL);  // the grace is over: the socket ends next
      terminated = false;
      killAt = {};
      continue;
    }
    if (watched[2].revents & POLLIN) {
      uint64_t count = 0;
      [[maybe_unused]] ssize_t got = read(FStopEvent, &count, sizeof count);
      FProcess->Signal(SIGTERM);
      terminated = true;
      killAt = Clock::now() + std::chrono::milliseconds(WorkerStopGraceMs);
    }
    if (watched[1].revents & (POLLIN | POLLHUP)) RelayOutput();
    if (!(watched[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    if (!ReadFrame(socket, frame, error)) return false;
    switch (frame.Type) {
      case TWorkerMessageType::Log: {
        TWorkerLog log;
        if (!DecodeLog(frame.Payload, log)) return false;
        if (log.OfTask) FLastLogLine = log.Text;
        if (FEvents.Log) FEvents.Log(log);
        break;
      }
      case TWorkerMessageType::Progress: {
        TWorkerProgress progress;
        if (!DecodeProgress(frame.Payload, progress)) return false;
        if (FEvents.Progress) FEvents.Progress(progress);
        break;
      }
      case TWorkerMessageType::Done: {
        TWorkerDone done;
        if (!DecodeDone(frame.Payload, done)) return false;
        RelayOutput();
        FEvents.End(done);
        // A worker told to stop may still be on its way out.
        if (terminated) {
          FProcess->Signal(SIGKILL);
          FProcess->Reap();
        }
        return true;
      }
      default:
        return false;
    }
  }
}

void TWorkerRun::RelayOutput() {
  char buffer[4096];
  for (;;) {
    pollfd ready{FProcess->Output(), POLLIN, 0};
    if (poll(&ready, 1, 0) <= 0 || !(ready.revents & POLLIN)) return;
    const ssize_t got = read(FProcess->Output(), buffer, sizeof buffer);
    if (got <= 0) return;
    [[maybe_unused]] ssize_t written = write(STDERR_FILENO, buffer, static_cast<size_t>(got));
    FPendingOutput.append(buffer, static_cast<size_t>(got));
    if (const std::string last = LastLine(FPendingOutput); !last.empty()) FLastOutputLine = last;
    if (FPendingOutput.size() > 8192) FPendingOutput.erase(0, FPendingOutput.size() - 4096);
  }
}

void TWorkerRun::RemovePartialOutputs() {
  // Only this worker's names: HOST@PID in the hidden name is the worker's.
  const std::string prefix =
      ".melvaro-" + PartialFileHost() + "@" + std::to_string(FProcess->Pid()) + "-";
  std::set<std::string> folders;
  for (const TPlannedOutput& output : FTask.Task.Outputs) {
    std::string folder = std::filesystem::path(output.Path).parent_path().string();
    folders.insert(folder.empty() ? "." : folder);
  }
  for (const std::string& folder : folders) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) continue;
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.compare(0, prefix.size(), prefix) == 0 && IsPartialFileName(name))
        unlink((folder + "/" + name).c_str());
    }
    closedir(dir);
  }
}
