// melvaro-convert: converts files through the converter component from the
// command line, with the formats and qualities the main window offers.
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "converter/OutputPresets.h"
#include "converter/VeltoConverter.h"
#include "converter/cli/BatchConsole.h"
#include "converter/cli/OutputPlan.h"
#include "engine/PartialOutputs.h"

namespace {

const char* const Usage =
    "usage: melvaro-convert [-o FOLDER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITY]\n"
    "                       [--rate HZ|keep] [--channels 1|2|keep] [--no-verify]\n"
    "                       [--replaygain track] [--normalize LUFS] FILE...\n"
    "       melvaro-convert [-o FOLDER] [-j N] --target TARGET FILE...\n";

const char* const Help =
    "Converts each FILE and writes it to FOLDER/NAME.EXT, where NAME is the file's\n"
    "name without its extension and EXT the format's. Video is left out of audio\n"
    "formats. A \".dat\" file is read as MPEG. Tags (title, artist, album, ...) and\n"
    "cover art are carried over where the format can hold them.\n"
    "\n"
    "  -o, --output FOLDER  where the files go (created when missing);\n"
    "                       default: the current folder\n"
    "  -j, --jobs N         convert N files at the same time (default 1)\n"
    "  -f, --format FORMAT  mp3 (default), ogg, opus, m4a, flac or wav\n"
    "  -b, --bitrate KBITS  mp3: CBR 64, 80, 96, 112, 128 (default), 160, 192, 224,\n"
    "                       256 or 320; opus: 6 to 510 (default 128);\n"
    "                       m4a (AAC): 32 to 320 (default 192)\n"
    "  -q, --quality Q      mp3: VBR level 0 (best) to 9; ogg: Vorbis quality 0 to\n"
    "                       10 (default 5); flac: compression level 0 to 12\n"
    "                       (default 5); wav: 16 (default) or 24 bits per sample\n"
    "      --rate HZ|keep   sample rate; default: mp3 44100, opus always 48000,\n"
    "                       the others keep the source's\n"
    "      --channels 1|2|keep  default: mp3 2, the others keep the source's\n"
    "      --target TARGET  convert video for a disc or tape: vcd, svcd, dvd\n"
    "                       (written as .mpg) or dv (.dv), each also with a\n"
    "                       \"pal-\", \"ntsc-\" or \"film-\" prefix\n"
    "      --no-verify      put each file in place without decoding it first;\n"
    "                       by default (--verify) every output is decoded\n"
    "                       completely, and one that does not decode to the\n"
    "                       length it was given (or, for FLAC and WAV, to\n"
    "                       exactly its samples) fails and replaces nothing\n"
    "      --replaygain track  measure each file first (a decode-only pass) and\n"
    "                       write ReplayGain 2.0 tags, relative to -18 LUFS with\n"
    "                       the true peak (FLAC, Ogg, MP3); Opus gets\n"
    "                       R128_TRACK_GAIN (relative to -23 LUFS) instead\n"
    "      --normalize LUFS bring each file to LUFS (e.g. -16) in the same\n"
    "                       conversion, with less gain where the true peak would\n"
    "                       pass -1 dBTP (no limiter); the log says which\n"
    "  -h, --help           show this text\n"
    "\n"
    "FLAC keeps the source's bit depth up to 24 bits. A choice the format cannot\n"
    "make (Opus at 44100 Hz, FLAC with a bit rate, ...) is refused before any file\n"
    "is written.\n"
    "\n"
    "An existing NAME.EXT is replaced once its new version is complete, except\n"
    "when it is one of the FILEs or the output of an earlier FILE: then the\n"
    "output becomes \"NAME (2).EXT\" (or the next free number) and a note says\n"
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
  OutputChoice Choice;  // what -f, -b, -q, --rate and --channels chose
  std::string Target;   // a video target; empty for audio
  bool Verify = true;   // --verify / --no-verify
  bool ReplayGain = false;     // --replaygain track
  float NormalizeLufs = 0;     // --normalize LUFS; 0 = off
};

// A whole decimal number, or false.
bool WholeNumber(const char* text, long& number) {
  char* end = nullptr;
  errno = 0;
  number = std::strtol(text, &end, 10);
  return *text != '\0' && *end == '\0' && errno == 0;
}

// Turns the format options into a choice; 0, or 2 after saying what is wrong.
int ChooseFormat(const std::string& format, const char* bitrate, const char* quality,
                 const char* rate, const char* channels, CommandLine& line) {
  OutputFormat chosen = OutputFormat::Mp3;
  if (!format.empty() && !FormatByName(format, chosen)) {
    std::fprintf(stderr, "melvaro-convert: -f wants mp3, ogg, opus, m4a, flac or wav, not \"%s\"\n",
                 format.c_str());
    return 2;
  }
  OutputChoice choice = DefaultChoice(chosen);
  // A number of the option's; "keep" gives KeepSource where allowed. Only
  // a quality level may be 0 (MP3's V0, FLAC's fastest level).
  const auto number = [](const char* option, const char* text, bool keep, int& target) {
    long value = 0;
    if (keep && std::string(text) == "keep") {
      target = KeepSource;
      return true;
    }
    const bool zeroAllowed = std::string(option) == "-q";
    if (!WholeNumber(text, value) || value < (zeroAllowed ? 0 : 1)) {
      std::fprintf(stderr, "melvaro-convert: %s wants a %snumber%s, not \"%s\"\n", option,
                   zeroAllowed ? "" : "positive ", keep ? " or \"keep\"" : "", text);
      return false;
    }
    target = static_cast<int>(std::min(value, 100000000L));
    return true;
  };
  if (bitrate && !number("-b", bitrate, false, choice.Bitrate)) return 2;
  if (quality && !number("-q", quality, false, choice.Level)) return 2;
  if (bitrate && !quality) choice.Level = -1;
  if (quality && !bitrate) choice.Bitrate = 0;
  if (rate && !number("--rate", rate, true, choice.SampleRate)) return 2;
  if (channels && !number("--channels", channels, true, choice.Channels)) return 2;
  if (const std::string problem = CheckChoice(choice); !problem.empty()) {
    std::fprintf(stderr, "melvaro-convert: %s\n", problem.c_str());
    return 2;
  }
  line.Choice = choice;
  return 0;
}

// Returns 0 to go on, else the exit status (after printing what is wrong).
int Parse(int argc, char** argv, CommandLine& line) {
  bool filesOnly = false;
  std::string format;
  const char *bitrate = nullptr, *quality = nullptr, *rate = nullptr, *channels = nullptr;
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
    } else if (arg == "-f" || arg == "--format") {
      const char* name = value("a format");
      if (!name) return 2;
      format = name;
    } else if (arg == "-b" || arg == "--bitrate") {
      if (!(bitrate = value("a bit rate in kbit/s"))) return 2;
    } else if (arg == "-q" || arg == "--quality") {
      if (!(quality = value("a quality"))) return 2;
    } else if (arg == "--rate") {
      if (!(rate = value("a sample rate or \"keep\""))) return 2;
    } else if (arg == "--channels") {
      if (!(channels = value("1, 2 or \"keep\""))) return 2;
    } else if (arg == "--verify" || arg == "--no-verify") {
      line.Verify = arg == "--verify";
    } else if (arg == "--replaygain") {
      const char* mode = value("\"track\"");
      if (!mode) return 2;
      if (std::string(mode) != "track") {
        std::fprintf(stderr,
                     "melvaro-convert: --replaygain wants \"track\" (album gain is not "
                     "available yet), not \"%s\"\n",
                     mode);
        return 2;
      }
      line.ReplayGain = true;
    } else if (arg == "--normalize") {
      const char* target = value("a loudness in LUFS");
      if (!target) return 2;
      char* end = nullptr;
      const double lufs = std::strtod(target, &end);
      if (*target == '\0' || *end != '\0' || !(lufs >= -70 && lufs <= -1)) {
        std::fprintf(stderr, "melvaro-convert: --normalize wants a loudness from -70 to -1 LUFS, "
                     "not \"%s\"\n", target);
        return 2;
      }
      line.NormalizeLufs = static_cast<float>(lufs);
    } else if (arg == "--target") {
      const char* target = value("a target");
      if (!target) return 2;
      TOutputOptions probe;
      if (!FillVideoTarget(target, probe)) {
        std::fprintf(stderr,
                     "melvaro-convert: --target wants vcd, svcd, dvd or dv, optionally with a "
                     "\"pal-\", \"ntsc-\" or \"film-\" prefix, not \"%s\"\n",
                     target);
        return 2;
      }
      line.Target = target;
    } else {
      std::fprintf(stderr, "melvaro-convert: unknown option %s\n%s", arg.c_str(), Usage);
      return 2;
    }
  }
  if (line.Files.empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  if (!line.Target.empty()) {
    if (!format.empty() || bitrate || quality || rate || channels) {
      std::fprintf(stderr,
                   "melvaro-convert: --target sets the whole format; -f, -b, -q, --rate and "
                   "--channels cannot go with it\n");
      return 2;
    }
    return 0;
  }
  return ChooseFormat(format, bitrate, quality, rate, channels, line);
}

// The output record of one file: the chosen format or video target.
TOutputOptions OutputOptionsFor(const CommandLine& line, const std::string& fileName) {
  TOutputOptions options;
  ResetOutputOptions(options);
  options.FileName = fileName;
  if (line.Target.empty())
    FillOutputOptions(line.Choice, options);
  else
    FillVideoTarget(line.Target, options);
  options.VerifyOutput = line.Verify ? -1 : 0;
  options.ReplayGain = line.ReplayGain ? 1 : 0;
  options.NormalizeLufs = line.NormalizeLufs;
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
  const std::vector<PlannedOutput> plan =
      PlanOutputs(line.Files, line.Folder, OutputOptionsFor(line, {}).FileExt);
  std::vector<std::string>().swap(line.Files);  // the plan has them; a long list costs
  const std::string libraryFolder =
      LibraryFolderOf(QCoreApplication::applicationDirPath().toStdString());

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
    const TInputOptions input = InputOptionsFor(entry.Input);
    const int index = converter.AddInput(entry.Input, input);
    if (index < 0) {
      console.Failed(-1, entry.Input, converter.LastError());
      continue;
    }
    entryOfTask.resize(index + 1);
    entryOfTask[index] = &entry;
    if (!converter.AddOutput(index, entry.Output, OutputOptionsFor(line, entry.Output))) {
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
