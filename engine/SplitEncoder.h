// Encodes one long MP3 stream on several encoders at once. The stream's
// samples are cut into segments on the encoder's frame grid; each segment
// after the first begins with a pre-roll of frames before its cut, and each
// but the last runs on past its end by a post-roll, so that every encoder is
// warmed up where its frames are used and no used frame was coded against a
// flush's silence. Segments are encoded on the workers this object owns;
// their packets are joined in order into one stream with one bit reservoir
// (Mp3Join.h) and handed out for the one muxer, with the whole stream's
// timestamps, the last packet's end padding included. The frames match the
// whole encoding's grid, so frame counts, delay and padding are those of one
// encoding. The destructor stops the workers and waits for them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "engine/Mp3Join.h"
#include "medialib/LibraryObjects.h"

struct SplitPlan {
  int Encoders = 1;
  int SegmentFrames = 0;  // encoder frames per segment
  int PreRollFrames = 10;
  int PostRollFrames = 4;
};

// The plan for a stream of `seconds` at `sampleRate` with frames of
// `frameSize`, given `budget` encoders (at most one per segment); Encoders is
// 1 when the stream is too short to be worth cutting (under three segments of
// about 20 s).
SplitPlan PlanSplit(int budget, double seconds, int sampleRate, int frameSize);

class SplitEncoder {
 public:
  // `model` is the stream's opened encoder: each segment's encoder is a new
  // one with its settings. It must outlive this object.
  SplitEncoder(const AVCodecContext* model, const SplitPlan& plan, std::mutex& codecLock);
  ~SplitEncoder();
  SplitEncoder(const SplitEncoder&) = delete;
  SplitEncoder& operator=(const SplitEncoder&) = delete;

  // One encoder frame (`frame` in the model's shape). Waits while as many
  // segments as there are encoders are still being encoded. A segment's
  // failure is raised here or in Finish or Take, in the library's words.
  void Add(const AVFrame& frame);
  // The end of the stream: encodes what is left and waits for every segment.
  void Finish();
  // The next packet of the joined stream, in the model's time base.
  bool Take(AVPacket* out);
  const std::vector<int64_t>& Joins() const { return Join.Joins(); }
  int RaisedFrames() const { return Join.RaisedFrames(); }
  int SegmentCount() const { return Submitted; }

 private:
  struct Encoded {
    Mp3Frame Frame;
    MediaObjects::PacketPtr Packet;
  };
  struct Segment {
    int Index = 0;
    int64_t First = 0;  // the stream's frame index of the segment's first sample
    int64_t Cut = 0;
    std::vector<std::vector<uint8_t>> Planes;
    int64_t Samples = 0;
    bool Done = false;
    std::string Failure;
    std::vector<Encoded> Out;
  };

  void StartSegment(int index, int64_t first, int64_t cut);
  void Submit();
  void Work();
  void Encode(Segment& segment);
  // Joins the finished segments at the front; `wait` waits for the first.
  void Collect(bool wait);

  const AVCodecContext* Model;
  const SplitPlan Plan;
  std::mutex& CodecLock;
  int FrameSize = 0;
  int Planes = 0;
  int BytesPerSample = 0;  // per plane

  std::unique_ptr<Segment> Filling;
  int Submitted = 0;
  std::mutex Lock;
  std::condition_variable WorkReady, SegmentDone;
  std::deque<std::unique_ptr<Segment>> InFlight;  // in stream order
  std::deque<Segment*> Queue;                     // not yet taken by a worker
  bool Stopping = false;
  std::vector<std::thread> Workers;

  Mp3Join Join;
  std::map<int64_t, MediaObjects::PacketPtr> Packets;  // by frame id, until handed out
};
