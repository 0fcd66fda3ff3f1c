#include "converter/OptionRecords.h"

#include "converter/OptionApplication.h"

void ResetOutputOptions(TOutputOptions& options) { options = TOutputOptions{}; }

namespace {

// Linux has no desktop-wide table of the classic system colours, so their
// values are those of the classic standard scheme, by index (red in the low
// byte). Indices without a colour resolve to black.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
constexpr uint32_t SystemColours[] = {
    Rgb(212, 208, 200), Rgb(58, 110, 165),  Rgb(10, 36, 106),   Rgb(128, 128, 128),
    Rgb(212, 208, 200), Rgb(255, 255, 255), Rgb(0, 0, 0),       Rgb(0, 0, 0),
    Rgb(0, 0, 0),       Rgb(255, 255, 255), Rgb(212, 208, 200), Rgb(212, 208, 200),
    Rgb(128, 128, 128), Rgb(10, 36, 106),   Rgb(255, 255, 255), Rgb(212, 208, 200),
    Rgb(128, 128, 128), Rgb(128, 128, 128), Rgb(0, 0, 0),       Rgb(212, 208, 200),
    Rgb(255, 255, 255), Rgb(64, 64, 64),    Rgb(212, 208, 200), Rgb(0, 0, 0),
    Rgb(255, 255, 225), Rgb(0, 0, 0),       Rgb(0, 0, 128),     Rgb(166, 202, 240),
    Rgb(192, 192, 192), Rgb(10, 36, 106),   Rgb(212, 208, 200)};

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

uint32_t ColorToRGB(uint32_t colour) {
  if ((colour & 0xFF000000u) == 0xFF000000u) {
    const uint32_t index = colour & 0xFFu;
    return index < std::size(SystemColours) ? SystemColours[index] : 0;
  }
  return colour & 0x00FFFFFFu;
}

std::string NormaliseOptionLines(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlankOrControl(text[first])) ++first;
  while (last > first && IsBlankOrControl(text[last - 1])) --last;
  std::string lines;
  lines.reserve(last - first);
  for (std::size_t i = first; i < last; ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < last && text[i + 1] == '\n') ++i;
    } else {
      lines += text[i];
    }
  }
  return lines;
}
