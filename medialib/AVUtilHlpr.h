// Binding of libavutil: its entry-point table, reached as AVU.name(...).
#pragma once

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/avutil.h>
#include <libavutil/base64.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/fifo.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
#include <libavutil/avstring.h>
#include <libavutil/samplefmt.h>
#include <libavutil/imgutils.h>
}

#include "medialib/EntryPointLists.h"
#include "medialib/LibraryBinding.h"

struct AVUtilEntryPoints {
  MELVARO_ENTRY_TABLE(MELVARO_AVUTIL_ENTRY_POINTS)
};

namespace AVUtilHlpr {
// File names "libavutil.so.N" (N from the headers we build with) and "libavutil.so".
TableBinding<AVUtilEntryPoints>& Library();
}  // namespace AVUtilHlpr

// Filled while the library is bound; every slot is null otherwise.
extern AVUtilEntryPoints& AVU;
