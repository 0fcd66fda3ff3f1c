// One MPEG audio layer III frame taken apart: its header, side information
// and main data. An encoder's frames point back into its own bit reservoir
// (main_data_begin); Mp3MainDataReader follows one encoder's stream and
// gives each frame's main data as bytes of its own, so that frames of
// separately started encoders can be laid out again into one reservoir
// (Mp3Reservoir.h). Pure byte work: no library is called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Mp3FrameShape {
  bool Lsf = false;  // MPEG-2 or 2.5: one granule, 8-bit main_data_begin
  int SampleRate = 0;
  int BitrateIndex = 0;
  bool Padding = false;
  bool Protected = false;  // a CRC follows the header
  int Channels = 0;
  int FrameBytes = 0;
  int SideInfoBytes = 0;
  int HeadBytes() const { return 4 + (Protected ? 2 : 0) + SideInfoBytes; }
  int AreaBytes() const { return FrameBytes - HeadBytes(); }
  // How far main data may begin before its frame's own area.
  int MaxBackReach() const { return Lsf ? 255 : 511; }
};

// False unless `data` begins with the header of a layer III frame of a
// fixed bit rate.
bool ParseMp3Header(const uint8_t* data, size_t size, Mp3FrameShape& shape);
// The frame length in bytes for a header's fields.
int Mp3FrameBytes(bool lsf, int sampleRate, int bitrateIndex, bool padding);
int Mp3Bitrate(bool lsf, int bitrateIndex);  // kbit/s; 0 for a free or bad index

struct Mp3Frame {
  Mp3FrameShape Shape;
  std::vector<uint8_t> Head;      // header, CRC and side information as coded
  std::vector<uint8_t> MainData;  // the frame's own main data
  int OwnBegin = 0;               // main_data_begin in the stream it came from
};

int MainDataBegin(const uint8_t* sideInfo, const Mp3FrameShape& shape);
void SetMainDataBegin(uint8_t* sideInfo, const Mp3FrameShape& shape, int begin);
// Bits of main data the side information claims (part2_3_length summed).
int MainDataBits(const uint8_t* sideInfo, const Mp3FrameShape& shape);
// The CRC-16 of a protected frame: header bytes 2 and 3, then the side
// information.
uint16_t Mp3HeadCrc(const uint8_t* head, const Mp3FrameShape& shape);

class Mp3MainDataReader {
 public:
  // Takes the next frame of the stream apart. False when it is no layer III
  // frame, or its main data reaches before the stream or past its frame.
  bool Read(const uint8_t* frame, size_t size, Mp3Frame& out);

 private:
  std::vector<uint8_t> Reservoir;  // the last main data area bytes, at most 511
};
