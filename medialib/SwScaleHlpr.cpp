#include "medialib/SwScaleHlpr.h"

namespace {
TableBinding<SwScaleEntryPoints> Binding("libswscale.so." MELVARO_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
                                     "libswscale.so");
}  // namespace

TableBinding<SwScaleEntryPoints>& SwScaleHlpr::Library() { return Binding; }

SwScaleEntryPoints& SWS = Binding.Entries;
