#include "rvbridge/BridgeDecoder.h"

namespace {

AVCodec Description(const char* name, const char* longName, AVCodecID id) {
  AVCodec codec{};
  codec.name = name;
  codec.long_name = longName;
  codec.type = AVMEDIA_TYPE_VIDEO;
  codec.id = id;
  codec.capabilities = AV_CODEC_CAP_DR1 | AV_CODEC_CAP_DELAY;
  return codec;
}

const BridgeDecoder Decoders[] = {
    {Description("veltorv30", "RealVideo 3.0", AV_CODEC_ID_RV30), rv_bridge_init, rv_bridge_decode,
     rv_bridge_close},
    {Description("veltorv40", "RealVideo 4.0", AV_CODEC_ID_RV40), rv_bridge_init, rv_bridge_decode,
     rv_bridge_close},
};

}  // namespace

const BridgeDecoder* FindBridgeDecoder(AVCodecID id) {
  if (!RealVideoDecoderRegistered(id)) return nullptr;
  for (const BridgeDecoder& decoder : Decoders)
    if (decoder.Codec.id == id) return &decoder;
  return nullptr;
}

const BridgeDecoder* BridgeDecoderOf(const AVCodec* codec) {
  for (const BridgeDecoder& decoder : Decoders)
    if (codec == &decoder.Codec) return &decoder;
  return nullptr;
}
