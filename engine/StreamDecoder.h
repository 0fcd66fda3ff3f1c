// The decoder calls of the decoding path, kept in one place: the set-up finds
// and opens decoders here, the packet path feeds and drains them here, and
// the end of a run closes them here. Another decoder family (the RealVideo
// bridge) plugs in at these few functions. The caller holds CodecLock around
// opening and closing.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

// The decoder for a stream, through the engine's decoder look-up with the
// engine's RealVideo choice (see DecoderLookup.h); nullptr when there is none.
const AVCodec* FindStreamDecoder(const AVCodecParameters* parameters, bool libraryRealVideo);
// avcodec_open2 semantics: negative on failure.
int OpenStreamDecoder(AVCodecContext* context, const AVCodec* decoder);
// avcodec_send_packet semantics; packet nullptr starts the drain.
int SendToDecoder(AVCodecContext* context, const AVPacket* packet);
// avcodec_receive_frame semantics.
int ReceiveFromDecoder(AVCodecContext* context, AVFrame* frame);
// Ends a bridge decoder's session; a library decoder is closed when its
// context is freed (avcodec_free_context), which the context's owner does.
void CloseStreamDecoder(AVCodecContext* context);
