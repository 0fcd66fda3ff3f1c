#include "converter/cli/CliText.h"

#include <vector>

std::string Filled(const QString& text, std::initializer_list<std::string_view> values) {
  const QByteArray utf8 = text.toUtf8();
  const std::vector<std::string_view> args(values);
  std::string filled;
  filled.reserve(static_cast<std::size_t>(utf8.size()));
  for (qsizetype i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c == '%' && i + 1 < utf8.size() && utf8[i + 1] >= '1' && utf8[i + 1] <= '9') {
      const std::size_t index = static_cast<std::size_t>(utf8[i + 1] - '1');
      if (index < args.size()) {
        filled += args[index];
        ++i;
        continue;
      }
    }
    filled += c;
  }
  return filled;
}

void Print(std::FILE* stream, const QString& text,
           std::initializer_list<std::string_view> values) {
  std::fputs(Filled(text, values).c_str(), stream);
}
