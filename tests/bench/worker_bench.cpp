// The component converting a folder of files to MP3 (128 kbit/s) with tasks
// in worker processes or in this process, N at once; prints the wall time.
//
//   worker_bench workers|in-process N OUT_FOLDER FILE...
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "converter/OutputPresets.h"
#include "converter/VeltoConverter.h"
#include "converter/WorkerProcess.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: worker_bench workers|in-process N OUT_FOLDER FILE...\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  const bool workers = std::strcmp(argv[1], "workers") == 0;
  const int jobs = std::atoi(argv[2]);
  const std::string out = argv[3];
  std::filesystem::create_directories(out);
  TVeltoConverter converter;
  converter.SetRunMode(workers ? rmWorkers : rmInProcess);
  // The worker of the build this program belongs to.
  converter.SetWorkerProgram(
      WorkerProgramIn(QCoreApplication::applicationDirPath().toStdString() + "/../../converter"));
  converter.SetLogLevel(llError);
  if (!converter.LoadLibraries("", true)) return 1;
  TOutputOptions options;
  FillOutputOptions(DefaultChoice(OutputFormat::Mp3), options);
  QElapsedTimer clock;
  clock.start();
  for (int i = 4; i < argc; ++i) {
    const int index = converter.AddInput(TVeltoConverter::DescribeWithoutOpening(argv[i]));
    const std::string name = std::filesystem::path(argv[i]).stem().string() + ".mp3";
    if (index < 0 || !converter.AddOutput(index, out + "/" + name, options)) return 1;
  }
  int failed = 0;
  converter.OnTerminate = [&](int index, bool finished) {
    if (index < 0)
      QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
    else if (!finished)
      ++failed;
  };
  converter.Start(jobs);
  app.exec();
  std::printf("%.3f %d\n", clock.nsecsElapsed() / 1e9, failed);
  return failed == 0 ? 0 : 1;
}
