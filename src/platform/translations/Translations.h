#pragma once
// The language of the texts: quorvel's catalogue (translations/*.ts, built in
// as ":/i18n/quorvel_<language>.qm") and Qt's own for its dialogs, chosen
// from the locale as gettext programs choose theirs: LANGUAGE's list when the
// messages locale (LC_ALL, else LC_MESSAGES, else LANG) is set and not C or
// POSIX, then that locale. English, the sources' language, needs no catalogue.
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace quorvel {

class Translations {
  public:
    // The wanted languages, most wanted first ("de_DE", "de"): none for C/POSIX.
    static QStringList wantedLanguages(const QProcessEnvironment& environment);

    // Installs the catalogues of the first wanted language that has one, before
    // English or the end of the list. Call once the application object exists
    // and before any text is made. Returns the language installed ("de"), or
    // an empty string for English.
    static QString install(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
};

} // namespace quorvel
