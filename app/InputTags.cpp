#include "app/InputTags.h"

#include "engine/TagNames.h"

namespace {

template <std::size_t N>
void SetText(char (&field)[N], std::string text) {
  if (text.empty()) return;
  if (text.size() > N) {
    std::size_t cut = N;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  SetCharArray(field, text);
}

}  // namespace

void CopyInputTags(const TInputDescription& input, TOutputOptions& options) {
  // Under the names every program folds them to: an album artist stays the
  // album artist (the engine carries it) and is no artist.
  const std::map<std::string, std::string> tags = CanonicalTags(input.Tags);
  const auto tag = [&](const char* key) {
    const auto entry = tags.find(key);
    return entry == tags.end() ? std::string() : entry->second;
  };
  SetText(options.Title, tag("title"));
  SetText(options.Author, tag("artist"));
  SetText(options.Album, tag("album"));
  SetText(options.Genre, tag("genre"));
  SetText(options.Comment, tag("comment"));
  SetText(options.Copyright, tag("copyright"));
  if (const int year = LeadingTagNumber(tag("date")); year > 0) options.Year = year;
  if (const int track = LeadingTagNumber(tag("track")); track > 0) options.Track = track;
}
