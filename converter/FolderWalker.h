// Turns the paths a user gives (files and folders) into the list of input
// files, for the window and the command line alike.
//
// A file stays as it was given. A folder gives the audio files beneath it
// (IsAudioFileName), walked recursively in name order, each remembering the
// folder as given as its root; hidden files and folders (a leading dot) are
// left out; symbolic links are followed, but each folder is walked once
// (by device and inode), so a link back up the tree ends there. A path that
// cannot be examined and a folder that cannot be read are reported with the
// system's reason, and the rest goes on. A file already found (the same
// device and inode, under any name) is not listed again.
//
// Only reads the file system (stat, opendir); any thread.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

using TFileId = std::pair<uint64_t, uint64_t>;  // device, inode

struct TFoundInput {
  std::string Path;
  std::string Root;  // the folder it was found under, as given; empty when given itself
  TFileId Id{0, 0};
};

struct TInputProblem {
  std::string Path;
  std::string Reason;  // strerror's text: "Permission denied"
};

struct TFoundInputs {
  std::vector<TFoundInput> Files;
  std::vector<TInputProblem> Problems;
  std::vector<std::string> Repeated;  // given or found again; left out
};

// The input files of `paths`, in the order given, each folder's in name
// order. `known` (when given) holds the files already listed elsewhere, which
// are left out too, and receives the files found.
TFoundInputs FindInputs(const std::vector<std::string>& paths, std::set<TFileId>* known = nullptr);
