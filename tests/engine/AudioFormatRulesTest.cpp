// How the audio path picks the encoder's sample format, depth, rate and
// channels, and when it dithers: plain rules over the library's lists.
#include <gtest/gtest.h>

#include "engine/AudioFormatRules.h"

namespace {
constexpr AVSampleFormat S16 = AV_SAMPLE_FMT_S16, S16P = AV_SAMPLE_FMT_S16P,
                         S32 = AV_SAMPLE_FMT_S32, S32P = AV_SAMPLE_FMT_S32P,
                         FLT = AV_SAMPLE_FMT_FLT, FLTP = AV_SAMPLE_FMT_FLTP,
                         DBL = AV_SAMPLE_FMT_DBL, NONE = AV_SAMPLE_FMT_NONE;
}  // namespace

TEST(AudioFormatRules, EncoderFormatKeepsTheSourcesDepth) {
  const AVSampleFormat lame[] = {S32P, FLTP, S16P, NONE};
  const AVSampleFormat flac[] = {S16, S32, NONE};
  const AVSampleFormat opus[] = {S16, FLT, NONE};
  const AVSampleFormat vorbis[] = {FLTP, NONE};
  struct Case {
    const AVSampleFormat* formats;
    AVSampleFormat asked, source, expected;
  } cases[] = {
      {lame, NONE, S16, S16P},                             // the twin of the source
      {lame, NONE, FLTP, FLTP},                            // the source's own
      {lame, S16P, FLTP, S16P},                            // asked for wins
      {lame, S16, FLT, FLTP},                              // asked for but not taken
      {flac, NONE, S32, S32},    {flac, NONE, FLTP, S32},  // deep source: no cut to 16 bits
      {flac, NONE, S16P, S16},   {opus, NONE, S32P, FLT},   {opus, NONE, DBL, FLT},
      {vorbis, NONE, S16, FLTP}, {nullptr, NONE, S32, S32}, {nullptr, NONE, NONE, S16},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseSampleFormat(c.formats, c.asked, c.source), c.expected)
        << c.source << " asked " << c.asked;
}

TEST(AudioFormatRules, DepthDitherAndFitting) {
  EXPECT_EQ(SampleDepth(S32, 24), 24);
  EXPECT_EQ(SampleDepth(S32P, 0), 32);
  EXPECT_EQ(SampleDepth(FLTP), 32);
  EXPECT_EQ(EncoderRawBits(S32, 24), 24);
  EXPECT_EQ(EncoderRawBits(S32, 32), 24);  // float or 32-bit into a 24-bit FLAC
  EXPECT_EQ(EncoderRawBits(S16, 24), 0);

  struct Dither {
    int inBits;
    AVSampleFormat out;
    int outBits;
    bool dither;
  } dithers[] = {{24, S16, 0, true},   {32, S16P, 0, true}, {16, S16, 0, false},
                 {24, S32, 24, false}, {32, S32, 24, true}, {32, FLTP, 0, false},
                 {16, S32, 16, false}, {64, FLT, 0, false}};
  for (const Dither& d : dithers)
    EXPECT_EQ(NeedsDither(d.inBits, d.out, d.outBits), d.dither) << d.inBits << " " << d.out;

  const int mp3Rates[] = {44100, 48000, 32000, 22050, 0};
  EXPECT_EQ(FittingSampleRate(mp3Rates, 44100), 44100);
  EXPECT_EQ(FittingSampleRate(mp3Rates, 96000), 48000);
  EXPECT_EQ(FittingSampleRate(mp3Rates, 11025), 22050);
  EXPECT_EQ(FittingSampleRate(nullptr, 96000), 96000);
  AVChannelLayout layouts[3] = {};
  layouts[0].nb_channels = 1;
  layouts[1].nb_channels = 2;
  EXPECT_EQ(FittingChannelCount(layouts, 2), 2);
  EXPECT_EQ(FittingChannelCount(layouts, 6), 2);
  EXPECT_EQ(FittingChannelCount(nullptr, 6), 6);
}
