#include "engine/SourceTags.h"

#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/tfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "medialib/AVUtilHlpr.h"

namespace {

// The demuxers' generic names for the fields TagLib names otherwise.
const std::pair<const char*, const char*> GenericNames[] = {
    {"title", "TITLE"},
    {"artist", "ARTIST"},
    {"author", "ARTIST"},
    {"album", "ALBUM"},
    {"album_artist", "ALBUMARTIST"},
    {"albumartist", "ALBUMARTIST"},
    {"album artist", "ALBUMARTIST"},
    {"date", "DATE"},
    {"year", "DATE"},
    {"track", "TRACKNUMBER"},
    {"tracknumber", "TRACKNUMBER"},
    {"disc", "DISCNUMBER"},
    {"discnumber", "DISCNUMBER"},
    {"genre", "GENRE"},
    {"comment", "COMMENT"},
    {"description", "COMMENT"},
    {"composer", "COMPOSER"},
    {"copyright", "COPYRIGHT"},
    {"performer", "PERFORMER"},
    {"publisher", "LABEL"},
    {"encoded_by", "ENCODEDBY"},
    {"language", "LANGUAGE"},
    {"lyrics", "LYRICS"},
    {"grouping", "GROUPING"},
    {"compilation", "COMPILATION"},
};

bool SourceOnly(const std::string& key) {
  for (const char* name : {"ENCODER", "ENCODING", "LENGTH", "ITUNSMPB", "ITUNNORM"})
    if (key == name) return true;
  return false;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// TagLib's MP4 properties name only the atoms it maps; the freeform atoms
// taggers add for the rest ("----:com.apple.iTunes:MOOD") are fields too.
void AddFreeformAtoms(TagLib::File* file, TagLib::PropertyMap& properties) {
  auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file);
  if (!mp4 || !mp4->tag()) return;
  const TagLib::String prefix = "----:com.apple.iTunes:";
  for (const TagLib::String& key : properties.unsupportedData()) {
    if (!key.startsWith(prefix)) continue;
    const TagLib::String name = key.substr(prefix.size()).upper();
    const TagLib::StringList values = mp4->tag()->item(key).toStringList();
    if (!name.isEmpty() && !properties.contains(name) && !values.isEmpty())
      properties.insert(name, values);
  }
}

bool ReadWithTagLib(const char* path, TagSet& tags) {
  TagLib::FileStream stream(path, true);
  if (!stream.isOpen()) return false;
  const TagLib::FileRef file(&stream, false);
  if (file.isNull() || !file.file()->isValid()) return false;
  TagLib::PropertyMap properties = file.file()->properties();
  AddFreeformAtoms(file.file(), properties);
  for (const auto& [key, values] : properties) {
    std::vector<std::string>& kept = tags[key.to8Bit(true)];
    for (const TagLib::String& value : values) kept.push_back(value.to8Bit(true));
  }
  return true;
}

void ReadDemuxerTags(const AVDictionary* from, TagSet& tags) {
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = AVU.av_dict_get(from, "", entry, AV_DICT_IGNORE_SUFFIX))) {
    const std::string key = UnifiedTagName(entry->key);
    if (!key.empty() && entry->value && entry->value[0] && !tags.count(key))
      tags[key] = {entry->value};
  }
}

}  // namespace

std::string UnifiedTagName(const std::string& demuxerKey) {
  std::string lower = demuxerKey;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const auto& [generic, unified] : GenericNames)
    if (lower == generic) return unified;
  // Taggers write their own fields in upper case; the demuxers' technical
  // entries ("encoder", "creation_time", "major_brand") are lower case.
  const bool upper = std::none_of(demuxerKey.begin(), demuxerKey.end(), [](char c) {
    return std::islower(static_cast<unsigned char>(c));
  });
  return upper && !demuxerKey.empty() ? demuxerKey : std::string();
}

TagSet ReadSourceTags(const AVFormatContext* source) {
  TagSet tags;
  if (!source) return tags;
  if (!source->url || !ReadWithTagLib(source->url, tags)) {
    ReadDemuxerTags(source->metadata, tags);
    for (unsigned i = 0; i < source->nb_streams; ++i)
      if (source->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
        ReadDemuxerTags(source->streams[i]->metadata, tags);
        break;
      }
  }
  for (auto it = tags.begin(); it != tags.end();)
    it = SourceOnly(Upper(it->first)) || it->second.empty() ? tags.erase(it) : std::next(it);
  return tags;
}
