// The bridge decoders "veltorv30" and "veltorv40": decoders of our own that
// stand beside the codec library's, since libavcodec cannot take codecs from
// outside. The engine's decoder look-up offers one where the library has no
// decoder for RealVideo 3.0/4.0 (its own are hidden) and the bridge decoder
// is registered; the engine then drives it through BridgeSessions with the
// calls it makes on a library decoder.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "rvbridge/RealVideoBridge.h"

struct BridgeDecoder {
  // Describes the decoder as the library describes its own (name, long name,
  // type, identifier, capabilities). A description only: libavcodec never
  // sees it, since it expects its private codec record behind every AVCodec.
  AVCodec Codec;
  int (*Init)(RVBridgeContext& context, AVCodecContext& codec);
  int (*Decode)(RVBridgeContext& context, AVCodecContext& codec, AVFrame& picture, int& gotPicture,
                const AVPacket& packet);
  int (*Close)(RVBridgeContext& context);
};

// The bridge decoder for RV30 or RV40 while it is registered (its decoder
// library loaded and bound); null otherwise. Any thread.
const BridgeDecoder* FindBridgeDecoder(AVCodecID id);
// The bridge decoder that `codec` describes; null for any other codec record.
const BridgeDecoder* BridgeDecoderOf(const AVCodec* codec);
