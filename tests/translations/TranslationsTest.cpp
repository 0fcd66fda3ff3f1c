// Every text the sources mark for translation has a finished German and
// French translation in translations/, with the same placeholders, and the
// command line speaks the user's language.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "tests/support/TempFolder.h"

namespace {

struct Message {
  QStringList Forms;  // the translation, or each of its plural forms
  bool Finished = false;
};
// (context, source) -> translation.
using Catalog = std::map<std::pair<QString, QString>, Message>;

Catalog Read(const QString& path) {
  Catalog catalog;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return catalog;
  QXmlStreamReader xml(&file);
  QString context, source;
  Message message;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) {
      if (xml.isEndElement() && xml.name() == u"message") catalog[{context, source}] = message;
      continue;
    }
    if (xml.name() == u"name") {
      context = xml.readElementText();
    } else if (xml.name() == u"message") {
      source.clear();
      message = Message{};
    } else if (xml.name() == u"source") {
      source = xml.readElementText();
    } else if (xml.name() == u"translation") {
      const QString type = xml.attributes().value(QStringLiteral("type")).toString();
      // A text with %n holds one <numerusform> per plural form instead of
      // character data; every form has to be finished.
      QString text;
      message.Forms.clear();
      while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters())
          text += xml.text();
        else if (xml.isStartElement() && xml.name() == u"numerusform")
          message.Forms.append(xml.readElementText());
        else if (xml.isEndElement() && xml.name() == u"translation")
          break;
      }
      if (message.Forms.isEmpty()) message.Forms.append(text);
      message.Finished = type.isEmpty();
      for (const QString& form : message.Forms)
        message.Finished = message.Finished && !form.trimmed().isEmpty();
    }
  }
  EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
  return catalog;
}

std::pair<int, std::string> Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return {-1, {}};
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  const int status = pclose(pipe);
  // Where the language's locale is not generated on the machine, Qt (6.8 on)
  // says so in a few lines before the program starts; they are the machine's.
  if (output.rfind("Detected locale \"", 0) == 0) {
    const size_t last = output.find("for more information.");
    if (last != std::string::npos) output.erase(0, output.find('\n', last) + 1);
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

QSet<QString> Placeholders(const QString& text) {
  static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
  QSet<QString> found;
  for (const QRegularExpressionMatch& match : placeholder.globalMatch(text))
    found.insert(match.captured());
  return found;
}

// What the sources hold today, as lupdate finds it (the committed .ts files
// may be behind them).
Catalog TextsOfTheSources() {
  TempFolder folder;
  const std::string ts = folder / "sources.ts";
  const auto [status, output] =
      Shell("'" MELVARO_LUPDATE "' -silent -locations none -I '" MELVARO_SOURCE_DIR "' '"
            MELVARO_SOURCE_DIR "/app' '" MELVARO_SOURCE_DIR "/converter/cli' -ts '" + ts + "'");
  EXPECT_EQ(status, 0) << output;
  return Read(QString::fromStdString(ts));
}

}  // namespace

TEST(Translations, EveryTextHasAFinishedGermanAndFrenchTranslation) {
  const Catalog sources = TextsOfTheSources();
  ASSERT_GT(sources.size(), 50u);  // lupdate found the texts at all
  for (const char* language : {"de", "fr"}) {
    SCOPED_TRACE(language);
    const Catalog catalog =
        Read(QStringLiteral(MELVARO_SOURCE_DIR "/translations/melvaro_%1.ts").arg(language));
    for (const auto& [key, unused] : sources) {
      const std::string where = key.first.toStdString() + ": \"" + key.second.toStdString() + "\"";
      const auto found = catalog.find(key);
      if (found == catalog.end()) {
        ADD_FAILURE() << where << " is missing; build the target update_translations";
        continue;
      }
      const Message& message = found->second;
      EXPECT_TRUE(message.Finished) << where << " is not translated";
      for (const QString& form : message.Forms) {
        EXPECT_EQ(Placeholders(form), Placeholders(key.second))
            << where << " -> \"" << form.toStdString() << "\"";
        EXPECT_EQ(form.endsWith(u'\n'), key.second.endsWith(u'\n')) << where;
      }
    }
  }
}

TEST(Translations, TheCommandLineSpeaksTheUsersLanguage) {
  struct Case {
    const char* Lang;
    const char* Usage;    // how --help begins
    const char* Unknown;  // the message of an unknown option
  };
  const Case cases[] = {
      {"de_DE.UTF-8", "Aufruf: melvaro-convert", "melvaro-convert: unbekannte Option --nope"},
      {"fr_FR.UTF-8", "usage : melvaro-convert", "melvaro-convert : option inconnue --nope"},
      {"C", "usage: melvaro-convert", "melvaro-convert: unknown option --nope"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Lang);
    const std::string program = std::string("env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=") +
                                c.Lang + " '" MELVARO_CONVERT_PROGRAM "'";
    const auto [helpStatus, help] = Shell(program + " --help");
    EXPECT_EQ(helpStatus, 0);
    EXPECT_EQ(help.rfind(c.Usage, 0), 0u) << help;
    const auto [status, unknown] = Shell(program + " --nope x.wav");
    EXPECT_EQ(status, 2);
    EXPECT_EQ(unknown.rfind(c.Unknown, 0), 0u) << unknown;
  }
}
