#pragma once
// The language of what the operator reads: Russian (the source texts) or
// English. What the program writes to files or publishes stays Russian
// whatever the choice, so only shown texts pass through tr().

#include <QLocale>
#include <QString>
#include <optional>

class QCoreApplication;
class QTranslator;

namespace vorta {

class TProfileFile;

enum class TLanguage { Russian, English };

// "ru", "en" or "auto" (any case, surrounding blanks ignored); nullopt for
// anything else. "auto" and an empty text give nullopt in `choice` and true.
bool ParseLanguage(const QString& text, std::optional<TLanguage>* choice);

// [Program] Language= of Vorta.ini as written ("auto" when absent).
QString ConfiguredLanguage(const TProfileFile& mainConfig);

// The command line's --lang over Vorta.ini's Language=; with neither (or
// "auto"), English when the system's language is English, Russian otherwise
// (a C or POSIX locale keeps Russian). A word that is not a language counts
// as "auto"; `refused` then names it for a message.
TLanguage ChooseLanguage(const QString& commandLine, const QString& configured,
                         const QLocale& system, QString* refused = nullptr);

// Installs the program's translation for `language` into app (English: every
// shown text; Russian: the plural forms): the translator, owned by app, or
// nullptr when it could not be loaded.
QTranslator* InstallProgramTexts(QCoreApplication& app, TLanguage language);

}  // namespace vorta
