// The texts melvaro-convert prints, in the user's language: Cli::tr("...")
// finds a text's translation (lupdate collects them under "MelvaroConvert"),
// Filled puts the values in. The English texts in the sources are the
// originals; without a translation they are printed as they are.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

class Cli {
  Q_DECLARE_TR_FUNCTIONS(MelvaroConvert)
};

// The text as UTF-8 with %1, %2, ... (up to %9) replaced by the values,
// byte for byte: a file name that is not valid UTF-8 is printed as it is.
std::string Filled(const QString& text, std::initializer_list<std::string_view> values = {});

// Writes Filled(text, values) to the stream.
void Print(std::FILE* stream, const QString& text,
           std::initializer_list<std::string_view> values = {});
