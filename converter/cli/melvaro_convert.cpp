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

#include "converter/AlbumTracks.h"
#include "converter/CueSheet.h"
#include "converter/ExistingOutputs.h"
#include "converter/FolderWalker.h"
#include "converter/OutputNaming.h"
#include "converter/OutputPresets.h"
#include "converter/OutputSync.h"
#include "converter/UserLanguage.h"
#include "converter/VeltoConverter.h"
#include "converter/cli/BatchConsole.h"
#include "converter/cli/BatchSync.h"
#include "converter/cli/CliText.h"
#include "engine/PartialOutputs.h"

namespace {

// Both texts are translated where they are printed.
const char* const Usage = QT_TRANSLATE_NOOP(
    "MelvaroConvert",
    "usage: melvaro-convert [-o FOLDER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITY]\n"
    "                       [--rate HZ|keep] [--channels 1|2|keep]\n"
    "                       [--layout flat|tree|beside] [--name PATTERN] FILE_OR_FOLDER...\n"
    "       melvaro-convert [-o FOLDER] [-j N] --target TARGET FILE_OR_FOLDER...\n"
    "       melvaro-convert --mirror [--prune] [--copy-same-format] -o FOLDER SOURCE...\n"
    "  also: [--existing replace|skip|update] [-n|--dry-run] [--no-split | --chapters]\n"
    "        [--verify | --no-verify] [--replaygain track] [--normalize LUFS]\n"
    "        [--threads-per-file N] [--retry-failed] [--memory-limit MIB]\n");

const char* const Help = QT_TRANSLATE_NOOP(
    "MelvaroConvert",
    "Converts each FILE and writes it to FOLDER/NAME.EXT, where NAME is the file's\n"
    "name without its extension and EXT the format's. A folder stands for the\n"
    "audio files beneath it (sub-folders included, hidden ones left out); their\n"
    "folders below it are kept under FOLDER. Video is left out of audio\n"
    "formats. A \".dat\" file is read as MPEG. Tags (title, artist, album, ...) and\n"
    "cover art are carried over where the format can hold them.\n"
    "\n"
    "  -o, --output FOLDER  where the files go (created when missing);\n"
    "                       default: the current folder\n"
    "  -j, --jobs N         convert N files at the same time (default 1)\n"
    "      --threads-per-file N  encode one long MP3 file on N encoders at once;\n"
    "                       default: a file alone (or the last of the batch)\n"
    "                       gets the -j slots no other file takes; 1: never\n"
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
    "      --layout LAYOUT  flat: every output in FOLDER; tree: a file found in a\n"
    "                       given folder keeps its folders below it under FOLDER;\n"
    "                       beside: next to its source. Default: tree for files\n"
    "                       found in a folder, flat for files named one by one\n"
    "                       and for a --name that makes folders\n"
    "      --name PATTERN   the output's name (without extension) from fields:\n"
    "                       {artist} {albumartist} {album} {title} {track}\n"
    "                       {disc} {year} {genre} {name} {folder}; a number\n"
    "                       takes a width, {track:02}; \"/\" makes folders\n"
    "      --existing RULE  what to do when an output exists: replace it (the\n"
    "                       default), skip the file, or update: convert only\n"
    "                       when the output is missing, its source has changed\n"
    "                       (size, time) or the settings have, as the record\n"
    "                       Melvaro keeps in FOLDER says\n"
    "      --mirror         keep FOLDER in step with the SOURCE folders: the\n"
    "                       tree layout, --existing update, and the companion\n"
    "                       pictures (cover.jpg, folder.jpg, front.png, ...)\n"
    "                       when newer\n"
    "      --prune          with update: also remove the outputs whose source is\n"
    "                       gone (only files Melvaro made there, unchanged since,\n"
    "                       and the folders this leaves empty)\n"
    "      --copy-same-format  copy a source already in the output format (and\n"
    "                       not above the chosen bit rate) instead of converting\n"
    "  -n, --dry-run        print what would be done to each file (convert,\n"
    "                       copy, up to date, prune) and write nothing\n"
    "      --no-split       convert a file with a cue sheet whole\n"
    "      --chapters       split a file with chapters (M4B, M4A, MKA, Ogg) into\n"
    "                       one output per chapter\n"
    "      --verify         decode every output completely before it is put in\n"
    "                       place (the default): one that does not decode to the\n"
    "                       length it was given (or, for FLAC and WAV, to\n"
    "                       exactly its samples) fails and replaces nothing\n"
    "      --no-verify      put each output in place without decoding it first\n"
    "      --replaygain track  measure each file first (a decode-only pass) and\n"
    "                       write ReplayGain 2.0 tags, relative to -18 LUFS with\n"
    "                       the true peak (FLAC, Ogg, MP3); Opus gets\n"
    "                       R128_TRACK_GAIN (relative to -23 LUFS) instead\n"
    "      --normalize LUFS bring each file to LUFS (e.g. -16) in the same\n"
    "                       conversion, with less gain where the true peak would\n"
    "                       pass -1 dBTP (no limiter); the log says which\n"
    "      --retry-failed   with update: convert again the files whose\n"
    "                       conversion crashed on an earlier run (the record\n"
    "                       keeps them; otherwise they are reported, not run)\n"
    "      --memory-limit MIB  the memory (address space) each file's conversion\n"
    "                       may take, in MiB (default 1024; 0: no limit)\n"
    "  -h, --help           show this text\n"
    "      --version        show the program's version\n"
    "\n"
    "Names from tags: {albumartist} is the artist when missing, {title} the\n"
    "file's name, {name} is the file's name without extension and {folder} its\n"
    "folder below the folder given. A missing field is \"Unknown Artist\",\n"
    "\"Unknown Album\", \"Unknown Genre\" or \"Unknown Year\", a missing {track}\n"
    "or {disc} is 0. Names are made safe for FAT and exFAT: / \\ : * ? \" < > |\n"
    "and control characters become \"_\", trailing dots and spaces go, and each\n"
    "name is cut to 255 bytes; no tag can place a file outside FOLDER.\n"
    "\n"
    "A file with a cue sheet (NAME.cue beside it, the one .cue of its folder\n"
    "that names it, or one embedded in it) becomes one output per track, named\n"
    "\"{track:02} {title}\" unless --name says otherwise, and tagged with the\n"
    "track's title, performer and number and the album's title, performer,\n"
    "date and genre. A sheet that cannot be used fails the file, naming the\n"
    "sheet and the line; --no-split converts it whole.\n"
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
    "program first, then where the system keeps them.\n");

struct CommandLine {
  std::string Folder = ".";
  int Jobs = 1;
  std::vector<std::string> Files;
  TNamingRules Naming;  // --layout and --name; the extension comes with the format
  OutputChoice Choice;  // what -f, -b, -q, --rate and --channels chose
  std::string Target;   // a video target; empty for audio
  TExistingRule Existing = TExistingRule::Replace;
  bool ExistingGiven = false;
  bool Mirror = false;
  bool Prune = false;
  bool CopySameFormat = false;
  bool DryRun = false;
  TSplitMode Split = TSplitMode::Sheet;
  bool Verify = true;        // --verify / --no-verify
  bool RetryFailed = false;  // --retry-failed
  long MemoryLimitMiB = 1024;  // --memory-limit; 0 = none
  bool ReplayGain = false;   // --replaygain track
  float NormalizeLufs = 0;   // --normalize LUFS; 0 = off
  int ThreadsPerFile = 0;    // --threads-per-file N; 0 = the scheduler's choice
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
    Print(stderr, Cli::tr("melvaro-convert: -f wants mp3, ogg, opus, m4a, flac or wav, not \"%1\"\n"),
          {format});
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
      const QString wants =
          zeroAllowed ? keep ? Cli::tr("melvaro-convert: %1 wants a number or \"keep\", not \"%2\"\n")
                             : Cli::tr("melvaro-convert: %1 wants a number, not \"%2\"\n")
          : keep ? Cli::tr("melvaro-convert: %1 wants a positive number or \"keep\", not \"%2\"\n")
                 : Cli::tr("melvaro-convert: %1 wants a positive number, not \"%2\"\n");
      Print(stderr, wants, {option, text});
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
    Print(stderr, QStringLiteral("melvaro-convert: %1\n"), {problem});
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
    auto value = [&](const QString& what) -> const char* {
      if (i + 1 >= argc) {
        Print(stderr, Cli::tr("melvaro-convert: %1 needs %2\n"), {arg, what.toStdString()});
        Print(stderr, Cli::tr(Usage));
        return nullptr;
      }
      return argv[++i];
    };
    if (filesOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      line.Files.push_back(arg);
    } else if (arg == "--") {
      filesOnly = true;
    } else if (arg == "-h" || arg == "--help") {
      Print(stdout, Cli::tr(Usage));
      std::fputs("\n", stdout);
      Print(stdout, Cli::tr(Help));
      std::exit(0);
    } else if (arg == "--version") {
      std::printf("melvaro-convert %s\n", MELVARO_VERSION);
      std::exit(0);
    } else if (arg == "-o" || arg == "--output") {
      const char* folder = value(Cli::tr("a folder"));
      if (!folder) return 2;
      line.Folder = folder;
    } else if (arg == "-j" || arg == "--jobs") {
      const char* jobs = value(Cli::tr("a number"));
      if (!jobs) return 2;
      char* end = nullptr;
      const long n = std::strtol(jobs, &end, 10);
      if (*jobs == '\0' || *end != '\0' || n < 1 || n > 64) {
        Print(stderr, Cli::tr("melvaro-convert: -j wants a number from 1 to 64, not \"%1\"\n"), {jobs});
        return 2;
      }
      line.Jobs = static_cast<int>(n);
    } else if (arg == "--threads-per-file") {
      const char* count = value(Cli::tr("a number"));
      if (!count) return 2;
      long n = 0;
      if (!WholeNumber(count, n) || n < 1 || n > 64) {
        Print(stderr,
              Cli::tr("melvaro-convert: --threads-per-file wants a number from 1 to 64, not "
                      "\"%1\"\n"),
              {count});
        return 2;
      }
      line.ThreadsPerFile = static_cast<int>(n);
    } else if (arg == "-f" || arg == "--format") {
      const char* name = value(Cli::tr("a format"));
      if (!name) return 2;
      format = name;
    } else if (arg == "-b" || arg == "--bitrate") {
      if (!(bitrate = value(Cli::tr("a bit rate in kbit/s")))) return 2;
    } else if (arg == "-q" || arg == "--quality") {
      if (!(quality = value(Cli::tr("a quality")))) return 2;
    } else if (arg == "--rate") {
      if (!(rate = value(Cli::tr("a sample rate or \"keep\"")))) return 2;
    } else if (arg == "--channels") {
      if (!(channels = value(Cli::tr("1, 2 or \"keep\"")))) return 2;
    } else if (arg == "--existing") {
      const char* rule = value(Cli::tr("replace, skip or update"));
      if (!rule) return 2;
      if (!ExistingRuleByName(rule, line.Existing)) {
        Print(stderr,
              Cli::tr("melvaro-convert: --existing wants replace, skip or update, not \"%1\"\n"),
              {rule});
        return 2;
      }
      line.ExistingGiven = true;
    } else if (arg == "--mirror") {
      line.Mirror = true;
    } else if (arg == "--prune") {
      line.Prune = true;
    } else if (arg == "--copy-same-format") {
      line.CopySameFormat = true;
    } else if (arg == "-n" || arg == "--dry-run") {
      line.DryRun = true;
    } else if (arg == "--no-split") {
      line.Split = TSplitMode::Whole;
    } else if (arg == "--chapters") {
      line.Split = TSplitMode::Chapters;
    } else if (arg == "--layout") {
      const char* layout = value(Cli::tr("flat, tree or beside"));
      if (!layout) return 2;
      if (std::string(layout) == "auto" || !LayoutByName(layout, line.Naming.Layout)) {
        Print(stderr,
              Cli::tr("melvaro-convert: --layout wants flat, tree or beside, not \"%1\"\n"),
              {layout});
        return 2;
      }
    } else if (arg == "--name") {
      const char* pattern = value(Cli::tr("a pattern"));
      if (!pattern) return 2;
      if (!*pattern) {
        Print(stderr, Cli::tr("melvaro-convert: --name wants a pattern such as "
                              "\"{artist}/{album}/{track:02} {title}\"\n"));
        return 2;
      }
      line.Naming.Pattern = pattern;
    } else if (arg == "--retry-failed") {
      line.RetryFailed = true;
    } else if (arg == "--memory-limit") {
      const char* limit = value(Cli::tr("a size in MiB"));
      if (!limit) return 2;
      long mib = 0;
      if (!WholeNumber(limit, mib) || mib < 0 || mib > (1L << 30)) {
        Print(stderr, Cli::tr("melvaro-convert: --memory-limit wants a number of MiB (0: no "
                              "limit), not \"%1\"\n"),
              {limit});
        return 2;
      }
      line.MemoryLimitMiB = mib;
    } else if (arg == "--verify" || arg == "--no-verify") {
      line.Verify = arg == "--verify";
    } else if (arg == "--replaygain") {
      const char* mode = value(Cli::tr("\"track\""));
      if (!mode) return 2;
      if (std::string(mode) != "track") {
        Print(stderr,
              Cli::tr("melvaro-convert: --replaygain wants \"track\" (album gain is not "
                      "available yet), not \"%1\"\n"),
              {mode});
        return 2;
      }
      line.ReplayGain = true;
    } else if (arg == "--normalize") {
      const char* target = value(Cli::tr("a loudness in LUFS"));
      if (!target) return 2;
      char* end = nullptr;
      const double lufs = std::strtod(target, &end);
      if (*target == '\0' || *end != '\0' || !(lufs >= -70 && lufs <= -1)) {
        Print(stderr,
              Cli::tr("melvaro-convert: --normalize wants a loudness from -70 to -1 LUFS, "
                      "not \"%1\"\n"),
              {target});
        return 2;
      }
      line.NormalizeLufs = static_cast<float>(lufs);
    } else if (arg == "--target") {
      const char* target = value(Cli::tr("a target"));
      if (!target) return 2;
      TOutputOptions probe;
      if (!FillVideoTarget(target, probe)) {
        Print(stderr,
              Cli::tr("melvaro-convert: --target wants vcd, svcd, dvd or dv, optionally with a "
                      "\"pal-\", \"ntsc-\" or \"film-\" prefix, not \"%1\"\n"),
              {target});
        return 2;
      }
      line.Target = target;
    } else {
      Print(stderr, Cli::tr("melvaro-convert: unknown option %1\n"), {arg});
      Print(stderr, Cli::tr(Usage));
      return 2;
    }
  }
  if (line.Files.empty()) {
    Print(stderr, Cli::tr(Usage));
    return 2;
  }
  if (line.Mirror && !line.ExistingGiven) line.Existing = TExistingRule::Update;
  if (line.Mirror && line.Naming.Layout == TOutputLayout::Auto)
    line.Naming.Layout = TOutputLayout::Tree;
  if (line.Prune && line.Existing != TExistingRule::Update) {
    Print(stderr, Cli::tr("melvaro-convert: --prune needs --mirror or --existing update\n"));
    return 2;
  }
  if (line.CopySameFormat && !line.Target.empty()) {
    Print(stderr, Cli::tr("melvaro-convert: --copy-same-format cannot go with --target\n"));
    return 2;
  }
  if (!line.Target.empty()) {
    if (!format.empty() || bitrate || quality || rate || channels) {
      Print(stderr, Cli::tr("melvaro-convert: --target sets the whole format; -f, -b, -q, --rate "
                            "and --channels cannot go with it\n"));
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
  PreferUtf8WithoutLocale();
  QCoreApplication app(argc, argv);
  InstallUserLanguage(app);
  CommandLine line;
  if (const int status = Parse(argc, argv, line)) return status;

  // A dry run writes nothing at all, not even the output folder.
  if (!line.DryRun) {
    std::error_code error;
    std::filesystem::create_directories(line.Folder, error);
    if (!std::filesystem::is_directory(line.Folder)) {
      Print(stderr, Cli::tr("melvaro-convert: cannot make the folder %1: %2\n"),
            {line.Folder, error.message()});
      return 1;
    }
    // What a killed earlier run left half-written goes, even if this run
    // writes nothing.
    RemoveStalePartialFiles(line.Folder);
  }

  BatchConsole console(stdout, stderr, isatty(STDOUT_FILENO));
  const TFoundInputs found = FindInputs(line.Files);
  std::vector<std::string> givenFolders;  // a prune reads their records even when they are empty
  for (const std::string& path : line.Files)
    if (std::error_code ignored; std::filesystem::is_directory(path, ignored))
      givenFolders.push_back(path);
  std::vector<std::string>().swap(line.Files);  // found has them; a long list costs
  for (const TInputProblem& problem : found.Problems)
    console.Failed(-1, problem.Path, problem.Reason);
  for (const std::string& path : found.Repeated)
    console.Note(Filled(Cli::tr("note: %1 is already an input; it is converted once"), {path}));
  line.Naming.Extension = OutputOptionsFor(line, {}).FileExt;
  TOutputClaims claims;
  for (const TFoundInput& file : found.Files) claims.AddInput(file.Path);
  const std::string libraryFolder =
      LibraryFolderOf(QCoreApplication::applicationDirPath().toStdString());

  TVeltoConverter converter;
  converter.SetLogLevel(llError);
  converter.SetThreadsPerFile(line.ThreadsPerFile);
  converter.SetWorkerMemoryLimit(static_cast<uint64_t>(line.MemoryLimitMiB) << 20);
  // Only a name from tags, a possible copy or a possible album needs a file
  // opened before its turn; otherwise each task reads its input on its
  // worker, so the first file starts at once however long the list is.
  const bool describeFirst = PatternNeedsTags(line.Naming.Pattern);
  const bool mayBeAlbum = line.Target.empty() && line.Split != TSplitMode::Whole;
  auto describe = [&](const std::string& path, TInputDescription& description) {
    if (!converter.LoadLibraries(libraryFolder, true)) {
      Print(stderr, QStringLiteral("melvaro-convert: %1\n"), {converter.LastError()});
      std::exit(1);
    }
    const TInputOptions input = InputOptionsFor(path);
    std::string error;
    if (TCustomAVConverter::DescribeInput(path, &input, description, error)) return true;
    console.Failed(-1, path, error);
    return false;
  };
  if (line.CopySameFormat && !converter.LoadLibraries(libraryFolder, true)) {
    Print(stderr, QStringLiteral("melvaro-convert: %1\n"), {converter.LastError()});
    return 1;
  }
  SyncOptions syncOptions;
  syncOptions.Folder = line.Folder;
  syncOptions.Rule = line.Existing;
  syncOptions.Prune = line.Prune;
  syncOptions.DryRun = line.DryRun;
  syncOptions.CopySameFormat = line.CopySameFormat;
  syncOptions.Pictures = line.Mirror;
  syncOptions.HasChoice = line.Target.empty();
  syncOptions.Choice = line.Choice;
  syncOptions.RetryFailed = line.RetryFailed;
  syncOptions.Settings =
      line.Target.empty() ? SettingsWording(line.Choice) : "target " + line.Target;
  // A file with a sheet converted whole is another output than its tracks.
  if (line.Split == TSplitMode::Whole) syncOptions.Settings += " split=none";
  BatchSync sync(syncOptions, console);
  // Every input claims its name, converted or not, so that the numbering of
  // clashing names is the same in every run.
  std::vector<SyncInput> inputs;
  std::vector<TInputDescription> described;
  inputs.reserve(found.Files.size());
  described.reserve(found.Files.size());
  // An album file with a cue sheet (or chapters, when asked) becomes one
  // task writing one output per track.
  struct Album {
    std::string Input, Root;
    TInputDescription Description;
    std::vector<TPlannedTrack> Tracks;
    std::vector<std::string> Outputs;
  };
  std::vector<Album> albums;
  // An update run learns from stat and the record alone that most files are
  // up to date: those are neither opened nor described.
  const bool recordFirst = line.Existing == TExistingRule::Update && !describeFirst &&
                           line.Split != TSplitMode::Chapters;
  for (const TFoundInput& file : found.Files) {
    if (recordFirst && !(mayBeAlbum && SheetFileMayNameIt(file.Path))) {
      const std::string wanted = OutputPath({file.Path, file.Root, {}}, line.Naming, line.Folder);
      if (sync.RecordSaysCurrent(file.Path, file.Root, wanted)) {
        std::string note;
        const std::string output = claims.Claim(wanted, &note);
        if (!note.empty()) console.Note(Filled(Cli::tr("note: %1"), {note}));
        inputs.push_back({file.Path, file.Root, output, output == wanted});
        described.push_back(TVeltoConverter::DescribeWithoutOpening(file.Path));
        continue;
      }
    }
    TInputDescription description = TVeltoConverter::DescribeWithoutOpening(file.Path);
    // Whether a sheet is there is told without the media libraries; only
    // such a file is described to plan its tracks.
    bool albumCandidate = false;
    if (mayBeAlbum) {
      TCueSheet sheet;
      std::string ignored;
      albumCandidate = line.Split == TSplitMode::Chapters ||
                       FindCueSheet(file.Path, {}, -1, sheet, ignored) != TCueLookup::None ||
                       FlacCommentsHoldCueSheet(file.Path);
    }
    if ((describeFirst || albumCandidate) && !describe(file.Path, description)) continue;
    if (albumCandidate || (mayBeAlbum && description.Tags.count("cuesheet"))) {
      Album album{file.Path, file.Root, std::move(description), {}, {}};
      std::string sheetProblem;
      if (!PlanAlbumTracks(album.Description, line.Split, album.Tracks, sheetProblem)) {
        console.Failed(-1, file.Path, sheetProblem + " (--no-split converts the file whole)");
        continue;
      }
      if (!album.Tracks.empty()) {
        const TNamingInput source{file.Path, file.Root, album.Description.Tags};
        const TNamingRules trackNaming = TrackNamingRules(line.Naming);
        for (const TPlannedTrack& track : album.Tracks) {
          std::string note;
          album.Outputs.push_back(claims.Claim(
              OutputPath(TrackNamingInput(source, track), trackNaming, line.Folder), &note));
          if (!note.empty()) console.Note(Filled(Cli::tr("note: %1"), {note}));
        }
        albums.push_back(std::move(album));
        continue;
      }
      description = std::move(album.Description);
    }
    std::string note;
    const std::string output = claims.Claim(
        OutputPath({file.Path, file.Root, description.Tags}, line.Naming, line.Folder), &note);
    if (!note.empty()) console.Note(Filled(Cli::tr("note: %1"), {note}));
    inputs.push_back({file.Path, file.Root, output});
    described.push_back(std::move(description));
  }

  const std::vector<size_t> toConvert = sync.Prepare(inputs, givenFolders);

  // Per task: its input, the files it writes (one per track) and, for a
  // file of its own, what the record is told when it is made.
  struct Entry {
    std::string Input;
    std::vector<std::string> Outputs;
    const SyncInput* Synced = nullptr;
    // For the tracks of an album file: its root, and the number of the
    // task's first track (a task holds at most 99).
    std::string Root;
    int FirstTrack = 0;
  };
  std::vector<Entry> entryOfTask;
  std::set<int> setUpFailed;  // tasks without an output: already counted
  std::vector<char> ended;    // per task, written under the component's event lock
  for (size_t position : toConvert) {
    const SyncInput& entry = inputs[position];
    if (!converter.LoadLibraries(libraryFolder, true)) {
      Print(stderr, QStringLiteral("melvaro-convert: %1\n"), {converter.LastError()});
      return 1;
    }
    const TInputOptions input = InputOptionsFor(entry.Input);
    const int index = converter.AddInput(described[position], &input);
    if (index < 0) {
      console.Failed(-1, entry.Input, converter.LastError());
      continue;
    }
    entryOfTask.resize(index + 1);
    entryOfTask[index] = {entry.Input, {entry.Output}, &entry, {}, 0};
    if (!converter.AddOutput(index, entry.Output, OutputOptionsFor(line, entry.Output))) {
      console.Failed(index, entry.Input, converter.LastError());
      setUpFailed.insert(index);
    }
  }
  std::vector<TInputDescription>().swap(described);

  for (const Album& album : albums) {
    if (!sync.AlbumToConvert(album.Input, album.Root, album.Outputs)) continue;
    if (!converter.LoadLibraries(libraryFolder, true)) {
      Print(stderr, QStringLiteral("melvaro-convert: %1\n"), {converter.LastError()});
      return 1;
    }
    const TInputOptions input = InputOptionsFor(album.Input);
    // The tracks of one task share one decode; a task holds at most 99.
    int task = -1;
    for (size_t t = 0; t < album.Tracks.size(); ++t) {
      if (t % 99 == 0) {
        task = converter.AddInput(album.Description, &input);
        if (task < 0) {
          console.Failed(-1, album.Input, converter.LastError());
          break;
        }
        entryOfTask.resize(task + 1);
        entryOfTask[task] = {album.Input, {}, nullptr, album.Root, static_cast<int>(t) + 1};
      }
      const std::string& output = album.Outputs[t];
      entryOfTask[task].Outputs.push_back(output);
      if (!converter.AddTrackOutput(task, output, OutputOptionsFor(line, output),
                                    album.Tracks[t].Part)) {
        // The task fails when it runs, writing none of its tracks.
        console.Note(Filled(Cli::tr("note: %1"), {converter.LastError()}));
      }
    }
  }
  std::vector<Album>().swap(albums);

  const int taskCount = converter.TaskCount();
  ended.assign(taskCount, 0);
  if (taskCount > static_cast<int>(setUpFailed.size())) {
    converter.OnLog = [&](int index, TLogLevel level, const std::string& text) {
      if (index >= 0 && level <= llError && !setUpFailed.count(index)) console.Error(index, text);
    };
    converter.OnProgress = [&](int index, int, int, int durationTime, float, float, int64_t,
                               int totalDuration) {
      const std::string name = std::filesystem::path(entryOfTask[index].Input).filename().string();
      console.Progress(index, name, durationTime, totalDuration);
    };
    converter.OnTerminate = [&](int index, bool) {
      if (index < 0) {
        QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
      } else if (!setUpFailed.count(index)) {
        ended[index] = 1;
        const Entry& entry = entryOfTask[index];
        const TTaskResult result = converter.TaskResult(index);
        const bool made = result.State == TTaskState::tsConverted ||
                          result.State == TTaskState::tsConvertedWithProblems;
        if (made && entry.Synced) sync.Converted(*entry.Synced);
        if (made && entry.FirstTrack > 0)
          for (size_t n = 0; n < entry.Outputs.size(); ++n)
            sync.TrackConverted({entry.Input, entry.Root, entry.Outputs[n]},
                                entry.FirstTrack + static_cast<int>(n));
        if (result.Crashed && entry.Synced) sync.Crashed(*entry.Synced);
        if (result.Crashed && entry.FirstTrack > 0 && !entry.Outputs.empty())
          sync.Crashed({entry.Input, entry.Root, entry.Outputs.front()});
        // A track is told as a file of its own.
        for (const std::string& output : entry.Outputs) {
          if (made)
            console.Converted(index, entry.Input, output, result.Reason);
          else
            console.Failed(index, entry.Input, result.Reason);
        }
      }
    };

    std::unique_ptr<QSocketNotifier> interrupt;
    if (pipe(InterruptPipe) == 0) {
      interrupt = std::make_unique<QSocketNotifier>(InterruptPipe[0], QSocketNotifier::Read);
      QObject::connect(interrupt.get(), &QSocketNotifier::activated, [&] {
        interrupt->setEnabled(false);
        console.Note(Filled(Cli::tr("stopping ...")));
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
      for (size_t n = 0; n < std::max<size_t>(entryOfTask[index].Outputs.size(), 1); ++n)
        console.Failed(index, entryOfTask[index].Input, Filled(Cli::tr("stopped before it started")));
  const bool recorded = sync.Finish();
  if (!line.DryRun) console.Summary();
  if (!recorded && console.FailedCount() == 0) return 1;
  if (console.FailedCount() > 0) return 1;
  return console.WarnedCount() > 0 ? 3 : 0;
}
