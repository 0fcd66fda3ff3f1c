#include <gtest/gtest.h>

#include <vector>

#include "rvbridge/ScaleYUV420Up.h"

TEST(RescaleLine, StretchesTwoSamplesToFour) {
  // Exactly two samples on the heap: a read past the line shows under ASan.
  const std::vector<uint8_t> in = {10, 20};
  std::vector<uint8_t> out(4);
  RescaleLine(in.data(), 2, 1, out.data(), 4, 1);
  EXPECT_EQ(out, (std::vector<uint8_t>{10, 15, 20, 20}));
}

TEST(RescaleLine, FollowsTheSteps) {
  // A column of 3 samples in a plane 2 wide, to 5 samples in a plane 3 wide.
  const std::vector<uint8_t> in = {0, 99, 100, 99, 200, 99};
  std::vector<uint8_t> out(15, 7);
  RescaleLine(in.data(), 3, 2, out.data(), 5, 3);
  // Step 3/5: positions 0, 0.6, 1.2, 1.8, then the last sample; the weight
  // of the left sample is 0xFFFF - f.
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 7, 7, 60, 7, 7, 120, 7, 7, 180, 7, 7, 200, 7, 7}));
}
