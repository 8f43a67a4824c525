// Qt's own texts (the file, print and preview dialogs, standard buttons) in the user's language,
// from the translations Debian installs with qt6-translations-l10n.
#pragma once

#include <QLocale>

class QCoreApplication;

namespace tessarin::desktop {

// Installs Qt's translations for `locale` into `app` (translators owned by `app`). False when
// none is installed for that language, in which case Qt speaks English.
bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale = QLocale::system());

}  // namespace tessarin::desktop
