// The library's log output as the components receive it: lines assembled per
// thread, the context prefix, the level filter, the buffer bound, and the task
// each line is credited to.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "converter/VeltoConverter.h"
#include "engine/FFmpegHlpr.h"
#include "engine/FFmpegThread.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

struct Line {
  int index;
  TLogLevel level;
  std::string text;
  bool operator==(const Line&) const = default;
};

void PrintTo(const Line& line, std::ostream* out) {
  *out << "{" << line.index << ", " << line.level << ", \"" << line.text << "\"}";
}

class ConverterLogRouting : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(component.LoadLibraries("", true)) << component.LastError();
    LibraryLogLevel = 1;  // as a task with LogLevel llInfo sets it
    component.OnLog = [this](int index, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> lock(mutex);
      lines.push_back({index, level, text});
    };
  }
  std::vector<Line> Lines() {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
  }
  TVeltoConverter component;
  std::mutex mutex;
  std::vector<Line> lines;
};

// An object the library would accept as a log context.
struct ContextObject {
  const AVClass* descriptor;
};

const AVClass* ProbeClass() {
  static AVClass descriptor = [] {
    AVClass c{};
    c.class_name = "probe";
    c.item_name = AVU.av_default_item_name;
    c.version = LIBAVUTIL_VERSION_INT;
    return c;
  }();
  return &descriptor;
}

std::string HexAddress(const void* object) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(object)));
  return text;
}

}  // namespace

TEST_F(ConverterLogRouting, PendingTextJoinsTheThreadsNextCall) {
  AVU.av_log(nullptr, AV_LOG_INFO, "abc\ndef");
  EXPECT_EQ(Lines(), (std::vector<Line>{{-1, llInfo, "abc"}}));
  AVU.av_log(nullptr, AV_LOG_INFO, "%s\n", "ghi");
  EXPECT_EQ(Lines(), (std::vector<Line>{{-1, llInfo, "abc"}, {-1, llInfo, "defghi"}}));
}

TEST_F(ConverterLogRouting, ContextPrefixStartsANewLineOnly) {
  ContextObject object{ProbeClass()};
  AVU.av_log(&object, AV_LOG_ERROR, "bad value %d\n", 5);
  AVU.av_log(nullptr, AV_LOG_INFO, "start, ");
  AVU.av_log(&object, AV_LOG_INFO, "end\n");  // continues pending text: no prefix
  ContextObject anonymous{nullptr};           // no class descriptor: no prefix
  AVU.av_log(&anonymous, AV_LOG_INFO, "plain\n");
  const std::vector<Line> got = Lines();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_TRUE(std::regex_match(got[0].text, std::regex(R"(\[probe @ [0-9A-F]{8}\]bad value 5)")))
      << got[0].text;
  EXPECT_EQ(got[0].text, "[probe @ " + HexAddress(&object) + "]bad value 5");
  EXPECT_EQ(got[0].level, llError);
  EXPECT_EQ(got[1].text, "start, end");
  EXPECT_EQ(got[2].text, "plain");
}

TEST_F(ConverterLogRouting, LevelFilterFollowsTheEngineScale) {
  struct Case {
    int engineLevel;  // LibraryLogLevel, as SetVerbose leaves it
    int libraryLevel;
    int expected;  // delivered TLogLevel, or -1 for dropped
  } cases[] = {
      {1, AV_LOG_PANIC, llError},   {1, AV_LOG_ERROR, llError}, {1, AV_LOG_WARNING, llInfo},
      {1, AV_LOG_INFO, llInfo},     {1, AV_LOG_VERBOSE, -1},    {1, AV_LOG_DEBUG, -1},
      {0, AV_LOG_ERROR, llError},   {0, AV_LOG_WARNING, -1},    {-1, AV_LOG_ERROR, -1},
      {2, AV_LOG_VERBOSE, llDebug}, {2, AV_LOG_DEBUG, llDebug}, {2, AV_LOG_TRACE, -1},
      {3, AV_LOG_TRACE, llAll},
  };
  for (const Case& c : cases) {
    lines.clear();
    LibraryLogLevel = c.engineLevel;
    AVU.av_log(nullptr, c.libraryLevel, "line\n");
    if (c.expected < 0) {
      EXPECT_TRUE(Lines().empty()) << c.engineLevel << " " << c.libraryLevel;
    } else {
      EXPECT_EQ(Lines(), (std::vector<Line>{{-1, static_cast<TLogLevel>(c.expected), "line"}}))
          << c.engineLevel << " " << c.libraryLevel;
    }
  }
}

TEST_F(ConverterLogRouting, LinesOfARunFollowTheLevelOfItsEngine) {
  std::mutex codecLock;
  TCustomFFmpegHlpr quiet(codecLock);
  TCustomFFmpegHlpr chatty(codecLock);
  quiet.SetVerbose(0);
  chatty.SetVerbose(2);  // the library now logs what the most verbose task asks for
  EXPECT_EQ(LibraryLogLevel, 2);
  {
    TCurrentRunScope run(&quiet);
    AVU.av_log(nullptr, AV_LOG_INFO, "quiet info\n");
    AVU.av_log(nullptr, AV_LOG_ERROR, "quiet error\n");
  }
  {
    TCurrentRunScope run(&chatty);
    AVU.av_log(nullptr, AV_LOG_DEBUG, "chatty debug\n");
  }
  EXPECT_EQ(Lines(),
            (std::vector<Line>{{-1, llError, "quiet error"}, {-1, llDebug, "chatty debug"}}));
  // Once the verbose engine goes, the library follows the one left.
  {
    std::mutex otherLock;
    TCustomFFmpegHlpr gone(otherLock);
    gone.SetVerbose(3);
    EXPECT_EQ(LibraryLogLevel, 3);
  }
  EXPECT_EQ(LibraryLogLevel, 2);
  EXPECT_EQ(AVU.av_log_get_level(), LibraryLevelFromEngine(2));
}

TEST_F(ConverterLogRouting, LinesThatDoNotFitAreCutNotOverrun) {
  const std::string longText(5000, 'x');
  AVU.av_log(nullptr, AV_LOG_INFO, "%s", longText.c_str());
  AVU.av_log(nullptr, AV_LOG_INFO, "next\n");
  // Pending text near the bound, then more than fits.
  AVU.av_log(nullptr, AV_LOG_INFO, "%s", std::string(2040, 'p').c_str());
  AVU.av_log(nullptr, AV_LOG_INFO, "0123456789\n");
  AVU.av_log(nullptr, AV_LOG_INFO, "after\n");
  const std::vector<Line> got = Lines();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].text, std::string(2047, 'x'));
  EXPECT_EQ(got[1].text, "next");
  EXPECT_EQ(got[2].text, std::string(2040, 'p') + "0123456");
  EXPECT_EQ(got[3].text, "after");
}

TEST_F(ConverterLogRouting, EachThreadKeepsItsOwnPendingText) {
  AVU.av_log(nullptr, AV_LOG_INFO, "main-");
  std::thread([] { AVU.av_log(nullptr, AV_LOG_INFO, "first-"); }).join();
  std::thread([] { AVU.av_log(nullptr, AV_LOG_INFO, "second\n"); }).join();
  AVU.av_log(nullptr, AV_LOG_INFO, "end\n");
  EXPECT_EQ(Lines(), (std::vector<Line>{{-1, llInfo, "second"}, {-1, llInfo, "main-end"}}));
}

TEST_F(ConverterLogRouting, EveryLiveComponentReceivesTheLinesInRegistryOrder) {
  std::vector<std::string> order;
  component.OnLog = [&](int, TLogLevel, const std::string& text) {
    order.push_back("first:" + text);
  };
  {
    TVeltoConverter second;
    second.OnLog = [&](int, TLogLevel, const std::string& text) {
      order.push_back("second:" + text);
      // A handler may log again (the registry lock is re-entered).
      if (text == "one") AVU.av_log(nullptr, AV_LOG_INFO, "nested\n");
    };
    AVU.av_log(nullptr, AV_LOG_INFO, "one\n");
  }
  AVU.av_log(nullptr, AV_LOG_INFO, "two\n");  // the second component has gone
  EXPECT_EQ(order, (std::vector<std::string>{"first:one", "second:one", "first:nested",
                                             "second:nested", "first:two"}));
}

// Lines logged during a task's run belong to that task, whichever thread runs
// it: two workers at once, one worker after another, or the owner's thread for
// every task in turn.
TEST_F(ConverterLogRouting, LinesOfARunReachTheirOwnTaskInEveryMode) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  for (const int concurrency : {2, 1, 0}) {
    SCOPED_TRACE("concurrency " + std::to_string(concurrency));
    TempFolder folder;
    const std::vector<std::string> names = {"alpha", "beta"};
    TVeltoConverter converter;
    converter.SetRunMode(rmInProcess);  // the lines are logged in this process
    ASSERT_TRUE(converter.LoadLibraries("", true));
    converter.SetProgressInterval(100);
    for (const std::string& name : names) {
      MediaFixtures::MakeWav(folder / (name + ".wav"), 44100, 2, 1.5, 440);
      const int index = converter.AddInput(folder / (name + ".wav"));
      ASSERT_GE(index, 0) << converter.LastError();
      TOutputOptions options;
      options.AudioCodec = "libmp3lame";
      ASSERT_TRUE(converter.AddOutput(index, folder / (name + ".mp3"), options));
    }
    std::mutex linesLock;
    std::vector<Line> got;
    converter.OnLog = [&](int index, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> lock(linesLock);
      got.push_back({index, level, text});
    };
    // A library line from inside each task's run, on the thread that runs it.
    converter.OnProgress = [](int index, int, int, int, float, float, int64_t, int) {
      AVU.av_log(nullptr, AV_LOG_INFO, "probe of task %d\n", index);
    };
    converter.OnTerminate = [&](int index, bool) {
      if (index < 0) QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
    };
    converter.Start(concurrency);
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    app.exec();
    converter.DetachEvents();

    std::lock_guard<std::mutex> lock(linesLock);
    for (int task = 0; task < 2; ++task) {
      int probes = 0, naming = 0;
      for (const Line& line : got) {
        if (line.text == "probe of task " + std::to_string(task)) {
          ++probes;
          EXPECT_EQ(line.index, task) << line.text;
        }
        if (line.text.find(folder / names[task]) != std::string::npos) {
          ++naming;
          EXPECT_EQ(line.index, task) << line.text;
        }
      }
      EXPECT_GT(probes, 0) << "task " << task;
      EXPECT_GT(naming, 0) << "task " << task;
    }
  }
}
