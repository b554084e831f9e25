#pragma once
// One status line per vessel, printed every 2 s when there are no windows.

#include <QString>

namespace vorta {

class TVortaProcess;

// "Ферментёр 1 | pH 7.01/7.00 | t°C 36.9/37.0 | … | Batch | Net OK"
QString StatusLine(const TVortaProcess& process);

}  // namespace vorta
