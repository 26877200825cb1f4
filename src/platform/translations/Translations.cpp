#include "platform/translations/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

namespace quorvel {

namespace {
const QString kCatalogues = QStringLiteral(":/i18n");

bool isUntranslated(const QString& locale) {
    return locale.isEmpty() || locale == QLatin1String("C") || locale.startsWith(QLatin1String("C.")) ||
           locale == QLatin1String("POSIX");
}

// "de_DE.UTF-8@euro" -> "de_DE"
QString withoutCodeset(QString locale) {
    const qsizetype cut = locale.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0) locale.truncate(cut);
    return locale;
}

// A language name, nothing that could lead out of the catalogues' folder.
bool isLanguageName(const QString& language) {
    static const QRegularExpression name(QStringLiteral("^[A-Za-z]{2,3}(_[A-Za-z0-9]{2,8})?$"));
    return name.match(language).hasMatch();
}

bool isEnglish(const QString& language) {
    return language == QLatin1String("en") || language.startsWith(QLatin1String("en_"));
}

QTranslator* loaded(const QString& name, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    // QTranslator strips "_DE" and such when the exact file is missing.
    if (translator->load(name, folder) && !translator->isEmpty()) return translator;
    delete translator;
    return nullptr;
}
} // namespace

QStringList Translations::wantedLanguages(const QProcessEnvironment& environment) {
    QString messages;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        messages = environment.value(QString::fromLatin1(name));
        if (!messages.isEmpty()) break;
    }
    if (isUntranslated(messages)) return {};
    QStringList wanted;
    for (const QString& language : environment.value(QStringLiteral("LANGUAGE")).split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (!isUntranslated(language)) wanted << withoutCodeset(language);
    wanted << withoutCodeset(messages);
    wanted.removeIf([](const QString& language) { return !isLanguageName(language); });
    wanted.removeDuplicates();
    return wanted;
}

QString Translations::install(const QProcessEnvironment& environment) {
    if (!QCoreApplication::instance()) return {};
    for (const QString& language : wantedLanguages(environment)) {
        if (isEnglish(language)) return {};
        QTranslator* own = loaded(QStringLiteral("quorvel_") + language, kCatalogues);
        if (!own) continue;
        QCoreApplication::installTranslator(own);
        // Qt's own texts (the file dialog, the context menus), where Debian's package is installed.
        if (QTranslator* qt = loaded(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qt);
        return language.section(QLatin1Char('_'), 0, 0);
    }
    return {};
}

} // namespace quorvel
