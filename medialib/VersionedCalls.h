// The few calls whose interface differs between FFmpeg 5.1 and 7.1. Each
// follows the newer interface when the headers we build with have it and the
// older one otherwise, so that callers need no version checks of their own.
// All need the libraries bound; any thread.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace VersionedCalls {

// What an encoder accepts, as the library's own list (ended by AV_PIX_FMT_NONE,
// AV_SAMPLE_FMT_NONE, {0, 0}, 0 or a zeroed layout), or nullptr when it accepts anything. The
// list belongs to the library and lives as long as it stays loaded.
const AVPixelFormat* SupportedPixelFormats(const AVCodec* codec);
const AVSampleFormat* SupportedSampleFormats(const AVCodec* codec);
const AVRational* SupportedFrameRates(const AVCodec* codec);
const int* SupportedSampleRates(const AVCodec* codec);
const AVChannelLayout* SupportedChannelLayouts(const AVCodec* codec);

// Adds (or replaces) a side-data record of the stream's codec parameters and
// returns its buffer of size bytes, owned by the stream; nullptr when
// out of memory.
uint8_t* NewStreamSideData(AVStream* stream, AVPacketSideDataType type, size_t size);

// A frame's interlacing: flags since FFmpeg 6.1, fields before.
bool IsInterlaced(const AVFrame* frame);
bool IsTopFieldFirst(const AVFrame* frame);
void SetInterlaced(AVFrame* frame, bool interlaced);
void SetTopFieldFirst(AVFrame* frame, bool topFieldFirst);

}  // namespace VersionedCalls
