#include "app/InputTags.h"

#include <initializer_list>

namespace {

// The first non-empty value of any of the keys.
std::string Tag(const TInputDescription& input, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    const auto entry = input.Tags.find(key);
    if (entry != input.Tags.end() && !entry->second.empty()) return entry->second;
  }
  return {};
}

// The leading decimal number of a text ("2003-05-01" -> 2003, "3/12" -> 3), or
// -1 when it does not begin with one.
int LeadingNumber(const std::string& text) {
  long value = 0;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const std::size_t first = i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i)
    value = value * 10 + (text[i] - '0');
  return i > first ? static_cast<int>(value) : -1;
}

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
  SetText(options.Title, Tag(input, {"title"}));
  SetText(options.Author, Tag(input, {"artist", "author", "album_artist"}));
  SetText(options.Album, Tag(input, {"album"}));
  SetText(options.Genre, Tag(input, {"genre"}));
  SetText(options.Comment, Tag(input, {"comment", "description"}));
  SetText(options.Copyright, Tag(input, {"copyright"}));
  if (const int year = LeadingNumber(Tag(input, {"date", "year"})); year > 0) options.Year = year;
  if (const int track = LeadingNumber(Tag(input, {"track"})); track > 0) options.Track = track;
}
