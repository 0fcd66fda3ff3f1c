// Loading the media libraries as one unit, and the process-wide state that
// goes with them. Loading runs on the UI thread before any task starts and
// never raises; the state below may be read from any thread.
#pragma once

#include <atomic>
#include <string>

// True after a successful LoadMediaLibraries; the engine's set-up and clean-up
// do their work only while it is true.
extern std::atomic<bool> MediaLibrariesLoaded;
// Why the last unsuccessful load failed; empty after a successful one.
extern std::string MediaLibraryError;
// The libraries' log level on the engine's scale (-1 quiet, 0 errors,
// 1 information, 2 debugging, 3 everything): the most verbose level that a
// live engine asked for. Lines above it are dropped; a line of a task's run
// is held to that task's own level.
extern std::atomic<int> LibraryLogLevel;

// Loads avcodec, avformat, avutil, swscale and swresample, in this order, from
// `folder` first (see LibrarySearch) and binds their tables. versionedNames
// chooses "libX.so.N" over "libX.so". Once loaded, further calls return true at
// once whatever they pass. On failure every library is released again and
// MediaLibraryError names the first library or entry point that failed. After
// the required libraries the optional RealVideo decoder library is loaded and
// the bridge decoders registered (RealVideoHlpr); its failure is silent.
bool LoadMediaLibraries(const std::string& folder, bool versionedNames);
// Releases every library in loading order, the RealVideo decoder library
// last; used after a failed load.
void UnloadMediaLibraries();

// The engine's log scale and the libraries' AV_LOG_* levels. Warnings count
// as information, verbose output as debugging.
int LibraryLevelFromEngine(int engineLevel);
int EngineLevelFromLibrary(int libraryLevel);
