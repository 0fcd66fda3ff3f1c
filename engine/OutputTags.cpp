#include "engine/OutputTags.h"

#include <strings.h>

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "engine/TagNames.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"

namespace {

const char* Value(const AVDictionary* tags, const char* key) {
  const AVDictionaryEntry* entry = tags ? AVU.av_dict_get(tags, key, nullptr, 0) : nullptr;
  return entry && entry->value && entry->value[0] ? entry->value : nullptr;
}

const char* MimeType(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_MJPEG:
      return "image/jpeg";
    case AV_CODEC_ID_PNG:
      return "image/png";
    case AV_CODEC_ID_BMP:
      return "image/bmp";
    case AV_CODEC_ID_GIF:
      return "image/gif";
    default:
      return nullptr;
  }
}

// The ID3v2 picture types by number, under the names the demuxers give a
// cover stream's "comment" and the muxers read back.
const char* const PictureTypes[] = {
    "Other",
    "32x32 pixels 'file icon'",
    "Other file icon",
    "Cover (front)",
    "Cover (back)",
    "Leaflet page",
    "Media (e.g. label side of CD)",
    "Lead artist/lead performer/soloist",
    "Artist/performer",
    "Conductor",
    "Band/Orchestra",
    "Composer",
    "Lyricist/text writer",
    "Recording Location",
    "During recording",
    "During performance",
    "Movie/video screen capture",
    "A bright coloured fish",
    "Illustration",
    "Band/artist logotype",
    "Publisher/Studio logotype",
};
constexpr uint32_t FrontCover = 3;

uint32_t PictureType(const AVStream* cover) {
  if (const char* kind = Value(cover->metadata, "comment"))
    for (uint32_t i = 0; i < std::size(PictureTypes); ++i)
      if (strcasecmp(kind, PictureTypes[i]) == 0) return i;
  return FrontCover;
}

void PutBigEndian(std::vector<uint8_t>& block, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    block.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

void CopySourceTags(const AVFormatContext* source, AVDictionary** tags) {
  if (!source) return;
  const AVDictionary* audio = nullptr;
  for (unsigned i = 0; i < source->nb_streams && !audio; ++i)
    if (source->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
      audio = source->streams[i]->metadata;
  for (const auto& names : TagNames) {
    const char* key = *names.begin();
    if (Value(*tags, key)) continue;
    for (const AVDictionary* from : {static_cast<const AVDictionary*>(source->metadata), audio}) {
      const char* found = nullptr;
      for (const char* name : names)
        if (!found) found = Value(from, name);
      if (found) {
        AVU.av_dict_set(tags, key, found, 0);
        break;
      }
    }
  }
}

const AVStream* FindCover(const AVFormatContext* source) {
  if (!source) return nullptr;
  for (unsigned i = 0; i < source->nb_streams; ++i) {
    const AVStream* stream = source->streams[i];
    if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && stream->attached_pic.size > 0)
      return stream;
  }
  return nullptr;
}

CoverCarrier CoverCarrierOf(const AVOutputFormat* format) {
  for (const char* name : {"mp3", "flac", "ipod", "mp4", "mov"})
    if (std::strcmp(format->name, name) == 0) return CoverCarrier::Stream;
  for (const char* name : {"ogg", "oga", "opus"})
    if (std::strcmp(format->name, name) == 0) return CoverCarrier::CommentTag;
  return CoverCarrier::None;
}

std::string PictureBlockTag(const AVStream* cover) {
  const char* mime = MimeType(cover->codecpar->codec_id);
  if (!mime) return {};
  const AVPacket& picture = cover->attached_pic;
  std::vector<uint8_t> block;
  block.reserve(32 + std::strlen(mime) + 256 + picture.size);
  const char* description = Value(cover->metadata, "title");
  const size_t described = description ? std::strlen(description) : 0;
  PutBigEndian(block, PictureType(cover));
  PutBigEndian(block, static_cast<uint32_t>(std::strlen(mime)));
  block.insert(block.end(), mime, mime + std::strlen(mime));
  PutBigEndian(block, static_cast<uint32_t>(described));
  block.insert(block.end(), description, description + described);
  PutBigEndian(block, static_cast<uint32_t>(cover->codecpar->width));
  PutBigEndian(block, static_cast<uint32_t>(cover->codecpar->height));
  PutBigEndian(block, 24);  // colour depth, as picture readers expect for true colour
  PutBigEndian(block, 0);   // not an indexed picture
  PutBigEndian(block, static_cast<uint32_t>(picture.size));
  block.insert(block.end(), picture.data, picture.data + picture.size);
  std::string text(AV_BASE64_SIZE(block.size()), '\0');
  if (!AVU.av_base64_encode(text.data(), static_cast<int>(text.size()), block.data(),
                            static_cast<int>(block.size())))
    return {};
  text.resize(std::strlen(text.c_str()));
  return text;
}

void CopyCoverKind(const AVStream* cover, AVStream* picture) {
  AVU.av_dict_set(&picture->metadata, "comment", PictureTypes[PictureType(cover)], 0);
  if (const char* description = Value(cover->metadata, "title"))
    AVU.av_dict_set(&picture->metadata, "title", description, 0);
}
