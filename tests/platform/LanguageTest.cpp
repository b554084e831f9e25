// Which language the operator reads: --lang over [Program] Language= over the
// system's language, with a C or POSIX locale (a lab machine's usual) Russian.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "CoreApplication.h"
#include "platform/Language.h"
#include "platform/SafeFile.h"

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

// A special file's refusal is shown in the operator's language but recorded in
// the program's own, as the journal keeps every text.
TEST(Language, specialFileMessage_shownInEnglish_recordedInRussian) {
  test::EnsureCoreApplication();
  QTranslator* english = InstallProgramTexts(*QCoreApplication::instance(), TLanguage::English);
  ASSERT_NE(english, nullptr);
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString shown = NotARegularFile(fifo);
  EXPECT_FALSE(shown.contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04FF}]"))))
      << shown.toStdString();
  EXPECT_EQ(
      NotARegularFileRecorded(fifo),
      fifo + QStringLiteral(": не обычный файл (именованный канал), программа его не открывает"));
  QCoreApplication::removeTranslator(english);
}
