// The messages between the component and its worker processes. A frame is a
// 12-byte header (magic "MLVW", version, type, payload length; host byte
// order: both ends run on one machine) and the payload. A worker greets with
// Hello before anything else; a peer of another version is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "converter/PlannedTask.h"
#include "converter/TaskResult.h"

constexpr uint16_t WorkerProtocolVersion = 1;

enum class TWorkerMessageType : uint16_t {
  Hello = 1,     // worker -> component: the worker's pid
  Task = 2,      // component -> worker: TWorkerTask
  Log = 3,       // worker -> component: TWorkerLog
  Progress = 4,  // worker -> component: TWorkerProgress
  Done = 5,      // worker -> component: TWorkerDone
};

// How the component runs tasks and where its libraries came from.
struct TWorkerSettings {
  std::string LibraryFolder;
  bool VersionedLibraries = true;
  int LogLevel = 2;  // TLogLevel
  int ProgressIntervalMs = 500;
  // The encoders the task's file may use at once (the scheduler's budget).
  int EncoderBudget = 1;
};

struct TWorkerTask {
  TWorkerSettings Settings;
  TPlannedTask Task;
};

struct TWorkerLog {
  bool OfTask = true;  // else a line of no task (index -1)
  int32_t Level = 0;   // TLogLevel
  std::string Text;
};

struct TWorkerProgress {
  int32_t FrameNumber = -1, Fps = -1, DurationTime = -1;
  float Quality = -1, BitRate = 0;
  int64_t CurrentSize = 0;
  int32_t TotalDuration = -1;
};

struct TWorkerDone {
  TTaskResult Result;
  bool Finished = false;
};

struct TWorkerFrame {
  TWorkerMessageType Type{};
  std::string Payload;
};

// Header plus payload, ready to write.
std::string EncodeFrame(TWorkerMessageType type, const std::string& payload);

constexpr std::size_t WorkerFrameHeaderSize = 12;
// Reads a header: the payload length, or an error ("not a Melvaro worker",
// "a worker of version 2; this program speaks version 1", "a message too
// large").
bool DecodeFrameHeader(const char (&header)[WorkerFrameHeaderSize], TWorkerMessageType& type,
                       uint32_t& length, std::string& error);

std::string EncodeHello(int32_t pid);
std::string EncodeTask(const TWorkerTask& task);
std::string EncodeLog(const TWorkerLog& log);
std::string EncodeProgress(const TWorkerProgress& progress);
std::string EncodeDone(const TWorkerDone& done);

// Each false for a payload that is cut short or runs on.
bool DecodeHello(const std::string& payload, int32_t& pid);
bool DecodeTask(const std::string& payload, TWorkerTask& task);
bool DecodeLog(const std::string& payload, TWorkerLog& log);
bool DecodeProgress(const std::string& payload, TWorkerProgress& progress);
bool DecodeDone(const std::string& payload, TWorkerDone& done);

// Whole frames over a blocking stream socket (never raising SIGPIPE);
// retried on EINTR. False at the end of
// the pipe or on an error (errorText says which; empty at a clean end).
bool WriteFrame(int fd, TWorkerMessageType type, const std::string& payload);
bool ReadFrame(int fd, TWorkerFrame& frame, std::string& errorText);
