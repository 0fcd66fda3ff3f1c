#include "app/ThreadMailbox.h"

void TThreadMailbox::Post(std::function<void()> work) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> guard(Lock);
    Waiting.push_back(std::move(work));
    wake = !WakeUpPosted;
    WakeUpPosted = true;
  }
  if (wake) QMetaObject::invokeMethod(this, "WakeUp", Qt::QueuedConnection);
}

void TThreadMailbox::DeliverWaiting() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard<std::mutex> guard(Lock);
      if (Waiting.empty()) {
        WakeUpPosted = false;
        return;
      }
      work = std::move(Waiting.front());
      Waiting.pop_front();
    }
    // One at a time: a work item that runs a nested event loop must not see
    // later items overtake the ones still waiting here.
    work();
  }
}
