// What Melvaro made in an output folder, so that a later run can tell an
// up-to-date output from one to redo (by metadata alone, never by opening the
// media) and a prune can tell Melvaro's outputs from the user's own files.
//
// One record per source root, kept at the root of the output folder as
// ".melvaro-record-HASH" (HASH: of the root's path). Runs over separate
// subtrees (several machines sharing an output folder on NFS) therefore
// never write the same file, and none needs a lock:
// - As each file completes, its entry is appended as one line to a journal
//   of this process, "RECORD.HOST@PID.journal" (only this process writes
//   it; a torn last line of a killed run is ignored).
// - Save() re-reads the record and every journal beside it, lays this run's
//   changes over them and writes the result to a temporary file that is
//   renamed over the record; then this process's journal goes, and those of
//   this host's processes that are gone. Two runs over the same root at the
//   same moment can lose an entry in the instant between one's reading and
//   the other's rename: that output is then redone by the next run, never
//   deleted (a prune deletes only what an entry names).
// - Load() folds leftover journals (of a killed run) in, so a killed run
//   redoes only the files that were in flight.
// A record that is damaged, of an unknown version or of another root is set
// aside ("NAME.damaged-TIME", beside it) with a message and the run starts
// from an empty record: nothing is ever deleted because of it.
//
// Text format, version 1, one entry per line, fields separated by tabs, "\",
// tab, CR and LF escaped as \\ \t \r \n:
//   melvaro-record 1
//   root	SOURCE-ROOT
//   file	STATE	SOURCE	OUTPUT	SIZE	MTIME-NS	SETTINGS	OUT-SIZE	OUT-MTIME-NS[	TRACK]
// SOURCE is relative to the root, OUTPUT to the record's folder (absolute
// when outside it); STATE is "ok" (made and in place) or "failed" (the run
// gave up on it; no output is claimed). TRACK (1, 2, ...) is there for
// one track of an album file split by its cue sheet or chapters: such a
// source has an entry per track, and none without TRACK. Journals hold the
// same "file" lines and "drop	SOURCE[	TRACK]" for an entry that went.
//
// Threads: every member may be called from any thread; one lock serialises
// them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Size and modification time of a file, as stat gives them.
struct TFileStamp {
  bool Exists = false;
  int64_t Size = -1;
  int64_t ModifiedNs = 0;
  bool operator==(const TFileStamp&) const = default;
};

// stat of a path (links followed); Exists false when it cannot be read.
TFileStamp StampOf(const std::string& path);

enum class TRecordState { Made, Failed };

struct TRecordEntry {
  TRecordState State = TRecordState::Made;
  std::string Source;  // relative to the source root
  std::string Output;  // relative to the record's folder, or absolute
  TFileStamp SourceStamp;
  std::string Settings;  // what the output was made with, as the run words it
  TFileStamp OutputStamp;
  int Track = 0;  // 0: the whole source; else its track of that number
  bool operator==(const TRecordEntry&) const = default;
};

class TOutputRecord {
 public:
  // folder: where the record lives (the output folder's root); root: the
  // source root its entries are relative to (kept as given).
  TOutputRecord(std::string folder, std::string root);
  ~TOutputRecord();
  TOutputRecord(const TOutputRecord&) = delete;
  TOutputRecord& operator=(const TOutputRecord&) = delete;

  // The record's file: FOLDER/.melvaro-record-HASH.
  const std::string& Path() const { return FPath; }
  const std::string& Root() const { return FRoot; }

  // Reads the record and the journals beside it; a missing record is an
  // empty one. A damaged or unknown record is renamed aside (unless
  // readOnly, when it is only ignored) and `message` says so; true
  // otherwise (message empty). Writes nothing when readOnly.
  bool Load(std::string& message, bool readOnly = false);

  // The entry of a source (relative to the root), or of one of its tracks,
  // if any.
  std::optional<TRecordEntry> Find(const std::string& source, int track = 0) const;
  std::vector<TRecordEntry> Entries() const;

  // Records an entry (replacing the source's) and appends it to this
  // process's journal at once. False with `error` when the journal cannot
  // be written (the entry is still kept for Save).
  bool Put(const TRecordEntry& entry, std::string& error);
  // Forgets a source's entry, journaled as Put is.
  bool Drop(const std::string& source, std::string& error, int track = 0);

  // Writes the merged record atomically (see the header comment) and removes
  // the journals it folded in that no live process of this host writes.
  // Nothing is written when this run changed nothing and no journal was
  // left over. False with `error` naming the file and the system's reason.
  bool Save(std::string& error);

  // Parses a record's text into entries; false at the first line that does
  // not fit version 1 (or a root other than `root`), with `problem` saying
  // which. Pure; exposed for the tests.
  static bool Parse(const std::string& text, const std::string& root,
                    std::map<std::string, TRecordEntry>& entries, std::string& problem);
  static std::string Format(const std::string& root,
                            const std::map<std::string, TRecordEntry>& entries);

 private:
  // Applies every journal beside the record to entries; collects the names
  // of this host's journals whose process is gone.
  void ReadJournals(std::map<std::string, TRecordEntry>& entries,
                    std::vector<std::string>* stale) const;
  bool AppendToJournal(const std::string& line, std::string& error);

  const std::string FFolder;
  const std::string FRoot;
  const std::string FPath;
  const std::string FJournalPath;  // this process's

  mutable std::mutex FLock;
  std::map<std::string, TRecordEntry> FEntries;  // by EntryKey
  // This run's changes, laid over what Save reads back: an entry, or none
  // for a drop.
  std::map<std::string, std::pair<bool, TRecordEntry>> FChanges;
  bool FLeftoverJournals = false;
  std::FILE* FJournal = nullptr;
};
