#include "medialib/RealVideoHlpr.h"

#include <atomic>
#include <string>

namespace {

RealVideoLibraryBinding Binding;

// Indexed by AVCodecID - AV_CODEC_ID_RV30: written while loading, read by the
// tasks' worker threads.
std::atomic<bool> Registered[2];

int RegisteredIndex(AVCodecID id) {
  if (id == AV_CODEC_ID_RV30) return 0;
  if (id == AV_CODEC_ID_RV40) return 1;
  return -1;
}

}  // namespace

RealVideoLibraryBinding::RealVideoLibraryBinding() : LibraryBinding("drvc.so", "drvc.so") {}

bool RealVideoLibraryBinding::LookUpSet(const char* prefix, RealVideoEntryPoints& set) {
  bool ok = true;
#define MELVARO_REALVIDEO_LOOKUP(name, type)                     \
  if (ok) {                                                      \
    void* address = nullptr;                                     \
    ok = LookUp((std::string(prefix) + #name).c_str(), address); \
    set.name = reinterpret_cast<type>(address);                  \
  }
  MELVARO_REALVIDEO_ENTRY_POINTS(MELVARO_REALVIDEO_LOOKUP)
#undef MELVARO_REALVIDEO_LOOKUP
  return ok;
}

bool RealVideoLibraryBinding::LookUpAll() {
  // Each set is gathered apart, so that a half-found first set never leaves
  // a slot of the other library version behind.
  RealVideoEntryPoints set;
  if (!LookUpSet("RV40toYUV420", set)) {
    set = {};
    if (!LookUpSet("RV20toYUV420", set)) return false;
  }
  Entries = set;
  return true;
}

RealVideoLibraryBinding& RealVideoHlpr::Library() { return Binding; }

RealVideoEntryPoints& DRVC = Binding.Entries;

bool LoadRealVideoLibrary() { return Binding.Bind(); }

void RegisterRealVideoDecoders() {
  for (AVCodecID id : {AV_CODEC_ID_RV30, AV_CODEC_ID_RV40}) {
    if (!LoadRealVideoLibrary()) continue;
    Registered[RegisteredIndex(id)] = true;
  }
}

bool RealVideoDecoderRegistered(AVCodecID id) {
  const int index = RegisteredIndex(id);
  return index >= 0 && Registered[index];
}

void UnloadRealVideoLibrary() {
  for (std::atomic<bool>& flag : Registered) flag = false;
  Binding.Release();
}
