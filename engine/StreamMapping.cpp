// Transcode set-up: the run's tables, the source of every output stream,
// stream-copy and encoder parameters, two-pass statistics, bitstream filters,
// the opening of encoders and decoders (under CodecLock) and the headers.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "engine/AudioFormatRules.h"
#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/StreamDecoder.h"
#include "engine/StreamNames.h"
#include "engine/StreamPlausibility.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"
#include "medialib/SwResampleHlpr.h"
#include "medialib/SwScaleHlpr.h"
#include "medialib/VersionedCalls.h"

namespace {

constexpr int64_t NoTimestamp = AV_NOPTS_VALUE;

// Input tag kept for a copied stream when the output format's tag table has
// no objection to it.
bool KeepInputTag(const AVOutputFormat* format, unsigned tag, AVCodecID id) {
  if (!format->codec_tag) return true;
  // The tag must name this very codec: a tag the table gives to another codec
  // would make the muxer refuse the header.
  if (AVF.av_codec_get_id(format->codec_tag, tag) == id) return true;
  return AVF.av_codec_get_tag(format->codec_tag, id) == 0;
}

void CopyStreamParameters(OutputStream& ost, const InputStream& ist, const AVFormatContext* os) {
  const AVOutputFormat* format = os->oformat;
  AVCodecParameters* out = ost.Stream->codecpar;
  const AVCodecParameters* in = ist.Stream->codecpar;
  const unsigned requestedTag = ost.Encoder ? ost.Encoder->codec_tag : 0;
  if (const int copied = AVC.avcodec_parameters_copy(out, in); copied < 0)
    RaiseLibraryError("avcodec_parameters_copy", copied, StreamName(os, ost));
  out->codec_tag = requestedTag;
  if (!requestedTag && KeepInputTag(format, in->codec_tag, in->codec_id))
    out->codec_tag = in->codec_tag;
  switch (out->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      if (out->block_align == 1 && out->codec_id == AV_CODEC_ID_MP3) out->block_align = 0;
      break;
    case AVMEDIA_TYPE_VIDEO:
    case AVMEDIA_TYPE_SUBTITLE:
      break;
    default:
      throw FFMpegException("invalid codec_type of output stream");
  }
  // A coarse stream time base with a finer codec one (old AVI files) would
  // lose timing; otherwise the stream's own is the right one.
  const AVRational streamBase = ist.Stream->time_base;
  const AVRational codecBase = ist.Decoder ? ist.Decoder->time_base : AVRational{0, 1};
  if (codecBase.num > 0 && codecBase.den > 0 && av_q2d(codecBase) > av_q2d(streamBase) &&
      av_q2d(streamBase) < 0.001)
    ost.Stream->time_base = codecBase;
  else
    ost.Stream->time_base = streamBase;
}

std::string Trimmed(const char* text) {
  std::string s(text);
  size_t begin = 0, end = s.size();
  while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
  return s.substr(begin, end - begin);
}

// The source's language, unless the output names one of its own.
void CopyLanguage(OutputStream& ost, const InputStream& ist, const AVFormatContext* os) {
  if (AVU.av_dict_get(ost.Stream->metadata, "language", nullptr, 0)) return;
  if (const AVDictionaryEntry* language =
          AVU.av_dict_get(ist.Stream->metadata, "language", nullptr, 0)) {
    char code[4];
    AVU.av_strlcpy(code, language->value, sizeof code);
    if (const int set = AVU.av_dict_set(&ost.Stream->metadata, "language", code, 0); set < 0)
      RaiseLibraryError("av_dict_set", set, StreamName(os, ost));
  }
}

// Two-pass statistics of output stream `index`: pass 1 writes them, pass 2
// hands them to the encoder.
void OpenPassStatistics(OutputStream& ost, int index) {
  AVCodecContext* enc = ost.Encoder;
  char name[1024];
  std::snprintf(name, sizeof name, "ffmpeg2pass-%d.log", index);
  if (enc->flags & AV_CODEC_FLAG_PASS1) {
    ost.LogFile.reset(std::fopen(name, "w"));
    if (!ost.LogFile) throw FFMpegException(std::string("creat file fail: ") + name);
    return;
  }
  FilePtr file(std::fopen(name, "r"));
  if (!file) throw FFMpegException(std::string("creat open fail: ") + name);
  std::fseek(file.get(), 0, SEEK_END);
  const long size = std::max(0L, std::ftell(file.get()));
  std::fseek(file.get(), 0, SEEK_SET);
  MediaObjects::MemoryPtr<char> text(static_cast<char*>(AVU.av_malloc(size + 1)));
  if (!text) throw FFMpegException("Could not allocate log buffer");
  const size_t read = std::fread(text.get(), 1, size, file.get());
  file.reset();
  text.get()[read] = 0;
  MediaObjects::ReplaceUserText(enc->stats_in, std::move(text));
}

// The source's depth is kept where the encoder can hold it. A source's own
// rate or channel count that the encoder cannot take (a kept 96 kHz source
// into MP3) becomes the nearest it can; a value asked for is left for the
// encoder to refuse.
void FitAudioEncoder(AVCodecContext* enc, const AVCodec* codec, const AVCodecParameters& source) {
  const AVSampleFormat sourceFormat = static_cast<AVSampleFormat>(source.format);
  enc->sample_fmt = ChooseSampleFormat(VersionedCalls::SupportedSampleFormats(codec),
                                       enc->sample_fmt, sourceFormat);
  if (enc->bits_per_raw_sample <= 0)
    enc->bits_per_raw_sample =
        EncoderRawBits(enc->sample_fmt, SampleDepth(sourceFormat, source.bits_per_raw_sample));
  if (enc->sample_rate == source.sample_rate)
    enc->sample_rate =
        FittingSampleRate(VersionedCalls::SupportedSampleRates(codec), enc->sample_rate);
  enc->time_base = {1, enc->sample_rate};
  int channels = enc->ch_layout.nb_channels > 0 ? enc->ch_layout.nb_channels : 2;
  if (channels == source.ch_layout.nb_channels)
    channels = FittingChannelCount(VersionedCalls::SupportedChannelLayouts(codec), channels);
  if (enc->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || enc->ch_layout.nb_channels != channels) {
    MediaObjects::SetDefaultLayout(enc->ch_layout, channels);
  }
}

// The opened encoder's parameters, side data and time base, for the muxer.
void PublishEncoderParameters(OutputStream& ost, const AVFormatContext* os) {
  const AVCodecContext* enc = ost.Encoder;
  if (const int copied = AVC.avcodec_parameters_from_context(ost.Stream->codecpar, enc); copied < 0)
    RaiseLibraryError("avcodec_parameters_from_context", copied, StreamName(os, ost));
  // The encoder's buffer-size record ("bufsize", "maxrate") must reach the
  // muxer too: program streams size their decoder buffers from it.
  for (int i = 0; i < enc->nb_coded_side_data; ++i) {
    const AVPacketSideData& side = enc->coded_side_data[i];
    uint8_t* copy = VersionedCalls::NewStreamSideData(ost.Stream, side.type, side.size);
    if (!copy) throw FFMpegException("av_mallocz fail");
    std::memcpy(copy, side.data, side.size);
  }
  ost.Stream->time_base = enc->time_base;
}

// The packet, the frame and the FIFO that an audio encoder is fed through.
void AllocateAudioEncoderBuffers(OutputStream& ost, const AVFormatContext* os) {
  const AVCodecContext* enc = ost.Encoder;
  ost.EncodedPacket.reset(AVC.av_packet_alloc());
  ost.EncoderFrame.reset(AVU.av_frame_alloc());
  if (!ost.EncodedPacket || !ost.EncoderFrame) throw FFMpegException("av_mallocz fail");
  ost.Fifo.reset(AVU.av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels,
                                         std::max(enc->frame_size, 1024)));
  if (!ost.Fifo) RaiseLibraryError("av_audio_fifo_alloc", AVERROR(ENOMEM), os->url ? os->url : "");
}

}  // namespace

void TCustomFFmpegHlpr::RegisterOpenEncoder(AVCodecContext* context) {
  OpenEncoders.push_front(context);
}

void TCustomFFmpegHlpr::RegisterOpenDecoder(AVCodecContext* context) {
  OpenDecoders.push_front(context);
}

void TCustomFFmpegHlpr::UnregisterOpenEncoder(AVCodecContext* context) {
  OpenEncoders.remove(context);
}

void TCustomFFmpegHlpr::UnregisterOpenDecoder(AVCodecContext* context) {
  OpenDecoders.remove(context);
}

void TCustomFFmpegHlpr::SetUpTranscode(TranscodeTables& t) {
  MapInputStreams(t);
  MapOutputSources(t);
  SetUpOutputStreams(t);
  ReportStreamMapping(t);
  OpenNeededEncoders(t);
  SetUpBitstreamFilters(t);
  OpenNeededDecoders(t);
  PrepareReading(t);
  PlanLoudness();
  WriteHeaders();
}

void TCustomFFmpegHlpr::MapInputStreams(TranscodeTables& t) {
  t.Files.resize(InputFileCount);
  int inputStreamCount = 0;
  for (int f = 0; f < InputFileCount; ++f) {
    t.Files[f].FirstStream = inputStreamCount;
    t.Files[f].StreamCount = static_cast<int>(InputFiles[f]->nb_streams);
    inputStreamCount += t.Files[f].StreamCount;
  }
  t.InputStreams.reserve(inputStreamCount);
  for (int f = 0; f < InputFileCount; ++f) {
    for (int s = 0; s < t.Files[f].StreamCount; ++s) {
      auto ist = std::make_unique<InputStream>();
      ist->FileIndex = f;
      ist->Index = s;
      ist->Stream = InputFiles[f]->streams[s];
      if (s < static_cast<int>(InputCodecs[f].size()))
        ist->Decoder = InputCodecs[f][s].Context.get();
      t.InputStreams.push_back(std::move(ist));
    }
  }
}

void TCustomFFmpegHlpr::MapOutputSources(TranscodeTables& t) {
  int outputStreamCount = 0;
  for (int f = 0; f < OutputFileCount; ++f) {
    if (OutputFiles[f]->nb_streams == 0)
      throw FFMpegException("Output file does not contain any stream");
    outputStreamCount += static_cast<int>(OutputFiles[f]->nb_streams);
  }
  t.OutputStreams.reserve(outputStreamCount);

  // The first unused input stream of the type, else the last one of the
  // type, shared with an earlier output.
  const int inputStreamCount = static_cast<int>(t.InputStreams.size());
  for (int f = 0; f < OutputFileCount; ++f) {
    for (int s = 0; s < static_cast<int>(OutputFiles[f]->nb_streams); ++s) {
      auto ost = std::make_unique<OutputStream>();
      ost->FileIndex = f;
      ost->Index = s;
      ost->Stream = OutputFiles[f]->streams[s];
      ost->Encoder = s < MaxStreamsPerFile ? OutputCodecs[f][s].Context.get() : nullptr;
      const AVMediaType type =
          ost->Encoder ? ost->Encoder->codec_type : ost->Stream->codecpar->codec_type;
      int source = -1;
      // A cover comes from the source's attached picture.
      if (ost->Stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
        for (int i = 0; i < inputStreamCount && source < 0; ++i)
          if (t.InputStreams[i]->Stream->disposition & AV_DISPOSITION_ATTACHED_PIC) source = i;
      for (int i = 0; i < inputStreamCount && source < 0; ++i)
        if (t.InputStreams[i]->Discard && t.InputStreams[i]->Stream->codecpar->codec_type == type)
          source = i;
      for (int i = inputStreamCount - 1; i >= 0 && source < 0; --i)
        if (t.InputStreams[i]->Stream->codecpar->codec_type == type) source = i;
      if (source < 0)
        RaiseFFMpeg("Could not find input stream matching output stream #%d.%d", f, s);
      ost->SourceIndex = source;
      t.InputStreams[source]->Discard = 0;
      ost->SyncInput = t.InputStreams[source].get();
      t.OutputStreams.push_back(std::move(ost));
    }
  }
}

void TCustomFFmpegHlpr::SetUpOutputStreams(TranscodeTables& t) {
  for (int o = 0; o < static_cast<int>(t.OutputStreams.size()); ++o) {
    OutputStream& ost = *t.OutputStreams[o];
    InputStream& ist = *t.InputStreams[ost.SourceIndex];
    AVCodecContext* enc = ost.Encoder;
    CopyLanguage(ost, ist, OutputFiles[ost.FileIndex].get());
    ost.Stream->disposition = ist.Stream->disposition;

    const bool copy = !enc || OutputCodecs[ost.FileIndex][ost.Index].StreamCopy;
    if (copy) {
      CopyStreamParameters(ost, ist, OutputFiles[ost.FileIndex].get());
    } else {
      switch (enc->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
          ist.DecodingNeeded = 1;
          ost.EncodingNeeded = 1;
          break;
        case AVMEDIA_TYPE_VIDEO:
          SetUpVideoOutput(ost, ist);
          break;
        case AVMEDIA_TYPE_SUBTITLE:
          SetUpSubtitleOutput(ost, ist);
          break;
        default:
          throw FFMpegException("invalid codec_type of output stream");
      }
    }

    if (ost.EncodingNeeded && (enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)))
      OpenPassStatistics(ost, o);

    const AVCodecParameters* shape = ost.Stream->codecpar;
    const int width = ost.EncodingNeeded ? enc->width : shape->width;
    const int height = ost.EncodingNeeded ? enc->height : shape->height;
    if ((ost.EncodingNeeded ? enc->codec_type : shape->codec_type) == AVMEDIA_TYPE_VIDEO &&
        4LL * width * height > BitBufferSize)
      BitBufferSize = 4 * width * height;
  }
}

void TCustomFFmpegHlpr::ReportStreamMapping(TranscodeTables& t) {
  if (!BitBuffer) BitBuffer.reset(static_cast<uint8_t*>(AVU.av_malloc(BitBufferSize)));
  if (!BitBuffer) throw FFMpegException("av_malloc fail");

  for (int f = 0; f < OutputFileCount; ++f)
    AVF.av_dump_format(OutputFiles[f].get(), f, OutputFiles[f]->url ? OutputFiles[f]->url : "", 1);
  if (Verbose >= 0 && LogHook.IsSet()) {
    Log(1, "Stream mapping:");
    for (const auto& ost : t.OutputStreams) {
      const InputStream& ist = *t.InputStreams[ost->SourceIndex];
      LogF(1, "  Stream #%d.%d -> #%d.%d", ist.FileIndex, ist.Index, ost->FileIndex, ost->Index);
    }
  }
}

void TCustomFFmpegHlpr::OpenNeededEncoders(TranscodeTables& t) {
  for (auto& ost : t.OutputStreams)
    if (ost->EncodingNeeded) OpenEncoder(*ost, *t.InputStreams[ost->SourceIndex]->Stream->codecpar);
}

void TCustomFFmpegHlpr::OpenEncoder(OutputStream& ost, const AVCodecParameters& source) {
  AVCodecContext* enc = ost.Encoder;
  const AVCodec* codec = AVC.avcodec_find_encoder(enc->codec_id);
  if (!codec) RaiseFFMpeg("Unsupported codec for output stream #%d.%d", ost.FileIndex, ost.Index);
  if (enc->codec_type == AVMEDIA_TYPE_AUDIO) FitAudioEncoder(enc, codec, source);
  int result;
  {
    std::lock_guard<std::mutex> lock(*CodecLock);
    result = AVC.avcodec_open2(enc, codec, nullptr);
    if (result >= 0) RegisterOpenEncoder(enc);
  }
  // Callers know the sentence raised below; the library's words go to the
  // log just before it.
  if (result < 0 && LogHook.IsSet())
    Log(0, LibraryCallError("avcodec_open2", result,
                            StreamName(OutputFiles[ost.FileIndex].get(), ost)));
  if (result < 0)
    RaiseFFMpeg(
        "Error while opening codec for output stream #%d.%d - maybe incorrect parameters such "
        "as bit_rate, rate, width or height",
        ost.FileIndex, ost.Index);
  ExtraBytes += enc->extradata_size;
  PublishEncoderParameters(ost, OutputFiles[ost.FileIndex].get());
  if (enc->codec_type == AVMEDIA_TYPE_AUDIO)
    AllocateAudioEncoderBuffers(ost, OutputFiles[ost.FileIndex].get());
  if (enc->codec_type == AVMEDIA_TYPE_AUDIO) StartSplitEncoding(ost);
}

void TCustomFFmpegHlpr::SetUpBitstreamFilters(TranscodeTables& t) {
  for (auto& ostPointer : t.OutputStreams) {
    OutputStream& ost = *ostPointer;
    const char* codecName =
        ost.EncodingNeeded && ost.Encoder->codec ? ost.Encoder->codec->name : "copy";
    for (const std::string& name : BitstreamFilters[ost.FileIndex][ost.Index]) {
      const AVBitStreamFilter* filter = AVC.av_bsf_get_by_name(name.c_str());
      AVBSFContext* made = nullptr;
      int result = filter ? AVC.av_bsf_alloc(filter, &made) : AVERROR_BSF_NOT_FOUND;
      MediaObjects::BitstreamFilterPtr context(made);
      if (result >= 0) result = AVC.avcodec_parameters_copy(context->par_in, ost.Stream->codecpar);
      if (result >= 0) {
        context->time_base_in = ost.Stream->time_base;
        result = AVC.av_bsf_init(context.get());
      }
      if (result < 0) {
        context.reset();
        if (LogHook.IsSet())
          Log(0, OpenErrorMessage(name + " failed for stream " + std::to_string(ost.Index) +
                                      ", codec " + codecName,
                                  result));
        continue;
      }
      if (const int copied = AVC.avcodec_parameters_copy(ost.Stream->codecpar, context->par_out);
          copied < 0)
        RaiseLibraryError("avcodec_parameters_copy", copied,
                          StreamName(OutputFiles[ost.FileIndex].get(), ost) + ", " + name);
      ost.Filters.push_back(std::move(context));
      ost.FilterNames.push_back(name);
    }
  }
}

void TCustomFFmpegHlpr::OpenNeededDecoders(TranscodeTables& t) {
  for (auto& istPointer : t.InputStreams) {
    InputStream& ist = *istPointer;
    if (!ist.DecodingNeeded) continue;
    AVCodecContext* dec = ist.Decoder;
    const AVCodec* codec = FindStreamDecoder(ist.Stream->codecpar, LibraryRealVideoDecoders);
    if (!codec || !dec)
      RaiseFFMpeg("Unsupported codec (id=%d) for input stream #%d.%d",
                  static_cast<int>(ist.Stream->codecpar->codec_id), ist.FileIndex, ist.Index);
    if (ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
      const std::string problem = ImplausibleAudioStream(*ist.Stream->codecpar);
      if (!problem.empty())
        throw FFMpegException(std::string(InputFiles[ist.FileIndex]->url) + ": " + problem);
    }
    dec->pkt_timebase = ist.Stream->time_base;
    int result;
    {
      std::lock_guard<std::mutex> lock(*CodecLock);
      result = OpenStreamDecoder(dec, codec);
      if (result >= 0) RegisterOpenDecoder(dec);
    }
    if (result < 0 && LogHook.IsSet())
      Log(0, LibraryCallError("avcodec_open2", result,
                              StreamName(InputFiles[ist.FileIndex].get(), ist)));
    if (result < 0)
      RaiseFFMpeg("Error while opening codec for input stream #%d.%d", ist.FileIndex, ist.Index);
  }
}

void TCustomFFmpegHlpr::PrepareReading(TranscodeTables& t) {
  for (auto& ist : t.InputStreams) {
    ist->Pts = 0;
    ist->NextPts = NoTimestamp;
  }
  t.ReadPacket.reset(AVC.av_packet_alloc());
  t.CopyPacket.reset(AVC.av_packet_alloc());
  t.DecodedFrame.reset(AVU.av_frame_alloc());
  if (!t.ReadPacket || !t.CopyPacket || !t.DecodedFrame) throw FFMpegException("av_mallocz fail");
}

void TCustomFFmpegHlpr::WriteHeaders() {
  bool allRtp = true;
  for (int f = 0; f < OutputFileCount; ++f) {
    if (const int written = AVF.avformat_write_header(OutputFiles[f].get(), nullptr); written < 0) {
      if (LogHook.IsSet())
        Log(0, LibraryCallError("avformat_write_header", written, FileName(OutputFiles[f].get())));
      RaiseFFMpeg("Could not write header for output file #%d (incorrect codec parameters ?)", f);
    }
    if (std::strcmp(OutputFiles[f]->oformat->name, "rtp") != 0) allRtp = false;
  }
  // The session description that RTP outputs are received by.
  if (allRtp && LogHook.IsSet()) {
    char sdp[2048] = {};
    const int made = AVF.av_sdp_create(OutputContexts().data(), OutputFileCount, sdp, sizeof sdp);
    if (made < 0)
      Log(0, LibraryCallError("av_sdp_create", made, FileName(OutputFiles[0].get())));
    else
      Log(1, "SDP: " + Trimmed(sdp));
  }
}
