// What an application needs to know of an input, read once when the input is
// described and kept without holding the file or any library object.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "converter/TrackCut.h"

struct TInputDescription {
  std::string Path;
  int64_t Size = -1;        // bytes; -1 unknown
  int64_t DurationMs = -1;  // -1 unknown
  // The container's tags, then those of the first audio stream for keys the
  // container lacks; keys lower-cased.
  std::map<std::string, std::string> Tags;
  // The first audio stream: codec ("mp3", "flac", "pcm_s16le", ...; empty
  // without audio), bit rate (bit/s; the container's when the stream states
  // none; 0 unknown), sample rate (Hz) and channels (0 unknown).
  std::string AudioCodec;
  int64_t AudioBitRate = 0;
  int SampleRate = 0;
  int Channels = 0;
  // The file as it was described: a task refuses to run on a file whose
  // size, modification time or identity has changed since. 0: not known,
  // not checked.
  // The container's chapters, as the demuxer reports them, in order.
  struct Chapter {
    TTrackCut Cut;
    std::string Title;  // empty when it has none
  };
  std::vector<Chapter> Chapters;
  int64_t ModifiedNs = 0;  // modification time, ns since 1970-01-01 UTC
  uint64_t Device = 0;
  uint64_t Inode = 0;
};
