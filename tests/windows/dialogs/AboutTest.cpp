// The About window: version fields read from the built program's embedded
// block, their absence elsewhere, and the picture decoded through libjpeg.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "platform/About.h"
#include "platform/VersionInfo.h"
#include "windows/dialogs/AboutForm.h"
#include "windows/dialogs/AboutPicture.h"

namespace vorta {
namespace {

const QString kProgram = QStringLiteral(VORTA_BIN);

QStringList ProgramLines() {
  const QString v = QStringLiteral(VORTA_VERSION);
  return {QStringLiteral("Компания: Лаборатория Vorta"),
          QStringLiteral("Файл: Vorta2: управление лабораторными ферментерами"),
          QStringLiteral("Версия файла: ") + v, QStringLiteral("Внутреннее имя: vorta"),
          QStringLiteral("Права: © Лаборатория Vorta"),
          // LegalTradeMarks is empty in the block: no line.
          QStringLiteral("OriginalFileName: vorta"), QStringLiteral("Продукт: Vorta2"),
          QStringLiteral("Версия продукта: ") + v,
          QStringLiteral("Комментарии: Сборка ") + QStringLiteral(VORTA_BUILD_TYPE)};
}

TEST(VersionInfoTest, BuiltProgramCarriesTheFieldsInTableOrder) {
  EXPECT_EQ(AboutVersionLines(kProgram), ProgramLines());
}

TEST(VersionInfoTest, FilesWithoutTheBlockSayNoVersionInformation) {
  QTemporaryDir dir;
  const QString text = dir.filePath(QStringLiteral("notes.txt"));
  QFile f(text);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(
      "\x7F"
      "ELF but not really");
  f.close();
  const QStringList none{QStringLiteral("No version information found")};
  // This test program is an ELF file built without the block.
  EXPECT_EQ(AboutVersionLines(QCoreApplication::applicationFilePath()), none);
  EXPECT_EQ(AboutVersionLines(text), none);
  EXPECT_EQ(AboutVersionLines(dir.filePath(QStringLiteral("missing"))), none);
}

TEST(VersionInfoTest, QueriesStayInsideTheBlock) {
  const QByteArray name = kProgram.toLocal8Bit();
  std::uint32_t handle = 7;
  const std::uint32_t size = GetFileVersionInfoSizeA(name.constData(), &handle);
  ASSERT_GT(size, kVersionHeaderSize);
  EXPECT_EQ(handle, 0U);
  std::vector<char> block(size);
  EXPECT_FALSE(GetFileVersionInfoA(name.constData(), 0, size - 1, block.data()));
  ASSERT_TRUE(GetFileVersionInfoA(name.constData(), 0, size, block.data()));

  void* value = nullptr;
  std::uint32_t len = 0;
  ASSERT_TRUE(
      VerQueryValueA(block.data(), "\\StringFileInfo\\041904E3\\ProductName", &value, &len));
  EXPECT_STREQ(static_cast<const char*>(value), "Vorta2");
  EXPECT_EQ(len, 7U);
  EXPECT_FALSE(
      VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\ProductName", &value, &len));
  EXPECT_FALSE(VerQueryValueA(block.data(), "ProductName", &value, &len));

  // A block whose strings run off its end, or without the magic, answers nothing.
  const char torn[] = {'V', 'V', 'I', '1', 14, 0, 0, 0, '\\', 'A', 0, 'v', 'a', 'l'};
  EXPECT_FALSE(VerQueryValueA(torn, "\\A", &value, &len));
  std::vector<char> foreign = block;
  foreign[0] = 'X';
  EXPECT_FALSE(
      VerQueryValueA(foreign.data(), "\\StringFileInfo\\041904E3\\ProductName", &value, &len));
}

QByteArray ShippedPicture() {
  QFile f(TAboutForm::kPicture);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(AboutWindowTest, ShowsPictureAndVersionLinesAtItsFixedSize) {
  TAboutForm about(nullptr, kProgram);
  EXPECT_EQ(about.windowTitle(), QStringLiteral("О программе"));
  EXPECT_EQ(about.size(), QSize(340, 227));
  EXPECT_EQ(about.Picture()->geometry(), QRect(8, 8, 161, 169));
  EXPECT_EQ(about.VersionText()->geometry(), QRect(176, 8, 153, 161));
  ASSERT_FALSE(about.Picture()->pixmap().isNull());
  // Scaled proportionally into its box.
  const QSize shown = about.Picture()->pixmap().size();
  EXPECT_TRUE(shown.width() == 161 || shown.height() == 169)
      << shown.width() << "x" << shown.height();
  EXPECT_LE(shown.width(), 161);
  EXPECT_LE(shown.height(), 169);
  EXPECT_EQ(about.VersionText()->toPlainText().split(u'\n'), ProgramLines());
  EXPECT_EQ(about.OkButton()->text(), QStringLiteral("Закрыть"));
  // Longer than its box, and read from the top.
  about.show();
  about.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
  const QScrollBar* bar = about.VersionText()->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), 0);

  const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
  if (!dir.isEmpty()) about.grab().save(dir + QStringLiteral("/about.png"));
}

TEST(AboutWindowTest, DamagedOrMissingPictureLeavesTheWindowWithoutIt) {
  const QByteArray good = ShippedPicture();
  ASSERT_GT(good.size(), 1000);
  EXPECT_FALSE(DecodeJpeg(good).isNull());

  QByteArray flipped = good;
  for (qsizetype i = good.size() / 2; i < good.size() / 2 + 64; ++i) flipped[i] = '\xFF';
  const QByteArray damaged[] = {good.left(good.size() / 2), good.left(20), flipped,
                                QByteArray("not a picture at all"), QByteArray()};
  QTemporaryDir dir;
  int k = 0;
  for (const QByteArray& bytes : damaged) {
    EXPECT_TRUE(DecodeJpeg(bytes).isNull()) << "case " << k;
    const QString path = dir.filePath(QStringLiteral("bad%1.jpg").arg(k++));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    TAboutForm about(nullptr, kProgram, path);
    EXPECT_TRUE(about.Picture()->pixmap().isNull());
    EXPECT_EQ(about.VersionText()->toPlainText().split(u'\n'), ProgramLines());
  }
  TAboutForm missing(nullptr, kProgram, dir.filePath(QStringLiteral("gone.jpg")));
  EXPECT_TRUE(missing.Picture()->pixmap().isNull());
}

}  // namespace
}  // namespace vorta
