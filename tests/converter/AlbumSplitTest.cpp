// melvaro-convert on album files: a generated album (three tones, a pregap
// before the second) with its sheet beside it, embedded, or in Latin-1, and
// an M4A with chapters; the tracks' names, tags, covers and lengths, and
// cuts that join again to exactly the samples of the whole file.
#include <gtest/gtest.h>

#include <strings.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/converter/ProgramRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;
using MediaFixtures::AudioFormat;

namespace {

constexpr int Rate = 44100;

// 440 Hz for 1.6 s, 0.4 s of silence (track 2's pregap), 660 Hz for 1.2 s,
// 880 Hz for 1.0 s.
MediaFixtures::AudioExtras AlbumTones() {
  MediaFixtures::AudioExtras extras;
  extras.segments = {{1.6, 440}, {0.4, 0}, {1.2, 660}, {1.0, 880}};
  return extras;
}
// Tracks of 2.0 s (with the pregap), 1.2 s and 1.0 s.
const std::vector<int64_t> TrackSamples = {2 * Rate, 52920, Rate};

std::string Sheet(const std::string& fileName, const std::string& secondTitle) {
  return "REM GENRE Ambient\nREM DATE 2024\nPERFORMER \"The Tones\"\nTITLE \"Sine Album\"\n"
         "FILE \"" + fileName + "\" WAVE\n"
         "  TRACK 01 AUDIO\n    TITLE \"First\"\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    TITLE \"" + secondTitle + "\"\n    PERFORMER \"A Guest\"\n"
         "    INDEX 00 00:01:45\n    INDEX 01 00:02:00\n"
         "  TRACK 03 AUDIO\n    TITLE \"Third\"\n    INDEX 01 00:03:15\n";
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The tracks decoded and joined must be the whole file decoded.
void ExpectSampleExact(const std::string& whole, const std::vector<std::string>& tracks) {
  const std::vector<int32_t> all = MediaFixtures::DecodeSamples32(whole);
  std::vector<int32_t> joined;
  for (size_t i = 0; i < tracks.size(); ++i) {
    const std::vector<int32_t> part = MediaFixtures::DecodeSamples32(tracks[i]);
    EXPECT_EQ(static_cast<int64_t>(part.size()), TrackSamples[i] * 2) << tracks[i];
    joined.insert(joined.end(), part.begin(), part.end());
  }
  ASSERT_EQ(joined.size(), all.size());
  EXPECT_TRUE(joined == all) << "the tracks are not the whole file's samples";
}

// A tag as the demuxer reports it; Vorbis comments keep the tagger's upper
// case.
std::string Tag(const std::string& path, const char* key) {
  for (const auto& [name, value] : MediaFixtures::Probe(path).tags)
    if (strcasecmp(name.c_str(), key) == 0) return value;
  return "(none)";
}

}  // namespace

TEST(AlbumSplit, SheetBesideEmbeddedOrLatin1GivesNamedTaggedSampleExactTracks) {
  struct Case {
    const char* what;
    AudioFormat format;
    const char* album;
    bool embedded;
    bool latin1;
  };
  const Case cases[] = {
      {"WAV, sheet beside", AudioFormat::Wav, "album.wav", false, false},
      {"FLAC, embedded sheet", AudioFormat::Flac, "album.flac", true, false},
      {"FLAC, Latin-1 sheet", AudioFormat::Flac, "album.flac", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string album = folder / c.album;
    MediaFixtures::AudioExtras extras = AlbumTones();
    // "Zweiter Café", in UTF-8 or Latin-1.
    const std::string second = c.latin1 ? "Zweiter Caf\xE9" : "Zweiter Caf\xC3\xA9";
    if (c.embedded) extras.tags["CUESHEET"] = Sheet("CDImage.wav", second);
    extras.cover = c.format == AudioFormat::Flac;
    MediaFixtures::MakeAudio(album, c.format, Rate, 2, 0, 0, extras);
    if (!c.embedded) Write(folder / "album.cue", Sheet(c.album, second));

    const std::string out = folder / "out";
    const Result run = RunProgram({"-f", "flac", "-o", out, album});
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<std::string> tracks = {out + "/01 First.flac",
                                             out + "/02 Zweiter Caf\xC3\xA9.flac",
                                             out + "/03 Third.flac"};
    for (const std::string& track : tracks) ASSERT_TRUE(fs::exists(track)) << run.output;
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
    ExpectSampleExact(album, tracks);

    EXPECT_EQ(Tag(tracks[1], "title"), "Zweiter Caf\xC3\xA9");
    EXPECT_EQ(Tag(tracks[1], "artist"), "A Guest");
    EXPECT_EQ(Tag(tracks[2], "artist"), "The Tones");
    EXPECT_EQ(Tag(tracks[1], "album"), "Sine Album");
    EXPECT_EQ(Tag(tracks[1], "album_artist"), "The Tones");
    // Vorbis comments carry the number and the total apart.
    EXPECT_EQ(Tag(tracks[1], "track"), "2");
    EXPECT_EQ(Tag(tracks[1], "tracktotal"), "3");
    EXPECT_EQ(Tag(tracks[1], "date"), "2024");
    EXPECT_EQ(Tag(tracks[1], "genre"), "Ambient");
    EXPECT_EQ(Tag(tracks[1], "cuesheet"), "(none)");
    // Every track carries the album file's cover.
    if (extras.cover)
      for (const std::string& track : tracks) {
        const MediaFixtures::FileInfo info = MediaFixtures::Probe(track);
        bool cover = false;
        for (const auto& stream : info.streams) cover = cover || stream.attachedPicture;
        EXPECT_TRUE(cover) << track;
      }
  }
}

TEST(AlbumSplit, LossyTracksKeepTheAlbumsLengthAndNoSplitConvertsWhole) {
  TempFolder folder;
  const std::string album = folder / "album.wav";
  MediaFixtures::MakeAudio(album, AudioFormat::Wav, Rate, 2, 0, 0, AlbumTones());
  Write(folder / "album.cue", Sheet("album.wav", "Second"));

  const std::string out = folder / "mp3";
  const Result run = RunProgram({"-o", out, album});
  ASSERT_EQ(run.status, 0) << run.output;
  double total = 0;
  const double expected[] = {2.0, 1.2, 1.0};
  int i = 0;
  for (const char* name : {"01 First.mp3", "02 Second.mp3", "03 Third.mp3"}) {
    const MediaFixtures::DecodedAudio decoded = MediaFixtures::DecodeAudio(out + "/" + name);
    // An MP3 frame of encoder delay or padding at most.
    EXPECT_NEAR(decoded.Seconds(), expected[i++], 1152.0 / Rate) << name;
    total += decoded.Seconds();
    if (i > 1) {
      EXPECT_NEAR(MediaFixtures::DominantFrequency(decoded), i == 2 ? 660 : 880, 5);
    }
  }
  EXPECT_NEAR(total, 4.2, 3 * 1152.0 / Rate);

  const Result whole = RunProgram({"--no-split", "-o", folder / "whole", album});
  ASSERT_EQ(whole.status, 0) << whole.output;
  EXPECT_TRUE(fs::exists(folder / "whole/album.mp3"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "whole"), fs::directory_iterator()), 1);
}

TEST(AlbumSplit, ChaptersOfAnM4aBecomeTracksWhenAsked) {
  TempFolder folder;
  const std::string book = folder / "book.m4a";
  MediaFixtures::AudioExtras extras;
  extras.segments = {{1.0, 440}, {1.5, 660}, {1.0, 880}};
  extras.chapters = {{0, "Opening"}, {1.0, "Middle"}, {2.5, "Close"}};
  extras.tags["album"] = "The Book";
  MediaFixtures::MakeAudio(book, AudioFormat::AacM4a, Rate, 2, 0, 0, extras);

  const Result run = RunProgram({"--chapters", "-f", "flac", "-o", folder / "out", book});
  ASSERT_EQ(run.status, 0) << run.output;
  const double lengths[] = {1.0, 1.5, 1.0};
  const double tones[] = {440, 660, 880};
  int i = 0;
  for (const char* name : {"01 Opening.flac", "02 Middle.flac", "03 Close.flac"}) {
    const std::string path = folder / (std::string("out/") + name);
    ASSERT_TRUE(fs::exists(path)) << run.output;
    const MediaFixtures::DecodedAudio decoded = MediaFixtures::DecodeAudio(path);
    // AAC's priming and last frame blur the file's ends by a frame or two.
    EXPECT_NEAR(decoded.Seconds(), lengths[i], 0.05) << name;
    EXPECT_NEAR(MediaFixtures::DominantFrequency(decoded), tones[i], 5) << name;
    EXPECT_EQ(Tag(path, "track"), std::to_string(i + 1));
    EXPECT_EQ(Tag(path, "tracktotal"), "3");
    EXPECT_EQ(Tag(path, "album"), "The Book");
    ++i;
  }
  // Without --chapters the book stays one file.
  const Result whole = RunProgram({"-f", "flac", "-o", folder / "whole", book});
  ASSERT_EQ(whole.status, 0) << whole.output;
  EXPECT_TRUE(fs::exists(folder / "whole/book.flac"));
}

TEST(AlbumSplit, ABrokenSheetFailsTheFileUnlessNoSplitIsAsked) {
  TempFolder folder;
  const std::string album = folder / "album.wav";
  MediaFixtures::MakeAudio(album, AudioFormat::Wav, Rate, 2, 0, 0, AlbumTones());
  std::string sheet = Sheet("album.wav", "Second");
  sheet.replace(sheet.find("00:03:15"), 8, "00:09:00");  // past the end of 4.2 s
  Write(folder / "album.cue", sheet);

  const Result run = RunProgram({"-o", folder / "out", album});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("album.cue:14: track 3 starts at 00:09:00, past the end"),
            std::string::npos)
      << run.output;
  EXPECT_FALSE(fs::exists(folder / "out/01 First.mp3"));
  EXPECT_TRUE(fs::is_empty(folder / "out"));

  const Result whole = RunProgram({"--no-split", "-o", folder / "out", album});
  EXPECT_EQ(whole.status, 0) << whole.output;
  EXPECT_TRUE(fs::exists(folder / "out/album.mp3"));
}

// The tracks of an album file are in the mirror's record like files of their
// own: a rerun finds them up to date, a touched album file redoes them, and
// a prune removes them once the album file is gone.
TEST(AlbumSplit, AMirroredAlbumsTracksFollowTheRecord) {
  TempFolder folder;
  const std::string music = folder / "Music";
  fs::create_directories(music + "/Album");
  const std::string album = music + "/Album/album.wav";
  MediaFixtures::MakeAudio(album, AudioFormat::Wav, Rate, 2, 0, 0, AlbumTones());
  Write(music + "/Album/album.cue", Sheet("album.wav", "Second"));
  const std::string out = folder / "out";
  const std::vector<std::string> mirror = {"--mirror", "--prune", "-o", out, music};
  const std::vector<std::string> tracks = {out + "/Album/01 First.mp3",
                                           out + "/Album/02 Second.mp3",
                                           out + "/Album/03 Third.mp3"};

  const Result first = RunProgram(mirror);
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_NE(first.output.find("3 converted, 0 failed"), std::string::npos) << first.output;
  std::vector<fs::file_time_type> made;
  for (const std::string& track : tracks) made.push_back(fs::last_write_time(track));

  const Result again = RunProgram(mirror);
  EXPECT_NE(again.output.find("0 converted, 0 failed, 3 up to date"), std::string::npos)
      << again.output;
  for (size_t n = 0; n < tracks.size(); ++n) EXPECT_EQ(fs::last_write_time(tracks[n]), made[n]);

  // A newer album file is a changed source, however new its tracks are.
  fs::last_write_time(album, fs::last_write_time(album) + std::chrono::seconds(10));
  const Result touched = RunProgram(mirror);
  EXPECT_NE(touched.output.find("3 converted, 0 failed"), std::string::npos) << touched.output;

  fs::remove(album);
  const Result pruned = RunProgram(mirror);
  EXPECT_NE(pruned.output.find("3 pruned"), std::string::npos) << pruned.output;
  for (const std::string& track : tracks) EXPECT_FALSE(fs::exists(track)) << track;
  EXPECT_TRUE(fs::exists(music + "/Album/album.cue"));
}
