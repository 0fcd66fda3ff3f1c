// Binding of the optional RealVideo decoder library "drvc.so", and the
// registration flags of the two bridge decoders that decode through it.
//
// The library is loaded after the required media libraries and its failure is
// silent: the bridge decoders then simply stay unregistered. Loading and
// registering run on the UI thread before any task starts; afterwards the
// slots and flags are only read, from any thread.
#pragma once

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "medialib/LibraryBinding.h"
#include "medialib/RealVideoInterface.h"

struct RealVideoEntryPoints {
#define MELVARO_REALVIDEO_SLOT(name, type) type name = nullptr;
  MELVARO_REALVIDEO_ENTRY_POINTS(MELVARO_REALVIDEO_SLOT)
#undef MELVARO_REALVIDEO_SLOT
};

// Binds the five names beginning "RV40toYUV420"; when any of them is missing,
// the five beginning "RV20toYUV420" into the same slots. Only when both sets
// fail does the binding fail, with the second set's message as its error text.
class RealVideoLibraryBinding final : public LibraryBinding {
 public:
  RealVideoLibraryBinding();
  RealVideoEntryPoints Entries;

 private:
  bool LookUpAll() override;
  void ClearSlots() override { Entries = {}; }
  bool LookUpSet(const char* prefix, RealVideoEntryPoints& set);
};

namespace RealVideoHlpr {
// File name "drvc.so", with or without the versioned flag.
RealVideoLibraryBinding& Library();
}  // namespace RealVideoHlpr

// Filled while the library is bound; every slot is null otherwise.
extern RealVideoEntryPoints& DRVC;

// Opens (library folder first) and binds "drvc.so" unless that is done
// already. Never reports: false leaves the reason in Library().ErrorText().
bool LoadRealVideoLibrary();
// Registers the bridge decoder of RealVideo 3.0, then that of 4.0: each is
// skipped when the library cannot be bound or it is registered already.
void RegisterRealVideoDecoders();
// True when the bridge decoder for this identifier (RV30 or RV40) is registered.
bool RealVideoDecoderRegistered(AVCodecID id);
// Forgets both registrations and releases the library.
void UnloadRealVideoLibrary();
