#pragma once

#include "files/comma_text.h"

#include <QDate>
#include <QString>

#include <QStringView>

#include <filesystem>
#include <optional>
#include <vector>

namespace tavomi {

// One line of working_hours.txt (day: the date, yyyy/MM/dd) or of the weekly table
// ordinary_working_hours.txt (day: the weekday), by the comma-text rules: an empty
// field is " ".
struct HoursRow {
    QString day;
    QString start;
    QString end;
    QString rest;  // the day's break

    static HoursRow fromTableRow(const TableRow& row);
    // "DAY,START,END,REST", the line the file holds.
    QString line() const;
};

// Minutes after midnight of a time as a spreadsheet writes it: "8:15", "08:15" or "8:15:00"
// (seconds dropped), blanks around allowed; hours 0-28 (a night's work runs past midnight),
// minutes and seconds two digits each, 0-59. Anything else, the empty text included, is
// nothing: what an empty field means is the caller's to say.
std::optional<int> readSpreadsheetMinutes(QStringView text);

// The rows after the header; none when the file has only a header. Throws FileError
// when it cannot be read.
std::vector<HoursRow> readHoursRows(const std::filesystem::path& file);

enum class DerivationOutcome {
    AlreadyPresent,  // working_hours.txt already holds an entry for the date
    Appended,        // the weekly table's hours for the date's weekday were appended
    NoWorkingHours,  // start equals end (a day off, or no line for the weekday)
    FileMissing,     // working_hours.txt does not exist; nothing written
};

// Appends the date's entry to working_hours.txt from ordinary_working_hours.txt
// unless the date is already present. Throws FileError when a file cannot be
// read or appended to.
DerivationOutcome deriveWorkingHours(const std::filesystem::path& appFolder, const QDate& date);

}  // namespace tavomi
