// RealVideo 4.0 through a whole conversion: with the bridge chosen, the
// engine decodes the stream with the stand-in decoder library and encodes the
// pictures it delivers; without the library there is no decoder for it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "engine/FFmpegHlpr.h"
#include "engine/StreamDecoder.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"
#include "medialib/MediaLibraries.h"
#include "tests/rvbridge/DrvcStandin.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VideoFixtures.h"

namespace fs = std::filesystem;

namespace {

constexpr int Pictures = 10;

// A NUT file with one RealVideo 4.0 stream at 25 pictures per second: each
// packet one segment entry and 4 bytes of frame data.
void MakeRealVideo(const std::string& path) {
  AVFormatContext* made = nullptr;
  ASSERT_GE(AVF.avformat_alloc_output_context2(&made, nullptr, nullptr, path.c_str()), 0);
  const MediaObjects::OutputPtr owner(made);
  AVFormatContext* output = made;
  AVStream* stream = AVF.avformat_new_stream(output, nullptr);
  AVCodecParameters* p = stream->codecpar;
  p->codec_type = AVMEDIA_TYPE_VIDEO;
  p->codec_id = AV_CODEC_ID_RV40;
  p->codec_tag = MKTAG('R', 'V', '4', '0');
  p->width = 16;
  p->height = 16;
  const uint8_t extraData[8] = {0x10, 0x00, 0x30, 0x00, 0x40, 0x00, 0x00, 0x00};
  p->extradata = static_cast<uint8_t*>(AVU.av_mallocz(8 + AV_INPUT_BUFFER_PADDING_SIZE));
  std::memcpy(p->extradata, extraData, 8);
  p->extradata_size = 8;
  stream->time_base = AVRational{1, 25};
  ASSERT_GE(AVF.avio_open2(&output->pb, path.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), 0);
  ASSERT_GE(AVF.avformat_write_header(output, nullptr), 0);
  const MediaObjects::PacketPtr owned(AVC.av_packet_alloc());
  AVPacket* packet = owned.get();
  for (int n = 0; n < Pictures; ++n) {
    ASSERT_EQ(AVC.av_new_packet(packet, 13), 0);
    std::memset(packet->data, 0, 13);
    packet->data[9] = uint8_t(n);
    packet->pts = packet->dts = n;
    packet->flags = AV_PKT_FLAG_KEY;
    AVC.av_packet_rescale_ts(packet, AVRational{1, 25}, stream->time_base);
    ASSERT_GE(AVF.av_interleaved_write_frame(output, packet), 0);
  }
  ASSERT_GE(AVF.av_write_trailer(output), 0);
}

class BridgeTranscode : public ::testing::Test {
 protected:
  // Loads the libraries from a folder with or without the stand-in, then
  // writes the input.
  void Load(bool withLibrary) {
    if (withLibrary) fs::create_symlink(MELVARO_DRVC_STANDIN_RV40, Folder / "drvc.so");
    ASSERT_TRUE(LoadMediaLibraries(Folder.path().string(), true)) << MediaLibraryError;
    if (withLibrary) {
      void* handle = dlopen((Folder / "drvc.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
      ASSERT_NE(handle, nullptr);
      Library = reinterpret_cast<DrvcStandinStateProc>(dlsym(handle, "drvc_standin_state"))();
      dlclose(handle);
    }
    MakeRealVideo(Input);
  }
  // With the bridge chosen, to uncompressed YUV 4:2:0; the run's error, or ""
  // when it ended normally.
  std::string Convert() {
    Engine.SetRealVideoDecoders(false);
    return ConvertWith(Engine, Output);
  }
  // With the engine's own choice.
  std::string ConvertWith(TCustomFFmpegHlpr& engine, const std::string& output) {
    engine.Reset();
    if (!engine.OpenInputFile(Input)) return "input: " + engine.LastError;
    engine.SetVideoCodec("rawvideo");
    engine.SetPixelFormat("yuv420p");
    if (!engine.OpenOutputFile(output)) return "output: " + engine.LastError;
    try {
      engine.Start(false, tpNormal);
      return "";
    } catch (const FFMpegException& error) {
      return error.what();
    }
  }

  TempFolder Folder;
  const std::string Input = Folder / "input.nut";
  const std::string Output = Folder / "output.nut";
  DrvcStandinState* Library = nullptr;
  std::mutex CodecLock;
  TCustomFFmpegHlpr Engine{CodecLock};
};

}  // namespace

TEST_F(BridgeTranscode, DecodesThroughTheBridge) {
  Load(true);
  // The probe may have taken another picture size from the stream.
  const MediaFixtures::FileInfo probed = MediaFixtures::Probe(Input);
  ASSERT_EQ(probed.streams.size(), 1u);
  const int width = probed.streams[0].width;
  const int height = probed.streams[0].height;
  *Library = DrvcStandinState{};

  ASSERT_EQ(Convert(), "");
  // One Transform per packet, then the decoder is given back.
  std::string calls = "Init ";
  for (int n = 0; n < Pictures; ++n) calls += "Transform ";
  EXPECT_EQ(Library->Calls, calls + "Free ");
  EXPECT_EQ(Library->Init.Width, width);
  EXPECT_EQ(Library->Init.Height, height);

  const auto pictures = VideoFixtures::DecodePictures(Output, Pictures + 5);
  ASSERT_EQ(pictures.size(), size_t(Pictures));
  for (const auto& picture : pictures) {
    ASSERT_EQ(picture.width, width);
    ASSERT_EQ(picture.height, height);
    for (int x = 0; x < width; ++x) ASSERT_EQ(picture.Y(x, height - 1), uint8_t(10 + 10 * x));
    for (int y = 0; y < height / 2; ++y) ASSERT_EQ(picture.U(0, y), uint8_t(10 + 10 * y));
    EXPECT_EQ(picture.V(width / 2 - 1, height / 2 - 1), 70);
  }
}

TEST_F(BridgeTranscode, WithoutTheLibraryTheStreamHasNoDecoder) {
  Load(false);
  EXPECT_EQ(Convert(), "Unsupported codec (id=" + std::to_string(int(AV_CODEC_ID_RV40)) +
                           ") for input stream #0.0");
}

TEST_F(BridgeTranscode, TwoEnginesKeepTheirOwnDecoderChoice) {
  Load(true);
  std::mutex otherLock;
  TCustomFFmpegHlpr own(otherLock);
  Engine.SetRealVideoDecoders(false);
  // Chosen after the first engine's: a choice for the whole process would
  // send the first engine's stream through the library's own decoder.
  own.SetRealVideoDecoders(true);
  *Library = DrvcStandinState{};
  ASSERT_EQ(ConvertWith(Engine, Output), "");
  EXPECT_EQ(std::string(Library->Calls).rfind("Init Transform ", 0), 0u) << Library->Calls;
  // The other engine's look-up gives the same stream the library's decoder.
  AVCodecParameters* parameters = AVC.avcodec_parameters_alloc();
  parameters->codec_type = AVMEDIA_TYPE_VIDEO;
  parameters->codec_id = AV_CODEC_ID_RV40;
  const AVCodec* codec = FindStreamDecoder(parameters, own.LibraryRealVideoDecoders);
  AVC.avcodec_parameters_free(&parameters);
  ASSERT_NE(codec, nullptr);
  EXPECT_STREQ(codec->name, "rv40");
}
