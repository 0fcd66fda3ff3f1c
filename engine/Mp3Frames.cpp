#include "engine/Mp3Frames.h"

#include <algorithm>

namespace {

constexpr int Mpeg1Rates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int LsfRates[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int SampleRates[] = {44100, 48000, 32000};

// Reads `count` bits at bit `position` of `data`, most significant first.
int Bits(const uint8_t* data, int position, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i, ++position)
    value = (value << 1) | ((data[position >> 3] >> (7 - (position & 7))) & 1);
  return value;
}

void PutBits(uint8_t* data, int position, int count, int value) {
  for (int i = count - 1; i >= 0; --i, ++position) {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (position & 7));
    if ((value >> i) & 1)
      data[position >> 3] |= mask;
    else
      data[position >> 3] &= static_cast<uint8_t>(~mask);
  }
}

}  // namespace

int Mp3Bitrate(bool lsf, int bitrateIndex) {
  if (bitrateIndex <= 0 || bitrateIndex >= 15) return 0;
  return lsf ? LsfRates[bitrateIndex] : Mpeg1Rates[bitrateIndex];
}

int Mp3FrameBytes(bool lsf, int sampleRate, int bitrateIndex, bool padding) {
  const int kbits = Mp3Bitrate(lsf, bitrateIndex);
  if (kbits == 0 || sampleRate <= 0) return 0;
  return (lsf ? 72000 : 144000) * kbits / sampleRate + (padding ? 1 : 0);
}

bool ParseMp3Header(const uint8_t* data, size_t size, Mp3FrameShape& shape) {
  if (size < 4 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0) return false;
  const int version = (data[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
  const int layer = (data[1] >> 1) & 3;    // 1: layer III
  const int rateIndex = (data[2] >> 2) & 3;
  if (version == 1 || layer != 1 || rateIndex == 3) return false;
  shape.Lsf = version != 3;
  shape.SampleRate = SampleRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  shape.BitrateIndex = data[2] >> 4;
  shape.Padding = (data[2] >> 1) & 1;
  shape.Protected = !(data[1] & 1);
  shape.Channels = (data[3] >> 6) == 3 ? 1 : 2;
  shape.FrameBytes = Mp3FrameBytes(shape.Lsf, shape.SampleRate, shape.BitrateIndex, shape.Padding);
  if (shape.Lsf)
    shape.SideInfoBytes = shape.Channels == 1 ? 9 : 17;
  else
    shape.SideInfoBytes = shape.Channels == 1 ? 17 : 32;
  return shape.FrameBytes > shape.HeadBytes();
}

int MainDataBegin(const uint8_t* sideInfo, const Mp3FrameShape& shape) {
  return Bits(sideInfo, 0, shape.Lsf ? 8 : 9);
}

void SetMainDataBegin(uint8_t* sideInfo, const Mp3FrameShape& shape, int begin) {
  PutBits(sideInfo, 0, shape.Lsf ? 8 : 9, begin);
}

int MainDataBits(const uint8_t* sideInfo, const Mp3FrameShape& shape) {
  // Every granule/channel block has the same length whichever window it
  // codes, and part2_3_length leads it.
  const bool mono = shape.Channels == 1;
  const int first = shape.Lsf ? 8 + (mono ? 1 : 2) : 9 + (mono ? 5 : 3) + 4 * shape.Channels;
  const int block = shape.Lsf ? 63 : 59;
  const int blocks = (shape.Lsf ? 1 : 2) * shape.Channels;
  int bits = 0;
  for (int b = 0; b < blocks; ++b) bits += Bits(sideInfo, first + b * block, 12);
  return bits;
}

uint16_t Mp3HeadCrc(const uint8_t* head, const Mp3FrameShape& shape) {
  uint16_t crc = 0xFFFF;
  auto add = [&crc](uint8_t byte) {
    for (int i = 7; i >= 0; --i) {
      const bool top = ((crc >> 15) ^ (byte >> i)) & 1;
      crc = static_cast<uint16_t>(crc << 1);
      if (top) crc ^= 0x8005;
    }
  };
  add(head[2]);
  add(head[3]);
  for (int i = 0; i < shape.SideInfoBytes; ++i) add(head[6 + i]);
  return crc;
}

bool Mp3MainDataReader::Read(const uint8_t* frame, size_t size, Mp3Frame& out) {
  Mp3FrameShape shape;
  if (!ParseMp3Header(frame, size, shape) || size < static_cast<size_t>(shape.FrameBytes))
    return false;
  const int headBytes = shape.HeadBytes();
  const uint8_t* side = frame + headBytes - shape.SideInfoBytes;
  const int begin = MainDataBegin(side, shape);
  const int length = (MainDataBits(side, shape) + 7) / 8;
  const int area = shape.AreaBytes();
  if (begin > static_cast<int>(Reservoir.size()) || length - begin > area) return false;
  out.Shape = shape;
  out.OwnBegin = begin;
  out.Head.assign(frame, frame + headBytes);
  out.MainData.clear();
  const auto from = Reservoir.end() - begin;
  out.MainData.insert(out.MainData.end(), from, from + std::min(begin, length));
  if (length > begin) out.MainData.insert(out.MainData.end(), frame + headBytes,
                                          frame + headBytes + (length - begin));
  Reservoir.insert(Reservoir.end(), frame + headBytes, frame + shape.FrameBytes);
  if (Reservoir.size() > 511) Reservoir.erase(Reservoir.begin(), Reservoir.end() - 511);
  return true;
}
