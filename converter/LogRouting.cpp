#include "converter/LogRouting.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "converter/FFmpegTask.h"
#include "converter/VeltoConverter.h"
#include "engine/FFmpegThread.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"

// The component's side of a dispatch: the line goes to the component's task
// whose run the logging thread is in, else to no task. A friend of the
// component.
class TLogDispatcher {
 public:
  static void Dispatch(TCustomAVConverter& component, TCustomFFmpegHlpr* running, int level,
                       const std::string& line) {
    // Only the component's own tasks carry its log hook. A running engine
    // cannot be freed under us: freeing waits for its run to end, and the
    // current run is the one on this very thread.
    TFFmpegHlpr* task = running && running->LogHook.Data == &component
                            ? static_cast<TFFmpegHlpr*>(running)
                            : nullptr;
    component.DoLog(task, level, line);
  }
};

namespace {

struct Registry {
  std::mutex Lock;  // the registry lock; also guards the pending-line store
  std::vector<TCustomAVConverter*> Components;
  // Dispatches in progress per component: a component is not freed, and its
  // tasks are not released, while lines are being handed to it.
  std::map<TCustomAVConverter*, int> Pins;
  std::condition_variable Unpinned;
  TLogList Pending;
};

// Never destroyed: the library may call the callback from a thread that
// outlives the static destructors, and must then still find a lock.
Registry& TheRegistry() {
  static Registry* const registry = new Registry;
  return *registry;
}

// Releases the pins of one dispatch, also when a handler throws.
class PinRelease {
 public:
  PinRelease(Registry& registry, const std::vector<TCustomAVConverter*>& pinned)
      : FRegistry(registry), FPinned(pinned) {}
  ~PinRelease() {
    std::lock_guard<std::mutex> lock(FRegistry.Lock);
    for (TCustomAVConverter* component : FPinned)
      if (--FRegistry.Pins[component] == 0) FRegistry.Pins.erase(component);
    FRegistry.Unpinned.notify_all();
  }
  PinRelease(const PinRelease&) = delete;
  PinRelease& operator=(const PinRelease&) = delete;

 private:
  Registry& FRegistry;
  const std::vector<TCustomAVConverter*>& FPinned;
};

}  // namespace

TLogItem& TLogList::Find(uint32_t threadId) {
  if (Inline.ThreadID == 0 || Inline.ThreadID == threadId) {
    Inline.ThreadID = threadId;
    return Inline;
  }
  for (TLogItem* item = Inline.Next.get(); item; item = item->Next.get())
    if (item->ThreadID == threadId) return *item;
  auto item = std::make_unique<TLogItem>();
  item->ThreadID = threadId;
  item->Next = std::move(Inline.Next);
  Inline.Next = std::move(item);
  return *Inline.Next;
}

void TLogList::Clear() {
  // Iteratively, so that a long chain cannot exhaust the stack.
  std::unique_ptr<TLogItem> chain = std::move(Inline.Next);
  while (chain) chain = std::move(chain->Next);
  Inline.ThreadID = 0;
  Inline.Text.clear();
}

std::string LogContextPrefix(void* context) {
  if (!context) return {};
  const AVClass* descriptor = *static_cast<const AVClass* const*>(context);
  if (!descriptor) return {};
  const char* name =
      descriptor->item_name ? descriptor->item_name(context) : descriptor->class_name;
  char prefix[LogBufferSize];
  std::snprintf(prefix, sizeof prefix, "[%s @ %08X]", name ? name : "",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(context)));
  return prefix;
}

std::string AssembleLogText(const std::string& pending, void* context, const char* format,
                            va_list args, std::vector<std::string>& lines) {
  char buffer[LogBufferSize] = {};
  const std::string& head = pending.empty() ? LogContextPrefix(context) : pending;
  const std::size_t used = std::min(head.size(), LogBufferSize - 1);
  std::memcpy(buffer, head.data(), used);
  // vsnprintf stops at the buffer's end and always leaves the final zero.
  if (used < LogBufferSize - 1) std::vsnprintf(buffer + used, LogBufferSize - used, format, args);

  std::string text(buffer);  // up to the first zero byte
  const bool full = text.size() == LogBufferSize - 1;
  std::size_t start = 0;
  for (std::size_t feed; (feed = text.find('\n', start)) != std::string::npos; start = feed + 1)
    lines.push_back(text.substr(start, feed - start));
  std::string rest = text.substr(start);
  // A full buffer cannot take more: what it holds is delivered as a line of
  // its own instead of blocking every later call of the thread.
  if (full && !rest.empty()) {
    lines.push_back(std::move(rest));
    rest.clear();
  }
  return rest;
}

namespace LogRouting {

void Register(TCustomAVConverter* component) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.Lock);
  registry.Components.push_back(component);
}

void Unregister(TCustomAVConverter* component) {
  Registry& registry = TheRegistry();
  std::unique_lock<std::mutex> lock(registry.Lock);
  std::erase(registry.Components, component);
  registry.Unpinned.wait(lock, [&] { return registry.Pins.count(component) == 0; });
}

std::unique_lock<std::mutex> LockRegistryIdle(TCustomAVConverter* component) {
  Registry& registry = TheRegistry();
  std::unique_lock<std::mutex> lock(registry.Lock);
  registry.Unpinned.wait(lock, [&] { return registry.Pins.count(component) == 0; });
  return lock;
}

void ClearPendingLines() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.Lock);
  registry.Pending.Clear();
}

void InstallCallback() { AVU.av_log_set_callback(&LibraryLogCallback); }

void LibraryLogCallback(void* context, int level, const char* format, va_list args) {
  // The high bits of a level may carry a colour hint.
  const int engineLevel = EngineLevelFromLibrary(level >= 0 ? (level & 0xFF) : level);
  // A line of a run counts against its own task's level (the library logs at
  // the most verbose one); a line outside any run, e.g. of a library's own
  // thread, against the library's.
  TCustomFFmpegHlpr* running = CurrentRunEngine();
  if ((running ? running->Verbose : LibraryLogLevel.load()) < engineLevel) return;

  Registry& registry = TheRegistry();
  const uint32_t threadId = CurrentThreadID();
  std::vector<std::string> lines;
  std::vector<TCustomAVConverter*> components;
  {
    std::lock_guard<std::mutex> lock(registry.Lock);
    TLogItem& item = registry.Pending.Find(threadId);
    item.Text = AssembleLogText(item.Text, context, format, args, lines);
    if (lines.empty()) return;
    components = registry.Components;
    for (TCustomAVConverter* component : components) ++registry.Pins[component];
  }
  // Handed on without the registry lock, so that a handler holding its
  // component's event lock may log in turn without a lock-order cycle.
  PinRelease release(registry, components);
  for (const std::string& line : lines)
    for (TCustomAVConverter* component : components)
      TLogDispatcher::Dispatch(*component, running, engineLevel, line);
}

}  // namespace LogRouting
