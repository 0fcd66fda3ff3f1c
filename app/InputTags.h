// Carries an input's descriptive tags over to its MP3.
#pragma once

#include "converter/OptionRecords.h"

struct AVFormatContext;

// Fills Title, Author, Album, Year, Track, Genre, Comment and Copyright of the
// record from the opened input's metadata: the container's tags first, then
// those of its first audio stream (Ogg keeps them there). Keys are matched
// without regard to letter case; texts longer than a field are cut at a
// character boundary. Fields without a tag keep their value. Needs the media
// libraries loaded; input may be null.
void CopyInputTags(const AVFormatContext* input, TOutputOptions& options);
