// The sample repairer on its own: what becomes of each kind of value, in
// float and double, packed and planar; that a clean chunk is handed back
// as it is and that the input is never written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/SampleRepair.h"

namespace {

template <typename T>
void CheckValues(AVSampleFormat format) {
  const T inf = std::numeric_limits<T>::infinity();
  struct Case {
    T in, out;
    int counted;
  } cases[] = {
      {T(0.25), T(0.25), 0}, {T(-1), T(-1), 0},     {T(1.5), T(1), 0},     {T(-16), T(-1), 0},
      {T(17), T(1), 1},      {T(-1e30), T(-1), 1},  {inf, T(0), 1},        {-inf, T(0), 1},
      {std::numeric_limits<T>::quiet_NaN(), T(0), 1},
  };
  for (const Case& c : cases) {
    // 37 samples: past one vector block, with a tail; the odd value last.
    std::vector<T> plane(37, T(0.5));
    plane.back() = c.in;
    const std::vector<T> before = plane;
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(plane.data())};
    SampleRepairer repairer;
    const uint8_t* const* out = repairer.Repair(in, format, 1, 37);
    const T* got = reinterpret_cast<const T*>(out[0]);
    SCOPED_TRACE(static_cast<double>(c.in));
    EXPECT_EQ(got[36], c.out);
    EXPECT_EQ(got[0], T(0.5));
    EXPECT_EQ(repairer.Invalid(), c.counted);
    EXPECT_EQ(out == in, std::fabs(c.in) <= T(1));
    EXPECT_EQ(std::memcmp(plane.data(), before.data(), plane.size() * sizeof(T)), 0);
  }
}

}  // namespace

TEST(SampleRepair, EachKindOfValue) {
  CheckValues<float>(AV_SAMPLE_FMT_FLT);
  CheckValues<float>(AV_SAMPLE_FMT_FLTP);
  CheckValues<double>(AV_SAMPLE_FMT_DBL);
  CheckValues<double>(AV_SAMPLE_FMT_DBLP);
}

TEST(SampleRepair, EveryPlaneIsLookedAtAndIntegersPassUnread) {
  std::vector<float> left(100, 0.1f), right(100, 0.1f);
  right[99] = std::numeric_limits<float>::quiet_NaN();
  const uint8_t* in[2] = {reinterpret_cast<const uint8_t*>(left.data()),
                          reinterpret_cast<const uint8_t*>(right.data())};
  SampleRepairer repairer;
  const uint8_t* const* out = repairer.Repair(in, AV_SAMPLE_FMT_FLTP, 2, 100);
  EXPECT_NE(out, in);
  EXPECT_EQ(reinterpret_cast<const float*>(out[1])[99], 0.0f);
  EXPECT_EQ(reinterpret_cast<const float*>(out[0])[99], 0.1f);
  // Counts add up over calls.
  repairer.Repair(in, AV_SAMPLE_FMT_FLTP, 2, 100);
  EXPECT_EQ(repairer.Invalid(), 2);

  // Integer bit patterns that would read as NaN are never looked at.
  std::vector<int32_t> integers(16, -1);
  const uint8_t* whole[1] = {reinterpret_cast<const uint8_t*>(integers.data())};
  EXPECT_EQ(repairer.Repair(whole, AV_SAMPLE_FMT_S32, 1, 16), whole);
}
