#pragma once
// A vessel's day of data log rows for the browser, as retained parts small
// enough for a WebSocket broker to send at once: Debian 12's mosquitto sends
// a message of more than about 4 KiB over WebSockets at 4 KiB per 100-ms
// turn of its loop, one under it at once.
//
// <root>/<vessel>/history/<slot>: the rows of one clock hour (UTC), slot the
// hour since 1970 modulo kHistorySlots, so that a new row changes only the
// newest part and the slots of the day are reused, never left behind.
// <root>/<vessel>/history: the index, the slots that hold the day, oldest
// first. Each column of a part is a list of steps from the value before
// (starting from 0): the times in seconds since 1970 UTC, the values in
// hundredths; null where the row has no number; [step, n] for n equal steps.

#include <QByteArray>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

namespace vorta {

// The clock hours that a day up to now touches.
constexpr int kHistorySlots = 25;
// A part stays under this, leaving room for its topic under the broker's
// fast size; an hour whose rows would not fit keeps every second row.
constexpr qsizetype kHistoryPartBytes = 3584;

struct THistoryParts {
  QByteArray Index;
  // By slot; empty where no row of the day falls.
  std::array<QByteArray, kHistorySlots> Parts;
};

// rows: whole lines of the data log, oldest first, without the header; those
// of the 24 hours up to now (days since 1899-12-30) are taken.
THistoryParts HistoryParts(std::int32_t vessel, const QStringList& header,
                           const std::vector<QByteArray>& rows, double now);

}  // namespace vorta
