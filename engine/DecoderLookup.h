// The engine's one way to find a decoder. libavcodec's codec records are
// read-only, so the choice between the library's own RealVideo 3.0/4.0
// decoders and the RealVideo bridge is made here instead of in the library's
// registry: while the library's decoders are hidden, they are not found.
//
// The choice is the caller's (each engine holds its own), so tasks with
// different choices run side by side; any thread.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

// avcodec_find_decoder, except that the library's RealVideo 3.0/4.0 decoders
// give nullptr unless libraryRealVideo (the library's own "rv30"/"rv40" shown).
const AVCodec* FindLibraryDecoder(AVCodecID id, bool libraryRealVideo);
// avcodec_find_decoder_by_name with the same rule: a hidden decoder is not
// found under its name either.
const AVCodec* FindLibraryDecoderByName(const char* name, bool libraryRealVideo);
