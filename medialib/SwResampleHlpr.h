// Binding of libswresample: its entry-point table, reached as SWR.name(...).
#pragma once

extern "C" {
#include <libswresample/swresample.h>
}

#include "medialib/EntryPointLists.h"
#include "medialib/LibraryBinding.h"

struct SwResampleEntryPoints {
  MELVARO_ENTRY_TABLE(MELVARO_SWRESAMPLE_ENTRY_POINTS)
};

namespace SwResampleHlpr {
// File names "libswresample.so.N" (N from the headers we build with) and "libswresample.so".
TableBinding<SwResampleEntryPoints>& Library();
}  // namespace SwResampleHlpr

// Filled while the library is bound; every slot is null otherwise.
extern SwResampleEntryPoints& SWR;
