// Binding of libavformat: its entry-point table, reached as AVF.name(...).
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include "medialib/EntryPointLists.h"
#include "medialib/LibraryBinding.h"

struct AVFormatEntryPoints {
  MELVARO_ENTRY_TABLE(MELVARO_AVFORMAT_ENTRY_POINTS)
};

namespace AVFormatHlpr {
// File names "libavformat.so.N" (N from the headers we build with) and "libavformat.so".
TableBinding<AVFormatEntryPoints>& Library();
}  // namespace AVFormatHlpr

// Filled while the library is bound; every slot is null otherwise.
extern AVFormatEntryPoints& AVF;
