#include "converter/UserLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdlib>
#include <cstring>

// The resource lives in a static library: nothing else refers to it, so it
// must be registered by name (outside any namespace).
static void RegisterTranslationResource() { Q_INIT_RESOURCE(melvaro_translations); }

namespace {

void Install(QCoreApplication& application, const QString& name, const QString& folder) {
  auto* translator = new QTranslator(&application);
  if (translator->load(QLocale::system(), name, QStringLiteral("_"), folder))
    QCoreApplication::installTranslator(translator);
  else
    delete translator;
}

}  // namespace

void InstallUserLanguage(QCoreApplication& application) {
  RegisterTranslationResource();
  Install(application, QStringLiteral("qtbase"),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  Install(application, QStringLiteral("melvaro"), QStringLiteral(":/translations"));
}

void PreferUtf8WithoutLocale() {
  const auto unset = [](const char* name) {
    const char* value = std::getenv(name);
    return !value || !*value;
  };
  const char* lang = std::getenv("LANG");
  const bool plainLang =
      !lang || !*lang || std::strcmp(lang, "C") == 0 || std::strcmp(lang, "POSIX") == 0;
  if (unset("LC_ALL") && unset("LC_CTYPE") && plainLang) setenv("LC_CTYPE", "C.UTF-8", 1);
}
