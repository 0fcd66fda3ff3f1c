#include "converter/OutputRecord.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "engine/PartialOutputs.h"

namespace {

const char Header[] = "melvaro-record 1";
const char JournalSuffix[] = ".journal";

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

bool Unescaped(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool Number(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return *end == '\0' && errno == 0;
}

// What the maps are keyed by: the source, and its track apart (a name
// holds no NUL).
std::string EntryKey(const std::string& source, int track) {
  return track == 0 ? source : source + '\0' + std::to_string(track);
}

std::string EntryLine(const TRecordEntry& entry) {
  return "file\t" + std::string(entry.State == TRecordState::Made ? "ok" : "failed") + "\t" +
         Escaped(entry.Source) + "\t" + Escaped(entry.Output) + "\t" +
         std::to_string(entry.SourceStamp.Size) + "\t" +
         std::to_string(entry.SourceStamp.ModifiedNs) + "\t" + Escaped(entry.Settings) + "\t" +
         std::to_string(entry.OutputStamp.Size) + "\t" +
         std::to_string(entry.OutputStamp.ModifiedNs) +
         (entry.Track > 0 ? "\t" + std::to_string(entry.Track) : std::string()) + "\n";
}

// A "file" line's fields (without the kind) into an entry.
bool ParseEntry(const std::vector<std::string>& fields, TRecordEntry& entry) {
  if (fields.size() != 9 && fields.size() != 10) return false;
  if (fields.size() == 10) {
    int64_t track = 0;
    if (!Number(fields[9], track) || track < 1 || track > 999) return false;
    entry.Track = static_cast<int>(track);
  }
  if (fields[1] == "ok")
    entry.State = TRecordState::Made;
  else if (fields[1] == "failed")
    entry.State = TRecordState::Failed;
  else
    return false;
  if (!Unescaped(fields[2], entry.Source) || entry.Source.empty() ||
      !Unescaped(fields[3], entry.Output) || !Unescaped(fields[6], entry.Settings))
    return false;
  entry.SourceStamp.Exists = entry.OutputStamp.Exists = true;
  return Number(fields[4], entry.SourceStamp.Size) &&
         Number(fields[5], entry.SourceStamp.ModifiedNs) &&
         Number(fields[7], entry.OutputStamp.Size) &&
         Number(fields[8], entry.OutputStamp.ModifiedNs);
}

// Applies one journal line; false when it is not one.
bool ApplyJournalLine(const std::string& line, std::map<std::string, TRecordEntry>& entries) {
  const std::vector<std::string> fields = Fields(line);
  if (fields[0] == "file") {
    TRecordEntry entry;
    if (!ParseEntry(fields, entry)) return false;
    const std::string key = EntryKey(entry.Source, entry.Track);
    entries[key] = std::move(entry);
    return true;
  }
  std::string source;
  int64_t track = 0;
  if (fields[0] == "drop" && (fields.size() == 2 || fields.size() == 3) &&
      Unescaped(fields[1], source) && (fields.size() == 2 || Number(fields[2], track))) {
    entries.erase(EntryKey(source, static_cast<int>(track)));
    return true;
  }
  return false;
}

// 64-bit FNV-1a: a short, stable name for a root's path.
std::string HashText(const std::string& text) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

bool ReadWhole(const std::string& path, std::string& text, bool& exists) {
  std::ifstream file(path, std::ios::binary);
  exists = static_cast<bool>(file);
  if (!file) return errno == ENOENT;
  std::ostringstream all;
  all << file.rdbuf();
  text = all.str();
  return true;
}

bool ProcessIsGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

std::string SystemReason() { return std::strerror(errno); }

}  // namespace

TFileStamp StampOf(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return {};
  return {true, static_cast<int64_t>(info.st_size),
          static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

TOutputRecord::TOutputRecord(std::string folder, std::string root)
    : FFolder(std::move(folder)),
      FRoot(std::move(root)),
      FPath(FFolder + "/.melvaro-record-" + HashText(FRoot)),
      FJournalPath(FPath + "." + PartialFileHost() + "@" + std::to_string(getpid()) +
                   JournalSuffix) {}

TOutputRecord::~TOutputRecord() {
  if (FJournal) std::fclose(FJournal);
}

bool TOutputRecord::Parse(const std::string& text, const std::string& root,
                          std::map<std::string, TRecordEntry>& entries, std::string& problem) {
  entries.clear();
  if (!text.empty() && text.back() != '\n') {
    problem = "it ends in the middle of a line";
    return false;
  }
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  bool rooted = false;
  while (std::getline(lines, line)) {
    ++number;
    const std::vector<std::string> fields = Fields(line);
    bool fits = false;
    if (number == 1) {
      fits = line == Header;
      if (!fits) {
        problem = line.rfind("melvaro-record ", 0) == 0 ? "it is of an unknown version (\"" + line + "\")"
                                                         : "it is not a record of Melvaro's";
        return false;
      }
    } else if (number == 2) {
      std::string named;
      fits = fields.size() == 2 && fields[0] == "root" && Unescaped(fields[1], named);
      if (fits && named != root) {
        problem = "it belongs to another source folder (" + named + ")";
        return false;
      }
      rooted = fits;
    } else if (fields[0] == "file") {
      TRecordEntry entry;
      fits = ParseEntry(fields, entry);
      if (fits) {
        const std::string key = EntryKey(entry.Source, entry.Track);
        entries[key] = std::move(entry);
      }
    }
    if (!fits) {
      problem = "line " + std::to_string(number) + " is damaged";
      return false;
    }
  }
  if (!rooted) {
    problem = "it is incomplete";
    return false;
  }
  return true;
}

std::string TOutputRecord::Format(const std::string& root,
                                  const std::map<std::string, TRecordEntry>& entries) {
  std::string text = std::string(Header) + "\nroot\t" + Escaped(root) + "\n";
  for (const auto& [source, entry] : entries) text += EntryLine(entry);
  return text;
}

void TOutputRecord::ReadJournals(std::map<std::string, TRecordEntry>& entries,
                                 std::vector<std::string>* stale) const {
  DIR* directory = opendir(FFolder.c_str());
  if (!directory) return;
  const std::string prefix = FPath.substr(FPath.rfind('/') + 1) + ".";
  const std::string localHost = PartialFileHost() + "@";
  std::vector<std::string> journals;
  while (const dirent* item = readdir(directory)) {
    const std::string name = item->d_name;
    if (name.size() > prefix.size() + sizeof JournalSuffix - 1 && name.rfind(prefix, 0) == 0 &&
        name.compare(name.size() - (sizeof JournalSuffix - 1), std::string::npos,
                     JournalSuffix) == 0)
      journals.push_back(name);
  }
  closedir(directory);
  for (const std::string& name : journals) {
    const std::string path = FFolder + "/" + name;
    std::string text;
    bool exists = false;
    if (!ReadWhole(path, text, exists) || !exists) continue;
    // Only complete lines count: the last one of a killed run may be torn.
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      ApplyJournalLine(text.substr(start, end - start), entries);
    if (!stale || path == FJournalPath) continue;
    const std::string owner = name.substr(prefix.size());
    if (owner.rfind(localHost, 0) != 0) continue;  // another machine's: its own business
    const pid_t pid =
        static_cast<pid_t>(std::strtol(owner.c_str() + localHost.size(), nullptr, 10));
    if (pid > 0 && ProcessIsGone(pid)) stale->push_back(path);
  }
}

bool TOutputRecord::Load(std::string& message, bool readOnly) {
  std::lock_guard<std::mutex> lock(FLock);
  message.clear();
  FEntries.clear();
  std::string text, problem;
  bool exists = false;
  bool good = true;
  if (!ReadWhole(FPath, text, exists)) {
    message = "The record " + FPath + " cannot be read: " + SystemReason();
    good = false;
  } else if (exists && !Parse(text, FRoot, FEntries, problem)) {
    FEntries.clear();
    good = false;
    if (readOnly) {
      message = "The record " + FPath + " is left out: " + problem;
    } else {
      const std::string aside = FPath + ".damaged-" + std::to_string(std::time(nullptr));
      if (std::rename(FPath.c_str(), aside.c_str()) == 0)
        message = "The record " + FPath + " was set aside as " + aside + ": " + problem;
      else
        message = "The record " + FPath + " is left out (" + problem +
                  ") and could not be set aside: " + SystemReason();
    }
  }
  std::map<std::string, TRecordEntry> folded = FEntries;
  ReadJournals(folded, nullptr);
  FLeftoverJournals = folded != FEntries;
  FEntries = std::move(folded);
  return good;
}

std::optional<TRecordEntry> TOutputRecord::Find(const std::string& source, int track) const {
  std::lock_guard<std::mutex> lock(FLock);
  const auto found = FEntries.find(EntryKey(source, track));
  if (found == FEntries.end()) return std::nullopt;
  return found->second;
}

std::vector<TRecordEntry> TOutputRecord::Entries() const {
  std::lock_guard<std::mutex> lock(FLock);
  std::vector<TRecordEntry> all;
  all.reserve(FEntries.size());
  for (const auto& [source, entry] : FEntries) all.push_back(entry);
  return all;
}

bool TOutputRecord::AppendToJournal(const std::string& line, std::string& error) {
  if (!FJournal) {
    const int file = open(FJournalPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (file < 0 || !(FJournal = fdopen(file, "a"))) {
      error = "Could not write '" + FJournalPath + "': " + SystemReason();
      if (file >= 0) close(file);
      return false;
    }
  }
  // One write per line: a kill leaves whole lines and at most one torn one.
  if (std::fputs(line.c_str(), FJournal) < 0 || std::fflush(FJournal) != 0) {
    error = "Could not write '" + FJournalPath + "': " + SystemReason();
    return false;
  }
  return true;
}

bool TOutputRecord::Put(const TRecordEntry& entry, std::string& error) {
  std::lock_guard<std::mutex> lock(FLock);
  const std::string key = EntryKey(entry.Source, entry.Track);
  FEntries[key] = entry;
  FChanges[key] = {true, entry};
  return AppendToJournal(EntryLine(entry), error);
}

bool TOutputRecord::Drop(const std::string& source, std::string& error, int track) {
  std::lock_guard<std::mutex> lock(FLock);
  const std::string key = EntryKey(source, track);
  FEntries.erase(key);
  FChanges[key] = {false, {}};
  return AppendToJournal("drop\t" + Escaped(source) +
                             (track > 0 ? "\t" + std::to_string(track) : std::string()) + "\n",
                         error);
}

bool TOutputRecord::Save(std::string& error) {
  std::lock_guard<std::mutex> lock(FLock);
  if (FChanges.empty() && !FLeftoverJournals) return true;
  // What is on disk now (another run over this root may have saved since
  // Load), then every journal, then this run's changes.
  std::map<std::string, TRecordEntry> merged;
  std::string text, problem;
  bool exists = false;
  if (ReadWhole(FPath, text, exists) && exists && !Parse(text, FRoot, merged, problem))
    merged.clear();  // set aside by Load, or damaged since: this run's view replaces it
  std::vector<std::string> stale;
  ReadJournals(merged, &stale);
  for (const auto& [source, change] : FChanges) {
    if (change.first)
      merged[source] = change.second;
    else
      merged.erase(source);
  }
  const std::string temporary =
      FPath + "." + PartialFileHost() + "@" + std::to_string(getpid()) + ".tmp";
  const std::string formatted = Format(FRoot, merged);
  const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bool written = file >= 0;
  for (size_t done = 0; written && done < formatted.size();) {
    const ssize_t wrote = write(file, formatted.data() + done, formatted.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    written = wrote > 0;
    if (written) done += static_cast<size_t>(wrote);
  }
  written = written && fsync(file) == 0;
  const int savedErrno = errno;
  if (file >= 0) close(file);
  errno = savedErrno;
  if (!written || std::rename(temporary.c_str(), FPath.c_str()) != 0) {
    error = "Could not write '" + FPath + "': " + SystemReason();
    unlink(temporary.c_str());
    return false;
  }
  FEntries = std::move(merged);
  FChanges.clear();
  FLeftoverJournals = false;
  if (FJournal) {
    std::fclose(FJournal);
    FJournal = nullptr;
  }
  unlink(FJournalPath.c_str());
  for (const std::string& path : stale) unlink(path.c_str());
  return true;
}
