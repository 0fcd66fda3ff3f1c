#include "engine/StreamDecoder.h"

#include "engine/DecoderLookup.h"
#include "medialib/AVCodecHlpr.h"

const AVCodec* FindStreamDecoder(const AVCodecParameters* parameters) {
  return FindLibraryDecoder(parameters->codec_id);
}

int OpenStreamDecoder(AVCodecContext* context, const AVCodec* decoder) {
  return AVC.avcodec_open2(context, decoder, nullptr);
}

int SendToDecoder(AVCodecContext* context, const AVPacket* packet) {
  return AVC.avcodec_send_packet(context, packet);
}

int ReceiveFromDecoder(AVCodecContext* context, AVFrame* frame) {
  return AVC.avcodec_receive_frame(context, frame);
}

void CloseStreamDecoder(AVCodecContext* context) { AVC.avcodec_close(context); }
