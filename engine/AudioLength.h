// How long an input's audio says it is, and whether what was decoded falls
// short of it. Containers that count their samples (PCM sizes in WAV, AIFF
// and AU, FLAC's total samples, an MP3's Xing/Info frame count, an M4A's
// sample table) state the length exactly: a decoded length short of it by
// more than about one codec frame is a file cut short, however short the
// file. Other lengths are estimates (a CBR MP3 without an Info frame: size
// over bit rate) and are judged with a tolerance by the caller. Pure
// functions, any thread.
#pragma once

#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

// The audio length of one run's source, as the engine records it at the end
// of the transcode.
struct AudioLengthRecord {
  int SampleRate = 0;       // 0: no audio source was decoded
  int64_t Stated = -1;      // samples per channel the container states; -1 when none
  bool Exact = false;       // Stated is the container's own count, not an estimate
  int64_t Allowance = 0;    // samples Decoded may fall short of an exact Stated
  int64_t Decoded = 0;      // samples per channel decoded
};

// The stated length of `stream` of `input` (opened and probed), in samples
// per channel at the stream's rate; Decoded stays 0. Reads a WAV file's
// header again through the input's I/O context (which it moves), so it is
// for the end of reading.
AudioLengthRecord StatedAudioLength(AVFormatContext& input, const AVStream& stream);

// True when the record shows an exact length that the decoded audio falls
// short of by more than its allowance.
bool CutShort(const AudioLengthRecord& record);
