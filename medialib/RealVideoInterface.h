// The C interface of the external RealVideo decoder library "drvc.so": the
// records it reads and writes, and its five entry points.
//
// The library was made for a 32-bit platform, where every record is packed
// 32-bit words. On x86-64 the records keep their field order and take the
// natural 64-bit layout: pointers and the decoder handle are 8 bytes, so the
// custom message grows to 16 bytes and the transform input to 32. Header only
// and free of any other header of the program, so that the binding, the
// bridge and test stand-ins share it.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Handed to Init.
struct RVInitParams {
  uint16_t Kind;  // always 11
  uint16_t Width;
  uint16_t Height;
  int16_t Reserved1;   // 0
  int32_t Reserved2;   // 0
  uint32_t SubFormat;  // first word of the stream's extra data, big-endian
  uint32_t One;        // always 1
  uint32_t Version;    // second word of the stream's extra data, big-endian
};

// The only custom message sent: the picture sizes a RealVideo 3.0 stream may
// switch between, as 2 x Count values (width, height pairs).
struct RVCustomMessage {
  uint32_t Type;  // RVCustomMessageSizes
  uint32_t Count;
  int32_t* Values;
};

struct RVTransformIn {
  uint32_t DataLength;  // bytes of frame data
  uint32_t Reserved1;   // 0
  uint32_t SegmentCountMinusOne;
  const uint8_t* Segments;  // (count) entries of 8 bytes, passed unread
  uint32_t Reserved2;       // 0
  uint32_t Timestamp;       // milliseconds
};

// Zeroed before each Transform.
struct RVTransformOut {
  uint32_t Unused[3];
  uint32_t Width;  // size of the picture the library delivered
  uint32_t Height;
};

// Filled by Init, handed back to every later call; null when none.
using RVDecoderHandle = void*;

// Init, CustomMessage and Transform return a negative status on failure.
using RVInitProc = int32_t (*)(RVInitParams* params, RVDecoderHandle* handle);
using RVCustomMessageProc = int32_t (*)(RVCustomMessage* message, RVDecoderHandle handle);
using RVFreeProc = int32_t (*)(RVDecoderHandle handle);
using RVHiveMessageProc = int32_t (*)(void* message, RVDecoderHandle handle);
using RVTransformProc = int32_t (*)(const uint8_t* data, uint8_t* picture, RVTransformIn* in,
                                    RVTransformOut* out, RVDecoderHandle handle);

}  // extern "C"

constexpr uint32_t RVCustomMessageSizes = 0x24;
constexpr uint16_t RVInitKind = 11;

static_assert(sizeof(RVInitParams) == 24);
static_assert(offsetof(RVInitParams, SubFormat) == 12 && offsetof(RVInitParams, Version) == 20);
static_assert(sizeof(RVCustomMessage) == 16 && offsetof(RVCustomMessage, Values) == 8);
static_assert(sizeof(RVTransformIn) == 32);
static_assert(offsetof(RVTransformIn, Segments) == 16 && offsetof(RVTransformIn, Timestamp) == 28);
static_assert(sizeof(RVTransformOut) == 20 && offsetof(RVTransformOut, Width) == 12);

// The entry-point slots, named after the library's names without their prefix
// ("RV40toYUV420" or "RV20toYUV420"), in binding order.
#define MELVARO_REALVIDEO_ENTRY_POINTS(X) \
  X(CustomMessage, RVCustomMessageProc)   \
  X(Free, RVFreeProc)                     \
  X(HiveMessage, RVHiveMessageProc)       \
  X(Init, RVInitProc)                     \
  X(Transform, RVTransformProc)
