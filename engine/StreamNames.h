// Names of the files and streams of a run, as messages give them.
#pragma once

#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/TranscodeTables.h"

// The file's name; empty when it has none.
inline std::string FileName(const AVFormatContext* file) {
  return file && file->url ? file->url : "";
}

// "file, stream #f.s", with the stream's place in the engine's file tables.
inline std::string StreamName(const AVFormatContext* file, int fileIndex, int streamIndex) {
  return FileName(file) + ", stream #" + std::to_string(fileIndex) + "." +
         std::to_string(streamIndex);
}
inline std::string StreamName(const AVFormatContext* file, const OutputStream& ost) {
  return StreamName(file, ost.FileIndex, ost.Index);
}
inline std::string StreamName(const AVFormatContext* file, const InputStream& ist) {
  return StreamName(file, ist.FileIndex, ist.Index);
}
