// Batches of real conversions: the order and the threads of the events for
// each way of starting, failures while starting, stopping and tearing down.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "converter/VeltoConverter.h"
#include "engine/FFMpegException.h"
#include "engine/FFmpegThread.h"
#include "medialib/AVUtilHlpr.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Event {
  char kind;  // 'P' progress, 'T' terminate, 'L' log
  int index;
  bool finished;
  uint32_t thread;
  Clock::time_point time;
  std::string text;
};

class ConverterBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries("", true)) << converter.LastError();
    converter.SetProgressInterval(100);
    converter.OnProgress = [this](int index, int, int, int, float, float, int64_t, int) {
      Record({'P', index, false, CurrentThreadID(), Clock::now(), {}});
      if (onProgress) onProgress(index);
    };
    converter.OnTerminate = [this](int index, bool finished) {
      Record({'T', index, finished, CurrentThreadID(), Clock::now(), {}});
      if (onTerminate) onTerminate(index);
      if (index < 0 || (quitAfterTerminates && Events('T').size() == quitAfterTerminates))
        QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
    };
    converter.OnLog = [this](int index, TLogLevel level, const std::string& text) {
      if (level <= llError) Record({'L', index, false, CurrentThreadID(), Clock::now(), text});
    };
  }

  void Record(Event event) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(std::move(event));
  }
  std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(mutex);
    return events;
  }
  std::vector<Event> Events(char kind) {
    std::vector<Event> some;
    for (const Event& event : Events())
      if (event.kind == kind) some.push_back(event);
    return some;
  }
  // Terminate events as "index:T/F".
  std::vector<std::string> Terminates() {
    std::vector<std::string> texts;
    for (const Event& event : Events('T'))
      texts.push_back(std::to_string(event.index) + (event.finished ? ":T" : ":F"));
    return texts;
  }

  // Adds one task per file; the files listed in withoutOutput get no output.
  void AddTasks(int count, double seconds, std::vector<int> withoutOutput = {}) {
    for (int i = 0; i < count; ++i) {
      const std::string input = folder / ("in" + std::to_string(i) + ".wav");
      MediaFixtures::MakeWav(input, 44100, 2, seconds, 300 + 100 * i);
      ASSERT_EQ(converter.AddInput(input), i) << converter.LastError();
      outputs.push_back(folder / ("out" + std::to_string(i) + ".mp3"));
      if (std::find(withoutOutput.begin(), withoutOutput.end(), i) != withoutOutput.end()) continue;
      TOutputOptions options;
      options.AudioCodec = "libmp3lame";
      options.AudioBitrate = 128000;
      ASSERT_TRUE(converter.AddOutput(i, outputs.back(), options)) << converter.LastError();
    }
  }

  // Runs the owner's event loop until the batch ends, or for at most limit.
  void RunUntilBatchEnd(std::chrono::milliseconds limit = std::chrono::seconds(120)) {
    QTimer::singleShot(limit, &app, &QCoreApplication::quit);
    app.exec();
  }

  int argc = 0;
  QCoreApplication app{argc, nullptr};
  TempFolder folder;
  TVeltoConverter converter;
  std::vector<std::string> outputs;
  std::function<void(int)> onProgress, onTerminate;
  size_t quitAfterTerminates = 0;  // also leave the loop after this many terminate events
  std::mutex mutex;
  std::vector<Event> events;
};

}  // namespace

TEST_F(ConverterBatch, OneAtATimeEachEndedTaskStartsTheNextOnItsThread) {
  // Threads and library lines of this process: the in-process mode's.
  converter.SetRunMode(rmInProcess);
  AddTasks(3, 1.0);
  // A library line logged during a task's run belongs to that task.
  std::atomic<bool> probed{false};
  onProgress = [&probed](int index) {
    if (index == 1 && !probed.exchange(true))
      AVU.av_log(nullptr, AV_LOG_ERROR, "probe line from task 1\n");
  };
  converter.Start(1);
  RunUntilBatchEnd();

  EXPECT_EQ(Terminates(), (std::vector<std::string>{"0:T", "1:T", "2:T", "-1:T"}));
  const std::vector<Event> all = Events();
  uint32_t threadOf[3] = {};
  for (const Event& event : all)
    if (event.index >= 0 && event.kind != 'L') {
      if (!threadOf[event.index]) threadOf[event.index] = event.thread;
      EXPECT_EQ(event.thread, threadOf[event.index]) << "task " << event.index;
    }
  for (uint32_t thread : threadOf) EXPECT_NE(thread, MainThreadID());
  EXPECT_NE(threadOf[0], threadOf[1]);
  EXPECT_NE(threadOf[1], threadOf[2]);
  EXPECT_EQ(Events('T').back().thread, threadOf[2]);  // the batch ends on the last task's thread
  // Nothing of task i+1 happens before task i has been reported as ended.
  int ended = -1;
  for (const Event& event : all) {
    if (event.kind == 'T') ended = std::max(ended, event.index);
    if (event.kind == 'P') {
      EXPECT_LE(event.index, ended + 1);
    }
  }
  int probes = 0;
  for (const Event& line : Events('L'))
    if (line.text == "probe line from task 1") {
      ++probes;
      EXPECT_EQ(line.index, 1);
    }
  EXPECT_EQ(probes, 1);
  for (const std::string& output : outputs) EXPECT_GT(std::filesystem::file_size(output), 1000u);
}

TEST_F(ConverterBatch, TwoAtATimeTheThirdStartsWhenOneEnds) {
  AddTasks(3, 2.0);
  converter.Start(2);
  RunUntilBatchEnd();

  const std::vector<std::string> terminates = Terminates();
  ASSERT_EQ(terminates.size(), 4u);
  EXPECT_EQ(terminates.back(), "-1:T");
  std::vector<std::string> tasks(terminates.begin(), terminates.end() - 1);
  std::sort(tasks.begin(), tasks.end());
  EXPECT_EQ(tasks, (std::vector<std::string>{"0:T", "1:T", "2:T"}));

  bool firstEnded = false;
  uint32_t threadOf[3] = {};
  for (const Event& event : Events()) {
    if (event.kind == 'T' && event.index >= 0) firstEnded = true;
    if (event.kind == 'P' && event.index == 2) {
      EXPECT_TRUE(firstEnded);
    }
    if (event.index >= 0 && event.kind != 'L') threadOf[event.index] = event.thread;
  }
  EXPECT_NE(threadOf[0], threadOf[1]);
  for (uint32_t thread : threadOf) EXPECT_NE(thread, MainThreadID());
}

TEST_F(ConverterBatch, ConcurrencyZeroRunsEachTaskOnTheOwnersThreadThroughTheTimer) {
  converter.SetRunMode(rmInProcess);
  AddTasks(2, 0.2);
  // Every task runs on the main thread; a library line logged during task 1's
  // run still belongs to task 1.
  std::atomic<bool> probed{false};
  onProgress = [&probed](int index) {
    if (index == 1 && !probed.exchange(true))
      AVU.av_log(nullptr, AV_LOG_ERROR, "probe line during task 1\n");
  };
  const Clock::time_point started = Clock::now();
  converter.Start(0);
  EXPECT_TRUE(Events().empty());  // nothing runs inside Start
  RunUntilBatchEnd();

  EXPECT_EQ(Terminates(), (std::vector<std::string>{"0:T", "1:T", "-1:T"}));
  for (const Event& event : Events()) EXPECT_EQ(event.thread, MainThreadID());
  const std::vector<Event> ends = Events('T');
  using std::chrono::milliseconds;
  EXPECT_GE(ends[0].time - started, milliseconds(95));
  EXPECT_GE(ends[1].time - ends[0].time, milliseconds(95));
  bool probeSeen = false;
  for (const Event& line : Events('L'))
    if (line.text == "probe line during task 1") {
      probeSeen = true;
      EXPECT_EQ(line.index, 1);
    }
  EXPECT_TRUE(probeSeen);
}

TEST_F(ConverterBatch, TasksAddedWhileABatchRunsJoinItWhenStartedAndOnlyNewTasksRunAgain) {
  AddTasks(2, 5.0);
  auto addOne = [this](int index) {
    const std::string input = folder / ("late" + std::to_string(index) + ".wav");
    MediaFixtures::MakeWav(input, 44100, 2, 0.3, 500);
    ASSERT_EQ(converter.AddInput(input), index) << converter.LastError();
    ASSERT_TRUE(converter.AddOutput(index, folder / ("late" + std::to_string(index) + ".mp3")));
  };
  // Added on the owner's thread while task 0 runs; it waits for its Start.
  std::atomic<bool> added{false};
  onProgress = [&](int) {
    if (added.exchange(true)) return;
    QMetaObject::invokeMethod(
        &app,
        [&] {
          addOne(2);
          EXPECT_EQ(converter.TaskResult(2).State, TTaskState::tsWaiting);
          converter.Start(1);
        },
        Qt::QueuedConnection);
  };
  converter.Start(1);
  RunUntilBatchEnd();
  EXPECT_EQ(Terminates(), (std::vector<std::string>{"0:T", "1:T", "2:T", "-1:T"}));

  onProgress = nullptr;
  addOne(3);
  converter.Start(1);
  RunUntilBatchEnd();
  EXPECT_EQ(Terminates(), (std::vector<std::string>{"0:T", "1:T", "2:T", "-1:T", "3:T", "-1:T"}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(converter.TaskResult(i).State, TTaskState::tsConverted);
}

TEST_F(ConverterBatch, ATaskThatCannotStartIsReportedAndTheBatchGoesOn) {
  enum Raise { Never, Always, Maybe };
  struct Case {
    int concurrency;
    int withoutOutput;
    Raise startThrows;
  } cases[] = {{1, 1, Never},
               {1, 0, Always},
               {0, 1, Never},
               // Start starts task 2 itself when task 0 ends before Start
               // reaches its second slot, as it may on a busy machine.
               {2, 2, Maybe}};
  for (const Case& c : cases) {
    SCOPED_TRACE("concurrency " + std::to_string(c.concurrency) + ", task without output " +
                 std::to_string(c.withoutOutput));
    converter.ClearTasks();
    outputs.clear();
    events.clear();
    AddTasks(3, 0.3, {c.withoutOutput});
    if (c.startThrows == Never) {
      converter.Start(c.concurrency);
    } else {
      try {
        converter.Start(c.concurrency);
        if (c.startThrows == Always) ADD_FAILURE() << "Start did not raise";
      } catch (const FFMpegException& error) {
        EXPECT_STREQ(error.what(), "Must supply at least one output file");
        // Reported as ended before the error was raised.
        bool reported = false;
        for (const Event& ended : Events('T')) reported |= ended.index == c.withoutOutput;
        EXPECT_TRUE(reported);
      }
    }
    RunUntilBatchEnd();
    std::vector<std::string> expected;
    std::vector<std::string> got = Terminates();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), "-1:T");
    got.pop_back();
    std::sort(got.begin(), got.end());
    for (int i = 0; i < 3; ++i)
      expected.push_back(std::to_string(i) + (i == c.withoutOutput ? ":F" : ":T"));
    EXPECT_EQ(got, expected);
    bool logged = false;
    for (const Event& line : Events('L'))
      if (line.index == c.withoutOutput && line.text == "Must supply at least one output file")
        logged = true;
    EXPECT_TRUE(logged);
  }
}

TEST_F(ConverterBatch, StopKeepsWaitingTasksFromStartingAndEndsTheRunningOne) {
  for (int concurrency : {1, 2}) {
    SCOPED_TRACE("concurrency " + std::to_string(concurrency));
    converter.ClearTasks();
    outputs.clear();
    events.clear();
    AddTasks(3, 30.0);
    // Stop from the task's own thread, as soon as it reports.
    onProgress = [this](int) { converter.Stop(); };
    quitAfterTerminates = concurrency;
    converter.Start(concurrency);
    RunUntilBatchEnd();
    // Whatever would wrongly start or end next has time to show.
    quitAfterTerminates = 0;
    RunUntilBatchEnd(std::chrono::milliseconds(400));
    onProgress = nullptr;

    const std::vector<std::string> terminates = Terminates();
    ASSERT_EQ(terminates.size(), static_cast<size_t>(concurrency));
    for (const std::string& text : terminates) EXPECT_EQ(text.back(), 'F') << text;  // no batch end
    converter.ClearTasks();
    // The task that never started leaves no (empty) output behind.
    EXPECT_FALSE(std::filesystem::exists(outputs[2]));
  }
}

TEST_F(ConverterBatch, DestroyingTheComponentMidBatchStopsAndFreesEveryTask) {
  auto owned = std::make_unique<TVeltoConverter>();
  ASSERT_TRUE(owned->LoadLibraries("", true));
  std::vector<std::string> inputs;
  for (int i = 0; i < 3; ++i) {
    inputs.push_back(folder / ("long" + std::to_string(i) + ".wav"));
    MediaFixtures::MakeWav(inputs.back(), 44100, 2, 60.0, 440);
    ASSERT_EQ(owned->AddInput(inputs.back()), i);
    ASSERT_TRUE(owned->AddOutput(i, folder / ("long" + std::to_string(i) + ".mp3")));
  }
  std::mutex lock;
  std::condition_variable reported;
  bool progress = false;
  std::atomic<bool> destroying{false};
  std::atomic<int> lateTerminates{0};
  owned->OnProgress = [&](int, int, int, int, float, float, int64_t, int) {
    std::lock_guard<std::mutex> guard(lock);
    progress = true;
    reported.notify_all();
  };
  std::atomic<int> earlyTerminates{0};
  owned->OnTerminate = [&](int, bool) {
    if (destroying)
      ++lateTerminates;
    else
      ++earlyTerminates;
  };
  owned->Start(2);
  {
    std::unique_lock<std::mutex> guard(lock);
    ASSERT_TRUE(reported.wait_for(guard, std::chrono::seconds(60), [&] { return progress; }));
  }
  destroying = true;
  owned.reset();  // must wait for both runs; handlers are detached first
  EXPECT_EQ(lateTerminates, 0);
  // The waiting task never starts, unless a busy machine let a running one
  // end (and start it) before the component was destroyed.
  if (earlyTerminates == 0) {
    EXPECT_FALSE(std::filesystem::exists(folder / "long2.mp3"));
  }
}
