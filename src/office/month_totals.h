#pragma once
// A month's time at school (在校等時間) and overtime per teacher, measured against the
// caps on teachers' overtime: 45 hours a month and 360 a fiscal year (from April), less
// than 100 hours in any month, and at most 80 hours on average over any 2 to 6 months.

#include "office/day_summary.h"
#include "office/journal_scan.h"
#include "office/report_period.h"
#include "record/punch_record.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace tavomi {

inline constexpr int kMonthlyCapMinutes = 45 * 60;
inline constexpr int kYearlyCapMinutes = 360 * 60;
inline constexpr int kAverageCapMinutes = 80 * 60;
inline constexpr int kSingleMonthLimitMinutes = 100 * 60;

// The scheduled hours of a date in minutes: end - start - break; nullopt on a day off (no
// line in working_hours.txt, or start equal to end).
std::optional<int> scheduledMinutes(const std::optional<ScheduledHours>& hours);

// A record as the hours of a day need it.
struct TimedRecord {
    RecordKind kind = RecordKind::ClockIn;
    int minutes = 0;  // after the date's midnight (up to 28:59), or a 中抜's length
};

// One teacher's day in minutes.
struct DayHours {
    bool attended = false;  // a clock-in that day (出勤日数 counts it)
    bool counted = false;   // a clock-in and a later clock-out: the day's hours are known
    int present = 0;        // 在校等時間
    int overtime = 0;
};

// The hours of one day from its records in the order they happened. 在校等時間 runs from
// the first clock-in to the last clock-out (after midnight included: such a clock-out is
// written under its date), less the going-out periods, the 中抜 lengths and the day's
// break (`scheduled` holds it; a day off has none). A going-out without a return lasts
// until the clock-out; a return without a going-out is ignored. A day without a clock-in
// or a clock-out, or with the clock-out before the clock-in, counts no hours (the month's
// totals list it). Overtime is the time beyond the scheduled hours, or all of it on a
// day off.
DayHours dayHours(const std::vector<TimedRecord>& records,
                  const std::optional<ScheduledHours>& scheduled);

// The first month whose overtime the caps of `month` look back on: the fiscal year's
// April, or five months before, whichever is earlier.
QDate lookBackStart(const ReportPeriod& month);

struct TeacherTotals {
    QString name;
    int attendanceDays = 0;  // 出勤日数
    int present = 0;         // 在校等時間, minutes
    int scheduled = 0;       // the month's scheduled hours (the school's, every working day)
    int overtime = 0;        // this month
    int fiscalYearOvertime = 0;
    int highestAverage = 0;  // the highest average over the last 2 to 6 months
    int highestAverageMonths = 0;
    QStringList uncounted;  // days whose hours are not counted: "5日 退勤なし"

    bool over45() const { return overtime > kMonthlyCapMinutes; }
    bool over80() const { return highestAverage > kAverageCapMinutes; }
    bool over100() const { return overtime >= kSingleMonthLimitMinutes; }
    bool over360() const { return fiscalYearOvertime > kYearlyCapMinutes; }
};

// Each earlier month's overtime of each teacher, from the earlier records of a scan made
// with lookBackStart(month): by name, then by month (year * 12 + month - 1). The records
// are put in order where they are, and each teacher's are let go once counted.
using EarlierOvertime = QHash<QString, std::map<int, int>>;
EarlierOvertime earlierOvertime(JournalScan& scan,
                                const std::map<QString, ScheduledHours>& workingHours);

// What every teacher's totals of a month share: the month, the fiscal year's first month
// (months counted as year * 12 + month - 1), and the school's scheduled hours.
struct MonthSchedule {
    MonthSchedule(const ReportPeriod& month, const std::map<QString, ScheduledHours>& workingHours);

    int thisMonth = 0;
    int fiscalYearStart = 0;
    int scheduled = 0;  // minutes, every working day of the month
};

// A teacher's totals of the month, from the sheet and the overtime of the earlier months.
// Months before the journal begins count as months without overtime.
TeacherTotals teacherTotals(const MonthSchedule& month, const TeacherDays& teacher,
                            const EarlierOvertime& before);

// Minutes as hours and minutes: 182:05.
QString hoursText(int minutes);

// The flags raised: 月45時間超, 2～6か月平均80時間超, 月100時間以上, 年360時間超; empty when none.
QStringList capFlags(const TeacherTotals& totals);

}  // namespace tavomi
