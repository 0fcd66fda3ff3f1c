#include "engine/DecoderLookup.h"

#include <atomic>

#include "medialib/AVCodecHlpr.h"

namespace {

std::atomic<bool> RealVideoShown{true};

bool IsHidden(AVCodecID id) {
  return (id == AV_CODEC_ID_RV30 || id == AV_CODEC_ID_RV40) && !RealVideoShown.load();
}

}  // namespace

void ShowLibraryRealVideoDecoders(bool show) { RealVideoShown = show; }

bool LibraryRealVideoDecodersShown() { return RealVideoShown; }

const AVCodec* FindLibraryDecoder(AVCodecID id) {
  if (IsHidden(id)) return nullptr;
  return AVC.avcodec_find_decoder(id);
}

const AVCodec* FindLibraryDecoderByName(const char* name) {
  const AVCodec* codec = AVC.avcodec_find_decoder_by_name(name);
  if (codec && IsHidden(codec->id)) return nullptr;
  return codec;
}
