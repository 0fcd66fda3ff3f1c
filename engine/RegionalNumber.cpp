#include "engine/RegionalNumber.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Parses with the "C" locale, which is the one form strtod_l is sure to read.
bool ParseCNumber(const std::string& text, double& value) {
  locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
  if (c == static_cast<locale_t>(0)) return false;
  char* end = nullptr;
  const double result = strtod_l(text.c_str(), &end, c);
  freelocale(c);
  if (end != text.c_str() + text.size() || !std::isfinite(result)) return false;
  value = result;
  return true;
}

}  // namespace

std::string RegionalDecimalSeparator() {
  locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return ".";
  const char* radix = nl_langinfo_l(RADIXCHAR, user);
  std::string separator = radix && *radix ? radix : ".";
  freelocale(user);
  return separator;
}

bool ReadRegionalReal(const std::string& text, double& value) {
  const std::string separator = RegionalDecimalSeparator();
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;

  // Rebuilt in the C form; strtod alone would also take hex, "inf" or "nan".
  std::string plain;
  if (i < n && (text[i] == '+' || text[i] == '-')) plain += text[i++];
  int digits = 0;
  while (i < n && IsDigit(text[i])) plain += text[i++], ++digits;
  if (text.compare(i, separator.size(), separator) == 0) {
    i += separator.size();
    plain += '.';
    while (i < n && IsDigit(text[i])) plain += text[i++], ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    plain += text[i++];
    if (i < n && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    int exponentDigits = 0;
    while (i < n && IsDigit(text[i])) plain += text[i++], ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) return false;
  return ParseCNumber(plain, value);
}
