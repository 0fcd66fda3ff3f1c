// The RealVideo decoder bridge: one decoder instance that hands RealVideo 3.0
// and 4.0 packets to the external decoder library (RealVideoHlpr) and returns
// planar YUV 4:2:0 pictures of the stream's size.
//
// Each instance has its own context and decoder handle and is used by one
// thread at a time; the library's entry points are copied in at init, so a
// running instance reads no shared state.
//
// A finished picture is copied once from the decoding buffers into a buffer
// of the instance's pool and handed out reference-counted, so that it outlives
// the next packet and the instance itself (a delayed encoder may hold it).
// Pool buffers are reused: no memory is allocated per packet once the pool
// holds as many buffers as are in use at a time.
#pragma once

#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "medialib/LibraryObjects.h"
#include "medialib/RealVideoHlpr.h"

// The parts of one packet: byte 0 holds c, the number of segments minus one;
// c + 1 segment entries of 8 bytes follow, then the frame data up to the end.
struct RVPacketLayout {
  uint32_t SegmentCountMinusOne = 0;
  const uint8_t* Segments = nullptr;
  const uint8_t* Data = nullptr;
  int DataLength = 0;
};

// False when the packet is empty or shorter than its own header.
bool ParseRVPacket(const uint8_t* packet, int size, RVPacketLayout& layout);

// Bytes of one picture buffer for a W x H stream: the three planes, with room
// for a reader that takes the chroma planes of an odd size as rounded up.
int RVPictureBufferSize(int width, int height);

struct RVBridgeContext {
  RVBridgeContext() = default;
  // Closes whatever is still open.
  ~RVBridgeContext();
  RVBridgeContext(const RVBridgeContext&) = delete;
  RVBridgeContext& operator=(const RVBridgeContext&) = delete;

  RealVideoEntryPoints Library;  // copied from the bound slots at init
  RVDecoderHandle Handle = nullptr;
  // Each RVPictureBufferSize(Width, Height) bytes: the library decodes into
  // buffer 1; a smaller picture is enlarged through buffer 2.
  MediaObjects::MemoryPtr<uint8_t> Buffer1;
  MediaObjects::MemoryPtr<uint8_t> Buffer2;
  // The buffer the last picture was taken from: Buffer1 or Buffer2.
  const uint8_t* Source = nullptr;
  // Buffers of the handed-out pictures; freed once the last one comes back.
  MediaObjects::BufferPoolPtr Pictures;
  int Width = 0;  // the stream's picture, from the codec context
  int Height = 0;
};

// Opens the instance for the stream described by `codec` (codec identifier,
// width, height, extra data, codec tag, packet time base). Returns the status
// of the last library call, or -1 when the identifier is not RV30/RV40, the
// library is not bound, the size does not fit the library's 16-bit fields or
// exceeds 2^28 pixels, the extra data is too short for what it must hold, the
// library refuses, or a buffer cannot be allocated; on -1 nothing stays open.
// Sets the context's pixel format (YUV 4:2:0) and its output delay of one
// frame.
int rv_bridge_init(RVBridgeContext& context, AVCodecContext& codec);

// Decodes one packet into `picture` (reset first; see the file comment for its
// lifetime). Returns the packet size with gotPicture set, 0 for an empty
// packet (nothing to drain), or -1: for a packet shorter than its header, an
// exception in the library (logged on `codec`), a negative library status, a
// delivered picture that is empty or larger than the stream's (logged), or no
// memory for the picture.
int rv_bridge_decode(RVBridgeContext& context, AVCodecContext& codec, AVFrame& picture,
                     int& gotPicture, const AVPacket& packet);

// Frees the decoder handle and both buffers and lets the pool go (pictures
// still held elsewhere stay valid); safe to repeat. Returns 0.
int rv_bridge_close(RVBridgeContext& context);
