#include "medialib/AVCodecHlpr.h"

namespace {
TableBinding<AVCodecEntryPoints> Binding("libavcodec.so." MELVARO_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
                                     "libavcodec.so");
}  // namespace

TableBinding<AVCodecEntryPoints>& AVCodecHlpr::Library() { return Binding; }

AVCodecEntryPoints& AVC = Binding.Entries;
