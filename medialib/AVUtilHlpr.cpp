#include "medialib/AVUtilHlpr.h"

namespace {
TableBinding<AVUtilEntryPoints> Binding("libavutil.so." MELVARO_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
                                     "libavutil.so");
}  // namespace

TableBinding<AVUtilEntryPoints>& AVUtilHlpr::Library() { return Binding; }

AVUtilEntryPoints& AVU = Binding.Entries;
