// melvaro-convert: converts files to MP3 through the converter component,
// with the main window's settings, from the command line.
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "converter/VeltoConverter.h"
#include "converter/cli/BatchConsole.h"
#include "converter/cli/OutputPlan.h"
#include "engine/PartialOutputs.h"

namespace {

const char* const Usage = "usage: melvaro-convert [-o FOLDER] [-j N] FILE...\n";

const char* const Help =
    "Converts each FILE to MP3 (libmp3lame, 128 kbit/s, 44100 Hz, stereo; video is\n"
    "left out) and writes it to FOLDER/NAME.mp3, where NAME is the file's name\n"
    "without its extension. A \".dat\" file is read as MPEG.\n"
    "\n"
    "  -o, --output FOLDER  where the MP3 files go (created when missing);\n"
    "                       default: the current folder\n"
    "  -j, --jobs N         convert N files at the same time (default 1)\n"
    "  -h, --help           show this text\n"
    "\n"
    "An existing NAME.mp3 is replaced once its new version is complete, except\n"
    "when it is one of the FILEs or the output of an earlier FILE: then the\n"
    "output becomes \"NAME (2).mp3\" (or the next free number) and a note says\n"
    "so. Until a file is complete it is written under a hidden name in FOLDER;\n"
    "a file that fails or is stopped leaves FOLDER as it was. While converting,\n"
    "a terminal shows each running file's percentage. Every file ends with a\n"
    "line saying where it went or why it failed; a file converted from an input\n"
    "that ended early or had damaged parts gets a \"warning:\" line as well.\n"
    "The last line counts them. Exit status: 0 when every file was converted\n"
    "cleanly, 1 when any failed, 2 for a wrong command line, 3 when none failed\n"
    "but some were converted with problems. Ctrl+C stops the running files and\n"
    "starts no more.\n"
    "\n"
    "The FFmpeg libraries are looked for in the folder \"Lib\" beside the\n"
    "program first, then where the system keeps them.\n";

struct CommandLine {
  std::string Folder = ".";
  int Jobs = 1;
  std::vector<std::string> Files;
};

// Returns 0 to go on, else the exit status (after printing what is wrong).
int Parse(int argc, char** argv, CommandLine& line) {
  bool filesOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "melvaro-convert: %s needs %s\n%s", arg.c_str(), what, Usage);
        return nullptr;
      }
      return argv[++i];
    };
    if (filesOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      line.Files.push_back(arg);
    } else if (arg == "--") {
      filesOnly = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(Usage, stdout);
      std::fputs("\n", stdout);
      std::fputs(Help, stdout);
      std::exit(0);
    } else if (arg == "-o" || arg == "--output") {
      const char* folder = value("a folder");
      if (!folder) return 2;
      line.Folder = folder;
    } else if (arg == "-j" || arg == "--jobs") {
      const char* jobs = value("a number");
      if (!jobs) return 2;
      char* end = nullptr;
      const long n = std::strtol(jobs, &end, 10);
      if (*jobs == '\0' || *end != '\0' || n < 1 || n > 64) {
        std::fprintf(stderr, "melvaro-convert: -j wants a number from 1 to 64, not \"%s\"\n", jobs);
        return 2;
      }
      line.Jobs = static_cast<int>(n);
    } else {
      std::fprintf(stderr, "melvaro-convert: unknown option %s\n%s", arg.c_str(), Usage);
      return 2;
    }
  }
  if (line.Files.empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  return 0;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The main window's output settings.
TOutputOptions Mp3Options(const std::string& fileName) {
  TOutputOptions options;
  ResetOutputOptions(options);
  options.FileName = fileName;
  options.FileExt = ".mp3";
  options.DisableVideo = -1;
  options.AudioCodec = "libmp3lame";
  options.AudioChannels = 2;
  options.AudioSampleRate = 44100;
  options.AudioBitrate = 128000;
  return options;
}

// Ctrl+C reaches the event loop through a pipe.
int InterruptPipe[2] = {-1, -1};
void OnInterrupt(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = write(InterruptPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  if (const int status = Parse(argc, argv, line)) return status;
  QCoreApplication app(argc, argv);

  std::error_code error;
  std::filesystem::create_directories(line.Folder, error);
  if (!std::filesystem::is_directory(line.Folder)) {
    std::fprintf(stderr, "melvaro-convert: cannot make the folder %s: %s\n", line.Folder.c_str(),
                 error.message().c_str());
    return 1;
  }

  // What a killed earlier run left half-written goes, even if this run
  // writes nothing.
  RemoveStalePartialFiles(line.Folder);

  BatchConsole console(stdout, stderr, isatty(STDOUT_FILENO));
  const std::vector<PlannedOutput> plan = PlanOutputs(line.Files, line.Folder, ".mp3");
  std::vector<std::string>().swap(line.Files);  // the plan has them; a long list costs
  const std::string libraryFolder = QCoreApplication::applicationDirPath().toStdString() + "/Lib";

  TVeltoConverter converter;
  converter.SetLogLevel(llError);
  std::vector<const PlannedOutput*> entryOfTask;
  std::set<int> setUpFailed;  // tasks without an output: already counted
  std::vector<char> ended;    // per task, written under the component's event lock

  for (const PlannedOutput& entry : plan) {
    if (!entry.Note.empty()) console.Note("note: " + entry.Note);
    if (!converter.LoadLibraries(libraryFolder, true)) {
      std::fprintf(stderr, "melvaro-convert: %s\n", converter.LastError().c_str());
      return 1;
    }
    TInputOptions input;
    input.FileName = entry.Input;
    if (Lower(std::filesystem::path(entry.Input).extension().string()) == ".dat")
      input.ForceFormat = "mpeg";
    const int index = converter.AddInput(entry.Input, input);
    if (index < 0) {
      console.Failed(-1, entry.Input, converter.LastError());
      continue;
    }
    entryOfTask.resize(index + 1);
    entryOfTask[index] = &entry;
    if (!converter.AddOutput(index, entry.Output, Mp3Options(entry.Output))) {
      console.Failed(index, entry.Input, converter.LastError());
      setUpFailed.insert(index);
    }
  }

  const int taskCount = converter.TaskCount();
  ended.assign(taskCount, 0);
  if (taskCount > static_cast<int>(setUpFailed.size())) {
    converter.OnLog = [&](int index, TLogLevel level, const std::string& text) {
      if (index >= 0 && level <= llError && !setUpFailed.count(index)) console.Error(index, text);
    };
    converter.OnProgress = [&](int index, int, int, int durationTime, float, float, int64_t,
                               int totalDuration) {
      const std::string name = std::filesystem::path(entryOfTask[index]->Input).filename().string();
      console.Progress(index, name, durationTime, totalDuration);
    };
    converter.OnTerminate = [&](int index, bool) {
      if (index < 0) {
        QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
      } else if (!setUpFailed.count(index)) {
        ended[index] = 1;
        const PlannedOutput& entry = *entryOfTask[index];
        const TTaskResult result = converter.TaskResult(index);
        if (result.State == TTaskState::tsConverted ||
            result.State == TTaskState::tsConvertedWithProblems)
          console.Converted(index, entry.Input, entry.Output, result.Reason);
        else
          console.Failed(index, entry.Input, result.Reason);
      }
    };

    std::unique_ptr<QSocketNotifier> interrupt;
    if (pipe(InterruptPipe) == 0) {
      interrupt = std::make_unique<QSocketNotifier>(InterruptPipe[0], QSocketNotifier::Read);
      QObject::connect(interrupt.get(), &QSocketNotifier::activated, [&] {
        interrupt->setEnabled(false);
        console.Note("stopping ...");
        // Stopped runs still report their end; files never started stay so.
        converter.Stop();
        converter.ClearTasks();
        app.quit();
      });
      std::signal(SIGINT, OnInterrupt);
      std::signal(SIGTERM, OnInterrupt);
    }

    try {
      converter.Start(line.Jobs);
    } catch (const std::exception&) {
      // The task that could not start has been reported as failed.
    }
    app.exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    converter.DetachEvents();
    converter.ClearTasks();
  }

  for (int index = 0; index < taskCount; ++index)
    if (!ended[index] && !setUpFailed.count(index))
      console.Failed(index, entryOfTask[index]->Input, "stopped before it started");
  console.Summary();
  if (console.FailedCount() > 0) return 1;
  return console.WarnedCount() > 0 ? 3 : 0;
}
