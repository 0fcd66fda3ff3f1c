// Writes a finished output's tags with TagLib, in place of the text tags its
// muxer wrote, under the names the widely used mapping gives each format:
//   MP3     ID3v2.4: the standard frames (TPE1, TSOP, TSRC, TBPM, TCMP,
//           USLT, ...), TXXX with TagLib's descriptions ("MusicBrainz Album
//           Id", "CATALOGNUMBER"), UFID "http://musicbrainz.org" for the
//           recording ID; several values null-separated in one frame.
//   FLAC, Ogg Vorbis, Opus: Vorbis comments under the names as they are,
//           one field per value.
//   M4A     the iTunes atoms (©ART, soar, cpil, tmpo, ©lyr, ...) and
//           ----:com.apple.iTunes freeform atoms for the rest, several
//           values in one atom.
//   WAV     an ID3v2.4 chunk with all of it, after the samples; the RIFF
//           INFO list before them keeps what the muxer wrote.
// A name the format has no field for travels as a TXXX frame or a freeform
// atom under its own name. Pictures and the muxer's technical fields (its
// encoder name) are left as the muxer wrote them; with no tags at all the
// file is not touched.
#pragma once

#include <string>

#include "engine/TagSet.h"

extern "C" {
#include <libavformat/avformat.h>
}

// Whether the writer knows how `output` (an audio output, perhaps with a
// cover) stores its tags.
bool TagWriterTakes(const AVFormatContext* output);

// Writes `tags` into the closed file at `path`, which `output` described.
// False with `error` when the file could not be read or saved.
bool WriteOutputTags(const std::string& path, const AVFormatContext* output, const TagSet& tags,
                     std::string& error);
