#include "engine/PartialOutputs.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>

namespace {

const char Prefix[] = ".melvaro-";
const char Suffix[] = ".part";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a hidden name's process id starts and the host it names ("" for
// the older form without a host); npos when the name is not a hidden name.
size_t OwnerField(const std::string& name, std::string& host) {
  const size_t prefix = sizeof Prefix - 1, suffix = sizeof Suffix - 1;
  if (name.size() <= prefix + suffix || name.compare(0, prefix, Prefix) != 0 ||
      name.compare(name.size() - suffix, suffix, Suffix) != 0)
    return std::string::npos;
  host.clear();
  const auto digitsThenDash = [&name](size_t start) {
    size_t i = start;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    return i > start && i < name.size() && name[i] == '-';
  };
  if (digitsThenDash(prefix)) return prefix;  // the older form
  const size_t at = name.find('@', prefix);
  if (at == std::string::npos || at == prefix || !digitsThenDash(at + 1))
    return std::string::npos;
  host = name.substr(prefix, at - prefix);
  return at + 1;
}

// The process id a hidden name of this host carries, or 0 when it has none
// or belongs to another host.
pid_t LocalOwnerOf(const std::string& name) {
  std::string host;
  const size_t field = OwnerField(name, host);
  if (field == std::string::npos || (!host.empty() && host != PartialFileHost())) return 0;
  return static_cast<pid_t>(std::strtol(name.c_str() + field, nullptr, 10));
}

// A zombie counts as gone: it holds no file and writes nothing more (a
// killed worker may wait long for a reaper that does not come).
bool ProcessIsGone(pid_t pid) {
  if (kill(pid, 0) != 0) return errno == ESRCH;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const size_t end = text.rfind(')');
  return end != std::string::npos && end + 2 < text.size() && text[end + 2] == 'Z';
}

// Cuts text to at most `bytes` bytes without splitting a UTF-8 character.
std::string CutAtCharacter(const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

// Once per folder and process is enough: later leftovers in it can only
// come from processes that were alive when we looked.
void RemoveStaleOnce(const std::string& folder) {
  static std::mutex lock;
  static std::set<std::string> cleaned;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (!cleaned.insert(folder).second) return;
  }
  RemoveStalePartialFiles(folder);
}

}  // namespace

bool IsPartialFileName(const std::string& name) {
  std::string host;
  return OwnerField(name, host) != std::string::npos;
}

const std::string& PartialFileHost() {
  static const std::string host = [] {
    char name[HOST_NAME_MAX + 1] = {};
    std::string text = gethostname(name, sizeof name - 1) == 0 && name[0] ? name : "localhost";
    for (char& c : text)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') c = '_';
    return text;
  }();
  return host;
}

int RemoveStalePartialFiles(const std::string& folder) {
  DIR* directory = opendir(folder.c_str());
  if (!directory) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(directory)) {
    const pid_t owner = LocalOwnerOf(entry->d_name);
    if (owner <= 0 || owner == getpid() || !ProcessIsGone(owner)) continue;
    if (unlinkat(dirfd(directory), entry->d_name, 0) == 0) ++removed;
  }
  closedir(directory);
  return removed;
}

bool CreatePartialFile(const std::string& finalPath, std::string& partialPath, std::string& error) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(finalPath);
  RemoveStaleOnce(folder);
  for (;;) {
    const std::string head =
        Prefix + PartialFileHost() + "@" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "-";
    // The final name is only there for a reader of the folder: cut to fit.
    const size_t room = NAME_MAX - head.size() - (sizeof Suffix - 1);
    const size_t slash = finalPath.rfind('/');
    partialPath = (slash == std::string::npos ? std::string() : finalPath.substr(0, slash + 1)) +
                  head + CutAtCharacter(NameOf(finalPath), room) + Suffix;
    const int file = open(partialPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file >= 0) {
      close(file);
      return true;
    }
    if (errno == EEXIST) continue;  // a leftover of a process that had our id
    error = "Could not open '" + finalPath + "': " + std::strerror(errno);
    partialPath.clear();
    return false;
  }
}

bool CommitPartialFile(const std::string& partialPath, const std::string& finalPath,
                       std::string& error) {
  if (std::rename(partialPath.c_str(), finalPath.c_str()) == 0) return true;
  error = "Could not write '" + finalPath + "': " + std::strerror(errno);
  return false;
}
