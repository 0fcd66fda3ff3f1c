// The cue sheet reader alone: encodings, track cuts and tags, the sheets it
// must refuse (with the sheet and the line in the message), and where it
// looks for a sheet.
#include "converter/CueSheet.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TempFolder.h"

namespace {

const char* const Album =
    "REM GENRE \"Jazz Rock\"\n"
    "REM DATE 1999\n"
    "PERFORMER \"The Band\"\n"
    "TITLE \"The Album\"\n"
    "FILE \"album.wav\" WAVE\n"
    "  TRACK 01 AUDIO\n"
    "    TITLE \"One\"\n"
    "    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n"
    "    TITLE \"Two\"\n"
    "    PERFORMER \"A Guest\"\n"
    "    INDEX 00 00:02:00\n"
    "    INDEX 01 00:03:00\n"
    "  TRACK 03 AUDIO\n"
    "    INDEX 01 00:05:10\n";

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(CueSheet, TracksRunFromIndex01ToTheNextAndKeepPregapsWithTheTrackBefore) {
  TCueSheet sheet;
  std::string error;
  ASSERT_TRUE(ParseCueSheet(Album, "album.cue", "/music/album.flac", true, sheet, error)) << error;
  ASSERT_EQ(sheet.Tracks.size(), 3u);
  EXPECT_EQ(sheet.Tracks[0].Cut.Start, 0);
  EXPECT_EQ(sheet.Tracks[0].Cut.End, 3 * 75);  // INDEX 00 at 0:02 stays in track 1
  EXPECT_EQ(sheet.Tracks[1].Cut.Start, 3 * 75);
  EXPECT_EQ(sheet.Tracks[1].Cut.End, 5 * 75 + 10);
  EXPECT_EQ(sheet.Tracks[2].Cut.End, -1);
  EXPECT_EQ(sheet.Tracks[2].Line, 14);

  const auto second = TrackTags(sheet, 1);
  EXPECT_EQ(second.at("title"), "Two");
  EXPECT_EQ(second.at("artist"), "A Guest");
  EXPECT_EQ(second.at("album"), "The Album");
  EXPECT_EQ(second.at("album_artist"), "The Band");
  EXPECT_EQ(second.at("track"), "2/3");
  EXPECT_EQ(second.at("date"), "1999");
  EXPECT_EQ(second.at("genre"), "Jazz Rock");
  const auto third = TrackTags(sheet, 2);
  EXPECT_EQ(third.at("artist"), "The Band");
  EXPECT_EQ(third.at("title"), "Track 03");
}

TEST(CueSheet, Utf8WithAndWithoutBomAndLatin1GiveTheSameTitles) {
  const std::string utf8 = "TITLE \"Caf\xC3\xA9 \xC3\x9C\x62\x65r\"\nFILE \"a.wav\" WAVE\n"
                           "TRACK 01 AUDIO\nTITLE \"Gr\xC3\xBC\xC3\x9F\x65\"\nINDEX 01 00:00:00\n";
  const std::string latin1 = "TITLE \"Caf\xE9 \xDC\x62\x65r\"\nFILE \"a.wav\" WAVE\n"
                             "TRACK 01 AUDIO\nTITLE \"Gr\xFC\xDF\x65\"\nINDEX 01 00:00:00\n";
  for (const std::string& text : {utf8, "\xEF\xBB\xBF" + utf8, latin1}) {
    TCueSheet sheet;
    std::string error;
    ASSERT_TRUE(ParseCueSheet(text, "a.cue", "a.wav", true, sheet, error)) << error;
    EXPECT_EQ(sheet.Title, "Caf\xC3\xA9 \xC3\x9C\x62\x65r");
    ASSERT_EQ(sheet.Tracks.size(), 1u);
    EXPECT_EQ(sheet.Tracks[0].Title, "Gr\xC3\xBC\xC3\x9F\x65");
  }
}

TEST(CueSheet, BrokenSheetsAreRefusedNamingTheSheetAndTheLine) {
  struct Case {
    const char* what;
    std::string text;
    int64_t durationMs;
    std::string message;  // expected part of the error
  };
  const std::string head = "FILE \"album.wav\" WAVE\n";
  const Case cases[] = {
      {"garbage", "this is not a sheet\n", -1, "a.cue:1: \"this\" is not a cue sheet command"},
      {"no track", head, -1, "a.cue: the sheet has no TRACK"},
      {"another file", "FILE \"other.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", -1,
       "a.cue:1: names another file (\"other.wav\""},
      {"seconds past 59", head + "TRACK 01 AUDIO\nINDEX 01 00:99:00\n", -1,
       "a.cue:3: INDEX 01 has no time"},
      {"frames past 74", head + "TRACK 01 AUDIO\nINDEX 01 00:00:75\n", -1,
       "a.cue:3: INDEX 01 has no time"},
      {"no INDEX 01", head + "TRACK 01 AUDIO\nINDEX 00 00:00:00\n", -1, "a.cue:2: track 1 has no INDEX 01"},
      {"out of order",
       head + "TRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK 02 AUDIO\nINDEX 01 00:05:00\n", -1,
       "a.cue:4: track 2 starts at 00:05:00, not after track 1"},
      {"past the end", head + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 09:00:00\n",
       60000, "a.cue:4: track 2 starts at 09:00:00, past the end of the file (01:00:00)"},
      {"track without a number", head + "TRACK\nINDEX 01 00:00:00\n", -1, "a.cue"},
      {"binary", std::string("\x00\x01\x02TRACK", 8), -1, "a.cue"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TCueSheet sheet;
    std::string error;
    const bool ok = ParseCueSheet(c.text, "a.cue", "/x/album.flac", true, sheet, error) &&
                    CheckCueTimes(sheet, c.durationMs, error);
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

TEST(CueSheet, FindsTheSheetBesideTheFileOrTheOneOfTheFolderThatNamesIt) {
  TempFolder folder;
  const std::string audio = folder / "album.flac";
  Write(audio, "not looked at");
  TCueSheet sheet;
  std::string error;
  EXPECT_EQ(FindCueSheet(audio, {}, -1, sheet, error), TCueLookup::None);

  // A sheet of another name that names the file in its FILE line.
  Write(folder / "Other Name.cue", "FILE \"album.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  ASSERT_EQ(FindCueSheet(audio, {}, -1, sheet, error), TCueLookup::Found) << error;
  EXPECT_EQ(sheet.Source, folder / "Other Name.cue");

  // The sheet of the same name comes first; its times are checked.
  Write(folder / "album.cue", Album);
  ASSERT_EQ(FindCueSheet(audio, {}, 60000, sheet, error), TCueLookup::Found) << error;
  EXPECT_EQ(sheet.Tracks.size(), 3u);
  EXPECT_EQ(FindCueSheet(audio, {}, 4000, sheet, error), TCueLookup::Broken);
  EXPECT_NE(error.find("album.cue:14: track 3"), std::string::npos) << error;

  // A sheet of separate track files names this one too, but has nothing
  // to split.
  const std::string first = folder / "01.flac";
  Write(first, "x");
  Write(folder / "tracks.cue", "FILE \"01.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                               "FILE \"02.flac\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n");
  EXPECT_EQ(FindCueSheet(first, {}, -1, sheet, error), TCueLookup::None) << error;

  // An embedded sheet, whatever file it names.
  const std::string alone = folder / "sub.flac";
  Write(alone, "x");
  ASSERT_EQ(FindCueSheet(alone, {{"cuesheet", Album}}, -1, sheet, error), TCueLookup::Found)
      << error;
  EXPECT_EQ(sheet.Source, "sub.flac (embedded cue sheet)");
  EXPECT_EQ(sheet.Tracks.size(), 3u);
}

}  // namespace
