#include "engine/SplitEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "engine/FFMpegException.h"
#include "engine/LibraryError.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"

namespace {

constexpr double SegmentSeconds = 20;
constexpr int LeastSegments = 3;

// The frame id: the segment in the high half, the frame within it below.
int64_t FrameId(int segment, size_t frame) {
  return (static_cast<int64_t>(segment) << 32) | static_cast<int64_t>(frame);
}

void Check(int result, const char* call) {
  if (result < 0) RaiseLibraryError(call, result, "a segment's MP3 encoder");
}

}  // namespace

SplitPlan PlanSplit(int budget, double seconds, int sampleRate, int frameSize) {
  SplitPlan plan;
  if (budget <= 1 || sampleRate <= 0 || frameSize <= 0) return plan;
  plan.SegmentFrames = static_cast<int>(std::lround(SegmentSeconds * sampleRate / frameSize));
  if (seconds < LeastSegments * SegmentSeconds) return plan;
  // More encoders than segments would only wait.
  plan.Encoders = static_cast<int>(std::min<double>(budget, std::ceil(seconds / SegmentSeconds)));
  return plan;
}

SplitEncoder::SplitEncoder(const AVCodecContext* model, const SplitPlan& plan,
                           std::mutex& codecLock)
    : Model(model), Plan(plan), CodecLock(codecLock) {
  FrameSize = model->frame_size;
  const AVSampleFormat format = model->sample_fmt;
  const bool planar = AVU.av_sample_fmt_is_planar(format);
  Planes = planar ? model->ch_layout.nb_channels : 1;
  BytesPerSample =
      AVU.av_get_bytes_per_sample(format) * (planar ? 1 : model->ch_layout.nb_channels);
  if (FrameSize <= 0 || BytesPerSample <= 0 || plan.SegmentFrames <= plan.PreRollFrames)
    throw FFMpegException("the encoder cannot be split into segments");
  StartSegment(0, 0, 0);
  for (int i = 0; i < plan.Encoders; ++i) Workers.emplace_back([this] { Work(); });
}

SplitEncoder::~SplitEncoder() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Stopping = true;
  }
  WorkReady.notify_all();
  for (std::thread& worker : Workers) worker.join();
}

void SplitEncoder::StartSegment(int index, int64_t first, int64_t cut) {
  Filling = std::make_unique<Segment>();
  Filling->Index = index;
  Filling->First = first;
  Filling->Cut = cut;
  Filling->Planes.resize(static_cast<size_t>(Planes));
  const size_t reserve = static_cast<size_t>(Plan.SegmentFrames + Plan.PreRollFrames +
                                             Plan.PostRollFrames) *
                         FrameSize * BytesPerSample;
  for (auto& plane : Filling->Planes) plane.reserve(reserve);
}

void SplitEncoder::Add(const AVFrame& frame) {
  const size_t bytes = static_cast<size_t>(frame.nb_samples) * BytesPerSample;
  for (int p = 0; p < Planes; ++p)
    Filling->Planes[p].insert(Filling->Planes[p].end(), frame.extended_data[p],
                              frame.extended_data[p] + bytes);
  Filling->Samples += frame.nb_samples;

  const int index = Filling->Index;
  const int64_t cut = static_cast<int64_t>(index + 1) * Plan.SegmentFrames;
  const int64_t end = cut + Plan.PostRollFrames;
  if (Filling->Samples < (end - Filling->First) * FrameSize) return;
  // The next segment's pre-roll and this one's post-roll are the same
  // samples, taken over before this segment leaves.
  std::unique_ptr<Segment> full = std::move(Filling);
  StartSegment(index + 1, cut - Plan.PreRollFrames, cut);
  const size_t overlap =
      static_cast<size_t>(end - Filling->First) * FrameSize * BytesPerSample;
  for (int p = 0; p < Planes; ++p)
    Filling->Planes[p].assign(full->Planes[p].end() - overlap, full->Planes[p].end());
  Filling->Samples = (end - Filling->First) * FrameSize;
  std::unique_ptr<Segment> next = std::move(Filling);
  Filling = std::move(full);
  Submit();
  Filling = std::move(next);
  while (static_cast<int>(InFlight.size()) >= Plan.Encoders) Collect(true);
  Collect(false);
}

void SplitEncoder::Submit() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Queue.push_back(Filling.get());
    InFlight.push_back(std::move(Filling));
  }
  ++Submitted;
  WorkReady.notify_one();
}

void SplitEncoder::Finish() {
  if (Filling && Filling->Samples > 0) Submit();
  Filling.reset();
  while (!InFlight.empty()) Collect(true);
  Join.Finish();
}

void SplitEncoder::Collect(bool wait) {
  for (;;) {
    std::unique_ptr<Segment> segment;
    {
      std::unique_lock<std::mutex> guard(Lock);
      if (InFlight.empty()) return;
      if (wait) SegmentDone.wait(guard, [this] { return InFlight.front()->Done; });
      if (!InFlight.front()->Done) return;
      segment = std::move(InFlight.front());
      InFlight.pop_front();
    }
    if (!segment->Failure.empty()) throw FFMpegException(segment->Failure);
    Mp3Segment frames;
    frames.First = segment->First;
    frames.Cut = segment->Cut;
    for (size_t i = 0; i < segment->Out.size(); ++i) {
      const int64_t id = FrameId(segment->Index, i);
      frames.Frames.push_back({std::move(segment->Out[i].Frame), id});
      Packets[id] = std::move(segment->Out[i].Packet);
    }
    try {
      Join.Add(std::move(frames));
    } catch (const std::runtime_error& error) {
      throw FFMpegException(error.what());
    }
    wait = false;
  }
}

bool SplitEncoder::Take(AVPacket* out) {
  Collect(false);
  Mp3LaidFrame laid;
  if (!Join.Take(laid)) return false;
  const auto found = Packets.find(laid.Id);
  if (found == Packets.end()) throw FFMpegException("a joined MP3 frame lost its packet");
  Check(AVC.av_new_packet(out, static_cast<int>(laid.Bytes.size())), "av_new_packet");
  std::memcpy(out->data, laid.Bytes.data(), laid.Bytes.size());
  Check(AVC.av_packet_copy_props(out, found->second.get()), "av_packet_copy_props");
  // Frames before this one were handed out or left at a join.
  Packets.erase(Packets.begin(), std::next(found));
  return true;
}

void SplitEncoder::Work() {
  for (;;) {
    Segment* segment = nullptr;
    {
      std::unique_lock<std::mutex> guard(Lock);
      WorkReady.wait(guard, [this] { return Stopping || !Queue.empty(); });
      if (Stopping) return;
      segment = Queue.front();
      Queue.pop_front();
    }
    try {
      Encode(*segment);
    } catch (const std::exception& error) {
      segment->Failure = error.what();
      if (segment->Failure.empty()) segment->Failure = "a segment's MP3 encoder failed";
    }
    {
      std::lock_guard<std::mutex> guard(Lock);
      segment->Planes.clear();
      segment->Planes.shrink_to_fit();
      segment->Done = true;
    }
    SegmentDone.notify_all();
  }
}

void SplitEncoder::Encode(Segment& segment) {
  MediaObjects::CodecContextPtr encoder(AVC.avcodec_alloc_context3(Model->codec));
  if (!encoder) Check(AVERROR(ENOMEM), "avcodec_alloc_context3");
  Check(AVU.av_opt_copy(encoder.get(), Model), "av_opt_copy");
  if (encoder->priv_data && Model->priv_data)
    Check(AVU.av_opt_copy(encoder->priv_data, Model->priv_data), "av_opt_copy");
  encoder->time_base = Model->time_base;
  encoder->sample_rate = Model->sample_rate;
  encoder->sample_fmt = Model->sample_fmt;
  encoder->thread_count = 1;
  Check(AVU.av_channel_layout_copy(&encoder->ch_layout, &Model->ch_layout),
        "av_channel_layout_copy");
  {
    std::lock_guard<std::mutex> guard(CodecLock);
    Check(AVC.avcodec_open2(encoder.get(), Model->codec, nullptr), "avcodec_open2");
  }
  MediaObjects::FramePtr frame(AVU.av_frame_alloc());
  MediaObjects::PacketPtr packet(AVC.av_packet_alloc());
  if (!frame || !packet) Check(AVERROR(ENOMEM), "av_frame_alloc");
  Mp3MainDataReader reader;
  const int64_t offset = segment.First * FrameSize;

  auto receive = [&] {
    for (;;) {
      const int received = AVC.avcodec_receive_packet(encoder.get(), packet.get());
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
      Check(received, "avcodec_receive_packet");
      Encoded encoded;
      if (!reader.Read(packet->data, static_cast<size_t>(packet->size), encoded.Frame))
        throw FFMpegException("a segment's MP3 encoder gave a frame that cannot be joined");
      if (packet->pts != AV_NOPTS_VALUE) packet->pts += offset;
      if (packet->dts != AV_NOPTS_VALUE) packet->dts += offset;
      encoded.Packet.reset(AVC.av_packet_alloc());
      if (!encoded.Packet) Check(AVERROR(ENOMEM), "av_packet_alloc");
      AVC.av_packet_move_ref(encoded.Packet.get(), packet.get());
      segment.Out.push_back(std::move(encoded));
    }
  };

  for (int64_t done = 0; done < segment.Samples;) {
    {
      std::lock_guard<std::mutex> guard(Lock);
      if (Stopping) return;
    }
    const int samples = static_cast<int>(std::min<int64_t>(FrameSize, segment.Samples - done));
    AVU.av_frame_unref(frame.get());
    frame->format = Model->sample_fmt;
    frame->nb_samples = samples;
    frame->sample_rate = Model->sample_rate;
    Check(AVU.av_channel_layout_copy(&frame->ch_layout, &Model->ch_layout),
          "av_channel_layout_copy");
    Check(AVU.av_frame_get_buffer(frame.get(), 0), "av_frame_get_buffer");
    const size_t from = static_cast<size_t>(done) * BytesPerSample;
    for (int p = 0; p < Planes; ++p)
      std::memcpy(frame->extended_data[p], segment.Planes[p].data() + from,
                  static_cast<size_t>(samples) * BytesPerSample);
    frame->pts = done;
    Check(AVC.avcodec_send_frame(encoder.get(), frame.get()), "avcodec_send_frame");
    receive();
    done += samples;
  }
  Check(AVC.avcodec_send_frame(encoder.get(), nullptr), "avcodec_send_frame");
  receive();
}
