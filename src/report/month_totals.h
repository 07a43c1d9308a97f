#pragma once
// A month's time at school (在校等時間) and overtime per teacher, measured against the
// caps on teachers' overtime: 45 hours a month and 360 a fiscal year (from April), less
// than 100 hours in any month, and at most 80 hours on average over any 2 to 6 months.

#include "record/punch_record.h"
#include "report/day_hours.h"
#include "report/day_schedule.h"
#include "report/day_summary.h"
#include "report/journal_scan.h"
#include "report/report_period.h"

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
inline constexpr int kLongestAverageMonths = 6;
// Under special circumstances: 720 hours a year, and at most six months over 45 hours.
inline constexpr int kSpecialYearlyCapMinutes = 720 * 60;
inline constexpr int kMonthsOver45Allowed = 6;
// The national target for the average month (by FY2029).
inline constexpr int kMonthlyTargetMinutes = 30 * 60;

// The records of a day as its hours need them.
std::vector<TimedRecord> timedRecords(const std::vector<PunchEvent>& events);

// The first month whose overtime the caps of `month` look back on: the fiscal year's
// April, or five months before, whichever is earlier.
QDate lookBackStart(const ReportPeriod& month);

struct TeacherTotals {
    QString name;
    int attendanceDays = 0;  // 出勤日数
    int present = 0;         // 在校等時間, minutes
    int outside = 0;         // of which on duty outside the school (校外)
    int scheduled = 0;       // the month's scheduled hours (the school's, every working day)
    int overtime = 0;        // this month
    int fiscalYearOvertime = 0;
    int monthsOver45 = 0;    // the fiscal year's months over 45 hours so far, this one included
    int highestAverage = 0;  // the highest average over the last 2 to 6 months
    int highestAverageMonths = 0;
    // The months the averages could look at: the journal's own, up to six. Fewer than six
    // means the longer averages were not made; a first month has none.
    int averageMonthsAvailable = kLongestAverageMonths;
    QStringList uncounted;  // days whose hours are not counted: "5日 退勤なし"
    QList<int> noRecord;    // school days (with scheduled hours) without any record, so far

    bool over45() const { return overtime > kMonthlyCapMinutes; }
    bool over80() const { return highestAverage > kAverageCapMinutes; }
    bool over100() const { return overtime >= kSingleMonthLimitMinutes; }
    bool over360() const { return fiscalYearOvertime > kYearlyCapMinutes; }
    bool over720() const { return fiscalYearOvertime > kSpecialYearlyCapMinutes; }
    bool tooManyMonthsOver45() const { return monthsOver45 > kMonthsOver45Allowed; }
};

// Each earlier month's overtime of each teacher, from the earlier records of a scan made
// with lookBackStart(month): by name, then by month (year * 12 + month - 1). The records
// are put in order where they are, and each teacher's are let go once counted.
using EarlierOvertime = QHash<QString, std::map<int, int>>;
EarlierOvertime earlierOvertime(JournalScan& scan, const ReportCalendar& calendar);

// What every teacher's totals of a month share: the month, the fiscal year's first month
// and the journal's (months counted as year * 12 + month - 1), and the school's scheduled
// hours.
struct MonthSchedule {
    MonthSchedule(const ReportPeriod& month, const std::vector<DaySchedule>& days,
                  const QDate& journalBegins);

    int thisMonth = 0;
    int fiscalYearStart = 0;
    int journalStart = 0;
    int scheduled = 0;  // minutes, every working day of the month
};

// A teacher's totals of the month, from the sheet (whose days carry their hours) and the
// overtime of the earlier months. Months before the journal begins are not averaged in.
TeacherTotals teacherTotals(const MonthSchedule& month, const TeacherDays& teacher,
                            const EarlierOvertime& before, const QDate& today);

// Minutes as hours and minutes: 182:05.
QString hoursText(int minutes);

// The flags raised: 月45時間超, 2～6か月平均80時間超, 月100時間以上, 年360時間超; empty when none.
QStringList capFlags(const TeacherTotals& totals);

}  // namespace tavomi
