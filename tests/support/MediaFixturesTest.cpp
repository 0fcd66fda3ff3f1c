// The test media library checks itself: each format it writes reads back with
// the rate, channel count, length and tone it was made with.
#include <gtest/gtest.h>

#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using namespace MediaFixtures;

TEST(MediaFixtures, EveryAudioFormatReadsBackAsItsTone) {
  TempFolder folder;
  struct Case {
    int rate, channels;
    double frequency;
  } shapes[] = {{44100, 2, 440}, {48000, 1, 1000}};
  for (AudioFormat format : AllAudioFormats()) {
    for (const Case& c : shapes) {
      SCOPED_TRACE(std::string(FormatName(format)) + " " + std::to_string(c.rate) + "/" +
                   std::to_string(c.channels));
      const std::string path = folder / (std::string("tone") + FormatExtension(format));
      ASSERT_NO_THROW(MakeAudio(path, format, c.rate, c.channels, 2.0, c.frequency));
      const FileInfo info = Probe(path);
      ASSERT_EQ(info.Count(AVMEDIA_TYPE_AUDIO), 1);
      EXPECT_EQ(info.streams.size(), 1u);
      const StreamInfo& audio = *info.First(AVMEDIA_TYPE_AUDIO);
      EXPECT_EQ(audio.sampleRate, c.rate);
      EXPECT_EQ(audio.channels, c.channels);
      EXPECT_NEAR(info.duration, 2.0, 0.1);
      const DecodedAudio decoded = DecodeAudio(path);
      EXPECT_EQ(decoded.rate, c.rate);
      EXPECT_EQ(decoded.channels, c.channels);
      EXPECT_NEAR(decoded.Seconds(), 2.0, 0.15);
      EXPECT_NEAR(DominantFrequency(decoded), c.frequency, c.frequency * 0.01);
    }
  }
}

TEST(MediaFixtures, WavIsWrittenByteExact) {
  TempFolder folder;
  const std::string path = folder / "silence.wav";
  MakeWav(path, 8000, 1, 0.5, 0);
  EXPECT_EQ(std::filesystem::file_size(path), 44u + 8000u);
  const DecodedAudio decoded = DecodeAudio(path);
  EXPECT_EQ(decoded.Frames(), 4000u);
  EXPECT_EQ(Rms(decoded), 0.0);
  EXPECT_EQ(DominantFrequency(decoded), 0.0);
}

TEST(MediaFixtures, VideosCarryTheirPicturesAndTone) {
  TempFolder folder;
  struct Case {
    const char* name;
    AVRational rate;
    const char* videoCodec;
  } cases[] = {
      {"clip.avi", {25, 1}, "mpeg4"},
      {"clip.mpg", {30000, 1001}, "mpeg1video"},
      {"clip.mkv", {30000, 1001}, "mpeg4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VideoClip clip;
    clip.frameRate = c.rate;
    clip.seconds = 2;
    const std::string path = folder / c.name;
    ASSERT_NO_THROW(MakeVideo(path, clip));
    const FileInfo info = Probe(path);
    ASSERT_EQ(info.Count(AVMEDIA_TYPE_VIDEO), 1);
    ASSERT_EQ(info.Count(AVMEDIA_TYPE_AUDIO), 1);
    const StreamInfo& video = *info.First(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.codecName, c.videoCodec);
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 240);
    EXPECT_EQ(video.pixelFormat, "yuv420p");
    EXPECT_NEAR(av_q2d(video.frameRate), av_q2d(c.rate), 0.01);
    EXPECT_NEAR(info.duration, 2.0, 0.15);
    EXPECT_NEAR(DominantFrequency(DecodeAudio(path)), 440, 4.4);
  }
}
