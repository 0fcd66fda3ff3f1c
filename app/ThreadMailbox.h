// Hands work from any thread to the thread a mailbox lives on (the window's).
//
// The work waits in our own locked queue and Qt carries only a wake-up by
// method name. The hand-over is then ordered by a lock that ThreadSanitizer
// sees; a functor posted through Qt's own event queue would be written on the
// worker and read on the window's thread under Qt's futex-based lock, which
// it cannot see, so every queued lambda would look like a race.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

class TThreadMailbox : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // Any thread. `work` runs on the mailbox's thread, in the order posted.
  void Post(std::function<void()> work);

  // The mailbox's thread: runs what waits now, and what is posted meanwhile,
  // before returning (also when called from within a work item).
  void DeliverWaiting();

 private slots:
  void WakeUp() { DeliverWaiting(); }

 private:
  std::mutex Lock;
  std::deque<std::function<void()>> Waiting;  // under Lock
  bool WakeUpPosted = false;                  // under Lock
};
