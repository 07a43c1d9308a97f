#pragma once
// The office window's reads of the data files, without widgets: each returns what a page
// shows, or one Japanese message saying why it cannot. Nothing here writes, and nothing
// throws, so a worker thread hands the outcome to the window as it is.

#include "files/cardholder_list.h"
#include "files/file_stamp.h"
#include "files/pc_status.h"
#include "report/board_report.h"
#include "report/report_inputs.h"
#include "report/report_model.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <variant>
#include <vector>

namespace tavomi {

// The journal's and the cardholder list's stamps, which decide whether a page reads again.
// What a page's numbers are made of: a page reads again when one of them changes.
struct DataStamps {
    FileStamp journal;
    FileStamp cardholders;
    FileStamp workingHours;
    FileStamp weeklyTable;
    FileStamp schoolCalendar;
    bool operator==(const DataStamps& other) const = default;
};

DataStamps dataStampsOf(const std::filesystem::path& appFolder);

// Why the data folder cannot be read (missing, no folder, no permission), or empty.
QString dataFolderProblem(const std::filesystem::path& appFolder);

// A period's report as a page shows it, with notes for what was left out.
struct PeriodRead {
    PeriodReport report;
    DataStamps stamps;  // taken before the reads
    QStringList notes;  // the cardholder list or the working hours could not be read
};

// Reads the period as tavomi-report does: the journal without a lock, the cardholder list
// and the working hours. An unreadable journal is the message; an unreadable list or
// hours table becomes a note. With a progress that says stop, the outcome is a message
// that nobody is meant to read.
// `jobField` is the cardholder list's field the office chose for the job, if any.
std::variant<PeriodRead, QString> readPeriod(const std::filesystem::path& appFolder,
                                             const ReportPeriod& period, const QDate& today,
                                             const ScanProgress& progress = {},
                                             std::optional<qsizetype> jobField = std::nullopt);

// A month as the board's report has it, with the cardholder list's headings the office
// picks the job's field from.
struct BoardRead {
    PeriodRead read;
    BoardReport board;
    QStringList cardholderHeadings;  // the list's first line, field by field; empty unread
    qsizetype jobField = 2;          // the field the jobs were read from
};

// `jobField` as chosen by the office; without one, or when the list has no such field, the
// field jobFieldOf the headings picks.
std::variant<BoardRead, QString> readBoard(const std::filesystem::path& appFolder,
                                           const ReportPeriod& month, const QDate& today,
                                           std::optional<qsizetype> jobField,
                                           const ScanProgress& progress = {});

// Every reception PC's status file, and the school's hours on the day they are read for.
struct PcStatusesRead {
    std::vector<PcStatusFile> files;
    std::optional<SchoolHours> schoolHours;  // none on a day off, or when they cannot be read
};

// The files of the PCs, or the message why their folder cannot be read.
std::variant<PcStatusesRead, QString> readPcStatusesOn(const std::filesystem::path& appFolder,
                                                       const QDate& today);

// The cardholder list's rows, or the message why it cannot be read.
std::variant<std::vector<CardholderRow>, QString> readCardholders(
    const std::filesystem::path& appFolder);

}  // namespace tavomi
