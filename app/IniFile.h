// One string value of an INI-format file: "[Section]" headers, "Key=Value"
// lines. Section and key names match without regard to letter case, values
// are read with surrounding blanks (and one pair of enclosing quotes) removed.
#pragma once

#include <QString>
#include <stdexcept>

// Raised when the file cannot be written; the message names the file.
class TIniFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value, or defaultValue when the file, the section or the key is missing
// or unreadable. Never raises.
QString ReadIniString(const QString& fileName, const QString& section, const QString& key,
                      const QString& defaultValue);

// Sets the key, keeping every other line of the file; creates the file (not
// its folder) when missing. The file is replaced as a whole, so a failed write
// leaves the old one intact. Raises TIniFileError "Unable to write to <file>".
void WriteIniString(const QString& fileName, const QString& section, const QString& key,
                    const QString& value);
