// Binding of libavcodec: its entry-point table, reached as AVC.name(...).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

#include "medialib/EntryPointLists.h"
#include "medialib/LibraryBinding.h"

struct AVCodecEntryPoints {
  MELVARO_ENTRY_TABLE(MELVARO_AVCODEC_ENTRY_POINTS)
};

namespace AVCodecHlpr {
// File names "libavcodec.so.N" (N from the headers we build with) and "libavcodec.so".
TableBinding<AVCodecEntryPoints>& Library();
}  // namespace AVCodecHlpr

// Filled while the library is bound; every slot is null otherwise.
extern AVCodecEntryPoints& AVC;
