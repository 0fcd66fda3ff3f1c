// The output record (what Melvaro made in an output folder) and the rule that
// decides from it, without media.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "converter/ExistingOutputs.h"
#include "converter/OutputRecord.h"
#include "tests/support/FolderFiles.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

TRecordEntry Entry(const std::string& source, const std::string& settings = "mp3 128") {
  TRecordEntry entry;
  entry.Source = source;
  entry.Output = source + ".mp3";
  entry.SourceStamp = {true, 1000, 1700000000123456789};
  entry.Settings = settings;
  entry.OutputStamp = {true, 200, 1700000001000000000};
  return entry;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder))
    names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void Put(TOutputRecord& record, const TRecordEntry& entry) {
  std::string error;
  ASSERT_TRUE(record.Put(entry, error)) << error;
}

void Save(TOutputRecord& record) {
  std::string error;
  ASSERT_TRUE(record.Save(error)) << error;
}

// Runs body in a child process that ends without any clean-up, as a killed
// run would.
template <typename Body>
void InChildProcess(Body body) {
  const pid_t child = fork();
  if (child == 0) {
    body();
    _exit(0);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace

TEST(OutputRecord, NamesWithAnyCharacterSurviveTheRoundTrip) {
  std::map<std::string, TRecordEntry> entries;
  for (const std::string& source :
       {std::string("A/B/01 Intro.flac"), std::string("tab\there/new\nline\\back.flac"),
        std::string("Ünïcødé/曲.flac")}) {
    entries[source] = Entry(source);
  }
  entries["failed.flac"] = Entry("failed.flac");
  entries["failed.flac"].State = TRecordState::Failed;
  const std::string root = "/music/with\ttab";
  const std::string text = TOutputRecord::Format(root, entries);
  std::map<std::string, TRecordEntry> read;
  std::string problem;
  ASSERT_TRUE(TOutputRecord::Parse(text, root, read, problem)) << problem;
  EXPECT_EQ(read, entries);

  // Two tracks of one album file are two entries beside the file's own.
  TRecordEntry whole = Entry("album.flac"), first = Entry("album.flac"),
               second = Entry("album.flac");
  first.Track = 1;
  second.Track = 2;
  second.Output = "02 Second.mp3";
  const std::string album = TOutputRecord::Format(root, {{"a", whole}, {"b", first}, {"c", second}});
  ASSERT_TRUE(TOutputRecord::Parse(album, root, read, problem)) << problem;
  std::vector<TRecordEntry> values;
  for (const auto& [key, entry] : read) values.push_back(entry);
  EXPECT_EQ(values, (std::vector<TRecordEntry>{whole, first, second}));
}

TEST(OutputRecord, DamagedOrForeignTextIsRefused) {
  const std::string good = TOutputRecord::Format("/m", {{"a.flac", Entry("a.flac")}});
  struct Case {
    const char* what;
    std::string text;
    const char* problem;
  } cases[] = {
      {"torn last line", good.substr(0, good.size() - 5), "middle of a line"},
      {"later version", "melvaro-record 2\nroot\t/m\n", "unknown version"},
      {"someone else's file", "hello\n", "not a record"},
      {"no root", "melvaro-record 1\n", "incomplete"},
      {"another root", "melvaro-record 1\nroot\t/other\n", "another source folder"},
      {"bad number", "melvaro-record 1\nroot\t/m\nfile\tok\ta\ta.mp3\tx\t1\ts\t1\t1\n", "line 3"},
      {"missing field", "melvaro-record 1\nroot\t/m\nfile\tok\ta\ta.mp3\t1\t1\ts\t1\n", "line 3"},
      {"unknown state", "melvaro-record 1\nroot\t/m\nfile\tmaybe\ta\ta.mp3\t1\t1\ts\t1\t1\n",
       "line 3"},
      {"track 0", "melvaro-record 1\nroot\t/m\nfile\tok\ta\ta.mp3\t1\t1\ts\t1\t1\t0\n", "line 3"},
      {"bad escape", "melvaro-record 1\nroot\t/m\nfile\tok\ta\\q\ta.mp3\t1\t1\ts\t1\t1\n",
       "line 3"},
  };
  for (const Case& c : cases) {
    std::map<std::string, TRecordEntry> read;
    std::string problem;
    EXPECT_FALSE(TOutputRecord::Parse(c.text, "/m", read, problem)) << c.what;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
  }
}

// A damaged record is renamed beside itself with a message; nothing else in
// the folder changes and the run goes on from an empty record.
TEST(OutputRecord, ADamagedRecordIsSetAsideNeverDeleted) {
  TempFolder folder;
  std::ofstream(folder / "song.mp3") << "the user's";
  TOutputRecord record(folder.path().string(), "/music");
  const std::string damaged = "melvaro-record 1\nroot\t/music\nfile\tok\tbroken\n";
  std::ofstream(record.Path()) << damaged;

  std::string message;
  EXPECT_FALSE(record.Load(message));
  EXPECT_NE(message.find("set aside"), std::string::npos) << message;
  EXPECT_TRUE(record.Entries().empty());
  EXPECT_FALSE(fs::exists(record.Path()));
  std::vector<std::string> names = Names(folder.path());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0].rfind(fs::path(record.Path()).filename().string() + ".damaged-", 0), 0u);
  EXPECT_EQ(FileBytes(folder / names[0]), damaged);
  EXPECT_EQ(names[1], "song.mp3");

  // Read-only (a dry run) ignores it and renames nothing.
  std::ofstream(record.Path()) << damaged;
  TOutputRecord looking(folder.path().string(), "/music");
  EXPECT_FALSE(looking.Load(message, true));
  EXPECT_TRUE(fs::exists(record.Path()));
}

// Each completed file is in the journal at once; a run killed before its
// save loses nothing that had completed, and the next save folds it in and
// removes the dead run's journal. Saving leaves no temporary file behind.
TEST(OutputRecord, AKilledRunKeepsWhatCompletedAndSavesAreAtomic) {
  TempFolder folder;
  const std::string out = folder.path().string();
  InChildProcess([&] {
    TOutputRecord record(out, "/music");
    std::string message, error;
    record.Load(message);
    record.Put(Entry("one.flac"), error);
    record.Put(Entry("two.flac"), error);
    record.Drop("two.flac", error);
    record.Put(Entry("three.flac"), error);
  });
  TOutputRecord record(out, "/music");
  std::string message;
  ASSERT_TRUE(record.Load(message)) << message;
  ASSERT_EQ(record.Entries().size(), 2u);
  EXPECT_TRUE(record.Find("one.flac"));
  EXPECT_FALSE(record.Find("two.flac"));
  EXPECT_EQ(*record.Find("three.flac"), Entry("three.flac"));
  Save(record);
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{fs::path(record.Path()).filename()});

  // A torn line at the end of a journal (killed in the middle of a write)
  // is left out; the lines before it count.
  const std::string journal = record.Path() + ".elsewhere@1.journal";
  std::ofstream(journal) << "drop\tone.flac\nfile\tok\tfour.fl";
  TOutputRecord again(out, "/music");
  ASSERT_TRUE(again.Load(message)) << message;
  EXPECT_FALSE(again.Find("one.flac"));
  EXPECT_TRUE(again.Find("three.flac"));
  EXPECT_FALSE(again.Find("four.flac"));
  // Another machine's journal is not this host's to remove.
  Save(again);
  EXPECT_TRUE(fs::exists(journal));
}

// Runs over separate subtrees keep separate records; two runs over the same
// root that save one after the other keep both runs' entries.
TEST(OutputRecord, RunsOverSubtreesAndOverOneRootMerge) {
  TempFolder folder;
  const std::string out = folder.path().string();
  TOutputRecord rock(out, "/music/Rock");
  TOutputRecord jazz(out, "/music/Jazz");
  std::string message;
  ASSERT_TRUE(rock.Load(message));
  ASSERT_TRUE(jazz.Load(message));
  EXPECT_NE(rock.Path(), jazz.Path());
  Put(rock, Entry("a.flac"));
  Put(jazz, Entry("b.flac"));
  Save(jazz);
  Save(rock);

  // Another run over Rock loaded before this one saved, saves after it.
  TOutputRecord laterRock(out, "/music/Rock");
  ASSERT_TRUE(laterRock.Load(message));
  InChildProcess([&] {
    TOutputRecord other(out, "/music/Rock");
    std::string error;
    other.Load(message);
    other.Put(Entry("c.flac"), error);
    if (!other.Save(error)) _exit(1);
  });
  Put(laterRock, Entry("d.flac", "ogg 5"));
  Save(laterRock);

  TOutputRecord check(out, "/music/Rock");
  ASSERT_TRUE(check.Load(message));
  std::vector<std::string> sources;
  for (const TRecordEntry& entry : check.Entries()) sources.push_back(entry.Source);
  EXPECT_EQ(sources, (std::vector<std::string>{"a.flac", "c.flac", "d.flac"}));
  TOutputRecord checkJazz(out, "/music/Jazz");
  ASSERT_TRUE(checkJazz.Load(message));
  ASSERT_EQ(checkJazz.Entries().size(), 1u);
  EXPECT_EQ(checkJazz.Entries()[0].Source, "b.flac");
}

TEST(ExistingOutputs, TheRuleDecidesFromStatAndTheRecord) {
  const TRecordEntry made = Entry("a.flac");
  TRecordEntry failed = made;
  failed.State = TRecordState::Failed;
  const TFileStamp source = made.SourceStamp;
  const TFileStamp output = made.OutputStamp;
  TFileStamp rewritten = output;
  rewritten.ModifiedNs += 1;
  const TFileStamp missing{};
  TFileStamp touched = source;
  touched.ModifiedNs += 1;
  TFileStamp grown = source;
  grown.Size += 1;
  using D = TOutputDecision;
  using R = TExistingRule;
  struct Case {
    const char* what;
    R rule;
    std::optional<TRecordEntry> entry;
    TFileStamp source, output;
    std::string path, settings;
    D decision;
    bool retry = false;
  } cases[] = {
      {"replace converts", R::Replace, made, source, output, "a.flac.mp3", "mp3 128", D::Convert},
      {"skip keeps", R::Skip, std::nullopt, source, output, "x", "y", D::Existing},
      {"skip makes what is missing", R::Skip, made, source, missing, "a.flac.mp3", "mp3 128",
       D::Convert},
      {"up to date", R::Update, made, source, output, "a.flac.mp3", "mp3 128", D::UpToDate},
      {"output gone", R::Update, made, source, missing, "a.flac.mp3", "mp3 128", D::Convert},
      {"no entry", R::Update, std::nullopt, source, output, "a.flac.mp3", "mp3 128", D::Convert},
      // A failed entry is a crash: told again, not run, until the source or
      // the settings change or a retry is asked for.
      {"failed entry", R::Update, failed, source, output, "a.flac.mp3", "mp3 128", D::Crashed},
      {"failed, no output", R::Update, failed, source, missing, "a.flac.mp3", "mp3 128",
       D::Crashed},
      {"failed, source touched", R::Update, failed, touched, missing, "a.flac.mp3", "mp3 128",
       D::Convert},
      {"failed, settings changed", R::Update, failed, source, missing, "a.flac.mp3", "mp3 192",
       D::Convert},
      {"failed, retried", R::Update, failed, source, missing, "a.flac.mp3", "mp3 128", D::Convert,
       true},
      {"failed, replace", R::Replace, failed, source, missing, "a.flac.mp3", "mp3 128", D::Convert},
      {"source touched", R::Update, made, touched, output, "a.flac.mp3", "mp3 128", D::Convert},
      {"source grown", R::Update, made, grown, output, "a.flac.mp3", "mp3 128", D::Convert},
      {"settings changed", R::Update, made, source, output, "a.flac.mp3", "mp3 192", D::Convert},
      {"output rewritten since", R::Update, made, source, rewritten, "a.flac.mp3", "mp3 128",
       D::Convert},
      {"other output path", R::Update, made, source, output, "b.mp3", "mp3 128", D::Convert},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DecideOutput(c.rule, c.entry, c.source, c.output, c.path, c.settings, c.retry),
              c.decision)
        << c.what;
}
