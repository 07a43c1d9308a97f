#pragma once

#include "report/day_schedule.h"
#include "report/day_summary.h"
#include "report/journal_scan.h"
#include "report/month_totals.h"
#include "report/report_period.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace tavomi {

// Reads working_hours.txt by the data files' comma-text rules. Throws FileError.
WorkingHours readWorkingHours(const std::filesystem::path& file);

// Reads the weekly table (Monday's line first). Throws FileError.
WeeklyHours readWeeklyHours(const std::filesystem::path& file);

// The names of the cardholder list, in list order, each once; blank names left out.
// Throws FileError.
QStringList readCardholderNames(const std::filesystem::path& file);

struct PeriodReport {
    ReportPeriod period;
    std::vector<TeacherDays> teachers;  // the cardholders in list order, then other names
                                        // of the period's records in order of appearance
    std::vector<GarbledLine> garbled;
    std::vector<TeacherTotals> totals;  // a month's, one per teacher in the same order
    QStringList scheduleChecks;         // a month's, see scheduleChecks()
};

// A month's report with its totals takes a scan made with lookBackStart(month):
//   scanJournal(journal, month, lookBackStart(month)), then buildReport(...).
PeriodReport buildReport(const ReportPeriod& period, JournalScan scan,
                         const QStringList& cardholders, const ReportCalendar& calendar);

// The same report a teacher at a time, in the same order, each teacher's sheet (and a
// month's totals) handed over as it is made: a thousand teachers' sheets are never held
// at once. Returns the garbled lines.
using OnTeacher = std::function<void(TeacherDays&&, std::optional<TeacherTotals>&&)>;
std::vector<GarbledLine> buildReportByTeacher(const ReportPeriod& period, JournalScan scan,
                                              const QStringList& cardholders,
                                              const ReportCalendar& calendar,
                                              const OnTeacher& onTeacher);

// The weekday as the sheet shows it: 月 to 日.
QString weekdayText(const QDate& date);

}  // namespace tavomi
