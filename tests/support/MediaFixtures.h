// Test media made at test time: tones and silence written as PCM WAV by our
// own code, or encoded with the installed FFmpeg libraries into the formats
// the tests need; and the means to check a written file without an external
// tool (probe, decode to 16-bit PCM, estimate a tone's frequency).
//
// Every call loads the media libraries first when they are not loaded yet
// (LoadMediaLibraries("", true)), and reaches them only through the run-time
// tables. Failures throw std::runtime_error naming the step and the library's
// error text. Single-threaded use; nothing is kept between calls.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>  // AVMediaType, AVRational
}

namespace MediaFixtures {

enum class AudioFormat { Wav, Mp3, Mp2, Flac, Vorbis, AacM4a, Wma, Ac3, Mka };

// Every format, for tables of cases.
const std::vector<AudioFormat>& AllAudioFormats();
// A short name for test output ("mp3", "aac-m4a", ...).
const char* FormatName(AudioFormat format);
// The usual file extension, with its dot (".mp3", ".m4a", ".mka", ...).
const char* FormatExtension(AudioFormat format);

// Loads the media libraries from the system if needed; throws when it cannot.
void EnsureLibraries();

// A tone of frequencyHz at half full scale on every channel, or silence when
// frequencyHz is 0, as 16-bit interleaved samples.
std::vector<int16_t> ToneSamples(int rate, int channels, double seconds, double frequencyHz);

// Writes a canonical 44-byte-header 16-bit PCM WAV file with our own code.
void MakeWav(const std::string& path, int rate, int channels, double seconds, double frequencyHz);

// Writes a 32-bit floating-point WAV (format tag 3) of the given interleaved
// samples, written as they are: NaN, infinities and values beyond full scale
// included.
void MakeFloatWav(const std::string& path, int rate, int channels,
                  const std::vector<float>& samples);

// Writes a tone (or silence) in the given format. Wav uses MakeWav; the others
// are encoded by the libraries: MP3 (libmp3lame), MP2, FLAC, Ogg Vorbis, AAC in
// M4A, WMA (wmav2) in ASF, raw AC-3, Vorbis in Matroska (MKA). The rate must be
// one the encoder supports (44100 and 48000 suit them all).
void MakeAudio(const std::string& path, AudioFormat format, int rate, int channels, double seconds,
               double frequencyHz);

// Writes a tone (or silence) with the named encoder into the named container
// ("wav" with "pcm_f64le", "aiff" with "pcm_alaw", "au" with "pcm_s8", "ogg"
// with "libopus", ...), in the encoder's first sample format.
void MakeEncoded(const std::string& path, const char* container, const char* encoder, int rate,
                 int channels, double seconds, double frequencyHz);

// What a fixture carries besides its tone: container tags, a small PNG cover
// (an attached picture; MP3 and FLAC only), for FLAC the sample depth (16 or
// 24 bits), and white noise of the given peak (full scale = 1) mixed in, so
// that VBR encoders meet a signal of some substance.
struct AudioExtras {
  std::map<std::string, std::string> tags;
  bool cover = false;
  int bits = 16;
  double noise = 0;
  // A tone that changes: each segment's frequency for its seconds, in order
  // (the call's seconds and frequency are then not used). Any format.
  std::vector<std::pair<double, double>> segments;  // seconds, Hz
  // Chapters muxed into the file (M4A, MKA): start in seconds and title,
  // each running to the next one's start, the last to the end.
  std::vector<std::pair<double, std::string>> chapters;
};

void MakeAudio(const std::string& path, AudioFormat format, int rate, int channels, double seconds,
               double frequencyHz, const AudioExtras& extras);

struct VideoClip {
  int width = 320;
  int height = 240;
  AVRational frameRate = {25, 1};
  double seconds = 1.0;
  bool withAudio = true;  // a tone track besides the pictures
  int sampleRate = 44100;
  int channels = 2;
  double frequencyHz = 440;
};

// Writes a short video with moving pictures; the container and codecs follow
// the extension: ".avi" MPEG-4 part 2 + MP3, ".mpg"/".mpeg" MPEG-1 video + MP2
// (the frame rate must be an MPEG-1 rate, such as 25/1 or 30000/1001), ".mkv"
// MPEG-4 part 2 + Vorbis.
void MakeVideo(const std::string& path, const VideoClip& clip);

struct StreamInfo {
  int type = -1;  // AVMEDIA_TYPE_*
  int codecId = 0;
  std::string codecName;
  int sampleRate = 0;
  int channels = 0;
  int64_t bitRate = 0;
  double duration = -1;  // seconds; -1 when the stream states none
  int width = 0;
  int height = 0;
  AVRational frameRate = {0, 0};  // average frame rate
  std::string pixelFormat;        // empty when not video or unknown
  int bitsPerSample = 0;          // audio: bits a sample holds as the stream states them
  bool attachedPicture = false;   // a cover, not a moving picture
  std::map<std::string, std::string> tags;
};

struct FileInfo {
  std::string formatName;  // the demuxer's short name, e.g. "mp3", "mov,mp4,m4a,3gp,3g2,mj2"
  double duration = -1;    // seconds; -1 when unknown
  int64_t bitRate = 0;
  std::vector<StreamInfo> streams;
  std::map<std::string, std::string> tags;  // container metadata

  // The first stream of a type, or nullptr.
  const StreamInfo* First(int type) const;
  int Count(int type) const;
};

// Opens and probes a file.
FileInfo Probe(const std::string& path);

struct DecodedAudio {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;  // interleaved
  double Seconds() const;
  size_t Frames() const;
};

// Decodes the file's first audio stream to 16-bit interleaved PCM at the
// stream's own rate and channel count.
DecodedAudio DecodeAudio(const std::string& path);

// The first audio stream's decoded samples at full precision, interleaved,
// as 32-bit integers (16-bit sources fill the top 16 bits).
std::vector<int32_t> DecodeSamples32(const std::string& path);

// The tone's frequency on one channel, from the rising zero crossings (with
// hysteresis) of the middle 80% of the signal, which skips encoder delay and
// padding. 0 when there is no tone.
double DominantFrequency(const DecodedAudio& audio, int channel = 0);

// Root mean square of all samples, full scale = 1.
double Rms(const DecodedAudio& audio);

}  // namespace MediaFixtures
