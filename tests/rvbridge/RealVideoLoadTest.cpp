// Loading the optional RealVideo decoder library with the media libraries,
// and which decoder the engine's look-up then gives RealVideo streams.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/DecoderLookup.h"
#include "engine/StreamDecoder.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/MediaLibraries.h"
#include "medialib/RealVideoHlpr.h"
#include "rvbridge/BridgeDecoder.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// A library folder holding the given stand-in as "drvc.so", or nothing.
void LoadWith(const TempFolder& folder, const char* standin) {
  if (standin) fs::create_symlink(standin, folder / "drvc.so");
  ASSERT_TRUE(LoadMediaLibraries(folder.path().string(), true)) << MediaLibraryError;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

struct LoadCase {
  const char* name;
  const char* standin;      // none: the folder holds no drvc.so
  const char* boundPrefix;  // the name set bound; none: not bound
  const char* errorPrefix;  // the library's error text; none: not checked
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class RealVideoLoad : public ::testing::TestWithParam<LoadCase> {};

}  // namespace

TEST_P(RealVideoLoad, BindsOneNameSetOrStaysSilent) {
  const LoadCase& c = GetParam();
  TempFolder folder;
  LoadWith(folder, c.standin);
  EXPECT_EQ(MediaLibraryError, "");

  RealVideoLibraryBinding& library = RealVideoHlpr::Library();
  EXPECT_EQ(library.FileName(), "drvc.so");
  EXPECT_EQ(library.IsBound(), c.boundPrefix != nullptr);
  const bool registered = c.boundPrefix != nullptr;
  EXPECT_EQ(FindBridgeDecoder(AV_CODEC_ID_RV30) != nullptr, registered);
  EXPECT_EQ(FindBridgeDecoder(AV_CODEC_ID_RV40) != nullptr, registered);
  EXPECT_EQ(FindBridgeDecoder(AV_CODEC_ID_H264), nullptr);
  if (c.errorPrefix) {
    EXPECT_TRUE(StartsWith(library.ErrorText(), c.errorPrefix)) << library.ErrorText();
  }

  if (c.boundPrefix) {
    // Every slot comes from the same name set, none from the other.
    void* handle = dlopen((folder / "drvc.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    const std::string prefix = c.boundPrefix;
#define EXPECT_SLOT_BOUND(name, type) \
  EXPECT_EQ(reinterpret_cast<void*>(DRVC.name), dlsym(handle, (prefix + #name).c_str())) << #name;
    MELVARO_REALVIDEO_ENTRY_POINTS(EXPECT_SLOT_BOUND)
#undef EXPECT_SLOT_BOUND
    dlclose(handle);
  } else {
    EXPECT_EQ(DRVC.Init, nullptr);
    EXPECT_EQ(DRVC.Transform, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealVideoLoad,
    ::testing::Values(LoadCase{"NoLibrary", nullptr, nullptr, "Load libraray drvc.so error: "},
                      LoadCase{"FirstNameSet", MELVARO_DRVC_STANDIN_RV40, "RV40toYUV420", nullptr},
                      LoadCase{"SecondNameSet", MELVARO_DRVC_STANDIN_RV20, "RV20toYUV420", nullptr},
                      LoadCase{"NeitherSetComplete", MELVARO_DRVC_STANDIN_INCOMPLETE, nullptr,
                               "Load function RV20toYUV420CustomMessage@drvc.so error: "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RealVideoLoad, UnloadReleasesTheLibraryAndItsDecoders) {
  TempFolder folder;
  LoadWith(folder, MELVARO_DRVC_STANDIN_RV40);
  ASSERT_NE(FindBridgeDecoder(AV_CODEC_ID_RV40), nullptr);
  UnloadMediaLibraries();
  EXPECT_FALSE(RealVideoHlpr::Library().IsOpen());
  EXPECT_EQ(FindBridgeDecoder(AV_CODEC_ID_RV30), nullptr);
  EXPECT_EQ(FindBridgeDecoder(AV_CODEC_ID_RV40), nullptr);
}

namespace {

struct ChoiceCase {
  const char* name;
  bool withLibrary;      // the stand-in drvc.so is in the library folder
  bool showOwnDecoders;  // rvFFmpeg
  const char* rv30;      // the decoder found, "" for none
  const char* rv40;
  bool bridge;  // found decoders are bridge decoders
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class RealVideoDecoderChoice : public ::testing::TestWithParam<ChoiceCase> {};

// The decoder the engine's look-up gives a stream of this codec, and the
// bridge decoder behind it if it is one.
const AVCodec* Chosen(AVCodecID id, bool libraryRealVideo, const BridgeDecoder** bridge) {
  AVCodecParameters* parameters = AVC.avcodec_parameters_alloc();
  parameters->codec_type = AVMEDIA_TYPE_VIDEO;
  parameters->codec_id = id;
  const AVCodec* codec = FindStreamDecoder(parameters, libraryRealVideo);
  AVC.avcodec_parameters_free(&parameters);
  *bridge = BridgeDecoderOf(codec);
  return codec;
}

}  // namespace

TEST_P(RealVideoDecoderChoice, FollowsTheSetting) {
  const ChoiceCase& c = GetParam();
  TempFolder folder;
  LoadWith(folder, c.withLibrary ? MELVARO_DRVC_STANDIN_RV40 : nullptr);

  const BridgeDecoder* bridges[2];
  const AVCodec* rv30 = Chosen(AV_CODEC_ID_RV30, c.showOwnDecoders, &bridges[0]);
  const AVCodec* rv40 = Chosen(AV_CODEC_ID_RV40, c.showOwnDecoders, &bridges[1]);
  EXPECT_STREQ(rv30 ? rv30->name : "", c.rv30);
  EXPECT_STREQ(rv40 ? rv40->name : "", c.rv40);
  EXPECT_EQ(bridges[0] != nullptr, c.bridge);
  EXPECT_EQ(bridges[1] != nullptr, c.bridge);
  if (c.bridge) {
    EXPECT_STREQ(rv30->long_name, "RealVideo 3.0");
    EXPECT_STREQ(rv40->long_name, "RealVideo 4.0");
    EXPECT_EQ(rv30->id, AV_CODEC_ID_RV30);
    EXPECT_EQ(rv40->id, AV_CODEC_ID_RV40);
    EXPECT_EQ(rv40->type, AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(rv40->capabilities, AV_CODEC_CAP_DR1 | AV_CODEC_CAP_DELAY);
  }
  // Other codecs do not depend on the setting.
  const BridgeDecoder* none;
  const AVCodec* mp3 = Chosen(AV_CODEC_ID_MP3, c.showOwnDecoders, &none);
  EXPECT_TRUE(mp3 && !none);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealVideoDecoderChoice,
    ::testing::Values(ChoiceCase{"OwnWithLibrary", true, true, "rv30", "rv40", false},
                      ChoiceCase{"BridgeWithLibrary", true, false, "veltorv30", "veltorv40", true},
                      ChoiceCase{"OwnWithoutLibrary", false, true, "rv30", "rv40", false},
                      ChoiceCase{"BridgeWithoutLibrary", false, false, "", "", false}),
    [](const auto& info) { return std::string(info.param.name); });
