#include <gtest/gtest.h>

#include "engine/FFMpegException.h"
#include "engine/OutputStreamRules.h"

TEST(ClosestFrameRate, PicksTheNearestSupportedRateAndTheEarlierOnATie) {
  const AVRational film[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {0, 0}};
  const AVRational even[] = {{24, 1}, {26, 1}, {0, 0}};
  const AVRational none[] = {{0, 0}};
  const struct {
    AVRational wanted;
    const AVRational* list;
    AVRational chosen;
  } cases[] = {
      {{29, 1}, film, {30000, 1001}},  // 971/1001 away against 1 for 30/1
      {{25, 1}, film, {25, 1}},       {{1000, 1}, film, {30, 1}},
      {{25, 1}, even, {24, 1}},  // equally far: the earlier entry
      {{25, 1}, none, {25, 1}},       {{25, 1}, nullptr, {25, 1}},
  };
  for (const auto& c : cases) {
    const AVRational chosen = ClosestFrameRate(c.wanted, c.list);
    EXPECT_EQ(chosen.num, c.chosen.num) << c.wanted.num << "/" << c.wanted.den;
    EXPECT_EQ(chosen.den, c.chosen.den) << c.wanted.num << "/" << c.wanted.den;
  }
}

TEST(ParseRcOverride, ReadsGroupsAndRefusesShortOnes) {
  const std::vector<RcOverride> two = ParseRcOverride("0,100,-50/200,300,4");
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].start_frame, 0);
  EXPECT_EQ(two[0].end_frame, 100);
  EXPECT_EQ(two[0].qscale, 0);
  EXPECT_FLOAT_EQ(two[0].quality_factor, 0.5f);
  EXPECT_EQ(two[1].start_frame, 200);
  EXPECT_EQ(two[1].end_frame, 300);
  EXPECT_EQ(two[1].qscale, 4);
  EXPECT_FLOAT_EQ(two[1].quality_factor, 1.0f);

  const std::vector<RcOverride> loose = ParseRcOverride("-5;+7;0");  // any non-digit separates
  ASSERT_EQ(loose.size(), 1u);
  EXPECT_EQ(loose[0].start_frame, -5);
  EXPECT_EQ(loose[0].end_frame, 7);
  EXPECT_FLOAT_EQ(loose[0].quality_factor, 0.0f);

  for (const char* text : {"0,100", "0,", "", ",1,2", "0,,2", "1,2,3/4"}) {
    try {
      ParseRcOverride(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const FFMpegException& error) {
      EXPECT_STREQ(error.what(), "error parsing rc_override") << text;
    }
  }
}
