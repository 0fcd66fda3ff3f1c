// The bridge decoders "veltorv30" and "veltorv40": decoders of our own that
// stand beside the codec library's, since libavcodec cannot take codecs from
// outside. The engine's decoder look-up offers one where the library has no
// decoder to give (its own RealVideo decoders hidden); the engine then calls
// it as it would call a library decoder:
//
//   RVBridgeContext context;                      // one per stream
//   decoder->Init(context, codec);                // codec: the stream's context
//   decoder->Decode(context, codec, frame, got, packet);  // per packet
//   decoder->Close(context);                      // or let context go
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "rvbridge/RealVideoBridge.h"

struct BridgeDecoder {
  const char* Name;
  const char* LongName;
  AVCodecID Id;
  int (*Init)(RVBridgeContext& context, AVCodecContext& codec);
  int (*Decode)(RVBridgeContext& context, AVCodecContext& codec, AVFrame& picture,
                int& gotPicture, const AVPacket& packet);
  int (*Close)(RVBridgeContext& context);
};

// The bridge decoder for RV30 or RV40 while it is registered (its decoder
// library loaded and bound); null otherwise. Any thread.
const BridgeDecoder* FindBridgeDecoder(AVCodecID id);
