// Where every output goes: the one place that turns a source (its path, the
// folder it was found under, its tags) into the output's path, for the window
// and the command line alike. Pure bookkeeping: no media is opened; only
// TOutputClaims and SameFileKey look at the file system (to tell two
// spellings of one path apart). Any thread; a TOutputClaims object belongs
// to one thread at a time.
//
// The path is the layout's base folder, then the pattern's folders and name,
// then the extension:
//   flat    the output folder;
//   tree    the output folder, then the source's folder below the folder it
//           was found under ("Music" given, "Music/A/B/x.flac" -> "OUT/A/B/");
//   beside  the source's own folder.
// Without a layout chosen (Auto), a file named by itself is flat, a file
// found in a folder keeps its tree, and a pattern that makes folders of its
// own ("/" in it) is flat.
//
// The pattern's fields: {artist}, {albumartist} (the artist when missing),
// {album}, {title} (the source's name when missing), {track}, {disc},
// {year}, {genre}, {name} (the source's name without its extension) and
// {folder} (its folder below the folder it was found under); a number field
// takes a width, {track:02} -> "07". "/" makes folders. A missing text field
// is "Unknown Artist", "Unknown Album", "Unknown Genre" or "Unknown Year", a
// missing number is 0; an empty {folder} adds no folder.
//
// Every folder and file name is made safe for FAT and exFAT, where people copy
// music to: / \ : * ? " < > | and control characters become "_", a leading
// dot becomes "_" (no hidden outputs), trailing dots and spaces go, an empty
// name becomes "_", and each name is cut to 255 bytes at a UTF-8 character
// boundary (the extension kept). Nothing a tag holds can leave the base
// folder: "../../.bashrc" or "/etc/passwd" in a title stays one name in it.
#pragma once

#include <map>
#include <set>
#include <string>

// Where the outputs go relative to their sources.
enum class TOutputLayout { Auto, Flat, Tree, Beside };

// "flat", "tree", "beside" (and "auto"); false for any other text.
bool LayoutByName(const std::string& name, TOutputLayout& layout);
const char* LayoutName(TOutputLayout layout);

// What a name is made from. A track of a cue sheet passes its album file as
// Source and its own tags (title, track, ...) in Tags.
struct TNamingInput {
  std::string Source;  // the source file's path
  std::string Root;    // the folder it was found under; empty when named by itself
  // The tags under any of their usual names (folded through TagNames).
  std::map<std::string, std::string> Tags;
};

struct TNamingRules {
  TOutputLayout Layout = TOutputLayout::Auto;
  std::string Pattern;    // empty: "{name}"
  std::string Extension;  // with its dot: ".mp3"
};

// The layout that applies to this input (never Auto).
TOutputLayout EffectiveLayout(const TNamingInput& input, const TNamingRules& rules);

// The output's path below the layout's base folder, folders joined by "/":
// "A/B/07 Title.mp3". Never empty, never absolute, no "." or ".." part.
std::string RelativeOutputPath(const TNamingInput& input, const TNamingRules& rules);

// The whole output path: the base folder (outputFolder, or the source's
// folder for beside) joined with RelativeOutputPath.
std::string OutputPath(const TNamingInput& input, const TNamingRules& rules,
                       const std::string& outputFolder);

// One folder or file name made safe as described above; `reserve` bytes are
// kept free at its end (for an extension that follows).
std::string SafeName(const std::string& text, std::size_t reserve = 0);

// A key that two paths share when they name the same file: the canonical
// path (links resolved) of what exists, else its existing folder's canonical
// path and the rest, cleaned.
std::string SameFileKey(const std::string& path);

// Keeps one batch from writing over its own inputs or giving two sources one
// output: a wanted path that an input has, or that an earlier claim took,
// becomes "NAME (2).EXT" (the first free number from 2 on, cut so that the
// name stays within 255 bytes). Paths are compared without regard to ASCII
// letter case, as FAT and exFAT compare them: "Intro.mp3" and "intro.mp3"
// would be one file there.
class TOutputClaims {
 public:
  // Forgets every input and claim: a new batch.
  void Clear() {
    Inputs.clear();
    Taken.clear();
  }
  // One of the batch's inputs, which no output may replace.
  void AddInput(const std::string& path) { Inputs.insert(Key(path)); }
  // The same with the input's key made beforehand (InputKey, on any thread:
  // it costs a system call per folder of the path).
  void AddInputKey(std::string key) { Inputs.insert(std::move(key)); }
  static std::string InputKey(const std::string& path) { return Key(path); }
  // The path to write for `wanted`, taken for the rest of the batch. When it
  // differs from wanted, `note` (if given) says why: "X is one of the inputs;
  // writing Y instead" or "X is taken by an earlier input; writing Y instead".
  std::string Claim(const std::string& wanted, std::string* note = nullptr);

 private:
  static std::string Key(const std::string& path);

  std::set<std::string> Inputs;
  std::set<std::string> Taken;
};

// True when the pattern has a field taken from tags (anything but {name}
// and {folder}): only then must a source be opened before its name is known.
bool PatternNeedsTags(const std::string& pattern);
