#include "tests/support/MediaFixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>

#include "medialib/MediaLibraries.h"
#include "medialib/VersionedCalls.h"
#include "tests/support/FixtureSupport.h"

namespace MediaFixtures {
namespace {

using namespace FixtureSupport;

constexpr double Amplitude = 0.5;

const AVCodec* FirstEncoder(std::initializer_list<const char*> names, const std::string& path) {
  for (const char* name : names)
    if (const AVCodec* codec = AVC.avcodec_find_encoder_by_name(name)) return codec;
  Fail(std::string("no encoder such as ") + *names.begin(), path);
}

// One stream being encoded into an Output.
struct Encoder {
  CodecContextPtr Context;
  AVStream* Stream = nullptr;
  int64_t NextPts = 0;  // in the encoder's time base
};

Encoder AddEncoder(Output& output, const AVCodec* codec,
                   const std::function<void(AVCodecContext*)>& configure) {
  Encoder encoder;
  encoder.Context.reset(AVC.avcodec_alloc_context3(codec));
  if (!encoder.Context) Fail("cannot allocate an encoder", output.Path);
  AVCodecContext* context = encoder.Context.get();
  configure(context);
  context->flags |= AV_CODEC_FLAG_BITEXACT;
  if (output.Context->oformat->flags & AVFMT_GLOBALHEADER)
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  // The library's own Vorbis encoder is marked experimental.
  context->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
  Check(AVC.avcodec_open2(context, codec, nullptr), std::string("cannot open ") + codec->name,
        output.Path);
  encoder.Stream = AVF.avformat_new_stream(output.Context.get(), nullptr);
  if (!encoder.Stream) Fail("cannot add a stream", output.Path);
  Check(AVC.avcodec_parameters_from_context(encoder.Stream->codecpar, context),
        "cannot copy stream parameters", output.Path);
  encoder.Stream->time_base = context->time_base;
  return encoder;
}

// Sends one frame (nullptr drains) and writes every packet that comes out.
void EncodeAndWrite(Output& output, Encoder& encoder, AVFrame* frame) {
  Check(AVC.avcodec_send_frame(encoder.Context.get(), frame), "cannot encode", output.Path);
  PacketPtr packet(AVC.av_packet_alloc());
  for (;;) {
    const int result = AVC.avcodec_receive_packet(encoder.Context.get(), packet.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
    Check(result, "cannot encode", output.Path);
    AVC.av_packet_rescale_ts(packet.get(), encoder.Context->time_base, encoder.Stream->time_base);
    packet->stream_index = encoder.Stream->index;
    Check(AVF.av_interleaved_write_frame(output.Context.get(), packet.get()),
          "cannot write a packet", output.Path);
  }
}

double ToneValue(int64_t index, int rate, double frequencyHz) {
  if (frequencyHz <= 0) return 0;
  return Amplitude * std::sin(2 * M_PI * frequencyHz * static_cast<double>(index) / rate);
}

// Fills an audio frame of the encoder's sample format with the tone, starting
// at sample `first`; samples at or past `total` are silence.
// Changes: (first sample, Hz) from which the tone has another frequency.
using ToneChanges = std::vector<std::pair<int64_t, double>>;

double FrequencyAt(int64_t index, double frequencyHz, const ToneChanges& changes) {
  for (const auto& [from, hz] : changes)
    if (index >= from) frequencyHz = hz;
  return frequencyHz;
}

// The segments of AudioExtras as a first frequency, changes and a length.
double SegmentTone(const std::vector<std::pair<double, double>>& segments, int rate,
                   ToneChanges& changes, double& seconds) {
  seconds = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) changes.emplace_back(std::llround(seconds * rate), segments[i].second);
    seconds += segments[i].first;
  }
  return segments.front().second;
}

void FillTone(AVFrame* frame, int64_t first, int64_t total, int rate, double frequencyHz,
              double noise = 0, const ToneChanges& changes = {}) {
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const int channels = frame->ch_layout.nb_channels;
  const bool planar = format == AV_SAMPLE_FMT_U8P || format == AV_SAMPLE_FMT_S16P ||
                      format == AV_SAMPLE_FMT_S32P ||
                      format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_DBLP;
  for (int i = 0; i < frame->nb_samples; ++i) {
    const int64_t index = first + i;
    const double tone =
        index < total ? ToneValue(index, rate, FrequencyAt(index, frequencyHz, changes)) : 0;
    for (int c = 0; c < channels; ++c) {
      double value = tone;
      if (noise > 0 && index < total) {
        // A hash of the sample's place, different on each channel and the
        // same file every time.
        uint32_t r = static_cast<uint32_t>(index * channels + c) * 0x9E3779B1u;
        r ^= r >> 15;
        r *= 0x85EBCA77u;
        r ^= r >> 13;
        value += noise * (static_cast<double>(r >> 8) / (1 << 23) - 1.0);
      }
      const int slot = planar ? i : i * channels + c;
      uint8_t* plane = frame->extended_data[planar ? c : 0];
      switch (format) {
        case AV_SAMPLE_FMT_U8:
        case AV_SAMPLE_FMT_U8P:
          plane[slot] = static_cast<uint8_t>(128 + std::lrint(value * 127));
          break;
        case AV_SAMPLE_FMT_S16:
        case AV_SAMPLE_FMT_S16P:
          reinterpret_cast<int16_t*>(plane)[slot] = static_cast<int16_t>(std::lrint(value * 32767));
          break;
        case AV_SAMPLE_FMT_S32:
        case AV_SAMPLE_FMT_S32P:
          reinterpret_cast<int32_t*>(plane)[slot] =
              static_cast<int32_t>(std::lrint(value * 2147483647.0));
          break;
        case AV_SAMPLE_FMT_FLT:
        case AV_SAMPLE_FMT_FLTP:
          reinterpret_cast<float*>(plane)[slot] = static_cast<float>(value);
          break;
        case AV_SAMPLE_FMT_DBL:
        case AV_SAMPLE_FMT_DBLP:
          reinterpret_cast<double*>(plane)[slot] = value;
          break;
        default:
          throw std::runtime_error("tone: unhandled sample format");
      }
    }
  }
}

// Audio track state while writing.
struct ToneTrack {
  Encoder Enc;
  FramePtr Frame{AVU.av_frame_alloc()};
  int64_t Total = 0;  // samples of tone to write
  double FrequencyHz = 0;
  double Noise = 0;
  ToneChanges Changes;
  bool Done = false;
};

// bits 24 asks a FLAC encoder for 24-bit samples.
ToneTrack AddToneTrack(Output& output, const AVCodec* codec, int rate, int channels, double seconds,
                       double frequencyHz, int bits = 16) {
  ToneTrack track;
  track.Enc = AddEncoder(output, codec, [&](AVCodecContext* c) {
    const AVSampleFormat* formats = VersionedCalls::SupportedSampleFormats(codec);
    c->sample_fmt = formats ? formats[0] : AV_SAMPLE_FMT_S16;
    if (bits == 24 && codec->id == AV_CODEC_ID_FLAC) {
      c->sample_fmt = AV_SAMPLE_FMT_S32;
      c->bits_per_raw_sample = 24;
    }
    c->sample_rate = rate;
    AVU.av_channel_layout_default(&c->ch_layout, channels);
    c->time_base = {1, rate};
    if (codec->id != AV_CODEC_ID_FLAC) c->bit_rate = channels > 1 ? 128000 : 64000;
  });
  track.Total = std::llround(seconds * rate);
  track.FrequencyHz = frequencyHz;
  if (!track.Frame) Fail("cannot allocate a frame", output.Path);
  return track;
}

// Encodes the next frame of the tone, or drains the encoder after the last.
void WriteNextToneFrame(Output& output, ToneTrack& track) {
  AVCodecContext* context = track.Enc.Context.get();
  const int64_t left = track.Total - track.Enc.NextPts;
  if (left <= 0) {
    EncodeAndWrite(output, track.Enc, nullptr);
    track.Done = true;
    return;
  }
  int size = context->frame_size > 0 ? context->frame_size : 1024;
  const bool shortLast = (context->codec->capabilities &
                          (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME)) != 0;
  if (shortLast) size = static_cast<int>(std::min<int64_t>(size, left));
  AVFrame* frame = track.Frame.get();
  AVU.av_frame_unref(frame);
  frame->format = context->sample_fmt;
  frame->nb_samples = size;
  frame->sample_rate = context->sample_rate;
  Check(AVU.av_channel_layout_copy(&frame->ch_layout, &context->ch_layout), "channel layout",
        output.Path);
  Check(AVU.av_frame_get_buffer(frame, 0), "cannot allocate samples", output.Path);
  FillTone(frame, track.Enc.NextPts, track.Total, context->sample_rate, track.FrequencyHz,
           track.Noise, track.Changes);
  frame->pts = track.Enc.NextPts;
  track.Enc.NextPts += size;
  EncodeAndWrite(output, track.Enc, frame);
}

constexpr int CoverSize = 16;

// A CoverSize square PNG picture, coloured in quarters, as one packet.
PacketPtr CoverPicture(const std::string& path) {
  const AVCodec* png = FirstEncoder({"png"}, path);
  CodecContextPtr context(AVC.avcodec_alloc_context3(png));
  if (!context) Fail("cannot allocate an encoder", path);
  context->width = CoverSize;
  context->height = CoverSize;
  context->pix_fmt = AV_PIX_FMT_RGB24;
  context->time_base = {1, 25};
  Check(AVC.avcodec_open2(context.get(), png, nullptr), "cannot open png", path);
  FramePtr frame(AVU.av_frame_alloc());
  frame->format = AV_PIX_FMT_RGB24;
  frame->width = CoverSize;
  frame->height = CoverSize;
  Check(AVU.av_frame_get_buffer(frame.get(), 0), "cannot allocate a picture", path);
  for (int y = 0; y < CoverSize; ++y)
    for (int x = 0; x < CoverSize * 3; ++x)
      frame->data[0][y * frame->linesize[0] + x] =
          static_cast<uint8_t>((x / 3 < CoverSize / 2 ? 200 : 40) + (y < CoverSize / 2 ? 0 : 50));
  frame->pts = 0;
  Check(AVC.avcodec_send_frame(context.get(), frame.get()), "cannot encode the cover", path);
  Check(AVC.avcodec_send_frame(context.get(), nullptr), "cannot encode the cover", path);
  PacketPtr packet(AVC.av_packet_alloc());
  Check(AVC.avcodec_receive_packet(context.get(), packet.get()), "cannot encode the cover", path);
  packet->flags |= AV_PKT_FLAG_KEY;
  packet->pts = packet->dts = AV_NOPTS_VALUE;
  return packet;
}

struct VideoTrack {
  Encoder Enc;
  FramePtr Frame{AVU.av_frame_alloc()};
  int64_t Total = 0;  // frames
  bool Done = false;
};

void WriteNextPicture(Output& output, VideoTrack& track) {
  AVCodecContext* context = track.Enc.Context.get();
  if (track.Enc.NextPts >= track.Total) {
    EncodeAndWrite(output, track.Enc, nullptr);
    track.Done = true;
    return;
  }
  AVFrame* frame = track.Frame.get();
  AVU.av_frame_unref(frame);
  frame->format = context->pix_fmt;
  frame->width = context->width;
  frame->height = context->height;
  Check(AVU.av_frame_get_buffer(frame, 0), "cannot allocate a picture", output.Path);
  const int n = static_cast<int>(track.Enc.NextPts);
  // A diagonal gradient that moves, and flat chroma: cheap to make, not trivial to code.
  for (int y = 0; y < frame->height; ++y)
    for (int x = 0; x < frame->width; ++x)
      frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x + y + n * 3);
  for (int plane = 1; plane <= 2; ++plane)
    for (int y = 0; y < frame->height / 2; ++y)
      std::fill_n(frame->data[plane] + y * frame->linesize[plane], frame->width / 2,
                  static_cast<uint8_t>(plane == 1 ? 128 + (n % 32) : 128));
  frame->pts = track.Enc.NextPts++;
  EncodeAndWrite(output, track.Enc, frame);
}

void Finish(Output& output) {
  Check(AVF.av_write_trailer(output.Context.get()), "cannot write the trailer", output.Path);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::map<std::string, std::string> Tags(const AVDictionary* dictionary) {
  std::map<std::string, std::string> tags;
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = AVU.av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)))
    tags[entry->key] = entry->value;
  return tags;
}

void WriteLittleEndian(std::ofstream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

const std::vector<AudioFormat>& AllAudioFormats() {
  static const std::vector<AudioFormat> formats = {
      AudioFormat::Wav,  AudioFormat::Mp3,    AudioFormat::Mp2,
      AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::AacM4a,
      AudioFormat::Wma,  AudioFormat::Ac3,    AudioFormat::Mka};
  return formats;
}

const char* FormatName(AudioFormat format) {
  switch (format) {
    case AudioFormat::Wav:
      return "wav";
    case AudioFormat::Mp3:
      return "mp3";
    case AudioFormat::Mp2:
      return "mp2";
    case AudioFormat::Flac:
      return "flac";
    case AudioFormat::Vorbis:
      return "ogg-vorbis";
    case AudioFormat::AacM4a:
      return "aac-m4a";
    case AudioFormat::Wma:
      return "wma";
    case AudioFormat::Ac3:
      return "ac3";
    case AudioFormat::Mka:
      return "mka";
  }
  return "?";
}

const char* FormatExtension(AudioFormat format) {
  switch (format) {
    case AudioFormat::Wav:
      return ".wav";
    case AudioFormat::Mp3:
      return ".mp3";
    case AudioFormat::Mp2:
      return ".mp2";
    case AudioFormat::Flac:
      return ".flac";
    case AudioFormat::Vorbis:
      return ".ogg";
    case AudioFormat::AacM4a:
      return ".m4a";
    case AudioFormat::Wma:
      return ".wma";
    case AudioFormat::Ac3:
      return ".ac3";
    case AudioFormat::Mka:
      return ".mka";
  }
  return "";
}

void EnsureLibraries() {
  if (!LoadMediaLibraries("", true))
    throw std::runtime_error("media libraries: " + MediaLibraryError);
}

std::vector<int16_t> ToneSamples(int rate, int channels, double seconds, double frequencyHz) {
  const int64_t frames = std::llround(seconds * rate);
  std::vector<int16_t> samples(static_cast<size_t>(frames * channels));
  for (int64_t i = 0; i < frames; ++i) {
    const auto value = static_cast<int16_t>(std::lrint(ToneValue(i, rate, frequencyHz) * 32767));
    std::fill_n(samples.begin() + i * channels, channels, value);
  }
  return samples;
}

namespace {
void WriteWav(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples);
}  // namespace

void MakeWav(const std::string& path, int rate, int channels, double seconds, double frequencyHz) {
  WriteWav(path, rate, channels, ToneSamples(rate, channels, seconds, frequencyHz));
}

namespace {
void WriteWav(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples) {
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) Fail("cannot create", path);
  out.write("RIFF", 4);
  WriteLittleEndian(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  WriteLittleEndian(out, 16, 4);  // size of the format chunk
  WriteLittleEndian(out, 1, 2);   // PCM
  WriteLittleEndian(out, static_cast<uint32_t>(channels), 2);
  WriteLittleEndian(out, static_cast<uint32_t>(rate), 4);
  WriteLittleEndian(out, static_cast<uint32_t>(rate * channels * 2), 4);  // bytes per second
  WriteLittleEndian(out, static_cast<uint32_t>(channels * 2), 2);         // block align
  WriteLittleEndian(out, 16, 2);                                          // bits per sample
  out.write("data", 4);
  WriteLittleEndian(out, dataBytes, 4);
  for (int16_t sample : samples) WriteLittleEndian(out, static_cast<uint16_t>(sample), 2);
  if (!out.flush()) Fail("cannot write", path);
}

// The chapters of AudioExtras, owned by the output's context from here on.
void AddChapters(AVFormatContext* output, const std::vector<std::pair<double, std::string>>& chapters,
                 double seconds, const std::string& path) {
  for (size_t i = 0; i < chapters.size(); ++i) {
    auto* chapter = static_cast<AVChapter*>(AVU.av_mallocz(sizeof(AVChapter)));
    auto* grown = static_cast<AVChapter**>(
        AVU.av_realloc(output->chapters, (output->nb_chapters + 1) * sizeof(AVChapter*)));
    if (!chapter || !grown) {
      AVU.av_free(chapter);
      Fail("cannot add a chapter", path);
    }
    output->chapters = grown;
    chapter->id = static_cast<int64_t>(i + 1);
    chapter->time_base = {1, 1000};
    chapter->start = std::llround(chapters[i].first * 1000);
    chapter->end = std::llround((i + 1 < chapters.size() ? chapters[i + 1].first : seconds) * 1000);
    AVU.av_dict_set(&chapter->metadata, "title", chapters[i].second.c_str(), 0);
    output->chapters[output->nb_chapters++] = chapter;
  }
}
}  // namespace
void MakeFloatWav(const std::string& path, int rate, int channels,
                  const std::vector<float>& samples) {
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 4);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) Fail("cannot create", path);
  out.write("RIFF", 4);
  WriteLittleEndian(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  WriteLittleEndian(out, 16, 4);
  WriteLittleEndian(out, 3, 2);  // IEEE float
  WriteLittleEndian(out, static_cast<uint32_t>(channels), 2);
  WriteLittleEndian(out, static_cast<uint32_t>(rate), 4);
  WriteLittleEndian(out, static_cast<uint32_t>(rate * channels * 4), 4);
  WriteLittleEndian(out, static_cast<uint32_t>(channels * 4), 2);
  WriteLittleEndian(out, 32, 2);
  out.write("data", 4);
  WriteLittleEndian(out, dataBytes, 4);
  for (float sample : samples) {
    uint32_t bits;
    std::memcpy(&bits, &sample, 4);
    WriteLittleEndian(out, bits, 4);
  }
  if (!out.flush()) Fail("cannot write", path);
}

void MakeAudio(const std::string& path, AudioFormat format, int rate, int channels, double seconds,
               double frequencyHz) {
  MakeAudio(path, format, rate, channels, seconds, frequencyHz, AudioExtras{});
}

void MakeAudio(const std::string& path, AudioFormat format, int rate, int channels, double seconds,
               double frequencyHz, const AudioExtras& extras) {
  ToneChanges changes;
  if (!extras.segments.empty()) frequencyHz = SegmentTone(extras.segments, rate, changes, seconds);
  if (format == AudioFormat::Wav) {
    std::vector<int16_t> samples = ToneSamples(rate, channels, seconds, frequencyHz);
    for (size_t i = 0; i < samples.size() / channels; ++i) {
      const double hz = FrequencyAt(static_cast<int64_t>(i), frequencyHz, changes);
      const auto value = static_cast<int16_t>(
          std::lrint(ToneValue(static_cast<int64_t>(i), rate, hz) * 32767));
      std::fill_n(samples.begin() + static_cast<std::ptrdiff_t>(i * channels), channels, value);
    }
    return WriteWav(path, rate, channels, samples);
  }
  EnsureLibraries();
  QuietLibraries quiet;
  const char* container = nullptr;
  const AVCodec* codec = nullptr;
  switch (format) {
    case AudioFormat::Mp3:
      container = "mp3";
      codec = FirstEncoder({"libmp3lame"}, path);
      break;
    case AudioFormat::Mp2:
      container = "mp2";
      codec = FirstEncoder({"mp2", "mp2fixed"}, path);
      break;
    case AudioFormat::Flac:
      container = "flac";
      codec = FirstEncoder({"flac"}, path);
      break;
    case AudioFormat::Vorbis:
      container = "ogg";
      codec = FirstEncoder({"libvorbis", "vorbis"}, path);
      break;
    case AudioFormat::AacM4a:
      container = "ipod";
      codec = FirstEncoder({"aac"}, path);
      break;
    case AudioFormat::Wma:
      container = "asf";
      codec = FirstEncoder({"wmav2", "wmav1"}, path);
      break;
    case AudioFormat::Ac3:
      container = "ac3";
      codec = FirstEncoder({"ac3", "ac3_fixed"}, path);
      break;
    case AudioFormat::Mka:
      container = "matroska";
      codec = FirstEncoder({"libvorbis", "vorbis"}, path);
      break;
    case AudioFormat::Wav:
      break;
  }
  Output output(path, container);
  ToneTrack track = AddToneTrack(output, codec, rate, channels, seconds, frequencyHz, extras.bits);
  track.Noise = extras.noise;
  track.Changes = changes;
  AddChapters(output.Context.get(), extras.chapters, seconds, path);
  for (const auto& [key, value] : extras.tags)
    AVU.av_dict_set(&output.Context->metadata, key.c_str(), value.c_str(), 0);
  PacketPtr cover;
  AVStream* coverStream = nullptr;
  if (extras.cover) {
    cover = CoverPicture(path);
    coverStream = AVF.avformat_new_stream(output.Context.get(), nullptr);
    if (!coverStream) Fail("cannot add a stream", path);
    coverStream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    coverStream->codecpar->codec_id = AV_CODEC_ID_PNG;
    coverStream->codecpar->width = CoverSize;
    coverStream->codecpar->height = CoverSize;
    coverStream->disposition = AV_DISPOSITION_ATTACHED_PIC;
  }
  output.Open();
  if (coverStream) {
    cover->stream_index = coverStream->index;
    Check(AVF.av_interleaved_write_frame(output.Context.get(), cover.get()),
          "cannot write the cover", path);
  }
  while (!track.Done) WriteNextToneFrame(output, track);
  Finish(output);
}

void MakeEncoded(const std::string& path, const char* container, const char* encoder, int rate,
                 int channels, double seconds, double frequencyHz) {
  EnsureLibraries();
  QuietLibraries quiet;
  Output output(path, container);
  ToneTrack track =
      AddToneTrack(output, FirstEncoder({encoder}, path), rate, channels, seconds, frequencyHz);
  output.Open();
  while (!track.Done) WriteNextToneFrame(output, track);
  Finish(output);
}

void MakeVideo(const std::string& path, const VideoClip& clip) {
  EnsureLibraries();
  QuietLibraries quiet;
  const std::string name = Lower(path);
  const auto endsWith = [&](const char* ext) {
    const std::string e = ext;
    return name.size() >= e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
  };
  const char* container;
  const AVCodec* videoCodec;
  const AVCodec* audioCodec;
  if (endsWith(".avi")) {
    container = "avi";
    videoCodec = FirstEncoder({"mpeg4"}, path);
    audioCodec = FirstEncoder({"libmp3lame"}, path);
  } else if (endsWith(".mpg") || endsWith(".mpeg")) {
    container = "mpeg";
    videoCodec = FirstEncoder({"mpeg1video"}, path);
    audioCodec = FirstEncoder({"mp2", "mp2fixed"}, path);
  } else if (endsWith(".mkv")) {
    container = "matroska";
    videoCodec = FirstEncoder({"mpeg4"}, path);
    audioCodec = FirstEncoder({"libvorbis", "vorbis"}, path);
  } else {
    Fail("no video container for this extension", path);
  }

  Output output(path, container);
  VideoTrack video;
  if (!video.Frame) Fail("cannot allocate a frame", path);
  video.Enc = AddEncoder(output, videoCodec, [&](AVCodecContext* c) {
    c->width = clip.width;
    c->height = clip.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->framerate = clip.frameRate;
    c->time_base = av_inv_q(clip.frameRate);
    c->gop_size = 12;
    c->bit_rate = 400000;
  });
  video.Total = std::llround(clip.seconds * av_q2d(clip.frameRate));
  video.Enc.Stream->avg_frame_rate = clip.frameRate;

  ToneTrack audio;
  audio.Done = !clip.withAudio;
  if (clip.withAudio)
    audio = AddToneTrack(output, audioCodec, clip.sampleRate, clip.channels, clip.seconds,
                         clip.frequencyHz);
  output.Open();
  // Feed whichever track is behind so the muxer sees them interleaved.
  while (!video.Done || !audio.Done) {
    const bool audioNext =
        !audio.Done && (video.Done || audio.Enc.NextPts * av_q2d(audio.Enc.Context->time_base) <
                                          video.Enc.NextPts * av_q2d(video.Enc.Context->time_base));
    if (audioNext)
      WriteNextToneFrame(output, audio);
    else
      WriteNextPicture(output, video);
  }
  Finish(output);
}

const StreamInfo* FileInfo::First(int type) const {
  for (const StreamInfo& stream : streams)
    if (stream.type == type) return &stream;
  return nullptr;
}

int FileInfo::Count(int type) const {
  return static_cast<int>(std::count_if(streams.begin(), streams.end(),
                                        [&](const StreamInfo& s) { return s.type == type; }));
}

FileInfo Probe(const std::string& path) {
  EnsureLibraries();
  QuietLibraries quiet;
  InputPtr input = OpenInput(path);
  FileInfo info;
  info.formatName = input->iformat->name;
  if (input->duration != AV_NOPTS_VALUE) info.duration = input->duration / double(AV_TIME_BASE);
  info.bitRate = input->bit_rate;
  info.tags = Tags(input->metadata);
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    const AVCodecParameters* par = stream->codecpar;
    StreamInfo s;
    s.type = par->codec_type;
    s.codecId = par->codec_id;
    s.codecName = AVC.avcodec_get_name(par->codec_id);
    s.sampleRate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
    s.bitRate = par->bit_rate;
    if (stream->duration != AV_NOPTS_VALUE)
      s.duration = stream->duration * av_q2d(stream->time_base);
    s.width = par->width;
    s.height = par->height;
    s.frameRate = stream->avg_frame_rate;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO && par->format >= 0)
      if (const char* pix = AVU.av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format)))
        s.pixelFormat = pix;
    s.tags = Tags(stream->metadata);
    if (par->codec_type == AVMEDIA_TYPE_AUDIO)
      s.bitsPerSample =
          par->bits_per_raw_sample ? par->bits_per_raw_sample : par->bits_per_coded_sample;
    s.attachedPicture = (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
    info.streams.push_back(std::move(s));
  }
  return info;
}

double DecodedAudio::Seconds() const { return rate > 0 ? double(Frames()) / rate : 0; }

size_t DecodedAudio::Frames() const { return channels > 0 ? samples.size() / channels : 0; }

DecodedAudio DecodeAudio(const std::string& path) {
  EnsureLibraries();
  QuietLibraries quiet;
  InputPtr input = OpenInput(path);
  FirstStreamDecoder first = OpenFirstDecoder(input.get(), AVMEDIA_TYPE_AUDIO, path);
  const int index = first.index;
  CodecContextPtr decoder = std::move(first.decoder);

  DecodedAudio audio;
  audio.rate = decoder->sample_rate;
  audio.channels = decoder->ch_layout.nb_channels;
  AVChannelLayout layout{};
  if (decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    AVU.av_channel_layout_default(&layout, audio.channels);
  else
    Check(AVU.av_channel_layout_copy(&layout, &decoder->ch_layout), "channel layout", path);
  SwrContext* rawResampler = nullptr;
  const int made = SWR.swr_alloc_set_opts2(&rawResampler, &layout, AV_SAMPLE_FMT_S16, audio.rate,
                                           &layout, decoder->sample_fmt, audio.rate, 0, nullptr);
  ResamplerPtr resampler(rawResampler);
  AVU.av_channel_layout_uninit(&layout);
  Check(made, "cannot make a converter", path);
  Check(SWR.swr_init(resampler.get()), "cannot start the converter", path);

  PacketPtr packet(AVC.av_packet_alloc());
  FramePtr frame(AVU.av_frame_alloc());
  const auto drain = [&] {
    for (;;) {
      const int result = AVC.avcodec_receive_frame(decoder.get(), frame.get());
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
      Check(result, "cannot decode", path);
      const size_t start = audio.samples.size();
      audio.samples.resize(start + size_t(frame->nb_samples) * audio.channels);
      uint8_t* out = reinterpret_cast<uint8_t*>(audio.samples.data() + start);
      const int converted =
          SWR.swr_convert(resampler.get(), &out, frame->nb_samples,
                          const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
      Check(converted, "cannot convert samples", path);
      audio.samples.resize(start + size_t(converted) * audio.channels);
      AVU.av_frame_unref(frame.get());
    }
  };
  while (AVF.av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index) {
      // A damaged packet is skipped, as a player would.
      if (AVC.avcodec_send_packet(decoder.get(), packet.get()) >= 0) drain();
    }
    AVC.av_packet_unref(packet.get());
  }
  AVC.avcodec_send_packet(decoder.get(), nullptr);
  drain();
  return audio;
}

std::vector<int32_t> DecodeSamples32(const std::string& path) {
  EnsureLibraries();
  QuietLibraries quiet;
  InputPtr input = OpenInput(path);
  FirstStreamDecoder first = OpenFirstDecoder(input.get(), AVMEDIA_TYPE_AUDIO, path);
  CodecContextPtr decoder = std::move(first.decoder);
  std::vector<int32_t> samples;
  PacketPtr packet(AVC.av_packet_alloc());
  FramePtr frame(AVU.av_frame_alloc());
  const auto drain = [&] {
    while (AVC.avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      const auto format = static_cast<AVSampleFormat>(frame->format);
      const int channels = frame->ch_layout.nb_channels;
      const bool planar = AVU.av_sample_fmt_is_planar(format);
      for (int i = 0; i < frame->nb_samples; ++i) {
        for (int c = 0; c < channels; ++c) {
          const int slot = planar ? i : i * channels + c;
          const uint8_t* plane = frame->extended_data[planar ? c : 0];
          switch (format) {
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P:
              samples.push_back(int32_t{reinterpret_cast<const int16_t*>(plane)[slot]} * 65536);
              break;
            case AV_SAMPLE_FMT_S32:
            case AV_SAMPLE_FMT_S32P:
              samples.push_back(reinterpret_cast<const int32_t*>(plane)[slot]);
              break;
            default:
              Fail("DecodeSamples32: not an integer format", path);
          }
        }
      }
      AVU.av_frame_unref(frame.get());
    }
  };
  while (AVF.av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == first.index &&
        AVC.avcodec_send_packet(decoder.get(), packet.get()) >= 0)
      drain();
    AVC.av_packet_unref(packet.get());
  }
  AVC.avcodec_send_packet(decoder.get(), nullptr);
  drain();
  return samples;
}

double DominantFrequency(const DecodedAudio& audio, int channel) {
  const size_t frames = audio.Frames();
  if (frames < 16 || channel >= audio.channels) return 0;
  const size_t begin = frames / 10, end = frames - frames / 10;
  int peak = 0;
  for (size_t i = begin; i < end; ++i)
    peak = std::max(peak, std::abs(int(audio.samples[i * audio.channels + channel])));
  if (peak < 64) return 0;  // silence or noise
  const int threshold = peak / 4;
  bool below = false;
  int64_t firstRise = -1, lastRise = -1, rises = 0;
  for (size_t i = begin; i < end; ++i) {
    const int value = audio.samples[i * audio.channels + channel];
    if (value < -threshold) below = true;
    if (below && value > threshold) {
      below = false;
      if (firstRise < 0) firstRise = static_cast<int64_t>(i);
      lastRise = static_cast<int64_t>(i);
      ++rises;
    }
  }
  if (rises < 2) return 0;
  return double(rises - 1) * audio.rate / double(lastRise - firstRise);
}

double Rms(const DecodedAudio& audio) {
  if (audio.samples.empty()) return 0;
  double sum = 0;
  for (int16_t s : audio.samples) sum += double(s) * s;
  return std::sqrt(sum / audio.samples.size()) / 32768.0;
}

}  // namespace MediaFixtures
