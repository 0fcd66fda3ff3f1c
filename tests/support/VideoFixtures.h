// Video and subtitle test media made at test time, and the means to read a
// written file back: its packets, its decoded pictures. Companion of
// MediaFixtures (same rules: libraries loaded on first use, reached through
// the run-time tables only, std::runtime_error on failure, single-threaded).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>  // AVRational
}

namespace VideoFixtures {

// Luma of the test pattern at (x, y) of picture n: a diagonal gradient that
// moves by 3 per picture. Chroma is flat: U = 128 + n % 32, V = 128.
inline uint8_t PatternLuma(int x, int y, int n) { return static_cast<uint8_t>(x + y + 3 * n); }

// Writes `seconds` of the test pattern as uncompressed YUV 4:2:0 in a NUT
// file, so that every pixel read back is exactly what was written.
void MakeRawVideo(const std::string& path, int width, int height, AVRational frameRate,
                  double seconds);

struct SubtitleCue {
  int startMs;  // display start, from the file's start
  int endMs;    // display end
};

// Writes DVD (bitmap) subtitles in Matroska, one 64x16 two-colour bitmap per
// cue, and no other stream. Cue times should be multiples of 1024/90 ms
// (such as 512 or 2048) to survive the format's 90 kHz / 1024 clock exactly.
void MakeBitmapSubtitles(const std::string& path, const std::vector<SubtitleCue>& cues);

struct PacketInfo {
  int streamIndex = 0;
  int type = -1;    // AVMEDIA_TYPE_* of its stream
  int64_t pts = 0;  // in timeBase; AV_NOPTS_VALUE when missing
  int64_t dts = 0;
  int64_t duration = 0;
  int size = 0;
  bool key = false;
  AVRational timeBase = {0, 1};
};

// Every packet of the file in the order the demuxer gives them.
std::vector<PacketInfo> ReadPackets(const std::string& path);

struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::string pixelFormat;
  std::vector<uint8_t> planes[3];  // tightly packed; chroma at its own size
  int chromaWidth = 0, chromaHeight = 0;

  uint8_t Y(int x, int y) const { return planes[0][static_cast<size_t>(y) * width + x]; }
  uint8_t U(int x, int y) const { return planes[1][static_cast<size_t>(y) * chromaWidth + x]; }
  uint8_t V(int x, int y) const { return planes[2][static_cast<size_t>(y) * chromaWidth + x]; }
};

// Decodes up to maxPictures pictures of the file's first video stream
// (planar YUV formats only).
std::vector<DecodedPicture> DecodePictures(const std::string& path, int maxPictures);

// Resident memory of this process, in KiB (from /proc/self/status).
long ResidentKiB();

}  // namespace VideoFixtures
