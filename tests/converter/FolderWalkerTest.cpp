// Folders as inputs: what a walk over a real tree finds, in which order, and
// what it reports.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "converter/FolderWalker.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Paths(const TFoundInputs& found) {
  std::vector<std::string> paths;
  for (const TFoundInput& file : found.Files) paths.push_back(file.Path);
  return paths;
}

}  // namespace

TEST(FolderWalker, FindsTheAudioFilesOfATreeOnceInNameOrder) {
  TempFolder temp;
  const std::string root = temp / "Music";
  for (const char* folder : {"B/Disc 2", "A", ".hidden", "Other"})
    fs::create_directories(root + "/" + folder);
  for (const char* name : {"B/02.flac", "B/01.FLAC", "B/Disc 2/01.ogg", "A/x.mp3", "A/notes.txt",
                           "A/.secret.mp3", ".hidden/h.mp3", "Other/y.wav", "single.wav"})
    std::ofstream(root + "/" + name) << "x";
  std::ofstream(temp / "loose.txt") << "x";
  fs::create_directory_symlink(root, root + "/A/loop");            // back up the tree: walked once
  fs::create_directory_symlink(root + "/Other", root + "/Link");   // a second way to one folder
  fs::create_symlink(root + "/gone.mp3", root + "/A/broken.mp3");  // names a file that is gone
  fs::create_symlink("selfloop.flac", root + "/A/selfloop.flac");

  const TFoundInputs found = FindInputs({temp / "loose.txt", root + "/", root + "/A/x.mp3"});
  EXPECT_EQ(Paths(found),
            (std::vector<std::string>{temp / "loose.txt",  // given itself: kept whatever its name
                                      root + "/A/x.mp3", root + "/B/01.FLAC", root + "/B/02.flac",
                                      root + "/B/Disc 2/01.ogg", root + "/Link/y.wav",
                                      root + "/single.wav"}));
  EXPECT_EQ(found.Files[0].Root, "");
  for (std::size_t i = 1; i < found.Files.size(); ++i) EXPECT_EQ(found.Files[i].Root, root);
  // Given again under another name: left out, and said so.
  EXPECT_EQ(found.Repeated, std::vector<std::string>{root + "/A/x.mp3"});
  ASSERT_EQ(found.Problems.size(), 2u);
  EXPECT_EQ(found.Problems[0].Path, root + "/A/broken.mp3");
  EXPECT_EQ(found.Problems[0].Reason, "No such file or directory");
  EXPECT_EQ(found.Problems[1].Path, root + "/A/selfloop.flac");
  EXPECT_EQ(found.Problems[1].Reason, "Too many levels of symbolic links");

  // What a list already holds stays out; a path that is not there is told.
  std::set<TFileId> listed = {found.Files[4].Id};
  const TFoundInputs more = FindInputs({root + "/B/Disc 2", temp / "missing.wav"}, &listed);
  EXPECT_TRUE(more.Files.empty());
  EXPECT_EQ(more.Repeated, std::vector<std::string>{root + "/B/Disc 2/01.ogg"});
  ASSERT_EQ(more.Problems.size(), 1u);
  EXPECT_EQ(more.Problems[0].Path, temp / "missing.wav");
  EXPECT_EQ(more.Problems[0].Reason, "No such file or directory");
}

TEST(FolderWalker, AnUnreadableFolderIsToldAndTheRestGoesOn) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser reads every folder";
  TempFolder temp;
  const std::string root = temp / "Music";
  fs::create_directories(root + "/A");
  fs::create_directories(root + "/B");
  std::ofstream(root + "/A/a.mp3") << "x";
  std::ofstream(root + "/B/b.mp3") << "x";
  ASSERT_EQ(chmod((root + "/A").c_str(), 0), 0);
  const TFoundInputs found = FindInputs({root});
  chmod((root + "/A").c_str(), 0755);
  EXPECT_EQ(Paths(found), std::vector<std::string>{root + "/B/b.mp3"});
  ASSERT_EQ(found.Problems.size(), 1u);
  EXPECT_EQ(found.Problems[0].Path, root + "/A");
  EXPECT_EQ(found.Problems[0].Reason, "Permission denied");
}
