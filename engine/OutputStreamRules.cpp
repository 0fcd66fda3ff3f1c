#include "engine/OutputStreamRules.h"

#include <cctype>
#include <climits>

#include "engine/FFMpegException.h"

AVRational ClosestFrameRate(AVRational wanted, const AVRational* supported) {
  if (!supported || supported->den == 0) return wanted;
  // Exact rational distances: |wanted - entry| = |a*d - c*b| / (b*d).
  const auto distance = [&](AVRational entry, __int128& numerator, __int128& denominator) {
    numerator = static_cast<__int128>(wanted.num) * entry.den -
                static_cast<__int128>(entry.num) * wanted.den;
    denominator = static_cast<__int128>(wanted.den) * entry.den;
    if (denominator < 0) numerator = -numerator, denominator = -denominator;
    if (numerator < 0) numerator = -numerator;
  };
  __int128 bestNumerator = INT_MAX, bestDenominator = 1;
  AVRational best = wanted;
  for (const AVRational* entry = supported; entry->den != 0; ++entry) {
    __int128 numerator, denominator;
    distance(*entry, numerator, denominator);
    if (numerator * bestDenominator < bestNumerator * denominator) {
      bestNumerator = numerator;
      bestDenominator = denominator;
      best = *entry;
    }
  }
  return best;
}

namespace {

// A signed decimal integer at `pos`; false when there is none.
bool ReadInteger(const std::string& text, size_t& pos, int& value) {
  size_t at = pos;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) return false;
  long long magnitude = 0;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
    if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (text[at] - '0');
  if (magnitude > INT_MAX) magnitude = INT_MAX;  // saturates instead of wrapping
  value = static_cast<int>(negative ? -magnitude : magnitude);
  pos = at;
  return true;
}

}  // namespace

std::vector<RcOverride> ParseRcOverride(const std::string& text) {
  std::vector<RcOverride> overrides;
  size_t pos = 0;
  for (;;) {
    int numbers[3] = {0, 0, 0};
    for (int i = 0; i < 2; ++i) {
      if (!ReadInteger(text, pos, numbers[i]) || pos >= text.size())
        throw FFMpegException("error parsing rc_override");
      ++pos;  // the separator after the number
    }
    ReadInteger(text, pos, numbers[2]);  // a missing quantiser reads as 0
    RcOverride entry{};
    entry.start_frame = numbers[0];
    entry.end_frame = numbers[1];
    if (numbers[2] > 0) {
      entry.qscale = numbers[2];
      entry.quality_factor = 1.0f;
    } else {
      entry.qscale = 0;
      entry.quality_factor = -static_cast<float>(numbers[2]) / 100.0f;
    }
    overrides.push_back(entry);
    pos = text.find('/', pos);
    if (pos == std::string::npos) break;
    ++pos;
  }
  return overrides;
}
