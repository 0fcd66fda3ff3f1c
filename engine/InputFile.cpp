// Opening an input: the container is opened and probed, each stream gets its
// codec context, and the input's parameters flow back into the option fields
// so that an output created afterwards takes them over.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "engine/LocalFileNames.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"

namespace {

struct InputClose {
  void operator()(AVFormatContext* context) const { AVF.avformat_close_input(&context); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputClose>;

struct DictionaryFree {
  void operator()(AVDictionary* dictionary) const { AVU.av_dict_free(&dictionary); }
};

// The input's interrupt callback: a stop ends a blocked read as well, and so
// does a packet read that goes on too long (a parser that finds no frame in
// garbage gathers everything it reads in memory).
int InterruptOnStop(void* opaque) {
  const auto* engine = static_cast<TCustomFFmpegHlpr*>(opaque);
  if (engine->StopRequested) return 1;
  const AVFormatContext* reading = engine->ReadingInput;
  return reading && reading->pb &&
                 reading->pb->bytes_read - engine->ReadingFrom >
                     TCustomFFmpegHlpr::MaxBytesPerPacket
             ? 1
             : 0;
}

// The extension as the user sees it: from the last dot of the last path
// element, dot included, lower-cased; empty when there is none.
std::string Extension(const std::string& name) {
  const size_t slash = name.rfind('/');
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = name.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

// RealMedia streams may not state their pixel format: ".rm", ".rmv", ".rmvb"
// (and any other leading part of ".rmvb") mean planar YUV 4:2:0.
bool IsRealMediaName(const std::string& name) {
  const std::string extension = Extension(name);
  return !extension.empty() && std::string(".rmvb").rfind(extension, 0) == 0;
}

// avformat_open_input says "invalid data" both when no demuxer knows the
// file and when the one that does fails on its header; the user is told which.
int ClassifyInvalidData(const std::string& fileName, int code) {
  if (code != AVERROR_INVALIDDATA && code != AVERROR(EINVAL)) return code;
  struct stat info;
  if (stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0)
    return AVERROR_EOF;  // nothing at all: truncated
  constexpr size_t ProbeSize = 1 << 16;
  std::vector<unsigned char> buffer(ProbeSize + AVPROBE_PADDING_SIZE, 0);
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (!file) return code;
  const size_t read = std::fread(buffer.data(), 1, ProbeSize, file);
  std::fclose(file);
  // Only the content counts: a file is not of a format because of its name.
  char noName[] = "";
  AVProbeData probe{noName, buffer.data(), static_cast<int>(read), nullptr};
  int score = AVPROBE_SCORE_RETRY;
  return AVF.av_probe_input_format2(&probe, 1, &score) ? AVERROR_INVALIDDATA
                                                       : AVERROR_DEMUXER_NOT_FOUND;
}

// What a file that is not a regular one is, in the user's words.
const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

// The input, opened for reading before the library sees it: only a regular
// file is taken. The name is examined first, so that a device is never
// opened at all; the opening itself cannot block (a FIFO without a writer
// would), and what was opened is examined again, since the name may have
// changed hands meanwhile. The library then opens the file by its name, since
// its format detection looks at the extension.
class RegularInput {
 public:
  ~RegularInput() {
    if (Descriptor >= 0) close(Descriptor);
  }
  // False with `message` set when the file cannot be taken.
  bool Open(const std::string& fileName, std::string& message) {
    message.clear();
    struct stat info;
    if (stat(fileName.c_str(), &info) != 0 || !IsRegular(fileName, info, message)) {
      if (message.empty()) message = TCustomFFmpegHlpr::OpenErrorMessage(fileName, AVERROR(errno));
      return false;
    }
    Descriptor = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (Descriptor < 0 || fstat(Descriptor, &info) != 0) {
      message = TCustomFFmpegHlpr::OpenErrorMessage(fileName, AVERROR(errno));
      return false;
    }
    return IsRegular(fileName, info, message);
  }

 private:
  static bool IsRegular(const std::string& fileName, const struct stat& info,
                        std::string& message) {
    if (S_ISREG(info.st_mode)) return true;
    message = fileName + ": is " + KindOfFile(info.st_mode) + ", not a regular file";
    return false;
  }
  int Descriptor = -1;
};

void FreeCodecs(std::vector<StreamCodec>& codecs) {
  for (StreamCodec& codec : codecs) AVC.avcodec_free_context(&codec.Context);
  codecs.clear();
}

}  // namespace

bool TCustomFFmpegHlpr::OpenInputFile(const std::string& fileName) {
  // The per-file options apply to this file only, whatever the outcome.
  struct ConsumeFileOptions {
    TCustomFFmpegHlpr& engine;
    ~ConsumeFileOptions() {
      engine.ForcedInputFormat = nullptr;
      engine.ForcedOutputFormat = nullptr;
      engine.VideoChannel = 0;
      engine.RateEmu = 0;
      engine.VideoCodecName.clear();
      engine.AudioCodecName.clear();
      engine.SubtitleCodecName.clear();
    }
  } consume{*this};

  if (InputFileCount >= MaxFiles) {
    LastError = fileName + ": too many input files (at most " + std::to_string(MaxFiles) + ")";
    return false;
  }
  const std::string url = LocalFileUrl(fileName);
  if (url.empty()) {
    LastError = OpenErrorMessage(fileName, AVERROR_PROTOCOL_NOT_FOUND);
    return false;
  }
  RegularInput file;
  if (!file.Open(fileName, LastError)) return false;

  AVCodecID videoId, audioId, subtitleId;
  if (!FindCodecByName(VideoCodecName, AVMEDIA_TYPE_VIDEO, false, videoId) ||
      !FindCodecByName(AudioCodecName, AVMEDIA_TYPE_AUDIO, false, audioId) ||
      !FindCodecByName(SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, false, subtitleId))
    return false;
  if (PgmYuvCompatibility) videoId = AV_CODEC_ID_PGMYUV;

  AVFormatContext* context = AVF.avformat_alloc_context();
  if (!context) {
    LastError = OpenErrorMessage(fileName, AVERROR(ENOMEM));
    return false;
  }
  // What the old format parameters told a headerless input (raw audio or
  // video) is given to its demuxer as options; demuxers that read their
  // parameters from the file leave them unused.
  AVDictionary* rawOptions = nullptr;
  AVU.av_dict_set(&rawOptions, "protocol_whitelist", "file", 0);
  if (AudioSampleRate > 0)
    AVU.av_dict_set(&rawOptions, "sample_rate", std::to_string(AudioSampleRate).c_str(), 0);
  if (AudioChannels > 0) {
    AVChannelLayout layout{};
    AVU.av_channel_layout_default(&layout, AudioChannels);
    char text[64] = {};
    AVU.av_channel_layout_describe(&layout, text, sizeof text);
    AVU.av_channel_layout_uninit(&layout);
    AVU.av_dict_set(&rawOptions, "ch_layout", text, 0);
  }
  const int width = FrameWidth + FramePadLeft + FramePadRight;
  const int height = FrameHeight + FramePadTop + FramePadBottom;
  if (width > 0 && height > 0)
    AVU.av_dict_set(&rawOptions, "video_size",
                    (std::to_string(width) + "x" + std::to_string(height)).c_str(), 0);
  if (FramePixFmt >= 0)
    if (const char* pixelFormat = AVU.av_get_pix_fmt_name(static_cast<AVPixelFormat>(FramePixFmt)))
      AVU.av_dict_set(&rawOptions, "pixel_format", pixelFormat, 0);
  if (FrameRate.num > 0 && FrameRate.den > 0)
    AVU.av_dict_set(&rawOptions, "framerate",
                    (std::to_string(FrameRate.num) + "/" + std::to_string(FrameRate.den)).c_str(),
                    0);
  if (VideoChannel != 0)
    AVU.av_dict_set(&rawOptions, "channel", std::to_string(VideoChannel).c_str(), 0);
  if (!VideoStandard.empty()) AVU.av_dict_set(&rawOptions, "standard", VideoStandard.c_str(), 0);
  std::unique_ptr<AVDictionary, DictionaryFree> options(rawOptions);

  ApplyRecordedOptions(FormatOptions, context, AV_OPT_FLAG_DECODING_PARAM);
  context->video_codec_id = videoId;
  context->audio_codec_id = audioId;
  context->subtitle_codec_id = subtitleId;
  context->interrupt_callback = {InterruptOnStop, this};

  AVDictionary* leftOver = options.release();
  const int opened = AVF.avformat_open_input(&context, url.c_str(), ForcedInputFormat, &leftOver);
  options.reset(leftOver);
  if (opened < 0) {  // the library has freed the context
    LastError = OpenErrorMessage(
        fileName, ForcedInputFormat ? opened : ClassifyInvalidData(fileName, opened));
    return false;
  }
  InputPtr input(context);
  if (url != fileName) {  // the caller reads the name back from the context
    AVU.av_free(context->url);
    context->url = AVU.av_strdup(fileName.c_str());
  }

  if (ProgramId != 0)
    for (unsigned i = 0; i < context->nb_programs; ++i)
      if (context->programs[i]->id != ProgramId) context->programs[i]->discard = AVDISCARD_ALL;

  int probed;
  {
    std::lock_guard<std::mutex> lock(*CodecLock);
    // The probe limit counts packets; reading that finds none is bounded too.
    ReadingInput = context;
    ReadingFrom = context->pb ? context->pb->bytes_read : 0;
    probed = AVF.avformat_find_stream_info(context, nullptr);
    ReadingInput = nullptr;
  }
  if (probed < 0 && Verbose >= 0) {
    LastError = fileName + ": could not find codec parameters";
    return false;
  }

  int64_t timestamp = StartTime;
  if (context->start_time != AV_NOPTS_VALUE) timestamp += context->start_time;
  if (StartTime != 0) {
    AVF.av_seek_frame(context, -1, timestamp, AVSEEK_FLAG_BACKWARD);
    StartTime = 0;
  }

  std::vector<StreamCodec> codecs(context->nb_streams);
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    AVStream* stream = context->streams[i];
    const AVCodecParameters* parameters = stream->codecpar;
    StreamCodec& codec = codecs[i];
    codec.Context = AVC.avcodec_alloc_context3(nullptr);
    if (!codec.Context || AVC.avcodec_parameters_to_context(codec.Context, parameters) < 0) {
      FreeCodecs(codecs);
      LastError = OpenErrorMessage(fileName, AVERROR(ENOMEM));
      return false;
    }
    AVCodecContext* decoder = codec.Context;
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = ThreadCount;
    switch (parameters->codec_type) {
      case AVMEDIA_TYPE_VIDEO: {
        ApplyRecordedOptions(CodecOptions[AVMEDIA_TYPE_VIDEO], decoder,
                             AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
        FrameHeight = parameters->height;
        FrameWidth = parameters->width;
        const AVRational aspect = stream->sample_aspect_ratio.num ? stream->sample_aspect_ratio
                                                                  : parameters->sample_aspect_ratio;
        FrameAspectRatio =
            aspect.den != 0 && parameters->height != 0
                ? static_cast<float>(av_q2d(aspect) * parameters->width / parameters->height)
                : 0.0f;
        if (decoder->pix_fmt == AV_PIX_FMT_NONE && IsRealMediaName(fileName))
          decoder->pix_fmt = AV_PIX_FMT_YUV420P;
        FramePixFmt = decoder->pix_fmt;
        // FFmpeg 7 gives field-coded video (MPEG-1/2, H.264) the field rate as
        // r_frame_rate; the library's guess is the frame rate on 5.1 and 7.1.
        FrameRate = AVF.av_guess_frame_rate(context, stream, nullptr);
        codec.RateEmu = RateEmu != 0;
        if (VideoDisable)
          stream->discard = AVDISCARD_ALL;
        else if (VideoDiscard != 0)
          stream->discard = static_cast<AVDiscard>(VideoDiscard);
        break;
      }
      case AVMEDIA_TYPE_AUDIO:
        ApplyRecordedOptions(CodecOptions[AVMEDIA_TYPE_AUDIO], decoder,
                             AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
        AudioChannels = parameters->ch_layout.nb_channels;
        AudioSampleRate = parameters->sample_rate;
        codec.RateEmu = RateEmu != 0;
        if (AudioDisable) stream->discard = AVDISCARD_ALL;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        if (SubtitleDisable) stream->discard = AVDISCARD_ALL;
        break;
      case AVMEDIA_TYPE_UNKNOWN:
      case AVMEDIA_TYPE_DATA:
      case AVMEDIA_TYPE_ATTACHMENT:
        break;
      default:
        FreeCodecs(codecs);
        throw FFMpegException("invalid codec_type");
    }
  }

  if (context->duration != AV_NOPTS_VALUE) {
    const int64_t milliseconds = context->duration / 1000;
    if (TotalDuration < milliseconds) TotalDuration = static_cast<int>(milliseconds);
  }

  InputFiles[InputFileCount] = input.release();
  InputCodecs[InputFileCount] = std::move(codecs);
  InputTsOffset[InputFileCount] = CopyTimestamps ? InputTimeOffset : InputTimeOffset - timestamp;
  if (Verbose >= 0) AVF.av_dump_format(context, InputFileCount, fileName.c_str(), 0);
  ++InputFileCount;
  return true;
}

void TCustomFFmpegHlpr::check_audio_video_sub_inputs(bool& hasVideo, bool& hasAudio,
                                                     bool& hasSubtitle) {
  hasVideo = hasAudio = hasSubtitle = false;
  for (int i = 0; i < InputFileCount; ++i) {
    const AVFormatContext* input = InputFiles[i];
    for (unsigned j = 0; j < input->nb_streams; ++j) {
      switch (input->streams[j]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
          hasVideo = true;
          break;
        case AVMEDIA_TYPE_AUDIO:
          hasAudio = true;
          break;
        case AVMEDIA_TYPE_SUBTITLE:
          hasSubtitle = true;
          break;
        case AVMEDIA_TYPE_UNKNOWN:
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_ATTACHMENT:
          break;
        default:
          throw FFMpegException("invalid codec_type of input file");
      }
    }
  }
}
