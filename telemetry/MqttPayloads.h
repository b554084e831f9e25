#pragma once
// The JSON each topic carries (UTF-8, field names documented in the README).

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>

namespace vorta {

class TVortaProcess;
struct TAlarm;
enum class TAlarmEvent;

// <root>/<vessel>/state: the vessel's 2-s values at the instant utcMs (ms
// since 1970 UTC), stamped in local time with the offset in force then.
// "plan": the vessel's plan (PlanStatusJson), when it has one in this run.
QByteArray StateJson(const TVortaProcess& process, std::int64_t utcMs,
                     const QJsonObject& plan = QJsonObject());
// <root>/alarms: every active alarm of the program, oldest first, with its
// state (acknowledged or not). "text" is Russian ("textLang"); "textEn"
// is the English one when the operator's language gave one.
QByteArray AlarmListJson(const std::deque<TAlarm>& alarms);
// <root>/info: what a viewer shows of the computer: its name (from
// [MQTT] Name; empty when none is set).
QByteArray InfoJson(const QString& name, const QStringList& operators = {});
// <root>/<vessel>/history and its parts: telemetry/MqttHistory.h.
// The moment of a data log row from its short date and its H:M:S, as the
// computer writes them; invalid when they cannot be read. now (days since
// 1899-12-30) supplies the year the short date leaves out.
QDateTime LogRowMoment(const QString& dateField, const QString& timeField, double now);
// <root>/<vessel>/minute: a data log row, each field under its header's name;
// numbers as numbers, the texts (date, time, drive status, link, mode) as
// texts; and "time", the row's moment with its offset from UTC, null when
// its date and time cannot be read. now: when the row is read (days since
// 1899-12-30), which supplies the year the row's short date leaves out.
QByteArray MinuteJson(std::int32_t vessel, const QStringList& header, const QByteArray& row,
                      double now);
// <root>/journal and <root>/<vessel>/alarm: a journal record under the
// journal's column names, its escapes undone. *vessel is set to the record's
// vessel number (0 for the program), *alarm when it is an alarm change.
// Empty for a line that is not a whole record (a torn last line).
QByteArray JournalJson(const QStringList& header, const QByteArray& line, std::int32_t* vessel,
                       bool* alarm);
// <root>/<vessel>/alarm for an alarm change the journal could not take: the
// same columns as its record would have had, "Chain" null.
QByteArray UnjournalledAlarmJson(const TAlarm& alarm, TAlarmEvent event);

}  // namespace vorta
