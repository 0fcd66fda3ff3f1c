// The tags a source carries, every one of them, in the writer's naming
// (TagSet.h). Read with TagLib, which knows each format's fields (ID3v2
// frames and TXXX descriptions, UFID, MP4 atoms and freeform atoms, Vorbis
// comments, APE and ASF items) and keeps multi-valued fields apart; for a
// file TagLib does not read (Matroska, AC-3, ...) the demuxer's tags stand
// in, each value whole (the demuxer joins repeated fields with ';').
//
// Fields that describe the source's encoding rather than the recording
// (ENCODER, ENCODING, LENGTH, iTunes' ITUNSMPB and ITUNNORM) are left out:
// they would be wrong for the output. The source file is only read.
#pragma once

#include "engine/TagSet.h"

extern "C" {
#include <libavformat/avformat.h>
}

TagSet ReadSourceTags(const AVFormatContext* source);

// The unified name of a demuxer tag key ("album_artist" -> "ALBUMARTIST",
// "track" -> "TRACKNUMBER", "MUSICBRAINZ_ALBUMID" as it is), or empty for a
// key that is no descriptive tag (the container's technical entries).
std::string UnifiedTagName(const std::string& demuxerKey);
