#include "converter/OutputNaming.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/TagNames.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t NameLimit = 255;  // bytes of one folder or file name (FAT, exFAT, ext4)

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Cuts to at most `limit` bytes without splitting a UTF-8 character.
void CutAtCharacter(std::string& text, std::size_t limit) {
  if (text.size() <= limit) return;
  std::size_t cut = limit;
  while (cut > 0 && IsContinuationByte(text[cut])) --cut;
  text.resize(cut);
}

void DropTrailingDotsAndSpaces(std::string& text) {
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
}

std::vector<std::string> SplitAtSlashes(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = text.find('/', start);
    parts.push_back(
        text.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) return parts;
    start = slash + 1;
  }
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name without the text from its last dot ("a.b.flac" -> "a.b"); a name
// whose only dot leads it stays whole.
std::string StemOf(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The source's folder below the root as safe names; empty when it was named
// by itself or does not lie below the root.
std::vector<std::string> FolderBelowRoot(const TNamingInput& input) {
  std::vector<std::string> folders;
  if (input.Root.empty()) return folders;
  const fs::path root = fs::path(input.Root).lexically_normal();
  const fs::path folder = fs::path(input.Source).lexically_normal().parent_path();
  const fs::path below = folder.lexically_relative(root);
  if (below.empty() || *below.begin() == "..") return folders;
  for (const fs::path& part : below)
    if (!part.empty() && part != ".") folders.push_back(SafeName(part.string()));
  return folders;
}

// Expands the fields of one piece of the pattern (no "/" in it).
class TFieldExpander {
 public:
  TFieldExpander(const TNamingInput& input, const std::vector<std::string>& folders)
      : Tags(CanonicalTags(input.Tags)), Name(StemOf(FileNameOf(input.Source))) {
    for (const std::string& folder : folders) Folder += (Folder.empty() ? "" : "/") + folder;
  }

  std::string Expand(const std::string& piece) const {
    std::string text;
    std::size_t i = 0;
    while (i < piece.size()) {
      const std::size_t open = piece.find('{', i);
      const std::size_t close = open == std::string::npos ? open : piece.find('}', open);
      if (close == std::string::npos) {
        text += piece.substr(i);
        break;
      }
      text += piece.substr(i, open - i);
      std::string field = piece.substr(open + 1, close - open - 1);
      int width = 0;
      if (const std::size_t colon = field.find(':'); colon != std::string::npos) {
        width = std::max(0, std::min(LeadingTagNumber(field.substr(colon + 1)), 32));
        field.resize(colon);
      }
      std::string value;
      if (Value(field, width, value))
        text += value;
      else
        text += piece.substr(open, close - open + 1);  // not a field: kept as written
      i = close + 1;
    }
    return text;
  }

 private:
  std::string Tag(const char* key) const {
    const auto entry = Tags.find(key);
    return entry == Tags.end() ? std::string() : entry->second;
  }

  static std::string Padded(int number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width)
      digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
  }

  bool Value(const std::string& field, int width, std::string& value) const {
    const auto text = [&](const char* key, const char* missing) {
      value = Tag(key);
      if (value.empty()) value = missing;
    };
    if (field == "artist") {
      text("artist", "Unknown Artist");
    } else if (field == "albumartist") {
      value = Tag("album_artist");
      if (value.empty()) text("artist", "Unknown Artist");
    } else if (field == "album") {
      text("album", "Unknown Album");
    } else if (field == "genre") {
      text("genre", "Unknown Genre");
    } else if (field == "title") {
      value = Tag("title");
      if (value.empty()) value = Name;
    } else if (field == "name") {
      value = Name;
    } else if (field == "folder") {
      value = Folder;
    } else if (field == "year") {
      const int year = LeadingTagNumber(Tag("date"));
      value = year > 0 ? Padded(year, width) : "Unknown Year";
    } else if (field == "track" || field == "disc") {
      value = Padded(std::max(LeadingTagNumber(Tag(field.c_str())), 0), width);
    } else {
      return false;
    }
    return true;
  }

  std::map<std::string, std::string> Tags;
  std::string Name;    // the source's name without its extension
  std::string Folder;  // below the root, safe names joined by "/"
};

std::string Joined(const std::string& folder, const std::string& relative) {
  if (folder.empty()) return relative;
  return folder.back() == '/' ? folder + relative : folder + "/" + relative;
}

}  // namespace

bool LayoutByName(const std::string& name, TOutputLayout& layout) {
  for (TOutputLayout candidate :
       {TOutputLayout::Auto, TOutputLayout::Flat, TOutputLayout::Tree, TOutputLayout::Beside}) {
    if (name == LayoutName(candidate)) {
      layout = candidate;
      return true;
    }
  }
  return false;
}

const char* LayoutName(TOutputLayout layout) {
  switch (layout) {
    case TOutputLayout::Flat:
      return "flat";
    case TOutputLayout::Tree:
      return "tree";
    case TOutputLayout::Beside:
      return "beside";
    default:
      return "auto";
  }
}

std::string SafeName(const std::string& text, std::size_t reserve) {
  std::string name;
  name.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    name += byte < 0x20 || byte == 0x7F || std::strchr("/\\:*?\"<>|", c) ? '_' : c;
  }
  DropTrailingDotsAndSpaces(name);
  if (!name.empty() && name.front() == '.') name.front() = '_';
  CutAtCharacter(name, reserve < NameLimit ? NameLimit - reserve : 1);
  DropTrailingDotsAndSpaces(name);
  return name.empty() ? "_" : name;
}

TOutputLayout EffectiveLayout(const TNamingInput& input, const TNamingRules& rules) {
  if (rules.Layout != TOutputLayout::Auto) return rules.Layout;
  if (rules.Pattern.find('/') != std::string::npos) return TOutputLayout::Flat;
  return input.Root.empty() ? TOutputLayout::Flat : TOutputLayout::Tree;
}

std::string RelativeOutputPath(const TNamingInput& input, const TNamingRules& rules) {
  const std::vector<std::string> folders = FolderBelowRoot(input);
  const TFieldExpander fields(input, folders);

  std::vector<std::string> pieces;
  for (std::string& piece : SplitAtSlashes(rules.Pattern))
    if (!piece.empty()) pieces.push_back(std::move(piece));
  if (pieces.empty()) pieces.push_back("{name}");

  std::vector<std::string> parts;
  if (EffectiveLayout(input, rules) == TOutputLayout::Tree)
    parts.insert(parts.end(), folders.begin(), folders.end());
  for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
    if (pieces[i] == "{folder}")  // the source's folders, as folders
      parts.insert(parts.end(), folders.begin(), folders.end());
    else
      parts.push_back(SafeName(fields.Expand(pieces[i])));
  }
  parts.push_back(SafeName(fields.Expand(pieces.back()), rules.Extension.size()) + rules.Extension);

  std::string relative;
  for (const std::string& part : parts) relative += (relative.empty() ? "" : "/") + part;
  return relative;
}

std::string OutputPath(const TNamingInput& input, const TNamingRules& rules,
                       const std::string& outputFolder) {
  std::string base = outputFolder;
  if (EffectiveLayout(input, rules) == TOutputLayout::Beside) {
    const std::size_t slash = input.Source.rfind('/');
    base = slash == std::string::npos ? std::string() : input.Source.substr(0, slash + 1);
  }
  return Joined(base, RelativeOutputPath(input, rules));
}

namespace {

// A folder's resolved path, kept while the folder is the same (device and
// inode): resolving costs a system call per component of the path, and a
// library's files share a few thousand folders.
std::string ResolvedFolder(const fs::path& folder) {
  struct Resolved {
    dev_t Device;
    ino_t Inode;
    std::string Path;
  };
  static std::mutex CacheLock;
  static std::map<std::string, Resolved> Cache;
  struct stat info;
  const bool exists = stat(folder.c_str(), &info) == 0;
  std::lock_guard<std::mutex> lock(CacheLock);
  if (exists) {
    const auto found = Cache.find(folder.string());
    if (found != Cache.end() && found->second.Device == info.st_dev &&
        found->second.Inode == info.st_ino)
      return found->second.Path;
  }
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(folder, error);
  if (error) resolved = folder.lexically_normal();
  if (!exists) return resolved.string();
  if (Cache.size() > 4096) Cache.clear();  // a bound, not a policy
  Cache[folder.string()] = {info.st_dev, info.st_ino, resolved.string()};
  return resolved.string();
}

}  // namespace

std::string SameFileKey(const std::string& path) {
  std::error_code error;
  const fs::path absolute = path.empty() || path[0] != '/' ? fs::absolute(path, error) : fs::path(path);
  const fs::path name = absolute.filename();
  struct stat info;
  // A link as the last name resolves to its target; so do ".", ".." and a
  // trailing "/": those take the whole way.
  if (name.empty() || name == "." || name == ".." ||
      (lstat(absolute.c_str(), &info) == 0 && S_ISLNK(info.st_mode))) {
    fs::path key = fs::weakly_canonical(absolute, error);
    if (error) key = absolute.lexically_normal();
    return key.string();
  }
  return (fs::path(ResolvedFolder(absolute.parent_path())) / name).string();
}

std::string TOutputClaims::Key(const std::string& path) {
  std::string key = SameFileKey(path);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

std::string TOutputClaims::Claim(const std::string& wanted, std::string* note) {
  std::string path = wanted;
  // Resolving a path costs a system call per folder: once per claim.
  std::string key = Key(wanted);
  const bool isInput = Inputs.count(key) > 0;
  if (isInput || Taken.count(key)) {
    const std::size_t nameStart = wanted.rfind('/') + 1;  // npos + 1 == 0
    const std::size_t dot = wanted.rfind('.');
    const std::size_t stemEnd = dot == std::string::npos || dot <= nameStart ? wanted.size() : dot;
    const std::string extension = wanted.substr(stemEnd);
    for (int n = 2;; ++n) {
      const std::string number = " (" + std::to_string(n) + ")";
      std::string stem = wanted.substr(nameStart, stemEnd - nameStart);
      CutAtCharacter(stem, NameLimit - std::min(NameLimit, number.size() + extension.size()));
      path = wanted.substr(0, nameStart) + stem + number + extension;
      key = Key(path);
      if (!Inputs.count(key) && !Taken.count(key)) break;
    }
    if (note)
      *note = wanted + (isInput ? " is one of the inputs" : " is taken by an earlier input") +
              "; writing " + path + " instead";
  }
  Taken.insert(std::move(key));
  return path;
}

bool PatternNeedsTags(const std::string& pattern) {
  for (size_t open = pattern.find('{'); open != std::string::npos;
       open = pattern.find('{', open + 1)) {
    const size_t end = pattern.find_first_of(":}", open + 1);
    if (end == std::string::npos) break;
    const std::string field = pattern.substr(open + 1, end - open - 1);
    if (field != "name" && field != "folder") return true;
  }
  return false;
}
