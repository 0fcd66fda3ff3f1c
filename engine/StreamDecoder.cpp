#include "engine/StreamDecoder.h"

#include "engine/DecoderLookup.h"
#include "medialib/AVCodecHlpr.h"
#include "rvbridge/BridgeSessions.h"

const AVCodec* FindStreamDecoder(const AVCodecParameters* parameters, bool libraryRealVideo) {
  if (const AVCodec* codec = FindLibraryDecoder(parameters->codec_id, libraryRealVideo))
    return codec;
  // The library has none for this stream (its RealVideo decoders may be
  // hidden): the RealVideo bridge's, while it is registered.
  const BridgeDecoder* bridge = FindBridgeDecoder(parameters->codec_id);
  return bridge ? &bridge->Codec : nullptr;
}

int OpenStreamDecoder(AVCodecContext* context, const AVCodec* decoder) {
  if (const BridgeDecoder* bridge = BridgeDecoderOf(decoder))
    return OpenBridgeDecoder(*bridge, *context);
  return AVC.avcodec_open2(context, decoder, nullptr);
}

int SendToDecoder(AVCodecContext* context, const AVPacket* packet) {
  if (BridgeDecoderOpen(*context)) return SendToBridge(*context, packet);
  return AVC.avcodec_send_packet(context, packet);
}

int ReceiveFromDecoder(AVCodecContext* context, AVFrame* frame) {
  if (BridgeDecoderOpen(*context)) return ReceiveFromBridge(*context, *frame);
  return AVC.avcodec_receive_frame(context, frame);
}

void CloseStreamDecoder(AVCodecContext* context) { CloseBridgeDecoder(*context); }
