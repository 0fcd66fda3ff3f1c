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
#include <utility>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/LocalFileNames.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"

namespace {

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

// What the old format parameters told a headerless input (raw audio or
// video) is given to its demuxer as options; demuxers that read their
// parameters from the file leave them unused.
void SetRawInputOptions(const TCustomFFmpegHlpr& engine, AVDictionary** options) {
  AVU.av_dict_set(options, "protocol_whitelist", "file", 0);
  if (engine.AudioSampleRate > 0)
    AVU.av_dict_set(options, "sample_rate", std::to_string(engine.AudioSampleRate).c_str(), 0);
  if (engine.AudioChannels > 0) {
    MediaObjects::ChannelLayout layout;
    AVU.av_channel_layout_default(layout.Address(), engine.AudioChannels);
    char text[64] = {};
    AVU.av_channel_layout_describe(layout.Get(), text, sizeof text);
    AVU.av_dict_set(options, "ch_layout", text, 0);
  }
  const int width = engine.FrameWidth + engine.FramePadLeft + engine.FramePadRight;
  const int height = engine.FrameHeight + engine.FramePadTop + engine.FramePadBottom;
  if (width > 0 && height > 0)
    AVU.av_dict_set(options, "video_size",
                    (std::to_string(width) + "x" + std::to_string(height)).c_str(), 0);
  if (engine.FramePixFmt >= 0)
    if (const char* pixelFormat =
            AVU.av_get_pix_fmt_name(static_cast<AVPixelFormat>(engine.FramePixFmt)))
      AVU.av_dict_set(options, "pixel_format", pixelFormat, 0);
  const AVRational rate = engine.FrameRate;
  if (rate.num > 0 && rate.den > 0)
    AVU.av_dict_set(options, "framerate",
                    (std::to_string(rate.num) + "/" + std::to_string(rate.den)).c_str(), 0);
  if (engine.VideoChannel != 0)
    AVU.av_dict_set(options, "channel", std::to_string(engine.VideoChannel).c_str(), 0);
  if (!engine.VideoStandard.empty())
    AVU.av_dict_set(options, "standard", engine.VideoStandard.c_str(), 0);
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

  MediaObjects::InputPtr input = OpenInputContainer(fileName, url);
  if (!input || !ProbeInput(input.get(), fileName)) return false;
  const int64_t timestamp = SeekToStartTime(input.get(), fileName);
  std::vector<StreamCodec> codecs;
  if (!MakeInputCodecs(input.get(), fileName, codecs)) return false;

  AVFormatContext* context = input.get();
  if (context->duration != AV_NOPTS_VALUE) {
    const int64_t milliseconds = context->duration / 1000;
    if (TotalDuration < milliseconds) TotalDuration = static_cast<int>(milliseconds);
  }

  InputFiles[InputFileCount] = std::move(input);
  InputCodecs[InputFileCount] = std::move(codecs);
  InputTsOffset[InputFileCount] = CopyTimestamps ? InputTimeOffset : InputTimeOffset - timestamp;
  if (Verbose >= 0) AVF.av_dump_format(context, InputFileCount, fileName.c_str(), 0);
  ++InputFileCount;
  return true;
}

MediaObjects::InputPtr TCustomFFmpegHlpr::OpenInputContainer(const std::string& fileName,
                                                             const std::string& url) {
  AVCodecID videoId, audioId, subtitleId;
  if (!FindCodecByName(VideoCodecName, AVMEDIA_TYPE_VIDEO, false, videoId) ||
      !FindCodecByName(AudioCodecName, AVMEDIA_TYPE_AUDIO, false, audioId) ||
      !FindCodecByName(SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, false, subtitleId))
    return nullptr;
  if (PgmYuvCompatibility) videoId = AV_CODEC_ID_PGMYUV;

  MediaObjects::FormatContextPtr prepared(AVF.avformat_alloc_context());
  if (!prepared) {
    LastError = OpenErrorMessage(fileName, AVERROR(ENOMEM));
    return nullptr;
  }
  MediaObjects::Dictionary options;
  SetRawInputOptions(*this, options.Address());

  ApplyRecordedOptions(FormatOptions.get(), prepared.get(), AV_OPT_FLAG_DECODING_PARAM);
  prepared->video_codec_id = videoId;
  prepared->audio_codec_id = audioId;
  prepared->subtitle_codec_id = subtitleId;
  prepared->interrupt_callback = {InterruptOnStop, this};

  // The library takes the context over and frees it when the open fails.
  AVFormatContext* context = prepared.release();
  const int opened =
      AVF.avformat_open_input(&context, url.c_str(), ForcedInputFormat, options.Address());
  if (opened < 0) {
    LastError = OpenErrorMessage(
        fileName, ForcedInputFormat ? opened : ClassifyInvalidData(fileName, opened));
    return nullptr;
  }
  MediaObjects::InputPtr input(context);
  if (url != fileName) {  // the caller reads the name back from the context
    const MediaObjects::MemoryPtr<char> previous(
        std::exchange(context->url, AVU.av_strdup(fileName.c_str())));
    if (!context->url) {  // every later message names the file from here
      LastError = OpenErrorMessage(fileName, AVERROR(ENOMEM));
      return nullptr;
    }
  }
  return input;
}

bool TCustomFFmpegHlpr::ProbeInput(AVFormatContext* input, const std::string& fileName) {
  if (ProgramId != 0)
    for (unsigned i = 0; i < input->nb_programs; ++i)
      if (input->programs[i]->id != ProgramId) input->programs[i]->discard = AVDISCARD_ALL;

  int probed;
  {
    std::lock_guard<std::mutex> lock(*CodecLock);
    // The probe limit counts packets; reading that finds none is bounded too.
    ReadingInput = input;
    ReadingFrom = input->pb ? input->pb->bytes_read : 0;
    probed = AVF.avformat_find_stream_info(input, nullptr);
    ReadingInput = nullptr;
  }
  if (probed < 0) {
    LastError = LibraryCallError("avformat_find_stream_info", probed,
                                 fileName + ": could not find codec parameters");
    return false;
  }
  return true;
}

int64_t TCustomFFmpegHlpr::SeekToStartTime(AVFormatContext* input, const std::string& fileName) {
  int64_t timestamp = StartTime;
  if (input->start_time != AV_NOPTS_VALUE) timestamp += input->start_time;
  if (StartTime != 0) {
    const int sought = AVF.av_seek_frame(input, -1, timestamp, AVSEEK_FLAG_BACKWARD);
    if (sought < 0)
      Log(1, LibraryCallError("av_seek_frame", sought, fileName) + "; reading from the start");
    StartTime = 0;
  }
  return timestamp;
}

bool TCustomFFmpegHlpr::MakeInputCodecs(AVFormatContext* input, const std::string& fileName,
                                        std::vector<StreamCodec>& codecs) {
  codecs.resize(input->nb_streams);
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVCodecParameters* parameters = input->streams[i]->codecpar;
    StreamCodec& codec = codecs[i];
    codec.Context.reset(AVC.avcodec_alloc_context3(nullptr));
    if (!codec.Context) {
      LastError = OpenErrorMessage(fileName, AVERROR(ENOMEM));
      return false;
    }
    const int copied = AVC.avcodec_parameters_to_context(codec.Context.get(), parameters);
    if (copied < 0) {
      LastError = copied == AVERROR(ENOMEM)
                      ? OpenErrorMessage(fileName, copied)
                      : LibraryCallError("avcodec_parameters_to_context", copied,
                                         fileName + " stream " + std::to_string(i));
      return false;
    }
    TakeInputStream(input, input->streams[i], codec, fileName);
  }
  return true;
}

void TCustomFFmpegHlpr::TakeInputStream(AVFormatContext* input, AVStream* stream,
                                        StreamCodec& codec, const std::string& fileName) {
  const AVCodecParameters* parameters = stream->codecpar;
  AVCodecContext* decoder = codec.Context.get();
  decoder->pkt_timebase = stream->time_base;
  decoder->thread_count = ThreadCount;
  switch (parameters->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
      ApplyRecordedOptions(CodecOptions[AVMEDIA_TYPE_VIDEO].get(), decoder,
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
      FrameRate = AVF.av_guess_frame_rate(input, stream, nullptr);
      codec.RateEmu = RateEmu != 0;
      if (VideoDisable)
        stream->discard = AVDISCARD_ALL;
      else if (VideoDiscard != 0)
        stream->discard = static_cast<AVDiscard>(VideoDiscard);
      break;
    }
    case AVMEDIA_TYPE_AUDIO:
      ApplyRecordedOptions(CodecOptions[AVMEDIA_TYPE_AUDIO].get(), decoder,
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
      throw FFMpegException("invalid codec_type");
  }
}

void TCustomFFmpegHlpr::check_audio_video_sub_inputs(bool& hasVideo, bool& hasAudio,
                                                     bool& hasSubtitle) {
  hasVideo = hasAudio = hasSubtitle = false;
  for (int i = 0; i < InputFileCount; ++i) {
    const AVFormatContext* input = InputFiles[i].get();
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
