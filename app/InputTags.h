// Carries an input's descriptive tags over to its MP3.
#pragma once

#include "converter/InputDescription.h"
#include "converter/OptionRecords.h"

// Fills Title, Author, Album, Year, Track, Genre, Comment and Copyright of the
// record from the input's described tags (the container's, then those of its
// first audio stream, as Ogg keeps them there), under the names TagNames
// folds them to: an album artist is not taken for the artist, as the engine
// keeps it as a tag of its own. Texts longer than a field are cut at a
// character boundary. Fields without a tag keep their value.
void CopyInputTags(const TInputDescription& input, TOutputOptions& options);
