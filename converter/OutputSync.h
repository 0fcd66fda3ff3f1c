// Keeps an output folder in step with its sources, as make and rsync do: it
// decides for each source whether its output is to be made, is up to date
// or is left as it is (the existing-output rule), from stat and the output
// records (converter/OutputRecord.h) alone, never by opening media; it
// records what was made, and it finds what a prune may remove.
//
// Sources are known by the root they were found under (the folder the user
// gave; for a file given by itself, its own folder); each root has its own
// record in the output folder.
//
// Threads: Decide, CopyPictures, PruneCandidates, Prune and Save on one
// thread (the owner's); Made from any thread (the workers' end events), also
// while the owner decides. Nothing is written when readOnly (a dry run).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "converter/ExistingOutputs.h"
#include "converter/OutputPresets.h"
#include "converter/OutputRecord.h"

// The wording of output settings that a record keeps: equal wordings, equal
// outputs. A choice's format, bit rate, level, rate and channels; a copy
// instead of a conversion is worded apart, so that a change either way
// redoes the file.
std::string SettingsWording(const OutputChoice& choice);
std::string CopyWording(const std::string& settings);

class TOutputSync {
 public:
  // folder: the output folder's root (the records live there); settings:
  // SettingsWording of this run's choice.
  TOutputSync(std::string folder, TExistingRule rule, std::string settings, bool readOnly);
  ~TOutputSync();
  TOutputSync(const TOutputSync&) = delete;
  TOutputSync& operator=(const TOutputSync&) = delete;

  TExistingRule Rule() const { return FRule; }
  // Decide runs again what crashed before (--retry-failed).
  void SetRetryFailed(bool retry) { FRetryFailed = retry; }

  // With --copy-same-format an output copied from its source is as current
  // as a converted one: an unchanged source would be copied again.
  void AcceptCopies(bool accept) { FAcceptCopies = accept; }

  // Messages about records that were set aside; taken once.
  std::vector<std::string> TakeMessages();

  // What to do about source (found under root; empty root: the source's
  // folder) whose output is to be output. Loads the root's record on first
  // use.
  TOutputDecision Decide(const std::string& source, const std::string& root,
                         const std::string& output);

  // The same for the tracks of an album file, outputs[n] being track n + 1:
  // up to date when the record says so of every track; Existing (skip)
  // when every output is there; else Convert.
  TOutputDecision DecideTracks(const std::string& source, const std::string& root,
                               const std::vector<std::string>& outputs);

  // Records that output now holds source made with `settings` (empty: this
  // run's); track > 0: that track of it. Call once the output is in place. False with `error` when the
  // record could not be written (the output stays; it is redone next time).
  bool Made(const std::string& source, const std::string& root, const std::string& output,
            std::string& error, const std::string& settings = {}, int track = 0);

  // Records that source crashed its conversion (the worker died), so that
  // Decide answers Crashed for it until it or the settings change. False
  // with `error` when the record could not be written.
  bool Crashed(const std::string& source, const std::string& root, const std::string& output,
               std::string& error);

  // The companion pictures of the folder `sourceFolder` (found under root)
  // that are missing from outputFolder or older there; copies them unless
  // readOnly and records each. Returns (source, output) of every picture
  // copied (or to be copied); `errors` gets one line per failed copy.
  std::vector<std::pair<std::string, std::string>> CopyPictures(
      const std::string& sourceFolder, const std::string& root, const std::string& outputFolder,
      std::vector<std::string>& errors);

  struct PruneStep {
    std::string Root;
    std::string Source;  // relative to the root; it is gone
    std::string Output;  // the file Melvaro made for it
    // The output is no longer what Melvaro made (its size or time changed):
    // it is left alone.
    bool Changed = false;
    int Track = 0;  // the entry's track; 0 for a whole source
  };
  // Loads the records of these roots (empty entries allowed) and lists the
  // entries whose source is gone (no such file; an unreadable one counts as
  // there) and whose output exists.
  std::vector<PruneStep> PruneCandidates(const std::vector<std::string>& roots);
  // Removes the step's output and then every folder this leaves empty, up to
  // (not including) the output folder, and forgets the entry. A changed
  // output is never removed. False with `error` naming the file.
  bool Prune(const PruneStep& step, std::string& error);

  // Writes every record this run changed. False with the first error.
  bool Save(std::string& error);

 private:
  // The record of a root (made and loaded on first use).
  TOutputRecord& RecordOf(const std::string& root);
  std::string RootKey(const std::string& source, const std::string& root) const;
  // A path as the record keeps it: relative to base when inside it.
  static std::string RelativeTo(const std::string& path, const std::string& base);
  std::string OutputPath(const std::string& recorded) const;

  const std::string FFolder;  // absolute, normal
  const TExistingRule FRule;
  const std::string FSettings;
  const bool FReadOnly;
  bool FAcceptCopies = false;
  bool FRetryFailed = false;

  mutable std::mutex FLock;  // guards FRecords' shape and FMessages
  std::map<std::string, std::unique_ptr<TOutputRecord>> FRecords;  // by absolute root
  std::vector<std::string> FMessages;
};
