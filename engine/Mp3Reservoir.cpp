#include "engine/Mp3Reservoir.h"

#include <algorithm>
#include <stdexcept>

int64_t Mp3Reservoir::EarliestStart(const Mp3FrameShape& shape) const {
  return std::max(DataEnd, StreamEnd - shape.MaxBackReach());
}

bool Mp3Reservoir::Fits(const Mp3Frame& frame, int* begin) const {
  const int64_t start = EarliestStart(frame.Shape);
  if (begin) *begin = static_cast<int>(StreamEnd - start);
  return start + static_cast<int64_t>(frame.MainData.size()) <=
         StreamEnd + frame.Shape.AreaBytes();
}

void Mp3Reservoir::Add(const Mp3Frame& frame, int64_t id) {
  Mp3FrameShape shape = frame.Shape;
  std::vector<uint8_t> head = frame.Head;
  const int64_t start = EarliestStart(shape);
  const int64_t end = start + static_cast<int64_t>(frame.MainData.size());
  if (end > StreamEnd + shape.AreaBytes()) {
    ++Raised;
    while (end > StreamEnd + shape.AreaBytes()) {
      if (shape.BitrateIndex >= 14)
        throw std::runtime_error("an MP3 frame's main data does not fit at the join");
      ++shape.BitrateIndex;
      shape.FrameBytes =
          Mp3FrameBytes(shape.Lsf, shape.SampleRate, shape.BitrateIndex, shape.Padding);
    }
    head[2] = static_cast<uint8_t>((head[2] & 0x0F) | (shape.BitrateIndex << 4));
  }
  const int headBytes = shape.HeadBytes();
  SetMainDataBegin(head.data() + headBytes - shape.SideInfoBytes, shape,
                   static_cast<int>(StreamEnd - start));
  if (shape.Protected) {
    const uint16_t crc = Mp3HeadCrc(head.data(), shape);
    head[4] = static_cast<uint8_t>(crc >> 8);
    head[5] = static_cast<uint8_t>(crc & 0xFF);
  }
  Pending laid;
  laid.Bytes = std::move(head);
  laid.Bytes.resize(static_cast<size_t>(shape.FrameBytes), 0);
  laid.Id = id;
  laid.AreaStart = StreamEnd;
  laid.HeadBytes = headBytes;
  Frames.push_back(std::move(laid));
  StreamEnd += shape.AreaBytes();

  // The data may run through the areas of several frames still held.
  for (Pending& pending : Frames) {
    const int64_t areaEnd =
        pending.AreaStart + static_cast<int64_t>(pending.Bytes.size()) - pending.HeadBytes;
    const int64_t from = std::max(start, pending.AreaStart);
    const int64_t to = std::min(end, areaEnd);
    if (from >= to) continue;
    std::copy(frame.MainData.begin() + (from - start), frame.MainData.begin() + (to - start),
              pending.Bytes.begin() + pending.HeadBytes + (from - pending.AreaStart));
  }
  DataEnd = end;
}

bool Mp3Reservoir::Take(Mp3LaidFrame& out) {
  if (Frames.empty()) return false;
  const Pending& front = Frames.front();
  const int64_t areaEnd =
      front.AreaStart + static_cast<int64_t>(front.Bytes.size()) - front.HeadBytes;
  // No later frame's data can begin before this, whatever its kind.
  if (!Finished && areaEnd > std::max(DataEnd, StreamEnd - 511)) return false;
  out.Bytes = std::move(Frames.front().Bytes);
  out.Id = front.Id;
  Frames.pop_front();
  return true;
}
