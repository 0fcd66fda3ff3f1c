// Binding of libswscale: its entry-point table, reached as SWS.name(...).
#pragma once

extern "C" {
#include <libswscale/swscale.h>
}

#include "medialib/EntryPointLists.h"
#include "medialib/LibraryBinding.h"

struct SwScaleEntryPoints {
  MELVARO_ENTRY_TABLE(MELVARO_SWSCALE_ENTRY_POINTS)
};

namespace SwScaleHlpr {
// File names "libswscale.so.N" (N from the headers we build with) and "libswscale.so".
TableBinding<SwScaleEntryPoints>& Library();
}  // namespace SwScaleHlpr

// Filled while the library is bound; every slot is null otherwise.
extern SwScaleEntryPoints& SWS;
