// The worker messages and the component's worker processes: what crosses
// the socket comes back as it was sent, a peer of another version or a
// program that is not there fails the task with a clear reason, and a
// worker runs under its address-space limit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <atomic>
#include <QElapsedTimer>
#include <QThread>
#include <fstream>
#include <string>

#include "converter/FFmpegTask.h"
#include "converter/VeltoConverter.h"
#include "converter/WorkerMessages.h"
#include "converter/WorkerProcess.h"
#include "tests/support/FolderFiles.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

TWorkerTask FullTask() {
  TWorkerTask message;
  message.Settings = {"/opt/lib", false, 3, 250, 3};
  TPlannedTask& task = message.Task;
  task.Description.Path = "/in/Album.flac";
  task.Description.Size = 1234;
  task.Description.DurationMs = 60000;
  task.Description.Tags = {{"artist", "A\tB"}, {"title", std::string("x\0y", 3)}};
  task.Description.AudioCodec = "flac";
  task.Description.AudioBitRate = 900000;
  task.Description.SampleRate = 48000;
  task.Description.Channels = 6;
  task.Description.Chapters = {{{0, 7500, 75}, "One"}, {{7500, -1, 75}, ""}};
  task.Description.ModifiedNs = 1700000000123456789;
  task.Description.Device = 42;
  task.Description.Inode = 4242;
  task.InputOptions = {"caller", "flac", "probesize=5000000\nanalyzeduration=1"};
  task.LibraryRealVideoDecoders = false;
  task.PlanError = "a track without length";
  TOutputOptions options;
  options.OutputFormat = "mp3";
  options.AudioBitrate = 192000;
  options.NormalizeLufs = -16.5f;
  options.Timestamp = 1;
  options.PadColor = 0xFF000005u;
  SetCharArray(options.Title, std::string(512, 't'));  // no terminating zero
  SetCharArray(options.Genre, "Jazz");
  options.VerifyOutput = -1;
  TOutputOptions other = options;
  other.AudioChannels = 1;
  const auto shared = std::make_shared<const TOutputOptions>(options);
  task.Outputs = {{"/out/01.mp3", shared, true, {{0, 7500, 75}, {{"title", "One"}}}},
                  {"/out/02.mp3", shared, true, {{7500, -1, 75}, {}}},
                  {"/out/whole.mp3", std::make_shared<const TOutputOptions>(other), false, {}}};
  return message;
}

}  // namespace

TEST(WorkerMessages, ATaskComesBackAsItWasSent) {
  const TWorkerTask sent = FullTask();
  TWorkerTask got;
  ASSERT_TRUE(DecodeTask(EncodeTask(sent), got));
  EXPECT_EQ(got.Settings.LibraryFolder, "/opt/lib");
  EXPECT_FALSE(got.Settings.VersionedLibraries);
  EXPECT_EQ(got.Settings.LogLevel, 3);
  EXPECT_EQ(got.Settings.ProgressIntervalMs, 250);
  EXPECT_EQ(got.Settings.EncoderBudget, 3);
  const TInputDescription& d = got.Task.Description;
  EXPECT_EQ(d.Path, sent.Task.Description.Path);
  EXPECT_EQ(d.Tags, sent.Task.Description.Tags);
  EXPECT_EQ(d.Size, 1234);
  EXPECT_EQ(d.DurationMs, 60000);
  EXPECT_EQ(d.AudioCodec, "flac");
  EXPECT_EQ(d.AudioBitRate, 900000);
  EXPECT_EQ(d.SampleRate, 48000);
  EXPECT_EQ(d.Channels, 6);
  ASSERT_EQ(d.Chapters.size(), 2u);
  EXPECT_EQ(d.Chapters[0].Title, "One");
  EXPECT_EQ(d.Chapters[1].Cut.End, -1);
  EXPECT_EQ(d.ModifiedNs, 1700000000123456789);
  EXPECT_EQ(d.Device, 42u);
  EXPECT_EQ(d.Inode, 4242u);
  EXPECT_EQ(got.Task.InputOptions.ForceFormat, "flac");
  EXPECT_EQ(got.Task.InputOptions.ExtraOptions, sent.Task.InputOptions.ExtraOptions);
  EXPECT_FALSE(got.Task.LibraryRealVideoDecoders);
  EXPECT_EQ(got.Task.PlanError, sent.Task.PlanError);
  ASSERT_EQ(got.Task.Outputs.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const TPlannedOutput &a = sent.Task.Outputs[i], &b = got.Task.Outputs[i];
    EXPECT_EQ(b.Path, a.Path);
    EXPECT_TRUE(*b.Options == *a.Options) << i;
    EXPECT_EQ(b.IsTrack, a.IsTrack);
    EXPECT_EQ(b.Track.Cut.Start, a.Track.Cut.Start);
    EXPECT_EQ(b.Track.Cut.End, a.Track.Cut.End);
    EXPECT_EQ(b.Track.Tags, a.Track.Tags);
  }
  // Equal records are shared again, as the component shares them.
  EXPECT_EQ(got.Task.Outputs[0].Options, got.Task.Outputs[1].Options);

  TWorkerDone done{{TTaskState::tsConvertedWithProblems, "3 invalid samples replaced"}, true};
  TWorkerDone doneBack;
  ASSERT_TRUE(DecodeDone(EncodeDone(done), doneBack));
  EXPECT_EQ(doneBack.Result.State, TTaskState::tsConvertedWithProblems);
  EXPECT_EQ(doneBack.Result.Reason, done.Result.Reason);
  EXPECT_TRUE(doneBack.Finished);
}

TEST(WorkerMessages, CutOrForeignFramesAreRefused) {
  const std::string payload = EncodeTask(FullTask());
  TWorkerTask got;
  EXPECT_FALSE(DecodeTask(payload.substr(0, payload.size() - 1), got));
  EXPECT_FALSE(DecodeTask(payload + "x", got));
  EXPECT_FALSE(DecodeTask(payload.substr(0, 40), got));

  std::string frame = EncodeFrame(TWorkerMessageType::Hello, EncodeHello(7));
  char header[WorkerFrameHeaderSize];
  TWorkerMessageType type;
  uint32_t length = 0;
  std::string error;
  std::copy_n(frame.data(), sizeof header, header);
  ASSERT_TRUE(DecodeFrameHeader(header, type, length, error)) << error;
  EXPECT_EQ(type, TWorkerMessageType::Hello);
  EXPECT_EQ(length, frame.size() - sizeof header);
  header[4] = 2;  // version 2
  EXPECT_FALSE(DecodeFrameHeader(header, type, length, error));
  EXPECT_EQ(error,
            "the worker program speaks version 2 of the worker messages; this program speaks "
            "version 1");
  header[0] = 'X';
  EXPECT_FALSE(DecodeFrameHeader(header, type, length, error));
  EXPECT_EQ(error, "the worker program is not a Melvaro worker");
}

// Stand-in worker programs (shell scripts) fail a task with a clear reason,
// and the other tasks of the batch still end.
TEST(WorkerProcesses, AWorkerThatCannotServeFailsItsTaskWithTheReason) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  TempFolder folder;
  const std::string script = folder / "worker.sh";
  const std::string limitFile = folder / "limit.txt";
  const struct {
    const char* what;
    std::string body;  // empty: no program at all
    std::string reason;
  } cases[] = {
      {"another version",
       "printf 'MLVW\\002\\000\\001\\000\\004\\000\\000\\000\\000\\000\\000\\000' >&3\nsleep 5\n",
       "did not start: the worker program speaks version 2 of the worker messages; this "
       "program speaks version 1"},
      {"no program", "", "the worker program " + script + " cannot be run: No such file"},
      // Reports its limit and ends before its Hello.
      {"ends at once", "ulimit -v > '" + limitFile + "'\nexit 3\n", "(exit status 3)"},
  };
  MediaFixtures::MakeWav(folder / "in.wav", 44100, 2, 0.2, 440);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(script.c_str());
    if (!c.body.empty()) {
      std::ofstream(script) << "#!/bin/sh\n" << c.body;
      chmod(script.c_str(), 0755);
    }
    TVeltoConverter converter;
    ASSERT_TRUE(converter.LoadLibraries("", true));
    converter.SetWorkerProgram(script);
    converter.SetWorkerMemoryLimit(uint64_t{512} << 20);
    for (int i = 0; i < 2; ++i) {
      const int index = converter.AddInput(folder / "in.wav");
      ASSERT_GE(index, 0) << converter.LastError();
      ASSERT_TRUE(converter.AddOutput(index, folder / ("out" + std::to_string(i) + ".mp3")));
    }
    std::atomic<bool> batchEnded{false};
    converter.OnTerminate = [&](int index, bool) { if (index < 0) batchEnded = true; };
    try {
      converter.Start(1);
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
    QElapsedTimer clock;
    clock.start();
    while (!batchEnded && clock.elapsed() < 60000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QThread::msleep(5);
    }
    ASSERT_TRUE(batchEnded);
    for (int i = 0; i < 2; ++i) {
      const TTaskResult result = converter.TaskResult(i);
      EXPECT_EQ(result.State, TTaskState::tsFailed);
      EXPECT_NE(result.Reason.find(c.reason), std::string::npos) << result.Reason;
    }
  }
  // The limit, in KiB, where the build can set one.
  std::ifstream limit(limitFile);
  std::string kib;
  std::getline(limit, kib);
  EXPECT_EQ(kib, AddressSpaceLimitApplies() ? "524288" : "unlimited");
}
