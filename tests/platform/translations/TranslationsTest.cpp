// The German catalogue against the sources: every text the sources hand to
// tr()/translate() and every text of the strings table has a finished German
// translation, the built-in catalogue carries them all, and the locale picks
// German or English as gettext programs do.
#include "platform/translations/Translations.h"
#include "platform/core/LocalizedStrings.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

const QString kSources = QStringLiteral(QUORVEL_SOURCE_DIR);
const QString kCatalogue = kSources + QStringLiteral("/translations/quorvel_de.ts");

struct Message {
    QString context, source, comment, translation, type;
};

QList<Message> readCatalogue(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QDomDocument document;
    if (!document.setContent(&file)) return {};
    QList<Message> messages;
    const QDomNodeList contexts = document.elementsByTagName(QStringLiteral("context"));
    for (int c = 0; c < contexts.size(); ++c) {
        const QDomElement context = contexts.at(c).toElement();
        const QString name = context.firstChildElement(QStringLiteral("name")).text();
        for (QDomElement m = context.firstChildElement(QStringLiteral("message")); !m.isNull();
             m = m.nextSiblingElement(QStringLiteral("message"))) {
            const QDomElement translation = m.firstChildElement(QStringLiteral("translation"));
            messages.append({name, m.firstChildElement(QStringLiteral("source")).text(),
                             m.firstChildElement(QStringLiteral("comment")).text(), translation.text(),
                             translation.attribute(QStringLiteral("type"))});
        }
    }
    return messages;
}

QProcessEnvironment environment(std::initializer_list<std::pair<const char*, const char*>> variables) {
    QProcessEnvironment env;
    for (const auto& [name, value] : variables) env.insert(QString::fromLatin1(name), QString::fromUtf8(value));
    return env;
}

// Installs for an environment; the translators go again at the end of the scope.
class InstalledFor {
  public:
    explicit InstalledFor(const QProcessEnvironment& env) : language(Translations::install(env)) {}
    ~InstalledFor() { qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator*>()); }
    const QString language;
};

QStringList placeholders(const QString& text) {
    QStringList found;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("%\\d")).globalMatch(text);
    while (it.hasNext()) found << it.next().captured();
    found.sort();
    return found;
}

} // namespace

TEST(GermanCatalogue, EveryTextOfTheSourcesHasAFinishedTranslation) {
    // lupdate's own view of today's sources, merged into a copy of the catalogue:
    // a text added or changed since shows up unfinished there.
    QTemporaryDir dir;
    const QString merged = dir.filePath(QStringLiteral("quorvel_de.ts"));
    ASSERT_TRUE(QFile::copy(kCatalogue, merged));
    QProcess lupdate;
    lupdate.setWorkingDirectory(kSources);
    lupdate.start(QStringLiteral(QUORVEL_LUPDATE),
                  {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral("-extensions"), QStringLiteral("cpp,h,ui"), QStringLiteral("src"),
                   QStringLiteral("app"), QStringLiteral("cli"), QStringLiteral(QUORVEL_STRINGS_LISTING),
                   QStringLiteral("-ts"), merged});
    ASSERT_TRUE(lupdate.waitForFinished(120000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();

    const QList<Message> messages = readCatalogue(merged);
    ASSERT_GT(messages.size(), 200);
    QStringList untranslated;
    for (const Message& m : messages)
        if (m.translation.isEmpty() || !m.type.isEmpty())
            untranslated << m.context + QStringLiteral(": ") + m.source;
    EXPECT_TRUE(untranslated.isEmpty()) << "no finished German text for:\n"
                                        << untranslated.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(messages.size(), readCatalogue(kCatalogue).size()) << "the catalogue holds texts the sources no longer have";
}

TEST(GermanCatalogue, TranslationsKeepPlaceholdersShortcutsAndLineBreaks) {
    const QList<Message> messages = readCatalogue(kCatalogue);
    ASSERT_FALSE(messages.isEmpty());
    for (const Message& m : messages) {
        EXPECT_EQ(placeholders(m.translation), placeholders(m.source)) << m.source.toStdString();
        EXPECT_EQ(m.translation.count(QLatin1Char('&')), m.source.count(QLatin1Char('&'))) << m.source.toStdString();
        EXPECT_EQ(m.translation.count(QLatin1Char('\n')), m.source.count(QLatin1Char('\n'))) << m.source.toStdString();
    }
}

TEST(GermanCatalogue, TheBuiltInCatalogueCarriesEveryTranslation) {
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(":/i18n/quorvel_de.qm")));
    for (const Message& m : readCatalogue(kCatalogue)) {
        const QString comment = m.comment;
        EXPECT_EQ(translator.translate(m.context.toUtf8().constData(), m.source.toUtf8().constData(),
                                       comment.isEmpty() ? nullptr : comment.toUtf8().constData()),
                  m.translation)
            << m.context.toStdString() << ": " << m.source.toStdString();
    }
}

TEST(GermanCatalogue, EveryTextOfTheStringsTableIsTranslated) {
    // Read here from the table itself, not from the listing the build makes of it.
    QFile table(kSources + QStringLiteral("/resources/strings.txt"));
    ASSERT_TRUE(table.open(QIODevice::ReadOnly | QIODevice::Text));
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(":/i18n/quorvel_de.qm")));
    int texts = 0;
    for (const QString& line : QString::fromUtf8(table.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('#')) || !line.contains(QLatin1Char('\t'))) continue;
        const QString text = line.section(QLatin1Char('\t'), 1).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        ++texts;
        EXPECT_FALSE(translator.translate("Strings", text.toUtf8().constData()).isEmpty()) << line.toStdString();
    }
    EXPECT_GT(texts, 40);
}

TEST(Translations, TheMessagesLocaleChoosesTheLanguages) {
    EXPECT_EQ(Translations::wantedLanguages(environment({})), QStringList());
    for (const char* plain : {"C", "POSIX", "C.UTF-8"}) {
        EXPECT_EQ(Translations::wantedLanguages(environment({{"LANG", plain}})), QStringList()) << plain;
        // LANGUAGE counts only where the locale is not C, as for gettext.
        EXPECT_EQ(Translations::wantedLanguages(environment({{"LANG", plain}, {"LANGUAGE", "de"}})), QStringList()) << plain;
    }
    EXPECT_EQ(Translations::wantedLanguages(environment({{"LANG", "de_DE.UTF-8"}})), QStringList{QStringLiteral("de_DE")});
    EXPECT_EQ(Translations::wantedLanguages(environment({{"LANG", "de_AT.UTF-8@euro"}})), QStringList{QStringLiteral("de_AT")});
    EXPECT_EQ(Translations::wantedLanguages(environment({{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "C"}})), QStringList());
    EXPECT_EQ(Translations::wantedLanguages(environment({{"LANG", "C"}, {"LC_MESSAGES", "de_DE.UTF-8"}})),
              QStringList{QStringLiteral("de_DE")});
    EXPECT_EQ(Translations::wantedLanguages(environment({{"LANG", "C"}, {"LC_MESSAGES", "C"}, {"LC_ALL", "de_CH.UTF-8"}})),
              QStringList{QStringLiteral("de_CH")});
    EXPECT_EQ(Translations::wantedLanguages(environment({{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "fr:de"}})),
              (QStringList{QStringLiteral("fr"), QStringLiteral("de"), QStringLiteral("de_DE")}));
    // Names that are no language (a path among them) are passed over.
    EXPECT_EQ(Translations::wantedLanguages(
                  environment({{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "../../tmp/evil:x:de_DE/../y:fr_FR"}})),
              (QStringList{QStringLiteral("fr_FR"), QStringLiteral("de_DE")}));
}

TEST(Translations, GermanIsInstalledForAGermanLocaleAndTheStringsTableFollows) {
    resetLocalizedStrings();
    {
        const InstalledFor german(environment({{"LANG", "de_DE.UTF-8"}}));
        EXPECT_EQ(german.language, QStringLiteral("de"));
        EXPECT_EQ(NSLocalizedString(QStringLiteral("failed")), QStringLiteral("Export fehlgeschlagen"));
        EXPECT_EQ(NSLocalizedString(QStringLiteral("Fade ON")), QStringLiteral("EIN"));
        // A key the table lacks still shows the key; an untranslated text (an address) stays as it is.
        EXPECT_EQ(NSLocalizedString(QStringLiteral("no_such_key")), QStringLiteral("no_such_key"));
        EXPECT_TRUE(NSLocalizedString(QStringLiteral("appirater_review_url")).startsWith(QStringLiteral("https://")));
        // Qt's own dialogs speak German too, where Debian's catalogue of them is installed.
        if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm"))) {
            EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
        }
    }
    EXPECT_EQ(NSLocalizedString(QStringLiteral("failed")), QStringLiteral("Export failed"));
}

TEST(Translations, EnglishAndUnknownLanguagesStayEnglish) {
    for (const auto& env : {environment({{"LANG", "C"}}), environment({{"LANG", "en_GB.UTF-8"}}),
                            environment({{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "en:de"}}),
                            environment({{"LANG", "fr_FR.UTF-8"}})}) {
        const InstalledFor installed(env);
        EXPECT_TRUE(installed.language.isEmpty()) << installed.language.toStdString();
        EXPECT_EQ(NSLocalizedString(QStringLiteral("failed")), QStringLiteral("Export failed"));
        EXPECT_TRUE(QCoreApplication::instance()->findChildren<QTranslator*>().isEmpty());
    }
    // A language without a catalogue of ours gives way to the next one wanted.
    const InstalledFor next(environment({{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "fr:de"}}));
    EXPECT_EQ(next.language, QStringLiteral("de"));
}
