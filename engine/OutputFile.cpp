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
#include "engine/OutputTags.h"
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
  AVFormatContext* created = nullptr;
  const int allocated =
      AVF.avformat_alloc_output_context2(&created, format, nullptr, fileName.c_str());
  MediaObjects::OutputPtr output(created);
  if (allocated < 0 || !output) {
    LastError = OpenErrorMessage(fileName, AVERROR(ENOMEM));
    return false;
  }

  // Undoes this call: what it made is released, the file it created removed.
  std::string partial;
  const auto fail = [&] {
    output.reset();
    if (!partial.empty()) unlink(partial.c_str());
    for (int i = 0; i < MaxStreamsPerFile; ++i) {
      OutputCodecs[file][i] = StreamCodec{};
      BitstreamFilters[file][i].clear();
    }
    return false;
  };

  if (std::strcmp(format->name, "ffm") == 0 && fileName.rfind("http:", 0) == 0) {
    const int read = ReadFeedStreams(output.get(), fileName);
    if (read < 0) {
      LastError =
          "Could not read stream parameters from '" + fileName + "': " + LibraryErrorText(read);
      return fail();
    }
  } else {
    if (NextTrackWindow.Active && (AudioStreamCopy || VideoStreamCopy)) {
      LastError = fileName + ": a track is cut from decoded audio and cannot be copied";
      return fail();
    }
    if (!AddOutputStreams(output.get(), fileName)) return fail();
    DescribeOutput(output.get());
  }
  if (!OpenOutputTarget(output.get(), fileName, partial)) return fail();
  ApplyMuxerOptions(output.get(), fileName);

  OutputFiles[file] = std::move(output);
  OutputPartialPaths[file] = partial;
  OutputTrackWindows[file] = NextTrackWindow;
  NextTrackWindow = TrackWindow{};
  OutputTrackTags[file] = std::move(NextTrackTags);
  NextTrackTags.clear();
  ++OutputFileCount;
  return true;
}

bool TCustomFFmpegHlpr::AddOutputStreams(AVFormatContext* output, const std::string& fileName) {
  const AVOutputFormat* format = output->oformat;
  const auto fail = [this](const char* stage, const std::exception& error) {
    LastError = std::string(stage) + " fail: " + error.what();
    return false;
  };
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
      return fail("check_audio_video_sub_inputs", error);
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
    return fail("new_video_stream", error);
  }
  try {
    if (useAudio) new_audio_stream(output);
  } catch (const FFMpegException& error) {
    return fail("new_audio_stream", error);
  }
  try {
    if (useSubtitles) new_subtitle_stream(output);
  } catch (const FFMpegException& error) {
    return fail("new_subtitle_stream", error);
  }
  // An audio output carries the source's cover where its format can.
  const AVStream* cover =
      useAudio && !useVideo && InputFileCount > 0 ? FindCover(InputFiles[0].get()) : nullptr;
  try {
    if (cover) AddCover(output, cover, fileName);
  } catch (const FFMpegException& error) {
    return fail("new_cover_stream", error);
  }
  return true;
}

void TCustomFFmpegHlpr::DescribeOutput(AVFormatContext* output) {
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
  // A track's own tags win over the fields and the album file's tags.
  for (const auto& [key, value] : NextTrackTags)
    AVU.av_dict_set(&output->metadata, key.c_str(), value.c_str(), 0);
  // What the record left empty comes from the source, as it stands there.
  if (InputFileCount > 0) CopySourceTags(InputFiles[0].get(), &output->metadata);
  if (CoverCarrierOf(output->oformat) == CoverCarrier::CommentTag)
    for (unsigned i = 0; i < output->nb_streams; ++i)
      if (output->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
        AVU.av_dict_copy(&output->streams[i]->metadata, output->metadata, AV_DICT_DONT_OVERWRITE);
}

bool TCustomFFmpegHlpr::OpenOutputTarget(AVFormatContext* output, const std::string& fileName,
                                         std::string& partial) {
  const AVOutputFormat* format = output->oformat;
  if ((format->flags & AVFMT_NEEDNUMBER) && !AVF.av_filename_number_test(output->url)) {
    LastError = OpenErrorMessage(output->url, AVERROR(EDOM));
    return false;
  }
  if (format->flags & AVFMT_NOFILE) return true;

  // Writing over an input would destroy it before it is read.
  for (int i = 0; i < InputFileCount; ++i)
    if (InputFiles[i] && InputFiles[i]->url && SameFile(InputFiles[i]->url, fileName.c_str())) {
      LastError = "'" + fileName + "' is an input file and cannot be overwritten";
      return false;
    }
  if (LocalFileUrl(fileName).empty()) {
    LastError = "Could not open '" + fileName + "'";
    return false;
  }
  // Written under a hidden name; the final name is only taken by a run
  // that completes (CommitOutputs).
  std::string error;
  if (!CreatePartialFile(fileName, partial, error)) {
    LastError = error;
    return false;
  }
  MediaObjects::Dictionary options;
  AVU.av_dict_set(options.Address(), "protocol_whitelist", "file", 0);
  const int opened = AVF.avio_open2(&output->pb, LocalFileUrl(partial).c_str(), AVIO_FLAG_WRITE,
                                    nullptr, options.Address());
  if (opened < 0) {
    LastError = "Could not open '" + fileName + "': " + LibraryErrorText(opened);
    return false;
  }
  return true;
}

void TCustomFFmpegHlpr::ApplyMuxerOptions(AVFormatContext* output, const std::string& fileName) {
  output->max_delay = static_cast<int>(MuxMaxDelay * 1000000);
  // The preload and the output looping are private options of the muxers
  // that know them (MPEG program streams, GIF) today; the others lack them.
  const auto setPrivate = [&](const char* name, int64_t value) {
    const int set = AVU.av_opt_set_int(output, name, value, AV_OPT_SEARCH_CHILDREN);
    if (set < 0 && set != AVERROR_OPTION_NOT_FOUND)
      Log(1, LibraryCallError("av_opt_set_int", set, fileName) + " (" + name + ")");
  };
  setPrivate("preload", static_cast<int64_t>(MuxPreload * 1000000));
  setPrivate("loop", LoopOutput);
  ApplyRecordedOptions(FormatOptions.get(), output, AV_OPT_FLAG_ENCODING_PARAM);
}

int TCustomFFmpegHlpr::ReadFeedStreams(AVFormatContext* output, const std::string& url) {
  // Feeds came from a streaming server's "ffm" format, which today's
  // libraries no longer have; this reads whatever the URL's container holds,
  // through the local file protocol like every other input.
  MediaObjects::Dictionary options;
  AVU.av_dict_set(options.Address(), "protocol_whitelist", "file", 0);
  AVFormatContext* opened = nullptr;
  const int status = AVF.avformat_open_input(&opened, url.c_str(), nullptr, options.Address());
  if (status < 0) return status;
  const MediaObjects::InputPtr feed(opened);
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
    codec.Context.reset(AVC.avcodec_alloc_context3(nullptr));
    if (!codec.Context) result = AVERROR(ENOMEM);
    if (result >= 0)
      result = AVC.avcodec_parameters_to_context(codec.Context.get(), stream->codecpar);
    stream->time_base = feed->streams[i]->time_base;
  }
  return result < 0 ? result : 0;
}

std::vector<AVFormatContext*> TCustomFFmpegHlpr::OutputContexts() const {
  std::vector<AVFormatContext*> contexts;
  for (int i = 0; i < OutputFileCount; ++i) contexts.push_back(OutputFiles[i].get());
  return contexts;
}
