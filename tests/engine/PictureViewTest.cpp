// Frame-rate conversion counts, and cropping, scaling and padding of planar
// YUV pictures the way the video output path chains them.
#include <gtest/gtest.h>

#include <memory>

#include "engine/PictureView.h"
#include "engine/VideoFrameCount.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"
#include "medialib/SwScaleHlpr.h"
#include "tests/support/MediaFixtures.h"

namespace {

using MediaObjects::FramePtr;

FramePtr MakePicture(int width, int height, AVPixelFormat format = AV_PIX_FMT_YUV420P) {
  FramePtr frame(AVU.av_frame_alloc());
  frame->format = format;
  frame->width = width;
  frame->height = height;
  EXPECT_GE(AVU.av_frame_get_buffer(frame.get(), 0), 0);
  return frame;
}

uint8_t At(const PictureView& view, int plane, int x, int y) {
  return view.data[plane][y * view.linesize[plane] + x];
}

// Luma (x + 3y) & 255, chroma U = 64 + x, V = 192 - y (at chroma positions).
void FillGradient(AVFrame* frame) {
  for (int y = 0; y < frame->height; ++y)
    for (int x = 0; x < frame->width; ++x)
      frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x + 3 * y);
  for (int y = 0; y < frame->height / 2; ++y)
    for (int x = 0; x < frame->width / 2; ++x) {
      frame->data[1][y * frame->linesize[1] + x] = static_cast<uint8_t>(64 + x);
      frame->data[2][y * frame->linesize[2] + x] = static_cast<uint8_t>(192 - y);
    }
}

class PictureViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { MediaFixtures::EnsureLibraries(); }
};

}  // namespace

TEST(OutputFrameCountTest, DropsRepeatsOrWritesOnce) {
  const struct {
    double vdelta;
    int count;
  } cases[] = {{-5.0, 0}, {-1.2, 0}, {-1.1, 1}, {-1.0, 1}, {0.0, 1}, {1.0, 1}, {1.1, 1},
               {1.3, 1},  {1.6, 2},  {2.5, 2},  {3.5, 4},  {4.4, 4}, {7.5, 8}};
  for (const auto& c : cases) EXPECT_EQ(OutputFrameCount(c.vdelta), c.count) << c.vdelta;
}

TEST_F(PictureViewTest, CropIsAViewIntoTheSource) {
  FramePtr source = MakePicture(32, 24);
  FillGradient(source.get());
  const PictureView whole = ViewOf(source.get());
  PictureView view;
  ASSERT_TRUE(CropPictureView(view, whole, AV_PIX_FMT_YUV420P, 4, 6));
  for (int p = 0; p < 3; ++p) {
    EXPECT_EQ(view.linesize[p], whole.linesize[p]);
    const int shift = p ? 1 : 0;
    EXPECT_EQ(view.data[p], whole.data[p] + (4 >> shift) * whole.linesize[p] + (6 >> shift));
  }
  EXPECT_EQ(At(view, 0, 0, 0), 6 + 3 * 4);
  EXPECT_EQ(At(view, 0, 5, 7), 11 + 3 * 11);
  EXPECT_EQ(At(view, 1, 2, 1), 64 + 5);
  EXPECT_EQ(At(view, 2, 2, 1), 192 - 3);
}

TEST_F(PictureViewTest, FormatsOtherThanPlanarYuvAreRefused) {
  for (AVPixelFormat format : {AV_PIX_FMT_RGB24, AV_PIX_FMT_NV12, AV_PIX_FMT_PAL8,
                               AV_PIX_FMT_YUV420P10LE, AV_PIX_FMT_YUVA420P}) {
    PictureView view, source;
    EXPECT_FALSE(CropPictureView(view, source, format, 2, 2)) << format;
    const int colour[3] = {16, 128, 128};
    EXPECT_FALSE(PadPicture(view, &source, 16, 16, format, 2, 2, 2, 2, colour)) << format;
  }
  for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV411P,
                               AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_GRAY8})
    EXPECT_TRUE(IsCroppableFormat(format)) << format;
}

TEST_F(PictureViewTest, PaddingCopiesThePictureInsideAPaintedBorder) {
  FramePtr source = MakePicture(16, 12);
  FillGradient(source.get());
  FramePtr target = MakePicture(24, 20);
  const int colour[3] = {30, 90, 200};
  const PictureView from = ViewOf(source.get());
  ASSERT_TRUE(
      PadPicture(ViewOf(target.get()), &from, 20, 24, AV_PIX_FMT_YUV420P, 2, 6, 4, 4, colour));
  const PictureView to = ViewOf(target.get());
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 24; ++x) {
      const bool inside = x >= 4 && x < 20 && y >= 2 && y < 14;
      ASSERT_EQ(At(to, 0, x, y), inside ? At(from, 0, x - 4, y - 2) : colour[0]) << x << "," << y;
    }
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool inside = x >= 2 && x < 10 && y >= 1 && y < 7;
      for (int p = 1; p <= 2; ++p)
        ASSERT_EQ(At(to, p, x, y), inside ? At(from, p, x - 2, y - 1) : colour[p])
            << "plane " << p << " " << x << "," << y;
    }
}

// Crop, then scale into the inside of a padded picture, then paint only the
// border: the chain the video path runs when it pads and scales.
TEST_F(PictureViewTest, ScaledPictureLandsInsideTheBorder) {
  // Source 32x24: luma 50 left of column 16 and 200 from it; chroma 100/150.
  FramePtr source = MakePicture(32, 24);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) source->data[0][y * source->linesize[0] + x] = x < 16 ? 50 : 200;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) {
      source->data[1][y * source->linesize[1] + x] = 100;
      source->data[2][y * source->linesize[2] + x] = 150;
    }
  // Crop 8 columns at the left and 4 rows at the top: 24x20, luma 50 for x < 8.
  PictureView cropped;
  ASSERT_TRUE(CropPictureView(cropped, ViewOf(source.get()), AV_PIX_FMT_YUV420P, 4, 8));

  // Target 64x48 with a border of 4 rows and 8 columns: inside 48x40 (2x).
  FramePtr target = MakePicture(64, 48);
  for (int p = 0; p < 3; ++p)
    std::fill_n(target->data[p], target->linesize[p] * (p ? 24 : 48), 0xEE);
  const PictureView whole = ViewOf(target.get());
  PictureView inside;
  ASSERT_TRUE(CropPictureView(inside, whole, AV_PIX_FMT_YUV420P, 4, 8));
  const MediaObjects::ScalerPtr scaler(SWS.sws_getContext(24, 20, AV_PIX_FMT_YUV420P, 48, 40,
                                                          AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr,
                                                          nullptr, nullptr));
  ASSERT_NE(scaler, nullptr);
  SWS.sws_scale(scaler.get(), cropped.data, cropped.linesize, 0, 20, inside.data, inside.linesize);
  const int colour[3] = {16, 128, 128};
  ASSERT_TRUE(PadPicture(whole, nullptr, 48, 64, AV_PIX_FMT_YUV420P, 4, 4, 8, 8, colour));

  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool border = x < 8 || x >= 56 || y < 4 || y >= 44;
      if (border) {
        ASSERT_EQ(At(whole, 0, x, y), 16) << x << "," << y;
      }
    }
  // Well inside, away from the scaler's smoothing of the 50/200 edge (at
  // inside column 16, picture column 24).
  for (int y = 6; y < 42; ++y) {
    EXPECT_EQ(At(whole, 0, 10, y), 50);
    EXPECT_EQ(At(whole, 0, 18, y), 50);
    EXPECT_EQ(At(whole, 0, 30, y), 200);
    EXPECT_EQ(At(whole, 0, 54, y), 200);
  }
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool border = x < 4 || x >= 28 || y < 2 || y >= 22;
      ASSERT_EQ(At(whole, 1, x, y), border ? 128 : 100) << x << "," << y;
      ASSERT_EQ(At(whole, 2, x, y), border ? 128 : 150) << x << "," << y;
    }
}
