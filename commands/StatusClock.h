#pragma once
// The status window's work: its caption by subject and the program-wide
// elapsed fermentation time clock that its "Старт"/"Стоп" drive.

#include <QString>

namespace vorta {

class TVortaProcess;
struct TVortaEnv;

inline constexpr int kStatusProcess = 8;

// "Статус", with " - " and the channel's section name for 1..4, " - Миксер"
// for 5, " - USB" for 6, " - Процесс" for 8.
QString StatusCaption(const TVortaProcess& p, int subject);
// Only the process as a whole has the clock's controls.
bool StatusShowsClock(int subject);

// "Старт": the clock runs from now, at zero, with no stop time. A second
// press starts it again.
void StartElapsedClock(TVortaEnv& env, double now);
// "Стоп": the clock stops at now; the panels keep the last text.
void StopElapsedClock(TVortaEnv& env, double now);

// A date-time (days since 1899-12-30) as the operator's machine shows it:
// short date, a blank, long time.
QString StatusDateTimeText(double when);

}  // namespace vorta
