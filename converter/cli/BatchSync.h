// What melvaro-convert does about outputs that exist already, before and
// after its batch: --existing, --mirror's companion pictures, --prune,
// --copy-same-format and --dry-run. It decides through the output sync
// (converter/OutputSync.h), so deciding reads stat and the records, never
// the media; only the sources that are to be made and might be copied as
// they are get described.
//
// Prepare and Finish on the main thread; Converted from the component's end
// events (any thread).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "converter/OutputPresets.h"
#include "converter/OutputSync.h"
#include "converter/cli/BatchConsole.h"

struct SyncOptions {
  std::string Folder;  // the output folder's root
  TExistingRule Rule = TExistingRule::Replace;
  bool Prune = false;
  bool DryRun = false;
  bool CopySameFormat = false;  // needs Choice
  bool Pictures = false;        // companion pictures (a mirror)
  bool HasChoice = false;       // false for a video target
  OutputChoice Choice;
  std::string Settings;  // SettingsWording of the run's output settings
  bool RetryFailed = false;  // run again what crashed on an earlier run
};

struct SyncInput {
  std::string Input;
  std::string Root;  // the folder it was found under; empty for a file given by itself
  std::string Output;
  // The record alone said the output is up to date (RecordSaysCurrent):
  // counted as such without a second look.
  bool Current = false;
};

class BatchSync {
 public:
  BatchSync(const SyncOptions& options, BatchConsole& console);
  ~BatchSync();

  // Prunes (or, in a dry run, lists what would be pruned), then decides for
  // every input: up to date and existing outputs are counted (listed in a
  // dry run), copies are made at once; companion pictures follow. Returns
  // the positions of the inputs to convert (none in a dry run, which prints
  // each as "convert: IN -> OUT"). roots: the folders given, whose records a
  // prune reads even when no file is left in them.
  std::vector<size_t> Prepare(const std::vector<SyncInput>& inputs,
                              const std::vector<std::string>& roots);

  // For update: whether the record says output is up to date for input,
  // from stat and the record alone, so that the run need not open the
  // source to learn whether it is an album file.
  bool RecordSaysCurrent(const std::string& input, const std::string& root,
                         const std::string& output);

  // Whether the tracks of an album file (outputs[n] is track n + 1) are to
  // be made: skip leaves them when all exist; update when the record says
  // every track is up to date. Counted and, in a dry run, listed as the
  // files of their own are; false in a dry run.
  bool AlbumToConvert(const std::string& input, const std::string& root,
                      const std::vector<std::string>& outputs);

  // An input's output is in place: recorded at once (journaled), so that a
  // killed run redoes only the files in flight.
  void Converted(const SyncInput& input);
  // The same for track number `track` of an album file.
  void TrackConverted(const SyncInput& output, int track);
  // An input's conversion crashed: recorded, so that a rerun reports it
  // instead of running it again (unless RetryFailed).
  void Crashed(const SyncInput& input);

  // Writes the records; prints what failed. The dry run's summary line.
  // False when a record could not be written.
  bool Finish();

 private:
  void Say(const std::string& line);

  SyncOptions FOptions;
  BatchConsole& FConsole;
  std::unique_ptr<TOutputSync> FSync;
  // A dry run's counts.
  int FToConvert = 0, FToCopy = 0, FUpToDate = 0, FKept = 0, FToPrune = 0;
};
