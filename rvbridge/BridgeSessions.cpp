#include "rvbridge/BridgeSessions.h"

#include <memory>
#include <mutex>
#include <unordered_map>

#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"

namespace {

struct BridgeSession {
  explicit BridgeSession(const BridgeDecoder& decoder) : Decoder(decoder) {}
  // The decoder is closed before its picture goes: members go after the body.
  ~BridgeSession() { Decoder.Close(Context); }

  const BridgeDecoder& Decoder;
  RVBridgeContext Context;
  MediaObjects::FramePtr Picture;  // the decoded picture until it is received
  bool Waiting = false;
  bool Ended = false;
};

std::mutex SessionsLock;
std::unordered_map<const AVCodecContext*, std::unique_ptr<BridgeSession>> Sessions;

BridgeSession* SessionOf(const AVCodecContext& context) {
  // A context that libavcodec opened is none of ours: the library's decoders
  // pass here without taking the lock.
  if (context.codec) return nullptr;
  std::lock_guard<std::mutex> lock(SessionsLock);
  const auto found = Sessions.find(&context);
  return found == Sessions.end() ? nullptr : found->second.get();
}

}  // namespace

int OpenBridgeDecoder(const BridgeDecoder& decoder, AVCodecContext& context) {
  if (context.codec || SessionOf(context)) return AVERROR(EINVAL);
  auto session = std::make_unique<BridgeSession>(decoder);
  session->Picture.reset(AVU.av_frame_alloc());
  if (!session->Picture) return AVERROR(ENOMEM);
  if (decoder.Init(session->Context, context) < 0) return AVERROR_EXTERNAL;
  std::lock_guard<std::mutex> lock(SessionsLock);
  Sessions[&context] = std::move(session);
  return 0;
}

bool BridgeDecoderOpen(const AVCodecContext& context) { return SessionOf(context) != nullptr; }

int SendToBridge(AVCodecContext& context, const AVPacket* packet) {
  BridgeSession* session = SessionOf(context);
  if (!session) return AVERROR(EINVAL);
  if (session->Ended) return AVERROR_EOF;
  if (!packet || packet->size == 0) {
    session->Ended = true;
    return 0;
  }
  if (session->Waiting) return AVERROR(EAGAIN);
  int gotPicture = 0;
  if (session->Decoder.Decode(session->Context, context, *session->Picture, gotPicture, *packet) <
      0)
    return AVERROR_INVALIDDATA;
  session->Waiting = gotPicture != 0;
  return 0;
}

int ReceiveFromBridge(AVCodecContext& context, AVFrame& frame) {
  BridgeSession* session = SessionOf(context);
  if (!session) return AVERROR(EINVAL);
  if (!session->Waiting) return session->Ended ? AVERROR_EOF : AVERROR(EAGAIN);
  AVU.av_frame_unref(&frame);
  AVU.av_frame_move_ref(&frame, session->Picture.get());
  session->Waiting = false;
  return 0;
}

void CloseBridgeDecoder(AVCodecContext& context) {
  std::unique_ptr<BridgeSession> closing;
  {
    std::lock_guard<std::mutex> lock(SessionsLock);
    const auto found = Sessions.find(&context);
    if (found == Sessions.end()) return;
    closing = std::move(found->second);
    Sessions.erase(found);
  }
}
