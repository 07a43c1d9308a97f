#pragma once
// What a report is made of, read from the data folder in one place for the terminal tool and
// the office window alike: the journal's scan, the cardholders and the working hours.

#include "files/file_error.h"
#include "report/day_schedule.h"
#include "report/journal_scan.h"
#include "report/report_model.h"
#include "report/report_period.h"

#include <QStringList>

#include <filesystem>
#include <vector>

namespace tavomi {

// A file the report can do without, and why it could not be read; each caller words it.
struct InputProblem {
    enum class File {
        Cardholders,     // names then come from the journal alone
        WorkingHours,    // dates then take the weekly table's hours
        WeeklyTable,     // dates without a line of working_hours.txt are then days off
        SchoolCalendar,  // the school's own days off and working days are then unknown
    };
    File file;
    FileError error;
};

struct ReportInputs {
    JournalScan scan;
    QStringList cardholders;
    QHash<QString, QString> jobs;  // each cardholder's job, see readCardholderList
    ReportCalendar calendar;
    std::vector<InputProblem> problems;
    bool stopped = false;  // the progress said stop: the scan is not whole
};

// Reads the journal for the period (and for a month the months its caps look back on), then
// the cardholder list, the working hours, the weekly table and the school's calendar (a
// missing calendar is an empty one). `today` ends what a month's checks look at; `jobField`
// is the cardholder list's field the office chose for the job, if any. Throws FileError
// when the journal cannot be read.
ReportInputs readReportInputs(const std::filesystem::path& appFolder, const ReportPeriod& period,
                              const QDate& today, const ScanProgress& progress = {},
                              std::optional<qsizetype> jobField = std::nullopt);

// The working hours, the weekly table and the school's calendar, each one that cannot be
// read added to `problems` and left empty.
ReportCalendar readReportCalendar(const std::filesystem::path& appFolder, const QDate& today,
                                  std::vector<InputProblem>& problems);

// The report the inputs make.
PeriodReport buildReport(const ReportPeriod& period, ReportInputs inputs);

}  // namespace tavomi
