#include "office/report_tool.h"

#include "files/data_folder.h"
#include "files/file_error.h"
#include "office/tool_output.h"
#include "report/report_inputs.h"
#include "report/report_model.h"
#include "report/report_text.h"
#include "report/report_xlsx.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

#include <system_error>

namespace tavomi {

namespace {

void warn(std::FILE* err, const QString& text) {
    printToolLine(err, kReportTool, text);
}

// What the report did without a file it could not read.
const char* consequenceText(InputProblem::File file) {
    switch (file) {
        case InputProblem::File::Cardholders:
            return QT_TRANSLATE_NOOP("tavomi-report",
                                     " (teachers are taken from the journal alone)");
        case InputProblem::File::WorkingHours:
            return QT_TRANSLATE_NOOP("tavomi-report",
                                     " (each date's hours are taken from the weekly table)");
        case InputProblem::File::WeeklyTable:
            return QT_TRANSLATE_NOOP("tavomi-report",
                                     " (dates without working hours count as days off)");
        case InputProblem::File::SchoolCalendar:
            return QT_TRANSLATE_NOOP("tavomi-report", " (the school's calendar is not used)");
    }
    return "";
}

// The report goes on without the files it can do without, and says so.
void warnOfProblems(const std::vector<InputProblem>& problems, std::FILE* err) {
    for (const InputProblem& problem : problems) {
        warn(err, fileErrorText(problem.error) +
                      QCoreApplication::translate("tavomi-report", consequenceText(problem.file)));
    }
}

QString cannotWriteText(const QString& file, const QString& error) {
    return QCoreApplication::translate("tavomi-report", "cannot write %1: %2").arg(file, error);
}

bool writeCsv(const PeriodReport& report, const QString& file, std::FILE* err) {
    if (const QString error = writeMonthCsv(report, file); !error.isEmpty()) {
        warn(err, cannotWriteText(file, error));
        return false;
    }
    return true;
}

int writeMonthFiles(const ReportCommand& command, const PeriodReport& report, std::FILE* out,
                    std::FILE* err, const MonthPdfWriter& writePdf) {
    // The workbook first: one that cannot be written leaves no other file behind either.
    if (!command.xlsxFile.isEmpty()) {
        if (const QString error = writeMonthWorkbook(report, command.xlsxFile); !error.isEmpty()) {
            warn(err, cannotWriteText(command.xlsxFile, error));
            return 1;
        }
        print(out,
              QCoreApplication::translate("tavomi-report", "wrote %1\n").arg(command.xlsxFile));
    }
    if (!command.csvFile.isEmpty()) {
        if (!writeCsv(report, command.csvFile, err)) {
            return 1;
        }
        print(out, QCoreApplication::translate("tavomi-report", "wrote %1\n").arg(command.csvFile));
    }
    if (!command.pdfFile.isEmpty()) {
        int pages = 0;
        const QString error =
            writePdf ? writePdf(report, command.pdfFile, &pages)
                     : QCoreApplication::translate("tavomi-report", "this program draws no PDF");
        if (!error.isEmpty()) {
            warn(err, cannotWriteText(command.pdfFile, error));
            return 1;
        }
        print(out, QCoreApplication::translate("tavomi-report", "wrote %1 (%2 pages)\n")
                       .arg(command.pdfFile, QString::number(pages)));
    }
    print(out, scheduleChecksText(report.scheduleChecks));
    print(out, garbledText(report.garbled));
    return 0;
}

// The month's text, each teacher's sheet written as it is made: a thousand teachers'
// sheets are megabytes of text, and so never held at once.
void printMonthAsMade(const ReportPeriod& month, ReportInputs inputs, std::FILE* out) {
    const auto write = [out](const QString& text) { std::fputs(text.toUtf8().constData(), out); };
    write(monthTextTitle(month));
    const auto garbled = buildReportByTeacher(
        month, std::move(inputs.scan), inputs.cardholders, inputs.calendar,
        [&write](TeacherDays&& teacher, std::optional<TeacherTotals>&& totals) {
            write(teacherSheetText(teacher, totals ? &*totals : nullptr));
        });
    write(scheduleChecksText(scheduleChecks(month, inputs.calendar)));
    write(garbledText(garbled));
    std::fflush(out);
}

}  // namespace

// However the output's path is written: the identity also catches another spelling on a
// share that folds letter case, and the folded path keeps a report from making a file
// that a share would take for the lock file.
bool isDataFile(const QString& output, const std::filesystem::path& appFolder) {
    const std::string outputPath = QFile::encodeName(output).toStdString();
    struct stat outputStat {};
    const bool exists = ::stat(outputPath.c_str(), &outputStat) == 0;
    std::error_code ec;
    const auto target = std::filesystem::weakly_canonical(outputPath, ec);
    auto same = [&](std::string_view name) {
        const auto dataFile = dataFilePath(appFolder, name);
        struct stat dataStat {};
        if (exists && ::stat(dataFile.c_str(), &dataStat) == 0) {
            return dataStat.st_dev == outputStat.st_dev && dataStat.st_ino == outputStat.st_ino;
        }
        std::error_code ec2;
        const auto canonical = std::filesystem::weakly_canonical(dataFile, ec2);
        return !ec && !ec2 &&
               QString::fromStdString(canonical.string())
                       .compare(QString::fromStdString(target.string()), Qt::CaseInsensitive) == 0;
    };
    return same(kLockFile) || std::any_of(kRequiredFiles.begin(), kRequiredFiles.end(), same);
}

QString writeMonthCsv(const PeriodReport& report, const QString& file) {
    QSaveFile out(file);
    const QByteArray bytes = monthCsv(report);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        return out.errorString();
    }
    return {};
}

int runReportCommand(const ReportCommand& command, const std::filesystem::path& appFolder,
                     const Clock& clock, std::FILE* out, std::FILE* err,
                     const MonthPdfWriter& writePdf) {
    if (command.action == ReportCommand::Action::Help) {
        print(out, reportUsage());
        return 0;
    }
    for (const QString& file : {command.csvFile, command.pdfFile, command.xlsxFile}) {
        if (!file.isEmpty() && isDataFile(file, appFolder)) {
            warn(err, QCoreApplication::translate(
                          "tavomi-report",
                          "%1 is one of Tavomi's data files; a report never writes them")
                          .arg(file));
            return 1;
        }
        if (!file.isEmpty() && QFileInfo(file).isDir()) {
            warn(err,
                 QCoreApplication::translate("tavomi-report", "%1 is a folder; give a file's name")
                     .arg(file));
            return 1;
        }
    }
    const QDateTime now = clock();
    const ReportPeriod period = command.action == ReportCommand::Action::Month
                                    ? *command.month
                                    : ReportPeriod::ofDay(command.date.value_or(now.date()));
    ReportInputs inputs;
    try {
        inputs = readReportInputs(appFolder, period, now.date());
    } catch (const FileError& e) {
        warn(err, fileErrorText(e));
        return 1;
    }
    warnOfProblems(inputs.problems, err);
    if (command.action == ReportCommand::Action::Month && command.csvFile.isEmpty() &&
        command.pdfFile.isEmpty() && command.xlsxFile.isEmpty()) {
        printMonthAsMade(period, std::move(inputs), out);
        return 0;
    }
    const PeriodReport report = buildReport(period, std::move(inputs));
    if (command.action == ReportCommand::Action::Today) {
        print(out, dayText(report, now));
        return 0;
    }
    return writeMonthFiles(command, report, out, err, writePdf);
}

}  // namespace tavomi
