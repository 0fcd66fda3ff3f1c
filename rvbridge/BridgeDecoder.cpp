#include "rvbridge/BridgeDecoder.h"

namespace {

const BridgeDecoder Decoders[] = {
    {"veltorv30", "RealVideo 3.0", AV_CODEC_ID_RV30, rv_bridge_init, rv_bridge_decode,
     rv_bridge_close},
    {"veltorv40", "RealVideo 4.0", AV_CODEC_ID_RV40, rv_bridge_init, rv_bridge_decode,
     rv_bridge_close},
};

}  // namespace

const BridgeDecoder* FindBridgeDecoder(AVCodecID id) {
  if (!RealVideoDecoderRegistered(id)) return nullptr;
  for (const BridgeDecoder& decoder : Decoders)
    if (decoder.Id == id) return &decoder;
  return nullptr;
}
