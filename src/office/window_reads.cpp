#include "office/window_reads.h"

#include "calendar/school_calendar.h"
#include "files/comma_text.h"
#include "files/data_folder.h"
#include "files/file_error.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

QString pathText(const std::filesystem::path& path) {
    return QFile::decodeName(path.c_str());
}

// The file errors' Japanese text, its line breaks as a label shows them.
QString messageOf(const FileError& error) {
    return error.japaneseText().replace(u"\r\n"_s, u"\n"_s);
}

// What the page did without the file.
QString consequenceText(InputProblem::File file) {
    switch (file) {
        case InputProblem::File::Cardholders:
            return u"\n（氏名は記録からだけ取りました）"_s;
        case InputProblem::File::WorkingHours:
            return u"\n（日ごとの勤務時間は週の表から取りました）"_s;
        case InputProblem::File::WeeklyTable:
            return u"\n（勤務時間の行がない日は休日としました）"_s;
        case InputProblem::File::SchoolCalendar:
            return u"\n（学校の暦は使っていません）"_s;
    }
    return {};
}

}  // namespace

DataStamps dataStampsOf(const std::filesystem::path& appFolder) {
    return {fileStampOf(dataFilePath(appFolder, kJournalFile)),
            fileStampOf(dataFilePath(appFolder, kCardholderListFile)),
            fileStampOf(dataFilePath(appFolder, kWorkingHoursFile)),
            fileStampOf(dataFilePath(appFolder, kWeeklyTableFile)),
            fileStampOf(dataFilePath(appFolder, kSchoolCalendarFile))};
}

QString dataFolderProblem(const std::filesystem::path& appFolder) {
    const auto folder = appFolder / kDataFolderName;
    const QString shown = pathText(folder);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return u"データフォルダーが見つかりません。\nフォルダー：%1\n"
                   u"--data で正しいデータフォルダーを指定してください。"_s.arg(shown);
        }
        return u"データフォルダーを調べることができません。\nフォルダー：%1\n理由：%2"_s.arg(
            shown, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!S_ISDIR(st.st_mode)) {
        return u"データフォルダーの場所にあるのはフォルダーではありません。\nフォルダー：%1"_s.arg(
            shown);
    }
    if (::access(folder.c_str(), R_OK | X_OK) != 0) {
        return u"データフォルダーを読むことができません。\nフォルダー：%1\n理由：%2"_s.arg(
            shown, QString::fromLocal8Bit(std::strerror(errno)));
    }
    return {};
}

std::variant<PeriodRead, QString> readPeriod(const std::filesystem::path& appFolder,
                                             const ReportPeriod& period, const QDate& today,
                                             const ScanProgress& progress,
                                             std::optional<qsizetype> jobField) {
    if (QString problem = dataFolderProblem(appFolder); !problem.isEmpty()) {
        return problem;
    }
    const DataStamps stamps = dataStampsOf(appFolder);
    ReportInputs inputs;
    try {
        inputs = readReportInputs(appFolder, period, today, progress, jobField);
    } catch (const FileError& e) {
        return messageOf(e);
    }
    if (inputs.stopped) {
        return u"読み込みを中止しました。"_s;
    }
    QStringList notes;
    for (const InputProblem& problem : inputs.problems) {
        notes.append(messageOf(problem.error) + consequenceText(problem.file));
    }
    return PeriodRead{buildReport(period, std::move(inputs)), stamps, notes};
}

std::variant<BoardRead, QString> readBoard(const std::filesystem::path& appFolder,
                                           const ReportPeriod& month, const QDate& today,
                                           std::optional<qsizetype> jobField,
                                           const ScanProgress& progress) {
    if (QString problem = dataFolderProblem(appFolder); !problem.isEmpty()) {
        return problem;
    }
    QStringList headings;
    try {
        const QStringList lines = readDataFileLines(dataFilePath(appFolder, kCardholderListFile));
        if (!lines.isEmpty()) {
            headings = commaTextFields(lines.front());
        }
    } catch (const FileError&) {
        // readPeriod notes an unreadable list; the choice of field then waits for it.
    }
    // A field the list no longer has (a column taken out) falls back to the usual one.
    const qsizetype chosen = jobField.value_or(-1);
    const qsizetype used = chosen >= 2 && chosen < headings.size() ? chosen : jobFieldOf(headings);
    auto read = readPeriod(appFolder, month, today, progress, used);
    if (auto* message = std::get_if<QString>(&read)) {
        return *message;
    }
    PeriodRead period = std::get<PeriodRead>(std::move(read));
    BoardReport board = boardReport(period.report);
    return BoardRead{std::move(period), std::move(board), headings, used};
}

std::variant<PcStatusesRead, QString> readPcStatusesOn(const std::filesystem::path& appFolder,
                                                       const QDate& today) {
    if (QString problem = dataFolderProblem(appFolder); !problem.isEmpty()) {
        return problem;
    }
    PcStatusesRead read;
    try {
        read.files = readPcStatuses(appFolder);
    } catch (const FileError& e) {
        return messageOf(e);
    }
    // Without the hours no PC is marked for not reaching the share; the presence board
    // already says which of these files cannot be read.
    std::vector<InputProblem> unread;
    read.schoolHours =
        schoolHoursOf(scheduleOn(readReportCalendar(appFolder, today, unread), today));
    return read;
}

std::variant<std::vector<CardholderRow>, QString> readCardholders(
    const std::filesystem::path& appFolder) {
    if (QString problem = dataFolderProblem(appFolder); !problem.isEmpty()) {
        return problem;
    }
    try {
        return readCardholderRows(dataFilePath(appFolder, kCardholderListFile));
    } catch (const FileError& e) {
        return messageOf(e);
    }
}

}  // namespace tavomi
