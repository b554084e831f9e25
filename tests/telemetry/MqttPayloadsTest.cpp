// A data log row as JSON: each field a number exactly when the locale-free
// reading of its trimmed text is one, the named text columns always texts.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
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

// The row as QJsonObject writes it, its fields read by QString::toDouble:
// what the payload was before it was written directly.
QByteArray ThroughJsonObject(const QStringList& header, const QByteArray& row,
                             const QJsonValue& time) {
  const QStringList texts{"Date", "Time", "Mix Status", "Net", "Mode"};
  QJsonObject o;
  o["vessel"] = 3;
  const QStringList fields = QString::fromUtf8(row).split(u'\t');
  for (qsizetype i = 0; i < fields.size(); ++i) {
    const QString name = i < header.size() ? header[i] : QStringLiteral("field%1").arg(i + 1);
    bool ok = false;
    const double v = fields[i].trimmed().toDouble(&ok);
    o[name] = ok && !texts.contains(name) ? QJsonValue(v) : QJsonValue(fields[i].trimmed());
  }
  o["Date"];  // looked up for the time: there, null, even when the row has none
  o["Time"];
  o["time"] = time;
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

TEST(MinuteJsonTest, writtenDirectly_sameBytesAsThroughJsonObject) {
  const QStringList program =
      QString::fromUtf8(
          "Date\tTime\tpH\tSetpH\ttC\tSettC\tpO2\tSetpO\teH\tSeteH\tКислота\t"
          "Щёлочь\tПеногаш.\tПодпитка 1\tПодпитка 2\tОхлажд.\tНагрев\tMixRpm\t"
          "Mix I(mA)\tMix Status\tNet\tMode")
          .split(u'\t');
  QRandomGenerator random(34);
  const QList<QByteArray> odd{
      "-0.00", "0.0001", "1e-05",         "123456789.125", "9007199254740993",
      "1e300", "nan",    "\"q\" \\ \x01", "Ферм. 2",       "",
      "+7",    "0.1"};
  std::vector<std::pair<QStringList, QByteArray>> rows;
  for (int r = 0; r < 300; ++r) {
    QByteArray row =
        "7 Dec \t" + QByteArray::number(r % 24) + ":" + QByteArray::number(r % 60) + ":56";
    for (int c = 2; c < 22; ++c) {
      const quint32 pick = random.bounded(40U);
      row += '\t';
      row += pick < static_cast<quint32>(odd.size())
                 ? odd[static_cast<qsizetype>(pick)]
                 : QByteArray::number((random.generateDouble() - 0.3) * 1000, 'f',
                                      static_cast<int>(pick % 4));
    }
    rows.emplace_back(program, row);
  }
  // Rows the direct writer leaves to QJsonObject: no date, a name twice, more fields.
  rows.emplace_back(QStringList{"Time", "pH"}, "9:1:0\t7");
  rows.emplace_back(QStringList{"Date", "Time", "pH", "pH", "time"}, "7 Dec\t9:1:0\t7\t8\t1");
  rows.emplace_back(QStringList{"Date", "Time"}, "7 Dec\t9:1:0\t7.5\tx");
  for (const auto& [header, row] : rows) {
    const QByteArray direct = MinuteJson(3, header, row, 46000.5);
    const QJsonValue time = QJsonDocument::fromJson(direct).object()["time"];
    EXPECT_EQ(direct, ThroughJsonObject(header, row, time)) << row.constData();
  }
}

// The page shows controls to the users named here, and to nobody while
// commands are off.
TEST(InfoJsonTest, namesOperatorsOnlyWhenThereAreAny) {
  const QJsonObject on =
      QJsonDocument::fromJson(InfoJson(QStringLiteral("pc"), {QStringLiteral("anna")})).object();
  EXPECT_EQ(on[QStringLiteral("operators")].toArray(), QJsonArray{QStringLiteral("anna")});
  EXPECT_FALSE(QJsonDocument::fromJson(InfoJson(QStringLiteral("pc")))
                   .object()
                   .contains(QStringLiteral("operators")));
}

}  // namespace
}  // namespace vorta::test
