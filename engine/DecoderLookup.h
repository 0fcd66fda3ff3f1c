// The engine's one way to find a decoder. libavcodec's codec records are
// read-only, so the choice between the library's own RealVideo 3.0/4.0
// decoders and the RealVideo bridge is made here instead of in the library's
// registry: while the library's decoders are hidden, they are not found.
//
// The choice is process-wide (it holds for every task until changed) and may
// be read from any thread.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

// true: the library's own "rv30"/"rv40" decoders are found (the default);
// false: they are hidden.
void ShowLibraryRealVideoDecoders(bool show);
bool LibraryRealVideoDecodersShown();

// avcodec_find_decoder, except that the library's RealVideo 3.0/4.0 decoders
// give nullptr while they are hidden.
const AVCodec* FindLibraryDecoder(AVCodecID id);
// avcodec_find_decoder_by_name with the same rule: a hidden decoder is not
// found under its name either.
const AVCodec* FindLibraryDecoderByName(const char* name);
