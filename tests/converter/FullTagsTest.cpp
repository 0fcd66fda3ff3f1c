// Every tag a music tagger writes survives a conversion to each format, under
// the names that format's taggers and players use, multi-valued fields kept
// apart, and the cover keeps its kind and description. The source is a FLAC
// file tagged as a tagger leaves it; each output is read back with TagLib,
// in the unified property names and in the format's own fields.
#include <gtest/gtest.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <map>
#include <string>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "tests/converter/ProgramRun.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using namespace MediaFixtures;

namespace {

using Values = std::vector<std::string>;

const std::map<std::string, Values> TaggerTags = {
    {"TITLE", {"A Title"}},
    {"ARTIST", {"First", "Second"}},
    {"ALBUM", {"An Album"}},
    {"ALBUMARTIST", {"Various"}},
    {"ARTISTSORT", {"First, The"}},
    {"ALBUMARTISTSORT", {"Various Sort"}},
    {"DATE", {"2003-05-01"}},
    {"TRACKNUMBER", {"3"}},
    {"TRACKTOTAL", {"12"}},
    {"DISCNUMBER", {"1"}},
    {"GENRE", {"Ambient"}},
    {"ISRC", {"GBAYE0000351"}},
    {"BPM", {"120"}},
    {"COMPILATION", {"1"}},
    {"LABEL", {"A Label"}},
    {"LYRICS", {"la la la"}},
    {"MUSICBRAINZ_TRACKID", {"11111111-1111-1111-1111-111111111111"}},
    {"MUSICBRAINZ_ALBUMID", {"22222222-2222-2222-2222-222222222222"}},
    {"MUSICBRAINZ_ARTISTID",
     {"33333333-3333-3333-3333-333333333333", "44444444-4444-4444-4444-444444444444"}},
    {"REPLAYGAIN_TRACK_GAIN", {"-6.50 dB"}},
    {"MYFIELD", {"a field of its own"}},
};

Values ValuesOf(const TagLib::StringList& list) {
  Values values;
  for (const TagLib::String& value : list) values.push_back(value.to8Bit(true));
  return values;
}

// The tagger's set as a format that keeps the total with its number reads it.
std::map<std::string, Values> WithJoinedTotal() {
  std::map<std::string, Values> tags = TaggerTags;
  tags["TRACKNUMBER"] = {"3/12"};
  tags.erase("TRACKTOTAL");
  return tags;
}

struct Picture {
  int type = -1;
  std::string description;
};

struct Native {
  Picture picture;
  // ID3v2 and MP4 only: the MusicBrainz fields in their own frames/atoms.
  std::string albumIdField;
  std::string recordingIdOwner;  // ID3v2 UFID
  size_t artistValues = 0;       // values in the one ARTIST field/frame
};

Native ReadId3(TagLib::ID3v2::Tag* tag) {
  Native native;
  for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
    auto* apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
    native.picture = {apic->type(), apic->description().to8Bit(true)};
  }
  for (TagLib::ID3v2::Frame* frame : tag->frameList("TXXX")) {
    auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
    if (text->fieldList().size() > 1 &&
        text->fieldList()[1] == "22222222-2222-2222-2222-222222222222")
      native.albumIdField = text->description().to8Bit(true);
  }
  for (TagLib::ID3v2::Frame* frame : tag->frameList("UFID")) {
    auto* id = dynamic_cast<TagLib::ID3v2::UniqueFileIdentifierFrame*>(frame);
    if (id->identifier() == TagLib::ByteVector("11111111-1111-1111-1111-111111111111"))
      native.recordingIdOwner = id->owner().to8Bit(true);
  }
  for (TagLib::ID3v2::Frame* frame : tag->frameList("TPE1"))
    if (auto* text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame))
      native.artistValues = text->fieldList().size();
  return native;
}

Native ReadXiph(TagLib::Ogg::XiphComment* tag,
                const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
  Native native;
  for (const TagLib::FLAC::Picture* picture : pictures)
    native.picture = {picture->type(), picture->description().to8Bit(true)};
  native.artistValues = tag->fieldListMap()["ARTIST"].size();
  return native;
}

Native ReadNative(const std::string& path, const std::string& format) {
  if (format == "mp3") {
    TagLib::MPEG::File file(path.c_str(), false);
    return ReadId3(file.ID3v2Tag(true));
  }
  if (format == "wav") {
    TagLib::RIFF::WAV::File file(path.c_str(), false);
    return ReadId3(file.ID3v2Tag());
  }
  if (format == "flac") {
    TagLib::FLAC::File file(path.c_str(), false);
    return ReadXiph(file.xiphComment(true), file.pictureList());
  }
  if (format == "ogg") {
    TagLib::Ogg::Vorbis::File file(path.c_str(), false);
    return ReadXiph(file.tag(), file.tag()->pictureList());
  }
  if (format == "opus") {
    TagLib::Ogg::Opus::File file(path.c_str(), false);
    return ReadXiph(file.tag(), file.tag()->pictureList());
  }
  Native native;
  TagLib::MP4::File file(path.c_str(), false);
  const TagLib::MP4::Tag* tag = file.tag();
  if (tag->contains("covr")) native.picture = {0, ""};  // covr has no kind
  const TagLib::String albumId = "----:com.apple.iTunes:MusicBrainz Album Id";
  if (tag->contains(albumId)) native.albumIdField = albumId.to8Bit(true);
  native.artistValues = tag->item("\251ART").toStringList().size();
  return native;
}

}  // namespace

TEST(FullTags, EveryTaggersFieldReachesEveryFormatUnderItsName) {
  EnsureLibraries();
  TempFolder folder;
  const std::string source = folder / "tagged.flac";
  AudioExtras extras;
  extras.cover = true;
  MakeAudio(source, AudioFormat::Flac, 44100, 2, 1.0, 440, extras);
  {
    TagLib::FLAC::File file(source.c_str(), false);
    TagLib::PropertyMap properties;
    for (const auto& [key, values] : TaggerTags) {
      TagLib::StringList list;
      for (const std::string& value : values)
        list.append(TagLib::String(value, TagLib::String::UTF8));
      properties.insert(key, list);
    }
    file.xiphComment(true)->setProperties(properties);
    ASSERT_EQ(file.pictureList().size(), 1u);
    file.pictureList().front()->setType(TagLib::FLAC::Picture::FrontCover);
    file.pictureList().front()->setDescription("The front");
    ASSERT_TRUE(file.save());
  }

  constexpr int Front = 3;
  struct Case {
    const char* format;
    std::map<std::string, Values> tags;  // as TagLib's unified names read them
    Native native;
  } cases[] = {
      {"mp3",
       WithJoinedTotal(),
       {{Front, "The front"}, "MusicBrainz Album Id", "http://musicbrainz.org", 2}},
      {"flac", TaggerTags, {{Front, "The front"}, "", "", 2}},
      {"ogg", TaggerTags, {{Front, "The front"}, "", "", 2}},
      {"opus", TaggerTags, {{Front, "The front"}, "", "", 2}},
      {"m4a", WithJoinedTotal(), {{0, ""}, "----:com.apple.iTunes:MusicBrainz Album Id", "", 2}},
      // WAV holds every field in its ID3v2 chunk, but no picture.
      {"wav", WithJoinedTotal(), {{-1, ""}, "MusicBrainz Album Id", "http://musicbrainz.org", 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const std::string out = folder / c.format;
    const Result run = RunProgram({"-f", c.format, "-o", out, source});
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string written = out + "/tagged." + c.format;

    const TagLib::FileRef file(written.c_str(), false);
    ASSERT_FALSE(file.isNull());
    TagLib::PropertyMap properties = file.file()->properties();
    // Freeform atoms TagLib does not name are read under their own names.
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file.file()))
      for (const TagLib::String& key : properties.unsupportedData())
        if (key.startsWith("----:com.apple.iTunes:") && !properties.contains(key.substr(22)))
          properties.insert(key.substr(22), mp4->tag()->item(key).toStringList());
    for (const auto& [key, values] : c.tags) EXPECT_EQ(ValuesOf(properties[key]), values) << key;

    const Native native = ReadNative(written, c.format);
    EXPECT_EQ(native.picture.type, c.native.picture.type);
    EXPECT_EQ(native.picture.description, c.native.picture.description);
    EXPECT_EQ(native.albumIdField, c.native.albumIdField);
    EXPECT_EQ(native.recordingIdOwner, c.native.recordingIdOwner);
    EXPECT_EQ(native.artistValues, c.native.artistValues);
  }
}

// The source's ReplayGain values hold only for its own level: a changed
// volume drops them, and values a caller measured replace them.
TEST(FullTags, ReplayGainIsKeptDroppedOrReplaced) {
  EnsureLibraries();
  TempFolder folder;
  const std::string source = folder / "gain.flac";
  MakeAudio(source, AudioFormat::Flac, 44100, 2, 1.0, 440);
  {
    TagLib::FLAC::File file(source.c_str(), false);
    TagLib::Ogg::XiphComment* tag = file.xiphComment(true);
    tag->addField("REPLAYGAIN_TRACK_GAIN", "-6.50 dB");
    tag->addField("REPLAYGAIN_ALBUM_GAIN", "-7.00 dB");
    tag->addField("TITLE", "Kept");
    ASSERT_TRUE(file.save());
  }
  struct Case {
    int volume;
    TagChanges changes;
    const char* trackGain;  // "" for none
    const char* albumGain;
  } cases[] = {
      {256, {}, "-6.50 dB", "-7.00 dB"},
      {512, {}, "", ""},
      {512, {{}, {{"REPLAYGAIN_TRACK_GAIN", {"-12.50 dB"}}}}, "-12.50 dB", ""},
      {256, {{"REPLAYGAIN_*"}, {{"REPLAYGAIN_TRACK_GAIN", {"+1.00 dB"}}}}, "+1.00 dB", ""},
  };
  std::mutex lock;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("case " + std::to_string(++n));
    const std::string output = folder / ("out" + std::to_string(n) + ".mp3");
    TCustomFFmpegHlpr engine(lock);
    ASSERT_TRUE(PrepareMp3Conversion(engine, source, output));
    engine.AudioVolume = c.volume;
    engine.OutputTagChanges = c.changes;
    ASSERT_NO_THROW(engine.Start(false, tpNormal));
    const TagLib::FileRef file(output.c_str(), false);
    ASSERT_FALSE(file.isNull());
    const TagLib::PropertyMap properties = file.file()->properties();
    EXPECT_EQ(properties["REPLAYGAIN_TRACK_GAIN"].toString().to8Bit(true), c.trackGain);
    EXPECT_EQ(properties["REPLAYGAIN_ALBUM_GAIN"].toString().to8Bit(true), c.albumGain);
    EXPECT_EQ(properties["TITLE"].toString().to8Bit(true), "Kept");
  }
}
