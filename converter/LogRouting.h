// Routing of the media libraries' own log output to the components.
//
// The libraries log from any thread, often a line in several calls. Each call
// is assembled into a 2048-byte buffer after the text its thread left pending,
// split at line feeds, and every whole line is handed to each live component,
// attributed to that component's task whose run the calling thread is in (the
// engine's current run, set for the length of a run on the thread that runs
// it, worker or owner's), or to none. The unfinished rest stays pending for
// the thread's next call.
//
// Locks: the registry lock guards the component list and the pending-line
// store and is held only while one call is assembled. The lines are then
// handed to the components without it (a handler, which runs under its
// component's event lock, may log in turn); a component that receives lines
// is pinned meanwhile, and Unregister and LockRegistryIdle wait for its pins.
// Lines of one thread keep their order; lines of different threads are
// serialised per component by its event lock.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TCustomAVConverter;

// The unfinished line of one thread.
struct TLogItem {
  uint32_t ThreadID = 0;  // 0 = free
  std::string Text;
  std::unique_ptr<TLogItem> Next;
};

// One item kept inline plus a chain of further items, one per thread.
class TLogList {
 public:
  // The item of threadId: the inline one when it is free or already that
  // thread's (claiming it), else one from the chain, else a new item at the
  // chain's front.
  TLogItem& Find(uint32_t threadId);
  // Frees the chain and frees the inline item.
  void Clear();

 private:
  TLogItem Inline;
};

// The size of the assembly buffer, terminating zero included. A line that
// would not fit is cut there and delivered as it stands.
constexpr std::size_t LogBufferSize = 2048;

// Puts the call's text after `pending` (or, when nothing is pending, after the
// context prefix of `context`), never past LogBufferSize - 1 characters, and
// splits it. Whole lines go to `lines`; the unfinished rest is returned.
// Exposed for the tests of the assembly.
std::string AssembleLogText(const std::string& pending, void* context, const char* format,
                            va_list args, std::vector<std::string>& lines);

// "[" + item name + " @ " + address as 8 upper-case hex digits + "]" for an
// object whose first member is its class descriptor; empty otherwise.
std::string LogContextPrefix(void* context);

namespace LogRouting {
void Register(TCustomAVConverter* component);
// Waits for the dispatches in progress to the component to end; no line
// reaches it afterwards. Not from one of the component's own handlers.
void Unregister(TCustomAVConverter* component);
// The registry lock, taken once no line is being handed to the component:
// while it is held no library line can reach the component's tasks.
std::unique_lock<std::mutex> LockRegistryIdle(TCustomAVConverter* component);
// Clears the pending-line store.
void ClearPendingLines();
// Installs the callback into the loaded libraries (av_log_set_callback).
void InstallCallback();
// The callback itself, as the library calls it.
void LibraryLogCallback(void* context, int level, const char* format, va_list args);
}  // namespace LogRouting
