// A data log row as JSON: each field a number exactly when the locale-free
// reading of its trimmed text is one, the named text columns always texts.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "telemetry/MqttPayloads.h"

namespace vorta::test {
namespace {

TEST(MinuteJsonTest, fieldsReadAsTheLocaleFreeNumberOfTheirTrimmedText) {
  // Each of these beside the name of a number column.
  const QList<std::pair<QByteArray, QJsonValue>> cases{
      {"7.00", 7.0},
      {"-150.00", -150.0},
      {" 36.99 ", 36.99},
      {"0001", 1.0},
      {"-0.00", -0.0},
      {"+1.5", 1.5},
      {"1e3", 1000.0},
      {"5.", 5.0},
      {".5", 0.5},
      {"-.5", -0.5},
      {"+-5", "+-5"},
      {"--5", "--5"},
      {"1.2.3", "1.2.3"},
      {"", ""},
      {"-", "-"},
      {"12:00", "12:00"},
      {"Net OK", "Net OK"},
      {"\xc2\xa0"
       "7.25",
       7.25},
      {"7,5", "7,5"},
      {"0x10", "0x10"},
      {"1" + QByteArray(400, '0'), QString("1" + QString(400, u'0'))},
  };
  const QStringList header{QStringLiteral("Date"), QStringLiteral("Time"),
                           QStringLiteral("Mix Status"), QStringLiteral("pH")};
  for (const auto& [text, expected] : cases) {
    const QByteArray row = "7 Dec \t9:1:0\t0001\t" + text;
    const QJsonObject o = QJsonDocument::fromJson(MinuteJson(3, header, row, 46000.5)).object();
    EXPECT_EQ(o["pH"], expected) << text.constData() << " read as "
                                 << QJsonDocument(o).toJson(QJsonDocument::Compact).constData();
    EXPECT_EQ(o["Mix Status"], QJsonValue("0001"));
    EXPECT_EQ(o["Date"], QJsonValue("7 Dec"));
  }
  // A row longer than its header, and an empty last field.
  const QJsonObject o =
      QJsonDocument::fromJson(MinuteJson(3, header, "7 Dec\t9:1:0\t1\t7\t8.5\t", 46000.5)).object();
  EXPECT_EQ(o["field5"], QJsonValue(8.5));
  EXPECT_EQ(o["field6"], QJsonValue(""));
}

}  // namespace
}  // namespace vorta::test
