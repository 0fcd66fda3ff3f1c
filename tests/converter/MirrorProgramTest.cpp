// melvaro-convert keeping an output folder in step with a generated tagged
// tree: --existing skip|update, --mirror with --prune, --dry-run, and a
// mirror run killed in the middle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/converter/ProgramRun.h"
#include "tests/support/FolderFiles.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;
using MediaFixtures::AudioFormat;

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A small library: Artist/Album/NN Title.flac, tagged, each its own tone.
struct Library {
  explicit Library(const TempFolder& folder, int albums = 2, int tracks = 2, double seconds = 0.4)
      : Root(folder / "Music"), Out(folder / "out") {
    for (int album = 0; album < albums; ++album)
      for (int track = 1; track <= tracks; ++track) {
        const std::string dir = Root + "/Artist/Album " + std::to_string(album);
        fs::create_directories(dir);
        const std::string path = dir + "/0" + std::to_string(track) + " Song.flac";
        MediaFixtures::AudioExtras extras;
        extras.tags = {{"artist", "Artist"},
                       {"album", "Album " + std::to_string(album)},
                       {"title", "Song " + std::to_string(track)},
                       {"track", std::to_string(track)}};
        MediaFixtures::MakeAudio(path, AudioFormat::Flac, 44100, 2, seconds,
                                 300 + 100 * (album * tracks + track), extras);
        Sources.push_back(path);
      }
  }
  // Where a source's output lands: the same place in the output tree.
  std::string OutputOf(const std::string& source) const {
    return (fs::path(Out) / fs::path(source).lexically_relative(Root)).replace_extension(".mp3");
  }
  std::string Root, Out;
  std::vector<std::string> Sources;
};

// Every file below a folder with its size and modification time.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Snapshot(const std::string& dir) {
  std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
  if (!fs::exists(dir)) return files;
  for (const auto& item : fs::recursive_directory_iterator(dir))
    files[item.path().string()] = {item.is_regular_file() ? item.file_size() : 0,
                                   item.last_write_time()};
  return files;
}

void Touch(const std::string& path) {
  fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(10));
}

}  // namespace

TEST(MirrorProgram, SkipAndUpdateRedoOnlyWhatChanged) {
  TempFolder folder;
  // Distinct names, so that a flat output folder holds them all.
  std::vector<std::string> sources;
  for (int i = 0; i < 3; ++i) {
    sources.push_back(folder / ("song" + std::to_string(i) + ".flac"));
    MediaFixtures::MakeAudio(sources.back(), AudioFormat::Flac, 44100, 2, 0.4, 440 + 110 * i);
  }
  const std::string out = folder / "out";
  const auto run = [&](std::vector<std::string> options) {
    options.insert(options.end(), {"-j", "2", "-o", out});
    options.insert(options.end(), sources.begin(), sources.end());
    return RunProgram(options);
  };
  Result first = run({"--existing", "update"});
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_TRUE(Contains(first.output, "3 converted, 0 failed")) << first.output;
  const auto made = Snapshot(out);

  Result again = run({"--existing", "update"});
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_TRUE(Contains(again.output, "0 converted, 0 failed, 3 up to date")) << again.output;
  EXPECT_EQ(Snapshot(out), made);

  Touch(sources[1]);
  Result touched = run({"--existing", "update"});
  EXPECT_TRUE(Contains(touched.output, "1 converted, 0 failed, 2 up to date")) << touched.output;
  EXPECT_TRUE(Contains(touched.output, "converted: " + sources[1])) << touched.output;
  const auto afterTouch = Snapshot(out);
  EXPECT_EQ(afterTouch.at(out + "/song0.mp3"), made.at(out + "/song0.mp3"));
  EXPECT_NE(afterTouch.at(out + "/song1.mp3"), made.at(out + "/song1.mp3"));

  // Another bit rate is another output: all are made again.
  Result otherSetting = run({"--existing", "update", "-b", "192"});
  EXPECT_TRUE(Contains(otherSetting.output, "3 converted, 0 failed")) << otherSetting.output;

  // Skip leaves every existing output alone and makes only the missing one.
  fs::remove(out + "/song2.mp3");
  const auto beforeSkip = Snapshot(out);
  Result skip = run({"--existing", "skip"});
  EXPECT_TRUE(Contains(skip.output, "1 converted, 0 failed, 2 already there")) << skip.output;
  EXPECT_EQ(Snapshot(out).at(out + "/song0.mp3"), beforeSkip.at(out + "/song0.mp3"));
  EXPECT_TRUE(fs::exists(out + "/song2.mp3"));

  EXPECT_EQ(RunProgram({"--prune", "-o", out, sources[0]}).status, 2);
  EXPECT_EQ(RunProgram({"--existing", "sometimes", "-o", out, sources[0]}).status, 2);
}

// A prune removes exactly the outputs of deleted sources that Melvaro made
// and nobody changed since, with the folders this empties; the user's own
// files stay, wherever they are.
TEST(MirrorProgram, PruneRemovesOnlyWhatMelvaroMadeForDeletedSources) {
  TempFolder folder;
  Library library(folder);
  const std::vector<std::string> args = {"--mirror", "--prune", "-j", "2", "-o", library.Out,
                                         library.Root};
  std::ofstream(library.Root + "/Artist/Album 0/cover.jpg") << "picture";
  ASSERT_EQ(RunProgram(args).status, 0);
  const std::string cover = library.Out + "/Artist/Album 0/cover.jpg";
  EXPECT_EQ(FileBytes(cover), "picture");

  // The user's own files, one of them named as an output could be.
  std::ofstream(library.Out + "/notes.txt") << "mine";
  std::ofstream(library.Out + "/Artist/Album 0/mine.mp3") << "mine";
  // Source 0 goes; source 1 goes too, but its output was edited since.
  fs::remove(library.Sources[0]);
  fs::remove(library.Sources[1]);
  std::ofstream(library.OutputOf(library.Sources[1]), std::ios::app) << "edited";
  fs::remove(library.Root + "/Artist/Album 0/cover.jpg");
  const std::vector<std::string> rest(library.Sources.begin() + 2, library.Sources.end());
  const Result pruned = RunProgram(args);
  EXPECT_EQ(pruned.status, 0) << pruned.output;
  EXPECT_TRUE(Contains(pruned.output, "0 converted, 0 failed, 2 up to date, 2 pruned"))
      << pruned.output;
  EXPECT_FALSE(fs::exists(library.OutputOf(library.Sources[0])));
  EXPECT_FALSE(fs::exists(cover));
  EXPECT_TRUE(fs::exists(library.OutputOf(library.Sources[1])));
  EXPECT_TRUE(Contains(pruned.output, "has changed since it was made; left alone"))
      << pruned.output;
  for (const std::string& kept : rest) EXPECT_TRUE(fs::exists(library.OutputOf(kept)));
  EXPECT_EQ(FileBytes(library.Out + "/notes.txt"), "mine");
  EXPECT_EQ(FileBytes(library.Out + "/Artist/Album 0/mine.mp3"), "mine");
  // Album 1 lost nothing; a folder that empties goes with its last output.
  fs::remove(library.Sources[2]);
  fs::remove(library.Sources[3]);
  EXPECT_TRUE(Contains(RunProgram(args).output, "2 pruned"));
  EXPECT_FALSE(fs::exists(library.Out + "/Artist/Album 1"));
  EXPECT_TRUE(fs::exists(library.Out + "/Artist/Album 0/mine.mp3"));
}

TEST(MirrorProgram, ADryRunWritesNothingAtAll) {
  TempFolder folder;
  Library library(folder);
  const std::vector<std::string> args = {"-n", "--mirror", "--prune", "-o", library.Out,
                                         library.Root};
  const Result fresh = RunProgram(args);
  EXPECT_EQ(fresh.status, 0) << fresh.output;
  EXPECT_FALSE(fs::exists(library.Out));  // not even the folder
  for (const std::string& source : library.Sources)
    EXPECT_TRUE(Contains(fresh.output, "convert: " + source + " -> " + library.OutputOf(source)))
        << fresh.output;

  std::vector<std::string> real(args.begin() + 1, args.end());
  ASSERT_EQ(RunProgram(real).status, 0);
  Touch(library.Sources[0]);
  fs::remove(library.Sources[1]);
  const auto before = Snapshot(library.Out);
  const auto sourcesBefore = Snapshot(library.Root);
  const Result changed = RunProgram(args);
  EXPECT_EQ(changed.status, 0) << changed.output;
  EXPECT_EQ(Snapshot(library.Out), before);
  EXPECT_EQ(Snapshot(library.Root), sourcesBefore);
  EXPECT_TRUE(Contains(changed.output, "convert: " + library.Sources[0])) << changed.output;
  EXPECT_TRUE(Contains(changed.output, "prune: ")) << changed.output;
  EXPECT_TRUE(Contains(changed.output, "up to date: " + library.Sources[2])) << changed.output;
  EXPECT_TRUE(Contains(changed.output, "dry run: 1 to convert, 0 to copy, 2 up to date, 0 already there, 1 to prune"))
      << changed.output;
}

// SIGKILL in the middle of a mirror: the rerun redoes only what had not
// completed, removes the dead run's hidden files and ends with every output
// whole.
TEST(MirrorProgram, AKilledMirrorRunEndsCompleteAfterARerun) {
  TempFolder folder;
  Library library(folder, 3, 4, 2.0);
  const std::vector<std::string> args = {"--mirror", "-j", "2", "-o", library.Out, library.Root};
  const std::string log = folder / "killed.log";
  const pid_t program = StartProgram(args, log);
  ASSERT_GT(program, 0);
  int completed = 0;
  for (int i = 0; i < 6000 && completed < 3; ++i) {
    usleep(10000);
    const std::string text = FileBytes(log);
    completed = 0;
    for (size_t at = 0; (at = text.find("converted: ", at)) != std::string::npos; ++at) ++completed;
  }
  kill(program, SIGKILL);
  waitpid(program, nullptr, 0);
  ASSERT_GE(completed, 3) << FileBytes(log);
  const int total = static_cast<int>(library.Sources.size());
  ASSERT_LT(completed, total) << "the run ended before it could be killed";

  const Result rerun = RunProgram(args);
  EXPECT_EQ(rerun.status, 0) << rerun.output;
  int redone = 0;
  for (size_t at = 0; (at = rerun.output.find("converted: ", at)) != std::string::npos; ++at)
    ++redone;
  // What completed before the kill is not done again; what was in flight is.
  EXPECT_LE(redone, total - completed) << rerun.output;
  EXPECT_TRUE(Contains(rerun.output, std::to_string(total - redone) + " up to date"))
      << rerun.output;
  for (const std::string& source : library.Sources) {
    const std::string output = library.OutputOf(source);
    ASSERT_TRUE(fs::exists(output)) << output;
    EXPECT_NEAR(MediaFixtures::Probe(output).duration, 2.0, 0.15) << output;
  }
  for (const auto& item : fs::recursive_directory_iterator(library.Out))
    EXPECT_FALSE(item.path().extension() == ".part") << item.path();
  // The record is whole again, no journal is left, and a third run has
  // nothing to do.
  const Result third = RunProgram(args);
  EXPECT_TRUE(Contains(third.output, "0 converted, 0 failed, " + std::to_string(total) +
                                         " up to date"))
      << third.output;
  for (const auto& item : fs::directory_iterator(library.Out))
    EXPECT_EQ(item.path().extension() == ".journal", false) << item.path();
}

// A copy stands for its source as a conversion does: a rerun with
// --copy-same-format finds the copies up to date; without it they are
// converted after all.
TEST(MirrorProgram, CopiesAreUpToDateWhileCopyingIsAsked) {
  TempFolder folder;
  Library library(folder, 1, 2);
  const std::vector<std::string> copy = {"--mirror", "--copy-same-format", "-f", "flac",
                                         "-o",       library.Out,          library.Root};
  const Result first = RunProgram(copy);
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_TRUE(Contains(first.output, "0 converted, 0 failed, 2 copied")) << first.output;
  const auto made = Snapshot(library.Out);
  const Result again = RunProgram(copy);
  EXPECT_TRUE(Contains(again.output, "0 converted, 0 failed, 2 up to date")) << again.output;
  EXPECT_EQ(Snapshot(library.Out), made);
  const Result converted =
      RunProgram({"--mirror", "-f", "flac", "-o", library.Out, library.Root});
  EXPECT_TRUE(Contains(converted.output, "2 converted, 0 failed")) << converted.output;
}

// A file whose conversion crashed is recorded: a rerun reports it without
// running it (its worker would only crash again) until --retry-failed or a
// changed source runs it again.
TEST(MirrorProgram, ACrashIsRecordedAndRunAgainOnlyWhenAsked) {
  TempFolder folder;
  Library library(folder, 1, 2);
  const std::string crashing = library.Sources[0];
  const std::string name = fs::path(crashing).filename().string();
  setenv("MELVARO_TEST_WORKER_FAULT", (name + "=segv").c_str(), 1);
  const Result first = RunProgram({"--mirror", "-o", library.Out, library.Root});
  EXPECT_EQ(first.status, 1) << first.output;
  EXPECT_TRUE(Contains(first.output, "the conversion crashed: SIGSEGV")) << first.output;

  // Still crashing, but not run: the seam's line never appears.
  const Result rerun = RunProgram({"--mirror", "-o", library.Out, library.Root});
  unsetenv("MELVARO_TEST_WORKER_FAULT");
  EXPECT_EQ(rerun.status, 1) << rerun.output;
  EXPECT_TRUE(Contains(rerun.output, "failed: " + crashing +
                                         ": the conversion crashed on an earlier run; "
                                         "--retry-failed runs it again"))
      << rerun.output;
  EXPECT_TRUE(Contains(rerun.output, "0 converted, 1 failed, 1 up to date")) << rerun.output;
  EXPECT_FALSE(fs::exists(library.OutputOf(crashing)));

  const Result retried = RunProgram({"--mirror", "--retry-failed", "-o", library.Out, library.Root});
  EXPECT_EQ(retried.status, 0) << retried.output;
  EXPECT_TRUE(fs::exists(library.OutputOf(crashing)));
  const Result settled = RunProgram({"--mirror", "-o", library.Out, library.Root});
  EXPECT_TRUE(Contains(settled.output, "0 converted, 0 failed, 2 up to date")) << settled.output;
}
