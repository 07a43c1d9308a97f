#include "files/working_hours.h"

#include "files/comma_text.h"
#include "files/data_folder.h"
#include "files/punch_journal.h"

namespace tavomi {

namespace {

bool datePresent(const Table& workingHours, const QString& dateText) {
    for (std::size_t row = 1; row < workingHours.size(); ++row) {
        if (workingHours[row][1] == dateText) {
            return true;
        }
    }
    return false;
}

}  // namespace

DerivationOutcome deriveWorkingHours(const std::filesystem::path& appFolder, const QDate& date) {
    const auto workingHoursFile = dataFilePath(appFolder, kWorkingHoursFile);
    const QString dateText = recordDateText(date);
    // A missing file holds no dates; it only matters when there is an entry to append.
    const Table known = regularFileExists(workingHoursFile)
                            ? tableOfLines(readDataFileLines(workingHoursFile))
                            : Table{};
    if (datePresent(known, dateText)) {
        return DerivationOutcome::AlreadyPresent;
    }

    // Data line 1 is Monday ... data line 7 is Sunday; a line the table lacks reads empty.
    const Table week = tableOfLines(readDataFileLines(dataFilePath(appFolder, kWeeklyTableFile)));
    const auto weekdayRow = static_cast<std::size_t>(date.dayOfWeek());
    const TableRow hours = weekdayRow < week.size() ? week[weekdayRow] : TableRow{};
    const QString& start = hours[2];
    const QString& end = hours[3];
    const QString& rest = hours[4];
    if (start == end) {
        return DerivationOutcome::NoWorkingHours;
    }
    if (!regularFileExists(workingHoursFile)) {
        return DerivationOutcome::FileMissing;
    }
    appendLine(workingHoursFile, dateText + u',' + start + u',' + end + u',' + rest);
    return DerivationOutcome::Appended;
}

}  // namespace tavomi
