// Outputs are written under a hidden name in their destination folder and
// take their final name only when complete, so that a stop, a failure or a
// killed process never leaves a half-written file under a name the user
// sees, nor destroys a file that already had it.
//
// The hidden name is ".melvaro-HOST@PID-N-NAME.part": HOST and PID are the
// writing machine and process, N a number no other output of that process
// took. A leftover of this machine whose process is gone is removed by the
// next process that writes into the folder; one whose process still runs
// belongs to it and is left alone. On shared storage (NFS) a process id says
// nothing about another machine's processes, so leftovers of other hosts are
// never touched. Names of the older form ".melvaro-PID-N-NAME.part" count as
// this host's.
#pragma once

#include <string>

// Creates an empty hidden file beside finalPath (same folder, so the rename
// stays on one file system) and sets partialPath to its name. First removes,
// once per folder and process, the leftovers of processes that are gone.
// False with `error` = "Could not open 'finalPath': <system's reason>".
// Thread-safe.
bool CreatePartialFile(const std::string& finalPath, std::string& partialPath, std::string& error);

// Puts a complete partial file in place over finalPath (replacing a file of
// that name atomically). False with `error` naming the file and the
// system's reason; the partial file then stays for the caller to remove.
bool CommitPartialFile(const std::string& partialPath, const std::string& finalPath,
                       std::string& error);

// Removes the hidden leftovers of processes that no longer run from folder
// (every time it is called). Returns how many it removed.
int RemoveStalePartialFiles(const std::string& folder);

// True when name (without folder) has the hidden name's form.
bool IsPartialFileName(const std::string& name);

// The host part of this process's hidden names: the host name with every
// character other than letters, digits, '.', '-' and '_' replaced by '_'.
const std::string& PartialFileHost();
