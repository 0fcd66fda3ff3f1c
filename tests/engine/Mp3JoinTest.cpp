// The MP3 join on frames made here: two encoders' streams, each laid out in
// its own reservoir, joined into one. Read back frame by frame as a decoder
// would, the joined stream gives each frame's main data whole, and exactly
// the earlier segment's frames before the join and the later one's after.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Mp3Frames.h"
#include "engine/Mp3Join.h"
#include "engine/Mp3Reservoir.h"

namespace {

constexpr int Bitrate128 = 9;  // index: 128 kbit/s, 417 bytes at 44.1 kHz

void PutBits(std::vector<uint8_t>& data, int position, int count, int value) {
  for (int i = count - 1; i >= 0; --i, ++position) {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (position & 7));
    data[position >> 3] = static_cast<uint8_t>(((value >> i) & 1) ? data[position >> 3] | mask
                                                                  : data[position >> 3] & ~mask);
  }
}

// An MPEG-1 layer III stereo frame at 128 kbit/s whose side information
// claims `bytes` of main data, filled with `fill`.
Mp3Frame MakeFrame(int bytes, uint8_t fill) {
  Mp3Frame frame;
  frame.Head.assign(36, 0);
  frame.Head[0] = 0xFF;
  frame.Head[1] = 0xFB;
  frame.Head[2] = Bitrate128 << 4;
  frame.Head[3] = 0x44;
  int bits = bytes * 8;
  for (int block = 0; block < 4; ++block) {
    const int part = std::min(bits, 4095);
    PutBits(frame.Head, 32 + 9 + 3 + 8 + block * 59, 12, part);
    bits -= part;
  }
  EXPECT_TRUE(ParseMp3Header(frame.Head.data(), frame.Head.size(), frame.Shape));
  frame.MainData.assign(static_cast<size_t>(bytes), fill);
  return frame;
}

// A stream as one encoder writes it: its frames in its own reservoir, read
// back into frames that know their own main_data_begin.
std::vector<Mp3SegmentFrame> EncoderStream(const std::vector<int>& sizes, uint8_t fill,
                                           int64_t firstId) {
  Mp3Reservoir own;
  for (size_t i = 0; i < sizes.size(); ++i)
    own.Add(MakeFrame(sizes[i], static_cast<uint8_t>(fill + i)), static_cast<int64_t>(i));
  own.Finish();
  std::vector<Mp3SegmentFrame> frames;
  Mp3MainDataReader reader;
  Mp3LaidFrame laid;
  while (own.Take(laid)) {
    Mp3SegmentFrame frame;
    EXPECT_TRUE(reader.Read(laid.Bytes.data(), laid.Bytes.size(), frame.Frame));
    frame.Id = firstId + laid.Id;
    frames.push_back(std::move(frame));
  }
  EXPECT_EQ(frames.size(), sizes.size());
  return frames;
}

std::vector<int> Repeat(int size, int count) { return std::vector<int>(count, size); }
std::vector<int> Then(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct JoinCase {
  const char* name;
  std::vector<int> earlier, later;  // main data bytes per frame
  int64_t laterFirst, cut;
  int64_t join;  // where the join must be made
  bool raised;   // frames had to get a higher bit rate
};

class Mp3JoinTable : public ::testing::TestWithParam<JoinCase> {};

TEST_P(Mp3JoinTable, JoinedStreamReadsBackAsTheChosenFrames) {
  const JoinCase& c = GetParam();
  Mp3Join join;
  Mp3Segment first{0, 0, EncoderStream(c.earlier, 0x10, 0)};
  Mp3Segment second{c.laterFirst, c.cut, EncoderStream(c.later, 0x80, 1000)};
  const std::vector<Mp3SegmentFrame> earlier = first.Frames, later = second.Frames;
  join.Add(std::move(first));
  join.Add(std::move(second));
  join.Finish();
  ASSERT_EQ(join.Joins(), std::vector<int64_t>{c.join});
  EXPECT_EQ(join.RaisedFrames() > 0, c.raised);

  Mp3MainDataReader reader;
  Mp3LaidFrame laid;
  int64_t index = 0;
  while (join.Take(laid)) {
    Mp3Frame read;
    ASSERT_TRUE(reader.Read(laid.Bytes.data(), laid.Bytes.size(), read)) << "frame " << index;
    const Mp3SegmentFrame& expected =
        index < c.join ? earlier[static_cast<size_t>(index)]
                       : later[static_cast<size_t>(index - c.laterFirst)];
    EXPECT_EQ(laid.Id, expected.Id);
    EXPECT_EQ(read.MainData, expected.Frame.MainData) << "frame " << index;
    if (!c.raised) {
      EXPECT_EQ(read.Shape.BitrateIndex, Bitrate128);
    }
    ++index;
  }
  EXPECT_EQ(index, c.laterFirst + static_cast<int64_t>(c.later.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Mp3JoinTable,
    ::testing::Values(
        // Frames that leave room: the join is made at the cut.
        JoinCase{"RoomToSpareJoinsAtTheCut", Repeat(200, 40), Repeat(200, 30), 20, 30, 30, false},
        // The later encoder saved up a reservoir in its pre-roll and spends it
        // from before the cut on; the earlier one left none: no join fits,
        // so frames get a higher bit rate.
        JoinCase{"NoRoomRaisesTheBitRate", Repeat(381, 40), Then(Repeat(100, 6), Repeat(400, 24)),
                 20, 30, 30, true},
        // The later encoder's frame at the cut needs its saved-up reservoir,
        // which the earlier one's full frames do not leave; the next frame
        // fits: the join moves there.
        JoinCase{"JoinMovesToWhereItFits", Repeat(381, 40),
                 Then(Repeat(100, 10), Then(Repeat(700, 1), Repeat(381, 19))), 20, 30, 31,
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
