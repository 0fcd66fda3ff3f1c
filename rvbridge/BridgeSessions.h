// Bridge decoders opened on the engine's codec contexts, driven with the
// send/receive calls of a library decoder (avcodec_send_packet and
// avcodec_receive_frame semantics), so that the decoding path treats both
// alike.
//
// A context that the bridge opened is never opened by libavcodec; the open
// sessions are kept in a registry under its own lock, each used by the one
// thread that decodes its stream. A received picture is reference-counted
// like a library decoder's and stays valid for as long as it is held.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "rvbridge/BridgeDecoder.h"

// Opens `decoder` on the stream's codec context; negative on failure, when
// nothing stays open.
int OpenBridgeDecoder(const BridgeDecoder& decoder, AVCodecContext& context);
// True while a bridge decoder is open on the context.
bool BridgeDecoderOpen(const AVCodecContext& context);
// packet null or empty: the end of the stream. AVERROR(EAGAIN) while a
// picture waits to be received; AVERROR_INVALIDDATA for a packet the decoder
// refused; AVERROR_EOF after the end; AVERROR(EINVAL) when no bridge decoder
// is open on the context.
int SendToBridge(AVCodecContext& context, const AVPacket* packet);
// The waiting picture, else AVERROR(EAGAIN), or AVERROR_EOF once the end was
// sent. `frame` is reset first.
int ReceiveFromBridge(AVCodecContext& context, AVFrame& frame);
// Closes the bridge decoder of the context; nothing when none is open.
void CloseBridgeDecoder(AVCodecContext& context);
