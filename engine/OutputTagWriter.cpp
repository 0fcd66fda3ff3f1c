#include "engine/OutputTagWriter.h"

#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <cstring>
#include <utility>

namespace {

enum class TagFile { None, Mpeg, Flac, Vorbis, Opus, Mp4, Wav };

TagFile TagFileOf(const AVFormatContext* output) {
  AVCodecID audio = AV_CODEC_ID_NONE;
  for (unsigned i = 0; i < output->nb_streams; ++i) {
    const AVStream* stream = output->streams[i];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && audio == AV_CODEC_ID_NONE)
      audio = stream->codecpar->codec_id;
    // Moving pictures make it a video; its tags stay the muxer's.
    else if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO &&
             !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
      return TagFile::None;
  }
  if (audio == AV_CODEC_ID_NONE) return TagFile::None;
  const auto is = [&](const char* name) { return std::strcmp(output->oformat->name, name) == 0; };
  if (is("mp3")) return TagFile::Mpeg;
  if (is("flac")) return TagFile::Flac;
  if (is("ogg") || is("oga") || is("opus")) {
    if (audio == AV_CODEC_ID_VORBIS) return TagFile::Vorbis;
    if (audio == AV_CODEC_ID_OPUS) return TagFile::Opus;
    return TagFile::None;
  }
  if (is("ipod") || is("mp4") || is("mov")) return TagFile::Mp4;
  if (is("wav")) return TagFile::Wav;
  return TagFile::None;
}

TagLib::PropertyMap ToProperties(const TagSet& tags) {
  TagLib::PropertyMap properties;
  for (const auto& [key, values] : tags) {
    TagLib::StringList list;
    for (const std::string& value : values)
      list.append(TagLib::String(value, TagLib::String::UTF8));
    if (!list.isEmpty()) properties.insert(TagLib::String(key, TagLib::String::UTF8), list);
  }
  return properties;
}

// ID3v2 and MP4 keep a total with its number ("3/12"); Vorbis comments may
// hold it apart (TRACKNUMBER=3, TRACKTOTAL=12) and stay as they are.
struct TotalNames {
  const char* number;
  const char* totals[2];  // the first is the one written
};
const TotalNames Totals[] = {
    {"TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"}},
    {"DISCNUMBER", {"DISCTOTAL", "TOTALDISCS"}},
};

// Fitted for ID3v2 and MP4, which have no field of Vorbis' DESCRIPTION: it
// is their comment (as TagLib's and FFmpeg's own readers take it); and a
// total joins its number.
void FitOutsideVorbis(TagLib::PropertyMap& properties) {
  if (properties.contains("DESCRIPTION") && !properties.contains("COMMENT")) {
    properties.insert("COMMENT", properties["DESCRIPTION"]);
    properties.erase("DESCRIPTION");
  }
  for (const auto& [number, totals] : Totals)
    for (const char* total : totals) {
      if (!properties.contains(total)) continue;
      if (properties.contains(number) && !properties[number].isEmpty() &&
          properties[number].front().find("/") < 0 && !properties[total].isEmpty())
        properties.replace(number, properties[number].front() + "/" + properties[total].front());
      properties.erase(total);
    }
}

// TagLib writes the MusicBrainz TXXX descriptions in capitals; taggers and
// the players that look albums up by them write and expect these.
const char* const TaggerDescriptions[] = {
    "MusicBrainz Album Id",
    "MusicBrainz Artist Id",
    "MusicBrainz Album Artist Id",
    "MusicBrainz Album Release Country",
    "MusicBrainz Album Status",
    "MusicBrainz Album Type",
    "MusicBrainz Release Group Id",
    "MusicBrainz Release Track Id",
    "MusicBrainz Work Id",
    "MusicBrainz Disc Id",
    "MusicBrainz Original Album Id",
    "MusicBrainz Original Artist Id",
    "Acoustid Id",
    "Acoustid Fingerprint",
    "MusicIP PUID",
};

void SpellDescriptionsAsTaggers(TagLib::ID3v2::Tag* tag) {
  for (TagLib::ID3v2::Frame* frame : tag->frameList("TXXX")) {
    auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
    if (!text) continue;
    for (const char* description : TaggerDescriptions)
      if (text->description().upper() == TagLib::String(description).upper())
        text->setDescription(description);
  }
}

// The muxer's own fields that no source or record replaces (its encoder
// name) are kept as it wrote them.
void KeepMuxerFields(const TagLib::PropertyMap& written, TagLib::PropertyMap& properties) {
  for (const char* key : {"ENCODER", "ENCODING", "ENCODEDBY"})
    if (written.contains(key) && !properties.contains(key)) properties.insert(key, written[key]);
}

// The muxer's text fields give way to ours whole: a field it wrote under
// another frame (FFmpeg's TXXX "comment") does not stay beside ours.
template <typename Tag>
TagLib::PropertyMap Replace(Tag* tag, const TagLib::PropertyMap& properties) {
  tag->setProperties(TagLib::PropertyMap());
  return tag->setProperties(properties);
}

bool SaveMpeg(const char* path, const TagLib::PropertyMap& wanted) {
  TagLib::MPEG::File file(path, false);
  if (!file.isValid()) return false;
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
  TagLib::PropertyMap properties = wanted;
  KeepMuxerFields(tag->properties(), properties);
  FitOutsideVorbis(properties);
  Replace(tag, properties);
  SpellDescriptionsAsTaggers(tag);
  return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                   TagLib::File::DoNotDuplicate);
}

template <typename File>
bool SaveXiph(const char* path, const TagLib::PropertyMap& wanted) {
  File file(path, false);
  if (!file.isValid()) return false;
  TagLib::Ogg::XiphComment* tag = file.tag();
  if (!tag) return false;
  TagLib::PropertyMap properties = wanted;
  KeepMuxerFields(tag->properties(), properties);
  Replace(tag, properties);
  return file.save();
}

bool SaveFlac(const char* path, const TagLib::PropertyMap& wanted) {
  TagLib::FLAC::File file(path, false);
  if (!file.isValid()) return false;
  TagLib::Ogg::XiphComment* tag = file.xiphComment(true);
  TagLib::PropertyMap properties = wanted;
  KeepMuxerFields(tag->properties(), properties);
  Replace(tag, properties);
  return file.save();
}

bool SaveMp4(const char* path, const TagLib::PropertyMap& wanted) {
  TagLib::MP4::File file(path, false);
  if (!file.isValid() || !file.tag()) return false;
  TagLib::MP4::Tag* tag = file.tag();
  TagLib::PropertyMap properties = wanted;
  KeepMuxerFields(tag->properties(), properties);
  FitOutsideVorbis(properties);
  const TagLib::PropertyMap rest = Replace(tag, properties);
  // What has no atom of its own becomes a freeform atom, as taggers write.
  for (const auto& [key, values] : rest)
    tag->setItem("----:com.apple.iTunes:" + key, TagLib::MP4::Item(values));
  return file.save();
}

bool SaveWav(const char* path, const TagLib::PropertyMap& wanted) {
  TagLib::RIFF::WAV::File file(path, false);
  if (!file.isValid()) return false;
  TagLib::PropertyMap properties = wanted;
  FitOutsideVorbis(properties);
  Replace(file.ID3v2Tag(), properties);
  SpellDescriptionsAsTaggers(file.ID3v2Tag());
  // Only the ID3v2 chunk, which goes after the samples: the muxer's INFO
  // list stands before them, and changing its size would move every sample.
  return file.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4);
}

}  // namespace

bool TagWriterTakes(const AVFormatContext* output) {
  return output && output->oformat && TagFileOf(output) != TagFile::None;
}

bool WriteOutputTags(const std::string& path, const AVFormatContext* output, const TagSet& tags,
                     std::string& error) {
  // Without tags of its own the output stays as its muxer wrote it.
  if (tags.empty()) return true;
  const TagLib::PropertyMap properties = ToProperties(tags);
  bool saved = false;
  switch (TagFileOf(output)) {
    case TagFile::Mpeg:
      saved = SaveMpeg(path.c_str(), properties);
      break;
    case TagFile::Flac:
      saved = SaveFlac(path.c_str(), properties);
      break;
    case TagFile::Vorbis:
      saved = SaveXiph<TagLib::Ogg::Vorbis::File>(path.c_str(), properties);
      break;
    case TagFile::Opus:
      saved = SaveXiph<TagLib::Ogg::Opus::File>(path.c_str(), properties);
      break;
    case TagFile::Mp4:
      saved = SaveMp4(path.c_str(), properties);
      break;
    case TagFile::Wav:
      saved = SaveWav(path.c_str(), properties);
      break;
    case TagFile::None:
      return true;
  }
  if (!saved) error = "the tags could not be written";
  return saved;
}
