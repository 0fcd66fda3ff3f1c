// Creating an output: the container, its streams, its description and the
// file itself. A failed creation leaves the table, the counts and the file
// system as they were.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/LocalFileNames.h"
#include "engine/PartialOutputs.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"

namespace {

bool SameFile(const char* a, const char* b) {
  struct stat first, second;
  return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// Audio containers name a picture codec as their "video" codec; it only
// stores cover art, so it does not make the output a video.
AVCodecID DefaultVideoCodec(const AVOutputFormat* format) {
  if (format->mime_type && std::strncmp(format->mime_type, "audio/", 6) == 0)
    return AV_CODEC_ID_NONE;
  return format->video_codec;
}

void SetTag(AVFormatContext* output, const char* key, const std::string& value, size_t maxLength) {
  if (!value.empty())
    AVU.av_dict_set(&output->metadata, key, value.substr(0, maxLength).c_str(), 0);
}

// "creation_time" as the muxers read it: ISO 8601 in UTC.
std::string CreationTime(int64_t secondsSinceEpoch) {
  const time_t seconds = static_cast<time_t>(secondsSinceEpoch);
  struct tm utc;
  if (!gmtime_r(&seconds, &utc)) return {};
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
  return text;
}

}  // namespace

bool TCustomFFmpegHlpr::OpenOutputFile(const std::string& fileName) {
  struct ConsumeFormats {
    TCustomFFmpegHlpr& engine;
    ~ConsumeFormats() {
      engine.ForcedOutputFormat = nullptr;
      engine.ForcedInputFormat = nullptr;
    }
  } consume{*this};

  if (OutputFileCount >= MaxFiles) {
    LastError = fileName + ": too many output files (at most " + std::to_string(MaxFiles) + ")";
    return false;
  }
  const int file = OutputFileCount;
  const AVOutputFormat* format = ForcedOutputFormat
                                     ? ForcedOutputFormat
                                     : AVF.av_guess_format(nullptr, fileName.c_str(), nullptr);
  if (!format) {
    LastError = "Unable to find a suitable output format for '" + fileName + "'";
    return false;
  }
  AVFormatContext* output = nullptr;
  if (AVF.avformat_alloc_output_context2(&output, format, nullptr, fileName.c_str()) < 0 ||
      !output) {
    LastError = OpenErrorMessage(fileName, AVERROR(ENOMEM));
    return false;
  }

  // Undoes this call: what it made is released, the file it created removed.
  std::string partial;
  const auto fail = [&](const std::string& message) {
    LastError = message;
    if (output->pb) AVF.avio_closep(&output->pb);
    if (!partial.empty()) unlink(partial.c_str());
    AVF.avformat_free_context(output);
    for (int i = 0; i < MaxStreamsPerFile; ++i) {
      AVC.avcodec_free_context(&OutputCodecs[file][i].Context);
      OutputCodecs[file][i] = StreamCodec{};
      BitstreamFilters[file][i].clear();
    }
    return false;
  };

  if (std::strcmp(format->name, "ffm") == 0 && fileName.rfind("http:", 0) == 0) {
    if (ReadFeedStreams(output, fileName) < 0)
      return fail("Could not read stream parameters from '" + fileName + "'");
  } else {
    bool useVideo =
        DefaultVideoCodec(format) != AV_CODEC_ID_NONE || VideoStreamCopy || !VideoCodecName.empty();
    bool useAudio =
        format->audio_codec != AV_CODEC_ID_NONE || AudioStreamCopy || !AudioCodecName.empty();
    bool useSubtitles = format->subtitle_codec != AV_CODEC_ID_NONE || SubtitleStreamCopy ||
                        !SubtitleCodecName.empty();
    if (InputFileCount > 0) {
      bool hasVideo, hasAudio, hasSubtitles;
      try {
        check_audio_video_sub_inputs(hasVideo, hasAudio, hasSubtitles);
      } catch (const FFMpegException& error) {
        return fail(std::string("check_audio_video_sub_inputs fail: ") + error.what());
      }
      useVideo = useVideo && hasVideo;
      useAudio = useAudio && hasAudio;
      useSubtitles = useSubtitles && hasSubtitles;
    }
    if (AudioDisable) useAudio = false;
    if (VideoDisable) useVideo = false;
    if (SubtitleDisable) useSubtitles = false;

    try {
      if (useVideo) new_video_stream(output);
    } catch (const FFMpegException& error) {
      return fail(std::string("new_video_stream fail: ") + error.what());
    }
    try {
      if (useAudio) new_audio_stream(output);
    } catch (const FFMpegException& error) {
      return fail(std::string("new_audio_stream fail: ") + error.what());
    }
    try {
      if (useSubtitles) new_subtitle_stream(output);
    } catch (const FFMpegException& error) {
      return fail(std::string("new_subtitle_stream fail: ") + error.what());
    }

    if (RecTimestamp != 0) SetTag(output, "creation_time", CreationTime(RecTimestamp), 64);
    // The descriptive fields become the container's tags (ID3 in an MP3).
    SetTag(output, "title", Title, 511);
    SetTag(output, "artist", Author, 511);
    SetTag(output, "copyright", Copyright, 511);
    SetTag(output, "comment", Comment, 511);
    SetTag(output, "album", Album, 511);
    if (Year > 0) SetTag(output, "date", std::to_string(Year), 31);
    if (Track > 0) SetTag(output, "track", std::to_string(Track), 31);
    SetTag(output, "genre", Genre, 31);
  }

  if ((format->flags & AVFMT_NEEDNUMBER) && !AVF.av_filename_number_test(output->url))
    return fail(OpenErrorMessage(output->url, AVERROR(EDOM)));

  if (!(format->flags & AVFMT_NOFILE)) {
    // Writing over an input would destroy it before it is read.
    for (int i = 0; i < InputFileCount; ++i)
      if (InputFiles[i] && InputFiles[i]->url && SameFile(InputFiles[i]->url, fileName.c_str()))
        return fail("'" + fileName + "' is an input file and cannot be overwritten");
    if (LocalFileUrl(fileName).empty()) return fail("Could not open '" + fileName + "'");
    // Written under a hidden name; the final name is only taken by a run
    // that completes (CommitOutputs).
    std::string error;
    if (!CreatePartialFile(fileName, partial, error)) return fail(error);
    AVDictionary* options = nullptr;
    AVU.av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = AVF.avio_open2(&output->pb, LocalFileUrl(partial).c_str(), AVIO_FLAG_WRITE,
                                      nullptr, &options);
    AVU.av_dict_free(&options);
    if (opened < 0) return fail("Could not open '" + fileName + "': " + LibraryErrorText(opened));
  }

  output->max_delay = static_cast<int>(MuxMaxDelay * 1000000);
  // The preload and the output looping are private options of the muxers
  // that know them (MPEG program streams, GIF) today.
  AVU.av_opt_set_int(output, "preload", static_cast<int64_t>(MuxPreload * 1000000),
                     AV_OPT_SEARCH_CHILDREN);
  AVU.av_opt_set_int(output, "loop", LoopOutput, AV_OPT_SEARCH_CHILDREN);
  ApplyRecordedOptions(FormatOptions, output, AV_OPT_FLAG_ENCODING_PARAM);

  OutputFiles[file] = output;
  OutputPartialPaths[file] = partial;
  ++OutputFileCount;
  return true;
}

int TCustomFFmpegHlpr::ReadFeedStreams(AVFormatContext* output, const std::string& url) {
  // Feeds came from a streaming server's "ffm" format, which today's
  // libraries no longer have; this reads whatever the URL's container holds,
  // through the local file protocol like every other input.
  AVDictionary* options = nullptr;
  AVU.av_dict_set(&options, "protocol_whitelist", "file", 0);
  AVFormatContext* feed = nullptr;
  const int opened = AVF.avformat_open_input(&feed, url.c_str(), nullptr, &options);
  AVU.av_dict_free(&options);
  if (opened < 0) return opened;
  int result = 0;
  for (unsigned i = 0; i < feed->nb_streams && result >= 0; ++i) {
    AVStream* stream = output->nb_streams < static_cast<unsigned>(MaxStreamsPerFile)
                           ? AVF.avformat_new_stream(output, nullptr)
                           : nullptr;
    if (!stream) {
      result = AVERROR(ENOMEM);
      break;
    }
    result = AVC.avcodec_parameters_copy(stream->codecpar, feed->streams[i]->codecpar);
    StreamCodec& codec = OutputCodecs[OutputFileCount][stream->index];
    codec.Context = AVC.avcodec_alloc_context3(nullptr);
    if (!codec.Context) result = AVERROR(ENOMEM);
    if (result >= 0) result = AVC.avcodec_parameters_to_context(codec.Context, stream->codecpar);
    stream->time_base = feed->streams[i]->time_base;
  }
  AVF.avformat_close_input(&feed);
  return result < 0 ? result : 0;
}
