#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibrarySearch.h"
#include "medialib/MediaLibraries.h"
#include "medialib/SwResampleHlpr.h"
#include "medialib/SwScaleHlpr.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const std::string SystemLibDir = MELVARO_SYSTEM_LIBDIR;
const std::string AVCodecFile = "libavcodec.so." MELVARO_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
const std::string AVFormatFile = "libavformat.so." MELVARO_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR);

template <typename Table>
int EmptySlots(Table& table) {
  int empty = 0;
  table.ForEach([&](const char*, auto slot) { empty += slot == nullptr; });
  return empty;
}

template <typename Table>
int SlotCount(Table& table) {
  int count = 0;
  table.ForEach([&](const char*, auto) { ++count; });
  return count;
}

void Link(const std::string& target, const std::string& linkPath) {
  fs::create_symlink(target, linkPath);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

TEST(MediaLibraries, RealLoadBindsEveryTableOnce) {
  const std::string cwd = fs::current_path();
  ASSERT_TRUE(LoadMediaLibraries("/nonexistent/melvaroLib", true)) << MediaLibraryError;
  EXPECT_TRUE(MediaLibrariesLoaded);
  EXPECT_EQ(MediaLibraryError, "");
  EXPECT_EQ(EmptySlots(AVC), 0);
  EXPECT_EQ(EmptySlots(AVF), 0);
  EXPECT_EQ(EmptySlots(AVU), 0);
  EXPECT_EQ(EmptySlots(SWS), 0);
  EXPECT_EQ(EmptySlots(SWR), 0);
  EXPECT_EQ(AVC.avcodec_version() >> 16, unsigned(LIBAVCODEC_VERSION_MAJOR));
  EXPECT_EQ(LibraryLogLevel, EngineLevelFromLibrary(AVU.av_log_get_level()));

  // Another folder, even one that would fail, changes nothing once loaded.
  LibrarySearch::SetFolderOnly(true);
  EXPECT_TRUE(LoadMediaLibraries("/nonexistent/other", false));
  EXPECT_TRUE(AVCodecHlpr::Library().IsBound());
  EXPECT_EQ(fs::current_path(), cwd);
}

struct LoadFailure {
  const char* name;
  bool versioned;
  // Fills the library folder.
  void (*prepare)(const TempFolder& folder);
  // The message starts with this; the loader's own text follows.
  std::string expectedPrefix;
};

void PrintTo(const LoadFailure& c, std::ostream* os) { *os << c.name; }

class MediaLibrariesFailure : public ::testing::TestWithParam<LoadFailure> {};

TEST_P(MediaLibrariesFailure, ReportsFirstFailureAndReleasesEverything) {
  const LoadFailure& c = GetParam();
  TempFolder folder;
  c.prepare(folder);
  LibrarySearch::SetFolderOnly(true);
  const std::string cwd = fs::current_path();

  EXPECT_FALSE(LoadMediaLibraries(folder.path().string(), c.versioned));
  EXPECT_FALSE(MediaLibrariesLoaded);
  EXPECT_TRUE(StartsWith(MediaLibraryError, c.expectedPrefix)) << MediaLibraryError;
  EXPECT_GT(MediaLibraryError.size(), c.expectedPrefix.size()) << "loader text missing";
  EXPECT_FALSE(AVCodecHlpr::Library().IsOpen());
  EXPECT_FALSE(AVFormatHlpr::Library().IsOpen());
  EXPECT_EQ(EmptySlots(AVC), SlotCount(AVC)) << "slots kept after a failed load";
  EXPECT_EQ(fs::current_path(), cwd);

  // The next attempt starts from scratch and succeeds with the right folder.
  EXPECT_TRUE(LoadMediaLibraries(SystemLibDir, true)) << MediaLibraryError;
  EXPECT_EQ(MediaLibraryError, "");
  EXPECT_EQ(EmptySlots(AVC), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MediaLibrariesFailure,
    ::testing::Values(
        LoadFailure{"VersionedNameMissing", true,
                    [](const TempFolder& f) {
                      Link(SystemLibDir + "/" + AVCodecFile, f / "libavcodec.so");
                    },
                    "Load libraray " + AVCodecFile + " error: "},
        LoadFailure{"EntryPointMissing", true,
                    [](const TempFolder& f) {
                      fs::copy_file(MELVARO_STANDIN_AVCODEC_MISSING_ENTRY, f / AVCodecFile);
                    },
                    "Load function avcodec_find_encoder@" + AVCodecFile + " error: "},
        LoadFailure{"LaterLibraryMissing", true,
                    [](const TempFolder& f) {
                      Link(SystemLibDir + "/" + AVCodecFile, f / AVCodecFile);
                    },
                    "Load libraray " + AVFormatFile + " error: "},
        LoadFailure{"PlainNameMissing", false,
                    [](const TempFolder& f) {
                      Link(SystemLibDir + "/" + AVCodecFile, f / AVCodecFile);
                    },
                    "Load libraray libavcodec.so error: "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EngineLogLevels, MapBothWays) {
  struct Case {
    int engine, library;
  } cases[] = {{-1, AV_LOG_QUIET}, {0, AV_LOG_ERROR}, {1, AV_LOG_INFO}, {2, AV_LOG_DEBUG},
               {3, AV_LOG_TRACE}};
  for (const Case& c : cases) {
    EXPECT_EQ(LibraryLevelFromEngine(c.engine), c.library) << c.engine;
    EXPECT_EQ(EngineLevelFromLibrary(c.library), c.engine) << c.library;
  }
  // Information lets warnings through and keeps verbose output out.
  EXPECT_EQ(EngineLevelFromLibrary(AV_LOG_WARNING), 1);
  EXPECT_EQ(EngineLevelFromLibrary(AV_LOG_FATAL), 0);
  EXPECT_EQ(EngineLevelFromLibrary(AV_LOG_VERBOSE), 2);
}
