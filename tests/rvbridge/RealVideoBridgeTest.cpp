// The bridge decoder against the stand-in decoder library: the records it
// hands over, the pictures it returns and the streams and packets it refuses.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/DecoderLookup.h"
#include "engine/StreamDecoder.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"
#include "rvbridge/BridgeSessions.h"
#include "rvbridge/RealVideoBridge.h"
#include "tests/rvbridge/DrvcStandin.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const unsigned TagRV20 = MKTAG('R', 'V', '2', '0');
const unsigned TagRV30 = MKTAG('R', 'V', '3', '0');
const unsigned TagRV40 = MKTAG('R', 'V', '4', '0');

// Sub-format with three picture sizes, then a version word, then the two
// extra sizes in units of 4 pixels.
const std::vector<uint8_t> ExtraDataThreeSizes = {0x00, 0x02, 0x00, 0x00, 0x20, 0x20,
                                                  0x00, 0x02, 22,   18,   11,   9};

class RealVideoBridge : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_symlink(MELVARO_DRVC_STANDIN_RV40, Folder / "drvc.so");
    ASSERT_TRUE(LoadMediaLibraries(Folder.path().string(), true)) << MediaLibraryError;
    void* handle = dlopen((Folder / "drvc.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto state = reinterpret_cast<DrvcStandinStateProc>(dlsym(handle, "drvc_standin_state"));
    ASSERT_NE(state, nullptr);
    Library = state();
    *Library = DrvcStandinState{};  // the test program may run every case in one process
    dlclose(handle);                // the loader keeps its own reference
    Codec = AVC.avcodec_alloc_context3(nullptr);
    Frame = AVU.av_frame_alloc();
    Packet = AVC.av_packet_alloc();
  }
  void TearDown() override {
    if (!Codec) return;
    rv_bridge_close(Context);
    AVC.av_packet_free(&Packet);
    AVU.av_frame_free(&Frame);
    AVC.avcodec_free_context(&Codec);
  }

  void Describe(AVCodecID id, int width, int height, unsigned tag,
                const std::vector<uint8_t>& extraData) {
    Codec->codec_id = id;
    Codec->width = width;
    Codec->height = height;
    Codec->codec_tag = tag;
    Codec->extradata =
        static_cast<uint8_t*>(AVU.av_mallocz(extraData.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::copy(extraData.begin(), extraData.end(), Codec->extradata);
    Codec->extradata_size = int(extraData.size());
  }

  // A packet with c = count - 1, `count` segment entries 1, 2, 3, ... and
  // frame data 0xAB, 0xCD, ... of `dataLength` bytes.
  void MakePacket(int count, int dataLength) {
    AVC.av_packet_unref(Packet);
    ASSERT_EQ(AVC.av_new_packet(Packet, 1 + 8 * count + dataLength), 0);
    Packet->data[0] = uint8_t(count - 1);
    for (int i = 0; i < 8 * count; ++i) Packet->data[1 + i] = uint8_t(1 + i);
    for (int i = 0; i < dataLength; ++i) Packet->data[1 + 8 * count + i] = uint8_t(0xAB + 0x22 * i);
  }

  int Decode() { return rv_bridge_decode(Context, *Codec, *Frame, GotPicture, *Packet); }

  TempFolder Folder;
  DrvcStandinState* Library = nullptr;
  AVCodecContext* Codec = nullptr;
  AVFrame* Frame = nullptr;
  AVPacket* Packet = nullptr;
  RVBridgeContext Context;
  int GotPicture = -1;
};

struct MessageCase {
  const char* name;
  unsigned tag;
  uint8_t versionLow;  // version 0x202000xx
  bool message;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

class RealVideoBridgeInit : public RealVideoBridge,
                            public ::testing::WithParamInterface<MessageCase> {};

}  // namespace

TEST_P(RealVideoBridgeInit, HandsOverTheStreamAndItsPictureSizes) {
  const MessageCase& c = GetParam();
  std::vector<uint8_t> extraData = ExtraDataThreeSizes;
  extraData[7] = c.versionLow;
  Describe(AV_CODEC_ID_RV30, 176, 144, c.tag, extraData);

  // The result is the status of the last library call.
  EXPECT_EQ(rv_bridge_init(Context, *Codec), c.message ? 7 : 5);
  const RVInitParams& p = Library->Init;
  EXPECT_EQ(p.Kind, 11);
  EXPECT_EQ(p.Width, 176);
  EXPECT_EQ(p.Height, 144);
  EXPECT_EQ(p.Reserved1, 0);
  EXPECT_EQ(p.Reserved2, 0);
  EXPECT_EQ(p.SubFormat, 0x00020000u);
  EXPECT_EQ(p.One, 1u);
  EXPECT_EQ(p.Version, 0x20200000u | c.versionLow);
  EXPECT_EQ(Context.Handle, Library->GivenHandle);
  if (c.message) {
    EXPECT_STREQ(Library->Calls, "Init CustomMessage ");
    EXPECT_EQ(Library->Message.Type, 0x24u);
    ASSERT_EQ(Library->Message.Count, 3u);
    const std::vector<int32_t> values(Library->MessageValues, Library->MessageValues + 6);
    EXPECT_EQ(values, (std::vector<int32_t>{176, 144, 88, 72, 44, 36}));
  } else {
    EXPECT_STREQ(Library->Calls, "Init ");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RealVideoBridgeInit,
                         ::testing::Values(MessageCase{"RV30NewVersion", TagRV30, 0x02, true},
                                           MessageCase{"RV20NewVersion", TagRV20, 0x02, true},
                                           MessageCase{"RV30OldVersion", TagRV30, 0x01, false},
                                           MessageCase{"RV40NewVersion", TagRV40, 0x02, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RealVideoBridge, RefusesStreamsBeforeTheLibraryReadsThem) {
  struct Case {
    const char* name;
    AVCodecID id;
    unsigned tag;
    size_t extraDataBytes;
    int width, height;
  } cases[] = {
      {"ExtraDataBelowEightBytes", AV_CODEC_ID_RV40, TagRV40, 7, 176, 144},
      // Three sizes need 8 + 2 * 3 - 2 bytes.
      {"ExtraDataShortOfTheSizes", AV_CODEC_ID_RV30, TagRV30, 11, 176, 144},
      {"NotRealVideo", AV_CODEC_ID_H264, TagRV40, 12, 176, 144},
      {"WiderThanTheLibraryTakes", AV_CODEC_ID_RV40, TagRV40, 12, 65536, 144},
      {"LargerThanAnyPicture", AV_CODEC_ID_RV40, TagRV40, 12, 65535, 65535},
      {"Empty", AV_CODEC_ID_RV40, TagRV40, 12, 0, 144},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AVU.av_freep(&Codec->extradata);
    Describe(c.id, c.width, c.height, c.tag,
             std::vector<uint8_t>(ExtraDataThreeSizes.begin(),
                                  ExtraDataThreeSizes.begin() + c.extraDataBytes));
    EXPECT_EQ(rv_bridge_init(Context, *Codec), -1);
    EXPECT_STREQ(Library->Calls, "");
    EXPECT_EQ(Context.Buffer1, nullptr);
  }
}

TEST_F(RealVideoBridge, RefusedInitLeavesNothingOpen) {
  Describe(AV_CODEC_ID_RV30, 176, 144, TagRV30, ExtraDataThreeSizes);
  Library->InitStatus = -2;
  EXPECT_EQ(rv_bridge_init(Context, *Codec), -1);
  EXPECT_EQ(Context.Handle, nullptr);

  // A refused custom message gives the decoder back to the library.
  Library->InitStatus = 0;
  Library->MessageStatus = -3;
  EXPECT_EQ(rv_bridge_init(Context, *Codec), -1);
  EXPECT_STREQ(Library->Calls, "Init Init CustomMessage Free ");
  EXPECT_EQ(Library->FreedHandle, Library->GivenHandle);
  EXPECT_EQ(Context.Handle, nullptr);
  EXPECT_EQ(Context.Buffer1, nullptr);
  EXPECT_EQ(Context.Buffer2, nullptr);
}

TEST_F(RealVideoBridge, BuffersAreBlackBeforeTheFirstFrame) {
  Describe(AV_CODEC_ID_RV40, 16, 8, TagRV40, ExtraDataThreeSizes);
  ASSERT_GE(rv_bridge_init(Context, *Codec), 0);
  EXPECT_EQ(Codec->pix_fmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(Codec->has_b_frames, 1);
  for (const uint8_t* buffer : {Context.Buffer1.get(), Context.Buffer2.get()}) {
    ASSERT_NE(buffer, nullptr);
    const std::vector<uint8_t> luma(buffer, buffer + 128), chroma(buffer + 128, buffer + 192);
    EXPECT_EQ(luma, std::vector<uint8_t>(128, 0));
    EXPECT_EQ(chroma, std::vector<uint8_t>(64, 128));
  }
}

TEST(RealVideoPacket, HeaderIsOneBytePlusEightPerSegment) {
  struct Case {
    std::vector<uint8_t> packet;
    bool ok;
    int headerBytes;
  } cases[] = {
      {std::vector<uint8_t>(20, 0), true, 9},  // c = 0
      {[] {
         std::vector<uint8_t> p(25, 0);
         p[0] = 2;
         return p;
       }(),
       true, 25},
      {[] {
         std::vector<uint8_t> p(24, 0);
         p[0] = 2;
         return p;
       }(),
       false, 0},
      {std::vector<uint8_t>(1, 0), false, 0},
      {{}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.packet.size());
    RVPacketLayout layout;
    ASSERT_EQ(ParseRVPacket(c.packet.data(), int(c.packet.size()), layout), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(layout.SegmentCountMinusOne, c.packet[0]);
    EXPECT_EQ(layout.Segments, c.packet.data() + 1);
    EXPECT_EQ(layout.Data, c.packet.data() + c.headerBytes);
    EXPECT_EQ(layout.DataLength, int(c.packet.size()) - c.headerBytes);
  }
}

TEST_F(RealVideoBridge, HandsThePacketToTheLibrary) {
  Describe(AV_CODEC_ID_RV40, 8, 8, TagRV40, ExtraDataThreeSizes);
  ASSERT_GE(rv_bridge_init(Context, *Codec), 0);
  MakePacket(1, 11);
  Packet->pts = 2500;
  Packet->time_base = AVRational{1, 1000};
  EXPECT_EQ(Decode(), 20);
  EXPECT_EQ(GotPicture, 1);
  const RVTransformIn& in = Library->TransformIn;
  EXPECT_EQ(in.DataLength, 11u);
  EXPECT_EQ(in.SegmentCountMinusOne, 0u);
  EXPECT_EQ(in.Reserved1, 0u);
  EXPECT_EQ(in.Reserved2, 0u);
  EXPECT_EQ(in.Timestamp, 2500u);
  EXPECT_EQ(Library->Segments[0], 1);
  EXPECT_EQ(Library->Segments[7], 8);
  EXPECT_EQ(Library->FirstDataByte, 0xAB);
  EXPECT_EQ(Library->Picture, Context.Buffer1.get());
  EXPECT_EQ(Frame->pts, 2500);

  // An empty packet drains nothing; a packet shorter than its header and a
  // refused Transform give -1.
  AVC.av_packet_unref(Packet);
  EXPECT_EQ(Decode(), 0);
  EXPECT_EQ(GotPicture, 0);
  MakePacket(3, 0);
  Packet->size = 24;
  EXPECT_EQ(Decode(), -1);
  MakePacket(1, 4);
  Library->TransformStatus = -1;
  EXPECT_EQ(Decode(), -1);
  EXPECT_EQ(GotPicture, 0);

  rv_bridge_close(Context);
  rv_bridge_close(Context);
  EXPECT_STREQ(Library->Calls, "Init Transform Transform Free ");
  EXPECT_EQ(Library->FreedHandle, Library->GivenHandle);
}

namespace {

std::string LoggedLines;

void RecordLogLine(void*, int level, const char* format, va_list arguments) {
  if (level > AV_LOG_ERROR) return;
  char line[256];
  std::vsnprintf(line, sizeof line, format, arguments);
  LoggedLines += line;
}

}  // namespace

TEST_F(RealVideoBridge, LogsAFaultInTheLibrary) {
  Describe(AV_CODEC_ID_RV40, 8, 8, TagRV40, ExtraDataThreeSizes);
  ASSERT_GE(rv_bridge_init(Context, *Codec), 0);
  AVU.av_log_set_callback(RecordLogLine);
  Library->TransformThrows = ": access violation";
  MakePacket(1, 4);
  EXPECT_EQ(Decode(), -1);
  EXPECT_EQ(GotPicture, 0);
  AVU.av_log_set_callback(AVU.av_log_default_callback);
  EXPECT_EQ(LoggedLines, "RVTransform() Exception: access violation\n");
}

namespace {

struct PictureCase {
  const char* name;
  uint32_t width, height;  // delivered; the stream is 8 x 8
  int buffer;              // 1 or 2; 0: refused
  std::vector<uint8_t> lumaRow;
  std::vector<uint8_t> chromaColumn;
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }

class RealVideoBridgePicture : public RealVideoBridge,
                               public ::testing::WithParamInterface<PictureCase> {};

const std::vector<uint8_t> FullRow = {10, 20, 30, 40, 50, 60, 70, 80};
const std::vector<uint8_t> StretchedRow = {10, 15, 20, 25, 30, 35, 40, 40};
const std::vector<uint8_t> FullColumn = {10, 20, 30, 40};
const std::vector<uint8_t> StretchedColumn = {10, 15, 20, 20};

}  // namespace

TEST_P(RealVideoBridgePicture, ComesAtTheStreamSize) {
  const PictureCase& c = GetParam();
  Describe(AV_CODEC_ID_RV40, 8, 8, TagRV40, ExtraDataThreeSizes);
  ASSERT_GE(rv_bridge_init(Context, *Codec), 0);
  Library->DeliverWidth = c.width;
  Library->DeliverHeight = c.height;
  MakePacket(1, 4);

  if (!c.buffer) {
    EXPECT_EQ(Decode(), -1);
    EXPECT_EQ(GotPicture, 0);
    return;
  }
  ASSERT_EQ(Decode(), Packet->size);
  ASSERT_EQ(GotPicture, 1);
  EXPECT_EQ(Context.Source, c.buffer == 1 ? Context.Buffer1.get() : Context.Buffer2.get());
  ASSERT_NE(Frame->buf[0], nullptr);
  EXPECT_EQ(Frame->data[0], Frame->buf[0]->data);
  EXPECT_EQ(Frame->format, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(Frame->width, 8);
  EXPECT_EQ(Frame->height, 8);
  EXPECT_EQ(Frame->linesize[0], 8);
  EXPECT_EQ(Frame->linesize[1], 4);
  EXPECT_EQ(Frame->data[1], Frame->data[0] + 64);
  EXPECT_EQ(Frame->data[2], Frame->data[0] + 80);
  for (int y = 0; y < 8; ++y)
    EXPECT_EQ(std::vector<uint8_t>(Frame->data[0] + 8 * y, Frame->data[0] + 8 * y + 8), c.lumaRow)
        << "luma line " << y;
  for (int x = 0; x < 4; ++x) {
    std::vector<uint8_t> u, v;
    for (int y = 0; y < 4; ++y) {
      u.push_back(Frame->data[1][4 * y + x]);
      v.push_back(Frame->data[2][4 * y + x]);
    }
    EXPECT_EQ(u, c.chromaColumn) << "U column " << x;
    EXPECT_EQ(v, std::vector<uint8_t>(4, 70)) << "V column " << x;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealVideoBridgePicture,
    ::testing::Values(PictureCase{"StreamSize", 8, 8, 1, FullRow, FullColumn},
                      PictureCase{"Narrower", 4, 8, 2, StretchedRow, FullColumn},
                      PictureCase{"Lower", 8, 4, 2, FullRow, StretchedColumn},
                      PictureCase{"NarrowerAndLower", 4, 4, 1, StretchedRow, StretchedColumn},
                      PictureCase{"Wider", 16, 8, 0, {}, {}},
                      PictureCase{"Higher", 8, 16, 0, {}, {}},
                      PictureCase{"NarrowerButHigher", 4, 16, 0, {}, {}},
                      PictureCase{"Empty", 0, 0, 0, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RealVideoBridge, IsDrivenLikeALibraryDecoder) {
  Describe(AV_CODEC_ID_RV40, 8, 8, TagRV40, ExtraDataThreeSizes);
  const BridgeDecoder* decoder = FindBridgeDecoder(AV_CODEC_ID_RV40);
  ASSERT_NE(decoder, nullptr);
  EXPECT_EQ(SendToBridge(*Codec, Packet), AVERROR(EINVAL));
  ASSERT_EQ(OpenBridgeDecoder(*decoder, *Codec), 0);
  EXPECT_TRUE(BridgeDecoderOpen(*Codec));
  EXPECT_EQ(OpenBridgeDecoder(*decoder, *Codec), AVERROR(EINVAL));

  MakePacket(1, 4);
  EXPECT_EQ(ReceiveFromBridge(*Codec, *Frame), AVERROR(EAGAIN));
  EXPECT_EQ(SendToBridge(*Codec, Packet), 0);
  EXPECT_EQ(SendToBridge(*Codec, Packet), AVERROR(EAGAIN));
  ASSERT_EQ(ReceiveFromBridge(*Codec, *Frame), 0);
  EXPECT_EQ(Frame->width, 8);
  EXPECT_EQ(Frame->data[0][7], 80);
  EXPECT_EQ(ReceiveFromBridge(*Codec, *Frame), AVERROR(EAGAIN));
  AVFrame* held = AVU.av_frame_alloc();
  AVU.av_frame_move_ref(held, Frame);

  Library->TransformStatus = -1;
  EXPECT_EQ(SendToBridge(*Codec, Packet), AVERROR_INVALIDDATA);
  EXPECT_EQ(SendToBridge(*Codec, nullptr), 0);
  EXPECT_EQ(ReceiveFromBridge(*Codec, *Frame), AVERROR_EOF);
  EXPECT_EQ(SendToBridge(*Codec, Packet), AVERROR_EOF);

  CloseBridgeDecoder(*Codec);
  EXPECT_FALSE(BridgeDecoderOpen(*Codec));
  EXPECT_STREQ(Library->Calls, "Init Transform Transform Free ");
  // A picture still held outlives the next packet and the decoder.
  EXPECT_EQ(held->data[0][7], 80);
  EXPECT_EQ(held->data[1][12], 40);
  AVU.av_frame_free(&held);

  // A refused stream leaves nothing open.
  Library->InitStatus = -1;
  EXPECT_LT(OpenBridgeDecoder(*decoder, *Codec), 0);
  EXPECT_FALSE(BridgeDecoderOpen(*Codec));
}

TEST_F(RealVideoBridge, TheDecodingPathUsesTheBridgeWhenTheLookUpYieldsIt) {
  Describe(AV_CODEC_ID_RV40, 8, 8, TagRV40, ExtraDataThreeSizes);
  AVCodecParameters* parameters = AVC.avcodec_parameters_alloc();
  ASSERT_GE(AVC.avcodec_parameters_from_context(parameters, Codec), 0);
  const AVCodec* codec = FindStreamDecoder(parameters, false);
  AVC.avcodec_parameters_free(&parameters);
  ASSERT_NE(codec, nullptr);
  EXPECT_STREQ(codec->name, "veltorv40");

  ASSERT_EQ(OpenStreamDecoder(Codec, codec), 0);
  EXPECT_EQ(Codec->pix_fmt, AV_PIX_FMT_YUV420P);
  MakePacket(2, 6);
  EXPECT_EQ(SendToDecoder(Codec, Packet), 0);
  ASSERT_EQ(ReceiveFromDecoder(Codec, Frame), 0);
  EXPECT_EQ(Frame->height, 8);
  EXPECT_EQ(Frame->data[0][1], 20);
  EXPECT_EQ(Library->TransformIn.SegmentCountMinusOne, 1u);
  EXPECT_EQ(SendToDecoder(Codec, nullptr), 0);
  EXPECT_EQ(ReceiveFromDecoder(Codec, Frame), AVERROR_EOF);
  CloseStreamDecoder(Codec);
  EXPECT_STREQ(Library->Calls, "Init Transform Free ");
}
