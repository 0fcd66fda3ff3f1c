// Reading numbers the way the user writes them: with the decimal separator of
// the user's own locale (LC_ALL, LC_NUMERIC or LANG), whatever locale the
// process itself has set.
#pragma once

#include <string>

// The decimal separator of the user's locale; "." when it cannot be read.
std::string RegionalDecimalSeparator();

// Reads text as a real number: optional blanks, an optional sign, digits with
// at most one regional decimal separator, an optional exponent, optional
// blanks. Returns false (value untouched) for anything else, including a
// decimal point that is not the regional separator.
bool ReadRegionalReal(const std::string& text, double& value);
