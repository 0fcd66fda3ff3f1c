// Output names: one table of patterns and tags, the claims that keep a batch
// from writing over its inputs or sharing an output, and the tag names both
// programs read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "converter/AudioFiles.h"
#include "converter/OutputNaming.h"
#include "engine/TagNames.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

using Tags = std::map<std::string, std::string>;

const Tags Full = {{"artist", "Nina Simone"}, {"album_artist", "Various"},
                   {"album", "Pastel Blues"}, {"title", "Be My Husband"},
                   {"track", "3/9"},          {"disc", "1"},
                   {"date", "1965-10-01"},    {"genre", "Jazz"}};

// n copies of a character of `bytes` UTF-8 bytes.
std::string Repeated(const std::string& character, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += character;
  return text;
}

}  // namespace

TEST(OutputNaming, PatternsAndTags) {
  const std::string longTitle = Repeated("\xC3\xA9", 200);  // "é" x 200: 400 bytes
  const struct Case {
    const char* what;
    std::string source, root;
    Tags tags;
    TOutputLayout layout;
    std::string pattern;
    std::string relative;
  } cases[] = {
      {"flat default", "/in/01 Intro.flac", "", {}, TOutputLayout::Auto, "", "01 Intro.mp3"},
      {"tree keeps the folders below the root",
       "/music/A/B/x.flac",
       "/music",
       {},
       TOutputLayout::Auto,
       "",
       "A/B/x.mp3"},
      {"root given with a slash",
       "/music/A/x.flac",
       "/music/",
       {},
       TOutputLayout::Tree,
       "",
       "A/x.mp3"},
      {"flat chosen for a folder's file",
       "/music/A/B/x.flac",
       "/music",
       {},
       TOutputLayout::Flat,
       "",
       "x.mp3"},
      {"beside: the same name",
       "/music/A/x.flac",
       "/music",
       {},
       TOutputLayout::Beside,
       "",
       "x.mp3"},
      {"every field", "/in/a.flac", "", Full, TOutputLayout::Auto,
       "{artist}/{albumartist}/{album} ({year})/{disc}-{track:02} {title} [{genre}] {name}",
       "Nina Simone/Various/Pastel Blues (1965)/1-03 Be My Husband [Jazz] a.mp3"},
      {"a pattern with folders is flat by default", "/music/A/x.flac", "/music", Full,
       TOutputLayout::Auto, "{artist}/{title}", "Nina Simone/Be My Husband.mp3"},
      {"a pattern without folders keeps the tree", "/music/A/x.flac", "/music", Full,
       TOutputLayout::Auto, "{track:02} {title}", "A/03 Be My Husband.mp3"},
      {"{folder} alone is folders",
       "/music/A/B/x.flac",
       "/music",
       {},
       TOutputLayout::Flat,
       "{folder}/{name}",
       "A/B/x.mp3"},
      {"{folder} inside a name",
       "/music/A/B/x.flac",
       "/music",
       {},
       TOutputLayout::Flat,
       "{folder} {name}",
       "A_B x.mp3"},
      {"no root: no folder", "/in/x.flac", "", {}, TOutputLayout::Flat, "{folder}/{name}", "x.mp3"},
      {"missing fields",
       "/in/x.flac",
       "",
       {},
       TOutputLayout::Auto,
       "{albumartist}/{album}/{year} {genre}/{disc}{track:03} {title}",
       "Unknown Artist/Unknown Album/Unknown Year Unknown Genre/0000 x.mp3"},
      {"album artist falls back to the artist",
       "/in/x.flac",
       "",
       {{"artist", "Solo"}},
       TOutputLayout::Auto,
       "{albumartist}",
       "Solo.mp3"},
      {"aliases of tag names",
       "/in/x.flac",
       "",
       {{"Author", "A"}, {"ALBUM ARTIST", "AA"}, {"TrackNumber", "7"}, {"year", "2001"}},
       TOutputLayout::Auto,
       "{artist} {albumartist} {track:02} {year}",
       "A AA 07 2001.mp3"},
      {"Unicode stays",
       "/in/x.flac",
       "",
       {{"artist", "Björk"}, {"title", "Jóga 🎵"}},
       TOutputLayout::Auto,
       "{artist}/{title}",
       "Björk/Jóga 🎵.mp3"},
      {"reserved characters",
       "/in/x.flac",
       "",
       {{"artist", "AC/DC"}, {"title", "a\\b:c*d?e\"f<g>h|i\tj"}},
       TOutputLayout::Auto,
       "{artist}/{title}",
       "AC_DC/a_b_c_d_e_f_g_h_i_j.mp3"},
      {"trailing dots and spaces, leading dot",
       "/in/x.flac",
       "",
       {{"album", "Vol. 2... "}, {"title", ".hidden"}},
       TOutputLayout::Auto,
       "{album}/{title}",
       "Vol. 2/_hidden.mp3"},
      {"a title that climbs out",
       "/in/x.flac",
       "",
       {{"title", "../../.bashrc"}},
       TOutputLayout::Auto,
       "{title}",
       "_._.._.bashrc.mp3"},
      {"a title that is only dots",
       "/in/x.flac",
       "",
       {{"artist", ".."}, {"title", "."}},
       TOutputLayout::Auto,
       "{artist}/{title}",
       "_/_.mp3"},
      {"an absolute path in a tag",
       "/in/x.flac",
       "",
       {{"album", "/etc"}, {"title", "/etc/passwd"}},
       TOutputLayout::Auto,
       "{album}/{title}",
       "_etc/_etc_passwd.mp3"},
      {"climbing in the pattern itself",
       "/in/x.flac",
       "",
       {},
       TOutputLayout::Auto,
       "../../{name}",
       "_/_/x.mp3"},
      {"empty pieces of a pattern", "/in/x.flac", "", Full, TOutputLayout::Auto,
       "/{artist}//{title}/", "Nina Simone/Be My Husband.mp3"},
      {"over-long title cut at a character",
       "/in/x.flac",
       "",
       {{"title", longTitle}},
       TOutputLayout::Auto,
       "{title}",
       Repeated("\xC3\xA9", 125) + ".mp3"},
      {"over-long folder",
       "/in/x.flac",
       "",
       {{"album", Repeated("a", 300)}},
       TOutputLayout::Auto,
       "{album}/{name}",
       Repeated("a", 255) + "/x.mp3"},
      {"unknown field kept as written",
       "/in/x.flac",
       "",
       {},
       TOutputLayout::Auto,
       "{name} {composer",
       "x {composer.mp3"},
      {"same names in two albums, tree",
       "/music/B/01 Intro.flac",
       "/music",
       {},
       TOutputLayout::Auto,
       "",
       "B/01 Intro.mp3"},
      {"a source folder unsafe for FAT",
       "/music/What? Now:/x.flac",
       "/music",
       {},
       TOutputLayout::Tree,
       "",
       "What_ Now_/x.mp3"},
  };
  for (const Case& c : cases) {
    const TNamingRules rules{c.layout, c.pattern, ".mp3"};
    const std::string relative = RelativeOutputPath({c.source, c.root, c.tags}, rules);
    EXPECT_EQ(relative, c.relative) << c.what;
    for (const auto& part : fs::path(relative)) EXPECT_LE(part.string().size(), 255u) << c.what;
  }
  // The whole path: below the output folder, or beside the source.
  EXPECT_EQ(
      OutputPath({"/music/A/x.flac", "/music", {}}, {TOutputLayout::Auto, "", ".ogg"}, "/out"),
      "/out/A/x.ogg");
  EXPECT_EQ(
      OutputPath({"/music/A/x.flac", "/music", {}}, {TOutputLayout::Beside, "", ".ogg"}, "/out/"),
      "/music/A/x.ogg");
}

TEST(OutputNaming, LayoutNames) {
  TOutputLayout layout = TOutputLayout::Auto;
  for (const char* name : {"flat", "tree", "beside", "auto"}) {
    ASSERT_TRUE(LayoutByName(name, layout)) << name;
    EXPECT_STREQ(LayoutName(layout), name);
  }
  EXPECT_FALSE(LayoutByName("Tree", layout));
  EXPECT_FALSE(LayoutByName("", layout));
}

TEST(OutputNaming, ClaimsNeverHitAnInputNorAnEarlierOutput) {
  TempFolder temp;
  const std::string out = temp / "out";
  fs::create_directories(out);
  std::ofstream(out + "/song.mp3") << "input";
  fs::create_symlink(out + "/song.mp3", out + "/alias.mp3");

  TOutputClaims claims;
  for (const std::string& input :
       {out + "/song.mp3", std::string("/a/tune.wav"), out + "/sub/../other.mp3"})
    claims.AddInput(input);
  std::string note;
  // An MP3 already in the output folder would be its own output.
  EXPECT_EQ(claims.Claim(out + "/song.mp3", &note), out + "/song (2).mp3");
  EXPECT_EQ(note, out + "/song.mp3 is one of the inputs; writing " + out + "/song (2).mp3 instead");
  // Two sources of the same name, flat.
  EXPECT_EQ(claims.Claim(out + "/tune.mp3", &note), out + "/tune.mp3");
  EXPECT_EQ(claims.Claim(out + "/tune.mp3", &note), out + "/tune (2).mp3");
  EXPECT_EQ(note, out + "/tune.mp3 is taken by an earlier input; writing " + out +
                      "/tune (2).mp3 instead");
  EXPECT_EQ(claims.Claim(out + "/tune.mp3"), out + "/tune (3).mp3");
  // FAT and exFAT would make one file of names that differ in case only.
  EXPECT_EQ(claims.Claim(out + "/Tune.mp3"), out + "/Tune (4).mp3");
  EXPECT_EQ(claims.Claim(out + "/SONG.mp3"), out + "/SONG (3).mp3");
  // A link to an input is that input; another spelling is the same path.
  EXPECT_EQ(claims.Claim(out + "/alias.mp3"), out + "/alias (2).mp3");
  EXPECT_EQ(claims.Claim(out + "/./other.mp3"), out + "/./other (2).mp3");
  EXPECT_EQ(claims.Claim(out + "/noext"), out + "/noext");
  EXPECT_EQ(claims.Claim(out + "/noext"), out + "/noext (2)");
  // A number never pushes a name past 255 bytes.
  const std::string longName = out + "/" + Repeated("x", 251) + ".mp3";
  EXPECT_EQ(claims.Claim(longName), longName);
  EXPECT_EQ(claims.Claim(longName), out + "/" + Repeated("x", 247) + " (2).mp3");

  claims.Clear();  // a new batch forgets the old claims
  EXPECT_EQ(claims.Claim(out + "/tune.mp3"), out + "/tune.mp3");
}

TEST(TagNames, OneNameForEveryTag) {
  const std::map<std::string, std::string> folded = CanonicalTags({{"ARTIST", "a"},
                                                                   {"author", "b"},
                                                                   {"albumartist", "c"},
                                                                   {"Album Artist", "d"},
                                                                   {"tracknumber", "5"},
                                                                   {"year", "1999"},
                                                                   {"description", ""},
                                                                   {"Label", "L"}});
  const std::map<std::string, std::string> expected = {
      {"artist", "a"}, {"album_artist", "c"}, {"track", "5"}, {"date", "1999"}, {"label", "L"}};
  EXPECT_EQ(folded, expected);
  EXPECT_EQ(CanonicalTagKey("DiscNumber"), "disc");
  EXPECT_EQ(LeadingTagNumber(" 3/12"), 3);
  EXPECT_EQ(LeadingTagNumber("2003-05-01"), 2003);
  EXPECT_EQ(LeadingTagNumber("x1"), -1);
}

TEST(AudioFiles, NamesTheProgramsTake) {
  for (const char* name : {"a.wav", "B.FLAC", "x.y.mp3", "/d.ogg/t.Dts"})
    EXPECT_TRUE(IsAudioFileName(name)) << name;
  for (const char* name : {"a.txt", "wav", "/d.wav/readme", "a.wav.bak", "a."})
    EXPECT_FALSE(IsAudioFileName(name)) << name;
}
