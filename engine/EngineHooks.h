// The three ways the engine reaches its owner. A hook counts as set when its
// code is set; it is called with its data on the thread that runs the job.
#pragma once

#include <cstdint>
#include <string>

class TCustomFFmpegHlpr;

// level 0 = error, 1 = information.
using TEngineLogProc = void (*)(void* data, TCustomFFmpegHlpr* engine, int level,
                                const std::string& text);
// frame number, frames per second, time reached (ms), quality, bit rate (kbit/s),
// current size (bytes), total duration (ms).
using TEngineProgressProc = void (*)(void* data, TCustomFFmpegHlpr* engine, int frameNumber,
                                     int fps, int durationTime, float quality, float bitRate,
                                     int64_t currentSize, int totalDuration);
using TEngineTerminateProc = void (*)(void* data, TCustomFFmpegHlpr* engine);
// A complete hidden output, closed, before it is verified and put in place.
using TEngineOutputProc = void (*)(void* data, TCustomFFmpegHlpr* engine,
                                   const std::string& hiddenPath);

template <typename Proc>
struct TEngineHook {
  Proc Code = nullptr;
  void* Data = nullptr;
  bool IsSet() const { return Code != nullptr; }
};

// Thread priorities of a task's worker thread.
enum TConvertPriority : uint8_t { tpIdle = 0, tpLowest = 1, tpLower = 2, tpNormal = 3 };
