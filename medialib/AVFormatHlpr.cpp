#include "medialib/AVFormatHlpr.h"

namespace {
TableBinding<AVFormatEntryPoints> Binding("libavformat.so." MELVARO_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
                                     "libavformat.so");
}  // namespace

TableBinding<AVFormatEntryPoints>& AVFormatHlpr::Library() { return Binding; }

AVFormatEntryPoints& AVF = Binding.Entries;
