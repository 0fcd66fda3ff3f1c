#include "converter/CueSheet.h"

// Debian 12's libcue has both places; other versions keep one of them.
#if __has_include(<libcue.h>)
#include <libcue.h>
#else
#include <libcue/libcue.h>
#endif

#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// libcue's parser (flex and bison) keeps its state in globals.
std::mutex ParserLock;

struct CdDelete {
  void operator()(Cd* cd) const { cd_delete(cd); }
};
using CdPtr = std::unique_ptr<Cd, CdDelete>;

// Bigger sheets are not sheets.
constexpr std::uintmax_t MaxSheetBytes = 1 << 20;

bool ValidUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (more < 0 || (more == 1 && c < 0xC2)) return false;
    if (i + more >= text.size() + (more ? 0 : 1)) return false;
    for (int k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += more + 1;
  }
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Where(const std::string& source, int line) {
  return line > 0 ? source + ":" + std::to_string(line) + ": " : source + ": ";
}

std::string ClockOfFrames(int64_t frames) {
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(frames / 75 / 60),
                static_cast<long long>(frames / 75 % 60), static_cast<long long>(frames % 75));
  return text;
}

// What our own light pass over the text knows: the lines of the TRACK and
// FILE entries (libcue reports no lines) and the first line that is no
// sheet command, or whose INDEX time is not mm:ss:ff.
struct LineScan {
  std::vector<int> TrackLines;
  std::vector<std::pair<int, std::string>> Files;  // line, named file
  int BadLine = 0;
  std::string BadWhat;
};

std::string Unquoted(std::istringstream& words) {
  std::string rest;
  std::getline(words, rest);
  const size_t first = rest.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  rest.erase(0, first);
  if (rest[0] == '"') {
    const size_t end = rest.find('"', 1);
    return rest.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  }
  return rest.substr(0, rest.find_first_of(" \t"));
}

bool IsCueTime(const std::string& time) {
  unsigned m = 0, s = 0, f = 0;
  char end = 0;
  if (std::sscanf(time.c_str(), "%u:%u:%u%c", &m, &s, &f, &end) != 3) return false;
  return s < 60 && f < 75;
}

LineScan ScanLines(const std::string& text) {
  static const char* const Commands[] = {
      "rem",   "catalog", "cdtextfile", "file",   "flags",      "index",    "isrc",
      "performer", "postgap", "pregap", "songwriter", "title", "track", "composer", "arranger",
      "message", "disc_id", "genre", "toc_info1", "toc_info2", "upc_ean", "size_info"};
  LineScan scan;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string command;
    if (!(words >> command)) continue;
    command = Lower(command);
    bool known = false;
    for (const char* name : Commands) known = known || command == name;
    const auto bad = [&](const std::string& what) {
      if (scan.BadLine == 0) {
        scan.BadLine = number;
        scan.BadWhat = what;
      }
    };
    if (!known) {
      bad("\"" + command + "\" is not a cue sheet command");
    } else if (command == "track") {
      scan.TrackLines.push_back(number);
    } else if (command == "file") {
      scan.Files.emplace_back(number, Unquoted(words));
    } else if (command == "index") {
      std::string index, time;
      words >> index >> time;
      if (!IsCueTime(time)) bad("INDEX " + index + " has no time of the form mm:ss:ff");
    }
  }
  return scan;
}

bool NamesFile(const std::string& named, const std::string& audioPath) {
  const fs::path named_(named), audio(audioPath);
  const std::string name = named_.filename().string();
  return name == audio.filename().string() || fs::path(name).stem() == audio.stem();
}

std::string ReadSmallFile(const fs::path& path, bool& ok) {
  ok = false;
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error || size > MaxSheetBytes) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  ok = static_cast<bool>(in) || in.eof();
  return bytes.str();
}

std::string Text(const char* text) { return text ? text : ""; }

// The sheets of a folder and the files their FILE lines name. A batch asks
// for every file of a folder, so the folder is read once while it stays as
// it was (its modification time unchanged; a sheet written over in the
// same instant is missed until the folder changes).
using SheetList = std::vector<std::pair<fs::path, std::vector<std::string>>>;

SheetList FolderSheets(const fs::path& folder) {
  struct Cached {
    fs::file_time_type Modified;
    SheetList Sheets;
  };
  static std::mutex CacheLock;
  static std::map<std::string, Cached> Cache;
  std::error_code failure;
  const auto modified = fs::last_write_time(folder, failure);
  if (failure) return {};
  const std::string key = folder.string();
  {
    std::lock_guard<std::mutex> lock(CacheLock);
    const auto found = Cache.find(key);
    if (found != Cache.end() && found->second.Modified == modified) return found->second.Sheets;
  }
  SheetList sheets;
  for (fs::directory_iterator it(folder, failure), end; !failure && it != end;
       it.increment(failure)) {
    if (Lower(it->path().extension().string()) != ".cue" || !it->is_regular_file(failure)) continue;
    bool read = false;
    const LineScan scan = ScanLines(CueTextToUtf8(ReadSmallFile(it->path(), read)));
    if (!read) continue;
    std::vector<std::string> files;
    for (const auto& file : scan.Files) files.push_back(file.second);
    sheets.emplace_back(it->path(), std::move(files));
  }
  std::lock_guard<std::mutex> lock(CacheLock);
  if (Cache.size() > 256) Cache.clear();  // a bound, not a policy
  Cache[key] = {modified, sheets};
  return sheets;
}

}  // namespace

std::string CueTextToUtf8(const std::string& bytes) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
  if (ValidUtf8(bytes)) return bytes;
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8);
  for (const char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80) {
      text += byte;
    } else {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

bool ParseCueSheet(const std::string& bytes, const std::string& source,
                   const std::string& audioPath, bool checkFileName, TCueSheet& sheet,
                   std::string& error) {
  const std::string text = CueTextToUtf8(bytes);
  const LineScan scan = ScanLines(text);
  if (scan.BadLine > 0) {
    error = Where(source, scan.BadLine) + scan.BadWhat;
    return false;
  }
  if (scan.TrackLines.empty()) {
    error = Where(source, 0) + "the sheet has no TRACK";
    return false;
  }
  if (checkFileName)
    for (const auto& [line, named] : scan.Files)
      if (!NamesFile(named, audioPath)) {
        error = Where(source, line) + "names another file (\"" + named + "\", not \"" +
                fs::path(audioPath).filename().string() + "\")";
        return false;
      }

  CdPtr cd;
  {
    std::lock_guard<std::mutex> lock(ParserLock);
    cd.reset(cue_parse_string(text.c_str()));
  }
  const int count = cd ? cd_get_ntrack(cd.get()) : 0;
  if (!cd || count != static_cast<int>(scan.TrackLines.size())) {
    error = Where(source, 0) + "cannot be parsed as a cue sheet";
    return false;
  }

  TCueSheet made;
  made.Source = source;
  const Cdtext* album = cd_get_cdtext(cd.get());
  made.Title = Text(cdtext_get(PTI_TITLE, album));
  made.Performer = Text(cdtext_get(PTI_PERFORMER, album));
  made.Genre = Text(cdtext_get(PTI_GENRE, album));
  made.Date = Text(rem_get(REM_DATE, cd_get_rem(cd.get())));
  for (int i = 1; i <= count; ++i) {
    const Track* track = cd_get_track(cd.get(), i);
    TSheetTrack entry;
    entry.Number = i;
    entry.Line = scan.TrackLines[static_cast<size_t>(i - 1)];
    const long start = track ? track_get_index(track, 1) : -1;
    if (start < 0) {
      error = Where(source, entry.Line) + "track " + std::to_string(i) + " has no INDEX 01";
      return false;
    }
    // The INDEX time as written: from the start of the track's FILE, which
    // with one file per sheet is the album file.
    entry.Cut.Start = start;
    if (!made.Tracks.empty()) {
      TSheetTrack& previous = made.Tracks.back();
      if (entry.Cut.Start <= previous.Cut.Start) {
        error = Where(source, entry.Line) + "track " + std::to_string(i) + " starts at " +
                ClockOfFrames(entry.Cut.Start) + ", not after track " +
                std::to_string(previous.Number) + " (" + ClockOfFrames(previous.Cut.Start) + ")";
        return false;
      }
      // Up to this track's INDEX 01: its pregap (INDEX 00) ends the track
      // before, as players play it.
      previous.Cut.End = entry.Cut.Start;
    }
    const Cdtext* own = track_get_cdtext(track);
    entry.Title = Text(cdtext_get(PTI_TITLE, own));
    entry.Performer = Text(cdtext_get(PTI_PERFORMER, own));
    made.Tracks.push_back(std::move(entry));
  }
  sheet = std::move(made);
  return true;
}

bool CheckCueTimes(const TCueSheet& sheet, int64_t durationMs, std::string& error) {
  if (durationMs < 0) return true;
  for (const TSheetTrack& track : sheet.Tracks) {
    const int64_t startMs = track.Cut.Start * 1000 / track.Cut.TimeBaseDen;
    // A track must have at least one frame of audio to be a track.
    const int64_t framesLeft = (durationMs - startMs) * 75 / 1000;
    if (framesLeft < 1) {
      error = Where(sheet.Source, track.Line) + "track " + std::to_string(track.Number) +
              " starts at " + ClockOfFrames(track.Cut.Start * 75 / track.Cut.TimeBaseDen) +
              ", past the end of the file (" + ClockOfFrames(durationMs * 75 / 1000) + ")";
      return false;
    }
  }
  return true;
}

TCueLookup FindCueSheet(const std::string& audioPath,
                        const std::map<std::string, std::string>& tags, int64_t durationMs,
                        TCueSheet& sheet, std::string& error) {
  const fs::path audio(audioPath);
  const auto parseFile = [&](const fs::path& path) {
    bool read = false;
    const std::string bytes = ReadSmallFile(path, read);
    if (!read) {
      error = path.string() + ": cannot be read";
      return TCueLookup::Broken;
    }
    // A sheet of several FILEs describes tracks that are files already
    // (01.flac, 02.flac, ...): nothing to split.
    if (ScanLines(CueTextToUtf8(bytes)).Files.size() > 1) return TCueLookup::None;
    if (!ParseCueSheet(bytes, path.string(), audioPath, true, sheet, error) ||
        !CheckCueTimes(sheet, durationMs, error))
      return TCueLookup::Broken;
    return TCueLookup::Found;
  };

  std::error_code failure;
  for (const fs::path& beside : {fs::path(audioPath + ".cue"),
                                 fs::path(audio).replace_extension(".cue")})
    if (beside != audio && fs::is_regular_file(beside, failure)) return parseFile(beside);

  // The one sheet of the folder that names this file.
  fs::path named;
  int sheets = 0;
  const fs::path folder = audio.has_parent_path() ? audio.parent_path() : fs::path(".");
  for (const auto& [path, files] : FolderSheets(folder))
    for (const std::string& file : files)
      if (fs::path(file).filename() == audio.filename()) {
        named = path;
        ++sheets;
        break;
      }
  if (sheets == 1) return parseFile(named);

  if (const auto tag = tags.find("cuesheet"); tag != tags.end()) {
    const std::string source = audio.filename().string() + " (embedded cue sheet)";
    if (!ParseCueSheet(tag->second, source, audioPath, false, sheet, error) ||
        !CheckCueTimes(sheet, durationMs, error))
      return TCueLookup::Broken;
    return TCueLookup::Found;
  }
  const TCueLookup block = ReadFlacCueBlock(audioPath, sheet, error);
  if (block == TCueLookup::Found && !CheckCueTimes(sheet, durationMs, error))
    return TCueLookup::Broken;
  return block;
}

bool SheetFileMayNameIt(const std::string& audioPath) {
  const fs::path audio(audioPath);
  std::error_code failure;
  for (const fs::path& beside : {fs::path(audioPath + ".cue"),
                                 fs::path(audio).replace_extension(".cue")})
    if (beside != audio && fs::is_regular_file(beside, failure)) return true;
  const fs::path folder = audio.has_parent_path() ? audio.parent_path() : fs::path(".");
  for (const auto& [path, files] : FolderSheets(folder))
    for (const std::string& file : files)
      if (fs::path(file).filename() == audio.filename()) return true;
  return false;
}

std::map<std::string, std::string> TrackTags(const TCueSheet& sheet, size_t trackIndex) {
  const TSheetTrack& track = sheet.Tracks.at(trackIndex);
  std::map<std::string, std::string> tags;
  const auto put = [&](const char* key, const std::string& value) {
    if (!value.empty()) tags[key] = value;
  };
  char number[16];
  std::snprintf(number, sizeof number, "Track %02d", track.Number);
  put("title", track.Title.empty() ? std::string(number) : track.Title);
  put("artist", track.Performer.empty() ? sheet.Performer : track.Performer);
  put("album", sheet.Title);
  put("album_artist", sheet.Performer);
  put("track", std::to_string(track.Number) + "/" + std::to_string(sheet.Tracks.size()));
  put("date", sheet.Date);
  put("genre", sheet.Genre);
  return tags;
}
