// Cue sheets: the tracks of one album file, read from a sheet beside it or
// embedded in it. Parsing is libcue's; this module finds the sheet, fixes its
// text encoding, checks what libcue lets through (times, order, the file it
// names) and turns it into tracks with per-track tags.
//
// Threads: any thread; libcue's parser keeps global state, so every parse
// takes one process-wide lock. Nothing here opens the media libraries.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "converter/TrackCut.h"

struct TSheetTrack {
  int Number = 0;  // as the sheet numbers it
  TTrackCut Cut;
  std::string Title, Performer;  // the track's own; empty when the sheet has none
  int Line = 0;                  // of its TRACK entry (1-based); 0 when not from a text
};

struct TCueSheet {
  // Where it came from, as messages name it: the sheet's path, or
  // "FILE (embedded cue sheet)".
  std::string Source;
  std::string Title, Performer, Date, Genre;
  std::vector<TSheetTrack> Tracks;
};

// Sheet text as UTF-8: a UTF-8 BOM is dropped, text that is not valid UTF-8
// is taken as Latin-1 and converted.
std::string CueTextToUtf8(const std::string& bytes);

// Parses the text of a sheet (any encoding CueTextToUtf8 takes). audioPath
// is the file the sheet belongs to: every FILE line must name it (by name,
// or by its name without the extension, as sheets ripped to WAV and encoded
// later do), unless checkFileName is false (embedded sheets name the file
// they were ripped to). False with `error` = "SOURCE:LINE: what is wrong"
// (or "SOURCE: ..." without a line) for a sheet that cannot be parsed, has
// no track, times that are not mm:ss:ff, tracks out of order, or names
// another file.
bool ParseCueSheet(const std::string& text, const std::string& source,
                   const std::string& audioPath, bool checkFileName, TCueSheet& sheet,
                   std::string& error);

// Every track must start before the end of a file of durationMs (skipped
// when durationMs < 0) and last at least one CD frame. False with `error`
// naming the sheet, the line and the time.
bool CheckCueTimes(const TCueSheet& sheet, int64_t durationMs, std::string& error);

enum class TCueLookup { None, Found, Broken };

// The sheet of an audio file: `FILE.cue` or `FILE-without-extension.cue`
// beside it, else the one .cue of its folder whose FILE line names it, else
// a CUESHEET tag among `tags` (keys lower-cased, as FFmpeg reports them),
// else a FLAC file's CUESHEET metadata block. A sheet file with several
// FILE lines describes tracks that are files of their own and gives None.
// Broken: a sheet was found but
// is unusable (`error` says why and where). Times are checked with
// CheckCueTimes against durationMs.
TCueLookup FindCueSheet(const std::string& audioPath,
                        const std::map<std::string, std::string>& tags, int64_t durationMs,
                        TCueSheet& sheet, std::string& error);

// Whether a sheet file (beside it, or one in its folder naming it) may be
// an audio file's: what FindCueSheet looks at before the file's own tags
// and blocks, told without opening the audio file.
bool SheetFileMayNameIt(const std::string& audioPath);

// The tracks of a FLAC file's CUESHEET metadata block (sample offsets; no
// titles: the block has none). Found when the file is FLAC and has one with
// at least one audio track; Broken when the block is damaged.
TCueLookup ReadFlacCueBlock(const std::string& audioPath, TCueSheet& sheet, std::string& error);

// Whether a FLAC file's comments hold a CUESHEET field: read from its
// metadata blocks, without the media libraries, so that a run can tell an
// album file from the rest before it describes any file.
bool FlacCommentsHoldCueSheet(const std::string& audioPath);

// The tags of one track's output: title and artist (the album's performer
// when the track has none), album, album_artist, track ("N/TOTAL"), date,
// genre; keys as the engine writes them.
std::map<std::string, std::string> TrackTags(const TCueSheet& sheet, size_t trackIndex);
