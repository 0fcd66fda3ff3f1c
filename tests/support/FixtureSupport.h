// What the fixture libraries share: failure reports, owners of the library
// objects, a quiet log while fixtures are made, an output file being written
// and an opened input. Reached through the run-time tables only.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "medialib/LibraryObjects.h"

namespace FixtureSupport {

// Throws std::runtime_error naming the step, the file and, for a negative
// code, the library's error text.
[[noreturn]] inline void Fail(const std::string& what, const std::string& path, int code = 0) {
  std::string message = what + " (" + path + ")";
  if (code < 0) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    AVU.av_strerror(code, text, sizeof text);
    message += std::string(": ") + text;
  }
  throw std::runtime_error(message);
}

inline void Check(int code, const std::string& what, const std::string& path) {
  if (code < 0) Fail(what, path, code);
}

// Making and checking fixtures is not what a test looks at: keep the
// library's chatter down meanwhile, and give the level back afterwards.
class QuietLibraries {
 public:
  QuietLibraries() : Saved(AVU.av_log_get_level()) { AVU.av_log_set_level(AV_LOG_ERROR); }
  ~QuietLibraries() { AVU.av_log_set_level(Saved); }
  QuietLibraries(const QuietLibraries&) = delete;
  QuietLibraries& operator=(const QuietLibraries&) = delete;

 private:
  int Saved;
};

using MediaObjects::CodecContextPtr;
using MediaObjects::FramePtr;
using MediaObjects::InputPtr;
using MediaObjects::PacketPtr;
using MediaObjects::ResamplerPtr;

// An output file being written; closes and frees whatever was made.
class Output {
 public:
  Output(const std::string& path, const char* formatName) : Path(path) {
    AVFormatContext* created = nullptr;
    const int allocated =
        AVF.avformat_alloc_output_context2(&created, nullptr, formatName, path.c_str());
    Context.reset(created);
    Check(allocated, "no output format", path);
    // The same bytes on every run (no random stream serials, no dates), so
    // that the fuzzer's seeds, made from these files, give a repeatable pass.
    Context->flags |= AVFMT_FLAG_BITEXACT;
  }

  // Creates the file (unless the format writes none) and writes the header,
  // once every stream has been added.
  void Open() {
    if (!(Context->oformat->flags & AVFMT_NOFILE))
      Check(AVF.avio_open2(&Context->pb, Path.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr),
            "cannot create", Path);
    Check(AVF.avformat_write_header(Context.get(), nullptr), "cannot write the header", Path);
  }

  MediaObjects::OutputPtr Context;
  std::string Path;
};

// An input opened and probed.
inline InputPtr OpenInput(const std::string& path) {
  AVFormatContext* raw = nullptr;
  Check(AVF.avformat_open_input(&raw, path.c_str(), nullptr, nullptr), "cannot open", path);
  InputPtr input(raw);
  Check(AVF.avformat_find_stream_info(raw, nullptr), "cannot find stream parameters", path);
  return input;
}

// The first stream of `type` in `input`, with a decoder opened for it.
struct FirstStreamDecoder {
  int index = -1;
  CodecContextPtr decoder;
};

inline FirstStreamDecoder OpenFirstDecoder(AVFormatContext* input, AVMediaType type,
                                           const std::string& path) {
  FirstStreamDecoder result;
  for (unsigned i = 0; i < input->nb_streams && result.index < 0; ++i)
    if (input->streams[i]->codecpar->codec_type == type) result.index = static_cast<int>(i);
  if (result.index < 0)
    Fail(type == AVMEDIA_TYPE_AUDIO ? "no audio stream" : "no video stream", path);
  const AVCodecParameters* par = input->streams[result.index]->codecpar;
  const AVCodec* codec = AVC.avcodec_find_decoder(par->codec_id);
  if (!codec) Fail("no decoder", path);
  result.decoder.reset(AVC.avcodec_alloc_context3(codec));
  if (!result.decoder) Fail("cannot allocate a decoder", path);
  Check(AVC.avcodec_parameters_to_context(result.decoder.get(), par), "decoder parameters", path);
  Check(AVC.avcodec_open2(result.decoder.get(), codec, nullptr), "cannot open the decoder", path);
  return result;
}

}  // namespace FixtureSupport
