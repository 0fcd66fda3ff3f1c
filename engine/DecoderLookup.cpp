#include "engine/DecoderLookup.h"

#include "medialib/AVCodecHlpr.h"

namespace {

bool IsHidden(AVCodecID id, bool libraryRealVideo) {
  return (id == AV_CODEC_ID_RV30 || id == AV_CODEC_ID_RV40) && !libraryRealVideo;
}

}  // namespace

const AVCodec* FindLibraryDecoder(AVCodecID id, bool libraryRealVideo) {
  if (IsHidden(id, libraryRealVideo)) return nullptr;
  return AVC.avcodec_find_decoder(id);
}

const AVCodec* FindLibraryDecoderByName(const char* name, bool libraryRealVideo) {
  const AVCodec* codec = AVC.avcodec_find_decoder_by_name(name);
  if (codec && IsHidden(codec->id, libraryRealVideo)) return nullptr;
  return codec;
}
