#pragma once
// A record the office adds for a line of the things to check (退勤なし, 出勤なし, 戻りなし,
// 外出なし), written as the manual entry at the reception PC writes one: its line, the
// journal looked at first under the lock, then the date's working hours. The journal stays
// append-only.

#include "manual/manual_record.h"
#include "report/day_summary.h"

#include <QDateTime>
#include <QString>

#include <filesystem>
#include <optional>

namespace tavomi {

// The kind of record a line of the things to check is missing; none for one that no record
// mends (several clock-ins).
std::optional<RecordKind> missingRecordKind(DayException exception);

struct CorrectionOutcome {
    bool written = false;
    QString message;  // the manual entry's words for what happened
    bool isError = false;
};

// Writes `entry` (its person, date, kind, time, after-midnight tick and reasons) as a
// 手動記録. A date or time later than `now`, or no time, is refused with the manual entry's
// message and nothing is written.
CorrectionOutcome writeCorrection(const std::filesystem::path& appFolder, const ManualEntry& entry,
                                  const QDateTime& now);

}  // namespace tavomi
