// An output's descriptive tags as the tag writer takes them, in one naming
// for every format: TagLib's property names, upper case ("TITLE", "ARTIST",
// "ALBUMARTIST", "TRACKNUMBER", "DISCNUMBER", "ARTISTSORT", "ISRC", "BPM",
// "COMPILATION", "LYRICS", "LABEL", "MUSICBRAINZ_TRACKID",
// "MUSICBRAINZ_ALBUMID", "REPLAYGAIN_TRACK_GAIN", ...), each with its values
// in order; a multi-valued field (two artists) holds two values. The writer
// maps each name to the format's own field (OutputTagWriter.h).
#pragma once

#include <map>
#include <string>
#include <vector>

using TagSet = std::map<std::string, std::vector<std::string>>;

// What a caller changes in every output's tags, on top of those taken over
// from the source and the record. Applied when the finished outputs get
// their tags, just before they take their final names (the engine's
// CommitOutputs), so values measured during the run (fresh ReplayGain, say)
// can still be set while the run ends.
//   Drop:    keys removed, each an exact name or a prefix ending in '*'
//            ("REPLAYGAIN_*").
//   Replace: keys set to exactly these values after the drop; a key with no
//            value is removed.
// An engine whose volume is changed drops the source's "REPLAYGAIN_*" on its
// own; fresh values in Replace still reach the output.
struct TagChanges {
  std::vector<std::string> Drop;
  TagSet Replace;
};

// `tags` with `changes` applied.
void ApplyTagChanges(TagSet& tags, const TagChanges& changes);
