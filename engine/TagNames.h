// The names a tag goes by. Sources spell one tag in several ways ("author",
// "tracknumber", "album artist"); whatever reads tags (the outputs' tags,
// the outputs' names, the window's output record) folds them here, so that
// the programs agree on what a file's artist or track is. Pure text, any
// thread.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

// Each tag: its key in our outputs first, then the other names sources use.
// Artist and album artist are two tags: neither stands in for the other here.
extern const std::initializer_list<std::initializer_list<const char*>> TagNames;

// The tag's key in our outputs ("TrackNumber" -> "track"); a name that is
// none of TagNames' comes back lower-cased.
std::string CanonicalTagKey(std::string_view name);

// The tags under their canonical keys, keys lower-cased. Where several names
// of one tag carry a value, the first non-empty one in TagNames' order wins
// (the output key itself before its aliases); empty values are dropped.
std::map<std::string, std::string> CanonicalTags(const std::map<std::string, std::string>& tags);

// The leading decimal number of a tag's text ("2003-05-01" -> 2003,
// " 3/12" -> 3), or -1 when it does not begin with one.
int LeadingTagNumber(std::string_view text);
