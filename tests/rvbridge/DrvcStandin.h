// What the stand-in RealVideo decoder library records and how it behaves. A
// test reaches the state through the exported function drvc_standin_state,
// looked up with dlsym in the library that the loader opened.
#pragma once

#include <cstdint>

#include "medialib/RealVideoInterface.h"

struct DrvcStandinState {
  // Behaviour, set by the test.
  int32_t InitStatus = 5;
  int32_t MessageStatus = 7;
  int32_t TransformStatus = 0;
  const char* TransformThrows = nullptr;  // Transform throws a runtime_error with this text
  // Size reported for each delivered picture; -1 means the size given to
  // Init. The picture: Y(x, y) = 10 + 10x, U(x, y) = 10 + 10y, V = 70. It is
  // written only when it fits the size given to Init.
  int64_t DeliverWidth = -1;
  int64_t DeliverHeight = -1;

  // Records.
  char Calls[256] = {};  // entry-point names without prefix, each followed by ' '
  RVInitParams Init = {};
  RVCustomMessage Message = {};
  int32_t MessageValues[16] = {};
  RVTransformIn TransformIn = {};
  uint8_t Segments[16] = {};  // the first bytes of the last segment table
  uint8_t FirstDataByte = 0;
  uint8_t* Picture = nullptr;  // destination of the last Transform
  RVDecoderHandle GivenHandle = nullptr;
  RVDecoderHandle FreedHandle = nullptr;
};

using DrvcStandinStateProc = DrvcStandinState* (*)();
