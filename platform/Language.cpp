#include "platform/Language.h"

#include <QCoreApplication>
#include <QTranslator>

#include "platform/ProfileFile.h"

namespace vorta {

bool ParseLanguage(const QString& text, std::optional<TLanguage>* choice) {
  const QString word = text.trimmed().toLower();
  choice->reset();
  if (word == QLatin1String("ru")) {
    *choice = TLanguage::Russian;
  } else if (word == QLatin1String("en")) {
    *choice = TLanguage::English;
  } else if (!word.isEmpty() && word != QLatin1String("auto")) {
    return false;
  }
  return true;
}

QString ConfiguredLanguage(const TProfileFile& mainConfig) {
  return mainConfig.ReadString(QStringLiteral("Program"), QStringLiteral("Language"),
                               QStringLiteral("auto"));
}

TLanguage ChooseLanguage(const QString& commandLine, const QString& configured,
                         const QLocale& system, QString* refused) {
  for (const QString& text : {commandLine, configured}) {
    std::optional<TLanguage> choice;
    if (!ParseLanguage(text, &choice)) {
      if (refused != nullptr && refused->isEmpty()) *refused = text.trimmed();
      continue;
    }
    if (choice) return *choice;
    if (!text.trimmed().isEmpty()) break;  // "auto" said outright
  }
  return system.language() == QLocale::English ? TLanguage::English : TLanguage::Russian;
}

QTranslator* InstallProgramTexts(QCoreApplication& app, TLanguage language) {
  auto* translator = new QTranslator(&app);
  const QString name = language == TLanguage::English ? QStringLiteral(":/i18n/vorta_en.qm")
                                                      : QStringLiteral(":/i18n/vorta_ru.qm");
  if (!translator->load(name)) {
    delete translator;
    return nullptr;
  }
  QCoreApplication::installTranslator(translator);
  return translator;
}

}  // namespace vorta
