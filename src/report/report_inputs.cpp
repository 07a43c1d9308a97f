#include "report/report_inputs.h"

#include "files/data_folder.h"

namespace tavomi {

ReportInputs readReportInputs(const std::filesystem::path& appFolder, const ReportPeriod& period,
                              const QDate& today, const ScanProgress& progress,
                              std::optional<qsizetype> jobField) {
    ReportInputs inputs;
    inputs.calendar.today = today;
    inputs.scan = scanJournal(dataFilePath(appFolder, kJournalFile), period,
                              period.isDay() ? QDate() : lookBackStart(period),
                              [&](qint64 done, qint64 size) {
                                  inputs.stopped = progress && !progress(done, size);
                                  return !inputs.stopped;
                              });
    if (inputs.stopped) {
        return inputs;
    }
    const auto readOrNote = [&inputs](InputProblem::File file, const auto& read) {
        try {
            read();
        } catch (const FileError& e) {
            inputs.problems.push_back({file, e});
        }
    };
    readOrNote(InputProblem::File::Cardholders, [&] {
        Cardholders list =
            readCardholderList(dataFilePath(appFolder, kCardholderListFile), jobField);
        inputs.cardholders = std::move(list.names);
        inputs.jobs = std::move(list.jobs);
    });
    inputs.calendar = readReportCalendar(appFolder, today, inputs.problems);
    return inputs;
}

ReportCalendar readReportCalendar(const std::filesystem::path& appFolder, const QDate& today,
                                  std::vector<InputProblem>& problems) {
    ReportCalendar calendar;
    calendar.today = today;
    const auto readOrNote = [&problems](InputProblem::File file, const auto& read) {
        try {
            read();
        } catch (const FileError& e) {
            problems.push_back({file, e});
        }
    };
    readOrNote(InputProblem::File::WorkingHours, [&] {
        calendar.workingHours = readWorkingHours(dataFilePath(appFolder, kWorkingHoursFile));
    });
    readOrNote(InputProblem::File::WeeklyTable, [&] {
        calendar.weekly = readWeeklyHours(dataFilePath(appFolder, kWeeklyTableFile));
    });
    readOrNote(InputProblem::File::SchoolCalendar,
               [&] { calendar.school = readSchoolCalendar(appFolder); });
    return calendar;
}

PeriodReport buildReport(const ReportPeriod& period, ReportInputs inputs) {
    PeriodReport report =
        buildReport(period, std::move(inputs.scan), inputs.cardholders, inputs.calendar);
    report.jobs = std::move(inputs.jobs);
    return report;
}

}  // namespace tavomi
