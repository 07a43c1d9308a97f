#pragma once

#include "report/day_schedule.h"
#include "report/day_summary.h"
#include "report/journal_scan.h"
#include "report/month_totals.h"
#include "report/report_period.h"

#include <QHash>
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

// The cardholder list as the report needs it: the names in list order, each once (blank
// names left out), and each name's job (職名) where the list gives one.
struct Cardholders {
    QStringList names;
    QHash<QString, QString> jobs;
};

// The field a job is read from, counted from 0 (the card's identifier): the one whose
// header reads 職名, 職種 or 役職, else the third. The fields after the name are in no fixed
// order from school to school.
qsizetype jobFieldOf(const QStringList& headerFields);

// Reads the cardholder list; `jobField` (from 0) where the office chose one, else
// jobFieldOf the header. A name on several lines (a second card) takes the first job given.
// Throws FileError.
Cardholders readCardholderList(const std::filesystem::path& file,
                               std::optional<qsizetype> jobField = std::nullopt);

// The names of the cardholder list alone. Throws FileError.
QStringList readCardholderNames(const std::filesystem::path& file);

struct PeriodReport {
    ReportPeriod period;
    std::vector<TeacherDays> teachers;  // the cardholders in list order, then other names
                                        // of the period's records in order of appearance
    std::vector<GarbledLine> garbled;
    std::vector<TeacherTotals> totals;  // a month's, one per teacher in the same order
    QStringList scheduleChecks;         // a month's, see scheduleChecks()
    QHash<QString, QString> jobs;       // each cardholder's job, where the list gives one
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

}  // namespace tavomi
