// A stand-in for the RealVideo decoder library "drvc.so": records its calls
// and the records it receives and delivers a known picture. The build chooses
// which name sets it exports (DRVC_STANDIN_RV40, DRVC_STANDIN_RV20) and may
// leave out the "RV40toYUV420Transform" name (DRVC_STANDIN_RV40_NO_TRANSFORM).
#include "tests/rvbridge/DrvcStandin.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

DrvcStandinState State;
int DecoderObject;  // its address is the handle

void Record(const char* call) {
  std::strncat(State.Calls, call, sizeof State.Calls - std::strlen(State.Calls) - 2);
  std::strcat(State.Calls, " ");
}

int32_t Init(RVInitParams* params, RVDecoderHandle* handle) {
  Record("Init");
  State.Init = *params;
  if (State.InitStatus >= 0) *handle = State.GivenHandle = &DecoderObject;
  return State.InitStatus;
}

int32_t CustomMessage(RVCustomMessage* message, RVDecoderHandle) {
  Record("CustomMessage");
  State.Message = *message;
  const uint32_t count = std::min<uint32_t>(2 * message->Count, 16);
  std::copy(message->Values, message->Values + count, State.MessageValues);
  return State.MessageStatus;
}

int32_t Free(RVDecoderHandle handle) {
  Record("Free");
  State.FreedHandle = handle;
  return 0;
}

int32_t HiveMessage(void*, RVDecoderHandle) {
  Record("HiveMessage");
  return 0;
}

void Paint(uint8_t* picture, uint32_t w, uint32_t h) {
  uint8_t* u = picture + w * h;
  uint8_t* v = u + (w * h) / 4;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) picture[y * w + x] = uint8_t(10 + 10 * x);
  for (uint32_t y = 0; y < h / 2; ++y)
    for (uint32_t x = 0; x < w / 2; ++x) {
      u[y * (w / 2) + x] = uint8_t(10 + 10 * y);
      v[y * (w / 2) + x] = 70;
    }
}

// Unused in the build that exports no Transform name.
[[maybe_unused]] int32_t Transform(const uint8_t* data, uint8_t* picture, RVTransformIn* in,
                                   RVTransformOut* out, RVDecoderHandle) {
  Record("Transform");
  State.TransformIn = *in;
  std::memcpy(State.Segments, in->Segments, 8);
  State.FirstDataByte = in->DataLength ? data[0] : 0;
  State.Picture = picture;
  if (State.TransformThrows) throw std::runtime_error(State.TransformThrows);
  const uint32_t w = State.DeliverWidth < 0 ? State.Init.Width : uint32_t(State.DeliverWidth);
  const uint32_t h = State.DeliverHeight < 0 ? State.Init.Height : uint32_t(State.DeliverHeight);
  if (State.TransformStatus >= 0 && w <= State.Init.Width && h <= State.Init.Height)
    Paint(picture, w, h);
  out->Width = w;
  out->Height = h;
  return State.TransformStatus;
}

}  // namespace

#define DRVC_EXPORT extern "C" __attribute__((visibility("default")))

DRVC_EXPORT DrvcStandinState* drvc_standin_state() { return &State; }

#define DRVC_EXPORT_SET(prefix)                                                      \
  DRVC_EXPORT int32_t prefix##CustomMessage(RVCustomMessage* m, RVDecoderHandle h) { \
    return CustomMessage(m, h);                                                      \
  }                                                                                  \
  DRVC_EXPORT int32_t prefix##Free(RVDecoderHandle h) { return Free(h); }            \
  DRVC_EXPORT int32_t prefix##HiveMessage(void* m, RVDecoderHandle h) {              \
    return HiveMessage(m, h);                                                        \
  }                                                                                  \
  DRVC_EXPORT int32_t prefix##Init(RVInitParams* p, RVDecoderHandle* h) { return Init(p, h); }

#define DRVC_EXPORT_TRANSFORM(prefix)                                                   \
  DRVC_EXPORT int32_t prefix##Transform(const uint8_t* d, uint8_t* p, RVTransformIn* i, \
                                        RVTransformOut* o, RVDecoderHandle h) {         \
    return Transform(d, p, i, o, h);                                                    \
  }

#if DRVC_STANDIN_RV40
DRVC_EXPORT_SET(RV40toYUV420)
#if !DRVC_STANDIN_RV40_NO_TRANSFORM
DRVC_EXPORT_TRANSFORM(RV40toYUV420)
#endif
#endif

#if DRVC_STANDIN_RV20
DRVC_EXPORT_SET(RV20toYUV420)
DRVC_EXPORT_TRANSFORM(RV20toYUV420)
#endif
