#include "converter/FolderWalker.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "converter/AudioFiles.h"

namespace {

struct DirCloser {
  void operator()(DIR* folder) const { closedir(folder); }
};

TFileId IdOf(const struct stat& info) {
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

class TWalk {
 public:
  TWalk(TFoundInputs& found, std::set<TFileId>& files) : Found(found), Files(files) {}

  void Given(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return Problem(path, errno);
    if (!S_ISDIR(info.st_mode)) return File(path, {}, info);
    if (Folders.insert(IdOf(info)).second) Folder(path, path);
  }

 private:
  void Problem(const std::string& path, int error) {
    Found.Problems.push_back({path, std::strerror(error)});
  }

  void File(const std::string& path, const std::string& root, const struct stat& info) {
    if (!Files.insert(IdOf(info)).second) {
      Found.Repeated.push_back(path);
      return;
    }
    Found.Files.push_back({path, root, IdOf(info)});
  }

  // Reads the names first and closes the folder before going down, so a
  // deep tree holds one folder open at a time.
  void Folder(const std::string& path, const std::string& root) {
    std::vector<std::string> names;
    {
      errno = 0;
      std::unique_ptr<DIR, DirCloser> folder(opendir(path.c_str()));
      if (!folder) return Problem(path, errno);
      while (const dirent* entry = readdir(folder.get()))
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    const std::string prefix = path == "/" ? path : path + "/";
    for (const std::string& name : names) {
      const std::string child = prefix + name;
      struct stat info;
      if (stat(child.c_str(), &info) != 0) {
        // A broken link is worth telling only where a file was meant.
        if (IsAudioFileName(name)) Problem(child, errno);
        continue;
      }
      if (S_ISDIR(info.st_mode)) {
        if (Folders.insert(IdOf(info)).second) Folder(child, root);
      } else if (S_ISREG(info.st_mode) && IsAudioFileName(name)) {
        File(child, root, info);
      }
    }
  }

  TFoundInputs& Found;
  std::set<TFileId>& Files;
  std::set<TFileId> Folders;  // walked already
};

}  // namespace

TFoundInputs FindInputs(const std::vector<std::string>& paths, std::set<TFileId>* known) {
  TFoundInputs found;
  std::set<TFileId> own;
  TWalk walk(found, known ? *known : own);
  for (const std::string& path : paths) walk.Given(path);
  return found;
}
