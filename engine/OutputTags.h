// What an output takes over from its source besides the streams: the
// descriptive tags and the cover picture. Called while an output is being
// created, on the thread that creates it; the objects stay the caller's.
#pragma once

#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

// Copies the source's title, artist, album, album artist, date, track, disc,
// genre, comment, composer and copyright (from its container tags, then from
// its first audio stream's, under any of their usual names) into `tags`,
// leaving a key that `tags` already holds as it is.
void CopySourceTags(const AVFormatContext* source, AVDictionary** tags);

// The source's cover: its first stream that is an attached picture and
// carries one, or nullptr.
const AVStream* FindCover(const AVFormatContext* source);

// How an output format carries a cover: as a picture stream (MP3's ID3 APIC,
// FLAC's PICTURE block, the "covr" atom of MP4/M4A/MOV), as a
// METADATA_BLOCK_PICTURE comment of the audio stream (Ogg Vorbis, Opus), or
// not at all.
enum class CoverCarrier { Stream, CommentTag, None };
CoverCarrier CoverCarrierOf(const AVOutputFormat* format);

// The cover as a METADATA_BLOCK_PICTURE value: a FLAC picture block in
// base64, of the cover's kind and with its description. Empty when the
// picture's kind has no MIME type we know.
std::string PictureBlockTag(const AVStream* cover);

// Gives an output's picture stream the source cover's kind and description
// as the muxers that write a picture type read them (the stream's "comment"
// names the ID3v2 picture type, its "title" is the description). A cover
// whose source states no kind (an MP4 covr atom) is the front cover.
void CopyCoverKind(const AVStream* cover, AVStream* picture);
