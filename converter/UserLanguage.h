// The user's language for both programs: our own texts from the translations
// built into the program (":/translations/melvaro_LANG.qm") and Qt's own
// (qtbase_LANG.qm from Qt's translations folder, where Debian's
// qt6-translations-l10n puts them), each only when there is one for the
// language of QLocale::system(). English, the language of the sources,
// needs none.
#pragma once

class QCoreApplication;

// Installs the translators on the application, which owns them. Call once,
// on the main thread, after the application object exists and before any
// text is shown; a missing translation is no error.
void InstallUserLanguage(QCoreApplication& application);

// Without any locale in the environment (cron, a bare container) characters
// would be ASCII; Qt then switches to UTF-8 on its own but says so on
// standard error at every start. Call before the application object exists
// to make that switch quietly; a locale the user set is left as it is.
void PreferUtf8WithoutLocale();
