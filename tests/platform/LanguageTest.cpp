// Which language the operator reads: --lang over [Program] Language= over the
// system's language, with a C or POSIX locale (a lab machine's usual) Russian.

#include <gtest/gtest.h>

#include "platform/Language.h"

using namespace vorta;

TEST(Language, commandLineOverFileOverSystem_andCLocaleKeepsRussian) {
  const QLocale english(QLocale::English, QLocale::UnitedKingdom);
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  const QLocale c = QLocale::c();
  const QLocale german(QLocale::German, QLocale::Germany);
  struct TCase {
    const char* commandLine;
    const char* file;
    const QLocale& system;
    TLanguage expected;
  };
  const TCase cases[] = {
      {"", "auto", english, TLanguage::English},   {"", "auto", c, TLanguage::Russian},
      {"", "", german, TLanguage::Russian},        {"", "auto", russian, TLanguage::Russian},
      {"", " EN ", c, TLanguage::English},         {"", "ru", english, TLanguage::Russian},
      {"ru", "en", english, TLanguage::Russian},   {"en", "ru", russian, TLanguage::English},
      {"auto", "ru", english, TLanguage::English},
  };
  for (const TCase& t : cases) {
    SCOPED_TRACE(std::string(t.commandLine) + " / " + t.file);
    QString refused;
    EXPECT_EQ(ChooseLanguage(QString::fromUtf8(t.commandLine), QString::fromUtf8(t.file), t.system,
                             &refused),
              t.expected);
    EXPECT_TRUE(refused.isEmpty());
  }
  // A word that is no language counts as "auto" and is named for the message.
  QString refused;
  EXPECT_EQ(ChooseLanguage(QString(), QStringLiteral("english"), c, &refused), TLanguage::Russian);
  EXPECT_EQ(refused, QStringLiteral("english"));
  std::optional<TLanguage> choice;
  EXPECT_FALSE(ParseLanguage(QStringLiteral("de"), &choice));
}
