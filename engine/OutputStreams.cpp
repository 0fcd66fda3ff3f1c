// The streams of an output being created. Each stream's encoder context is
// made here from the option fields and kept in OutputCodecs; the transcode
// opens it. The per-stream option fields apply to one stream only.
#include <algorithm>
#include <climits>
#include <utility>

#include "engine/FFmpegHlpr.h"
#include "engine/OutputStreamRules.h"
#include "engine/OutputTags.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/VersionedCalls.h"

namespace {

// Adds a stream and its still empty codec slot; raises when the output holds
// as many streams as the tables can.
AVStream* NewStream(AVFormatContext* output) {
  if (output->nb_streams >= static_cast<unsigned>(MaxStreamsPerFile))
    throw FFMpegException("Could not alloc stream");
  AVStream* stream = AVF.avformat_new_stream(output, nullptr);
  if (!stream) throw FFMpegException("Could not alloc stream");
  return stream;
}

// The encoder that a codec name (or else the codec id) stands for.
const AVCodec* EncoderFor(const std::string& name, AVCodecID id) {
  if (!name.empty()) return AVC.avcodec_find_encoder_by_name(name.c_str());
  return id == AV_CODEC_ID_NONE ? nullptr : AVC.avcodec_find_encoder(id);
}

// A context for `encoder` (so that its private options exist), or a plain
// one when there is none.
MediaObjects::CodecContextPtr NewCodecContext(const AVCodec* encoder, AVMediaType type,
                                              AVCodecID id) {
  MediaObjects::CodecContextPtr context(AVC.avcodec_alloc_context3(encoder));
  if (!context) throw FFMpegException("Could not alloc stream");
  context->codec_type = type;
  context->codec_id = id;
  return context;
}

// A library buffer of `count` elements, for a codec context field (the
// context frees it); raises when there is no memory.
template <typename T>
MediaObjects::MemoryPtr<T> NewLibraryArray(size_t count) {
  MediaObjects::MemoryPtr<T> array(static_cast<T*>(AVU.av_malloc(count * sizeof(T))));
  if (!array) throw FFMpegException("Could not alloc stream");
  return array;
}

// Hands `array` to a codec context field, freeing what the field held.
template <typename T>
void HandTo(T*& field, MediaObjects::MemoryPtr<T> array) {
  const MediaObjects::MemoryPtr<T> previous(std::exchange(field, array.release()));
}

void SetLanguage(AVStream* stream, std::string& language) {
  if (language.empty()) return;
  AVU.av_dict_set(&stream->metadata, "language", language.substr(0, 3).c_str(), 0);
  language.clear();
}

}  // namespace

void TCustomFFmpegHlpr::new_audio_stream(AVFormatContext* output) {
  try {
    AVStream* stream = NewStream(output);
    const int file = OutputFileCount;
    BitstreamFilters[file][stream->index] = std::move(AudioBitstreamFilters);
    AudioBitstreamFilters.clear();
    StreamCodec& codec = OutputCodecs[file][stream->index];

    AVCodecID id = AV_CODEC_ID_NONE;
    if (!AudioStreamCopy) {
      id = AVF.av_guess_codec(output->oformat, nullptr, output->url, nullptr, AVMEDIA_TYPE_AUDIO);
      if (!AudioCodecName.empty() && !FindCodecByName(AudioCodecName, AVMEDIA_TYPE_AUDIO, true, id))
        throw FFMpegException(LastError);
    }
    codec.Context = NewCodecContext(AudioStreamCopy ? nullptr : EncoderFor(AudioCodecName, id),
                                    AVMEDIA_TYPE_AUDIO, id);
    AVCodecContext* context = codec.Context.get();
    context->thread_count = ThreadCount;
    context->strict_std_compliance = StrictStd;
    if (AudioCodecTag) context->codec_tag = static_cast<unsigned>(AudioCodecTag);
    if (output->oformat->flags & AVFMT_GLOBALHEADER) {
      context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      if (CodecOptions[AVMEDIA_TYPE_AUDIO])
        CodecOptions[AVMEDIA_TYPE_AUDIO]->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (AudioStreamCopy) {
      codec.StreamCopy = true;
    } else {
      ApplyRecordedOptions(CodecOptions[AVMEDIA_TYPE_AUDIO].get(), context,
                           AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
      if (AudioQScale > -99999) {
        context->flags |= AV_CODEC_FLAG_QSCALE;
        codec.Quality = FF_QP2LAMBDA * AudioQScale;
        context->global_quality = static_cast<int>(codec.Quality);
      }
    }
    if (AudioChannels > 0) {
      MediaObjects::SetDefaultLayout(context->ch_layout, AudioChannels);
    }
    context->sample_rate = AudioSampleRate;
    if (AudioSampleRate > 0) context->time_base = {1, AudioSampleRate};
    stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    stream->codecpar->codec_id = id;
    stream->time_base = context->time_base;
    SetLanguage(stream, AudioLanguage);
  } catch (...) {
    AudioCodecName.clear();
    AudioLanguage.clear();
    throw;
  }
  AudioDisable = 0;
  AudioCodecName.clear();
  AudioStreamCopy = 0;
}

void TCustomFFmpegHlpr::new_video_stream(AVFormatContext* output) {
  try {
    AVStream* stream = NewStream(output);
    const int file = OutputFileCount;
    BitstreamFilters[file][stream->index] = std::move(VideoBitstreamFilters);
    VideoBitstreamFilters.clear();
    StreamCodec& codec = OutputCodecs[file][stream->index];

    AVCodecID id = AV_CODEC_ID_NONE;
    const AVCodec* encoder = nullptr;
    if (!VideoStreamCopy) {
      if (VideoCodecName.empty())
        id = AVF.av_guess_codec(output->oformat, nullptr, output->url, nullptr, AVMEDIA_TYPE_VIDEO);
      else if (!FindCodecByName(VideoCodecName, AVMEDIA_TYPE_VIDEO, true, id))
        throw FFMpegException(LastError);
      encoder = EncoderFor(VideoCodecName, id);
    }
    codec.Context = NewCodecContext(encoder, AVMEDIA_TYPE_VIDEO, id);
    AVCodecContext* context = codec.Context.get();
    context->thread_count = ThreadCount;
    if (VideoCodecTag) context->codec_tag = static_cast<unsigned>(VideoCodecTag);
    AVCodecContext* options = CodecOptions[AVMEDIA_TYPE_VIDEO].get();
    if ((VideoGlobalHeader & 1) ||
        (VideoGlobalHeader == 0 && (output->oformat->flags & AVFMT_GLOBALHEADER))) {
      context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      if (options) options->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (VideoGlobalHeader & 2) {
      context->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
      if (options) options->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    }
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = id;

    if (VideoStreamCopy)
      codec.StreamCopy = true;
    else
      SetUpVideoEncoder(stream, codec, encoder);
  } catch (...) {
    VideoCodecName.clear();
    throw;
  }
  VideoDisable = 0;
  VideoCodecName.clear();
  VideoStreamCopy = 0;
}

void TCustomFFmpegHlpr::SetUpVideoEncoder(AVStream* stream, StreamCodec& codec,
                                          const AVCodec* encoder) {
  AVCodecContext* context = codec.Context.get();
  const AVRational wanted =
      FrameRate.num != 0 && FrameRate.den != 0 ? FrameRate : AVRational{25, 1};
  ApplyRecordedOptions(CodecOptions[AVMEDIA_TYPE_VIDEO].get(), context,
                       AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  const AVRational rate = ClosestFrameRate(wanted, VersionedCalls::SupportedFrameRates(encoder));
  context->framerate = rate;
  context->time_base = av_inv_q(rate);
  stream->time_base = context->time_base;

  context->width = FrameWidth + FramePadRight + FramePadLeft;
  context->height = FrameHeight + FramePadTop + FramePadBottom;
  context->sample_aspect_ratio =
      context->width > 0
          ? AVU.av_d2q(double(context->height) * FrameAspectRatio / context->width, 255)
          : AVRational{0, 1};
  stream->sample_aspect_ratio = context->sample_aspect_ratio;

  context->pix_fmt = static_cast<AVPixelFormat>(FramePixFmt);
  if (const AVPixelFormat* formats = VersionedCalls::SupportedPixelFormats(encoder)) {
    const AVPixelFormat* format = formats;
    while (*format != AV_PIX_FMT_NONE && *format != context->pix_fmt) ++format;
    if (*format == AV_PIX_FMT_NONE) context->pix_fmt = formats[0];
  }
  if (IntraOnly) context->gop_size = 0;
  if (VideoQScale != 0 || SameQuality) {
    context->flags |= AV_CODEC_FLAG_QSCALE;
    codec.Quality = FF_QP2LAMBDA * VideoQScale;
    context->global_quality = static_cast<int>(codec.Quality);
  }
  const auto copyMatrix = [](const std::vector<uint16_t>& matrix, uint16_t*& target) {
    if (matrix.empty()) return;
    MediaObjects::MemoryPtr<uint16_t> table = NewLibraryArray<uint16_t>(64);
    std::fill_n(table.get(), 64, uint16_t{16});
    std::copy_n(matrix.begin(), std::min<size_t>(matrix.size(), 64), table.get());
    HandTo(target, std::move(table));
  };
  copyMatrix(IntraMatrix, context->intra_matrix);
  copyMatrix(InterMatrix, context->inter_matrix);
  context->max_qdiff = VideoQDiff;

  if (!VideoRcOverride.empty()) {
    const std::vector<RcOverride> overrides = ParseRcOverride(VideoRcOverride);
    MediaObjects::MemoryPtr<RcOverride> table = NewLibraryArray<RcOverride>(overrides.size());
    std::copy(overrides.begin(), overrides.end(), table.get());
    HandTo(context->rc_override, std::move(table));
    context->rc_override_count = static_cast<int>(overrides.size());
  }
  if (context->rc_initial_buffer_occupancy == 0)
    context->rc_initial_buffer_occupancy = context->rc_buffer_size * 3 / 4;
  context->intra_dc_precision = IntraDcPrecision - 8;
  context->strict_std_compliance = StrictStd;
  if (ComputePsnr) context->flags |= AV_CODEC_FLAG_PSNR;
  if (PassNumber == 1)
    context->flags |= AV_CODEC_FLAG_PASS1;
  else if (PassNumber != 0)
    context->flags |= AV_CODEC_FLAG_PASS2;
}

void TCustomFFmpegHlpr::new_subtitle_stream(AVFormatContext* output) {
  try {
    AVStream* stream = NewStream(output);
    const int file = OutputFileCount;
    BitstreamFilters[file][stream->index] = std::move(SubtitleBitstreamFilters);
    SubtitleBitstreamFilters.clear();
    StreamCodec& codec = OutputCodecs[file][stream->index];

    AVCodecID id = AV_CODEC_ID_NONE;
    if (!SubtitleStreamCopy) {
      // Like its audio and video twins, a stream without a codec name takes
      // the format's default encoder; an id of none could never be opened.
      if (SubtitleCodecName.empty())
        id = AVF.av_guess_codec(output->oformat, nullptr, output->url, nullptr,
                                AVMEDIA_TYPE_SUBTITLE);
      else if (!FindCodecByName(SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, true, id))
        throw FFMpegException(LastError);
    }
    codec.Context =
        NewCodecContext(SubtitleStreamCopy ? nullptr : EncoderFor(SubtitleCodecName, id),
                        AVMEDIA_TYPE_SUBTITLE, id);
    if (SubtitleStreamCopy)
      codec.StreamCopy = true;
    else
      ApplyRecordedOptions(CodecOptions[AVMEDIA_TYPE_SUBTITLE].get(), codec.Context.get(),
                           AV_OPT_FLAG_SUBTITLE_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    stream->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
    stream->codecpar->codec_id = id;
    SetLanguage(stream, SubtitleLanguage);
  } catch (...) {
    SubtitleCodecName.clear();
    SubtitleLanguage.clear();
    throw;
  }
  SubtitleDisable = 0;
  SubtitleCodecName.clear();
  SubtitleStreamCopy = 0;
}

void TCustomFFmpegHlpr::AddCover(AVFormatContext* output, const AVStream* cover,
                                 const std::string& fileName) {
  switch (CoverCarrierOf(output->oformat)) {
    case CoverCarrier::Stream: {
      // A copied stream marked as the attached picture; the run takes its
      // parameters and its one packet from the source's cover.
      AVStream* stream = NewStream(output);
      StreamCodec& codec = OutputCodecs[OutputFileCount][stream->index];
      codec.Context = NewCodecContext(nullptr, AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_NONE);
      codec.StreamCopy = true;
      stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
      stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
      CopyCoverKind(cover, stream);
      return;
    }
    case CoverCarrier::CommentTag: {
      const std::string block = PictureBlockTag(cover);
      AVStream* audio = nullptr;
      for (unsigned i = 0; i < output->nb_streams && !audio; ++i)
        if (output->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
          audio = output->streams[i];
      if (!block.empty() && audio) {
        AVU.av_dict_set(&audio->metadata, "METADATA_BLOCK_PICTURE", block.c_str(), 0);
        return;
      }
      break;
    }
    case CoverCarrier::None:
      break;
  }
  LogF(1, "%s: the cover picture was left out; %s files cannot hold it here", fileName.c_str(),
       output->oformat->name);
}
