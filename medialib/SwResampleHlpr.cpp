#include "medialib/SwResampleHlpr.h"

namespace {
TableBinding<SwResampleEntryPoints> Binding("libswresample.so." MELVARO_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
                                     "libswresample.so");
}  // namespace

TableBinding<SwResampleEntryPoints>& SwResampleHlpr::Library() { return Binding; }

SwResampleEntryPoints& SWR = Binding.Entries;
